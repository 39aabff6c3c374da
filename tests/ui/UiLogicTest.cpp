// The parts of the UI layer that need no display: names derived from the
// executable, the minimised icon's place, the chooser's filter on Linux,
// the exception report's choice of box, text conversion, dialog units.
#include <new>
#include <stdexcept>

#include <gtest/gtest.h>

#include "AppIcon.h"
#include "AppInfo.h"
#include "DataExchange.h"
#include "ExceptionReport.h"
#include "ScriptFile.h"
#include "TemplateDialog.h"
#include "UiServices.h"
#include "UiText.h"

namespace vantrell {
namespace {

TEST(AppInfo, TitleAndHelpFileComeFromTheExecutable) {
    struct Row {
        const char* path;
        const char* title;
    };
    const Row rows[] = {
        {"/usr/bin/vantrell", "vantrell"},
        {"/opt/tools/Vantrell.bin", "Vantrell"},
        {"/opt/v1.2/sender", "sender"},
        {"/home/a/.hidden", ".hidden"},
        {"vantrell", "vantrell"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(TitleFromPath(row.path), row.title);
        EXPECT_EQ(HelpFileFromPath(row.path), std::string(row.path) + ".HLP");
    }
    EXPECT_EQ(AppTitle(), "ui_logic_test");
}

TEST(AppIcon, MinimisedIconPositionTruncatesTowardZero) {
    EXPECT_EQ(IconPosition(33, 33, 32, 32), wxPoint(1, 1));
    EXPECT_EQ(IconPosition(30, 33, 32, 32), wxPoint(0, 1));  // (-1) / 2 is 0, not -1
    EXPECT_EQ(IconPosition(20, 20, 32, 32), wxPoint(-5, -5));
}

TEST(FileChooser, FilterListsScriptsOfBothExtensions) {
    const auto entries = TranslateFilter("Raymarine script files (*.ray)|*.id|All Files (*.*)|*.*||", "*.ray");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].strLabel, "Raymarine script files (*.ray)");
    EXPECT_EQ(entries[0].patterns, (std::vector<std::string>{"*.ray", "*.id"}));
    EXPECT_EQ(entries[1].strLabel, "All Files (*.*)");
    EXPECT_EQ(entries[1].patterns, (std::vector<std::string>{"*"}));
    // A plain initial name narrows nothing.
    EXPECT_EQ(TranslateFilter("Scripts|*.id||", "x.id")[0].patterns, (std::vector<std::string>{"*.id"}));
}

TEST(FileChooser, DefaultExtensionOnlyForAnUnknownNameWithoutOne) {
    const std::string strDir = ::testing::TempDir();
    EXPECT_EQ(ApplyDefaultExtension(strDir + "/nothing", "id"), strDir + "/nothing.id");
    EXPECT_EQ(ApplyDefaultExtension(strDir + "/nothing.ray", "id"), strDir + "/nothing.ray");
    EXPECT_EQ(ApplyDefaultExtension("/etc/hostname", "id"), "/etc/hostname");
    EXPECT_EQ(ApplyDefaultExtension("/a.b/name", "id"), "/a.b/name.id");
    EXPECT_EQ(ApplyDefaultExtension("/a/.profile", "id"), "/a/.profile.id");
}

TEST(ExceptionReport, ChoosesTheBoxByKind) {
    struct NoMessage : std::exception {
        const char* what() const noexcept override { return ""; }
    };
    struct Row {
        const char* name;
        std::exception_ptr error;
        CommandOrigin origin;
        bool bBox;
        const char* text;
        MessageIcon icon;
        bool bSystemModal;
    };
    const Row rows[] = {
        {"file", std::make_exception_ptr(FileException(FileException::fileNotFound, 2)), CommandOrigin::Control,
         true, "an unnamed file was not found.", MessageIcon::Stop, false},
        {"memory", std::make_exception_ptr(std::bad_alloc()), CommandOrigin::Control, true, "Out of memory.",
         MessageIcon::Exclamation, true},
        {"user", std::make_exception_ptr(UserException()), CommandOrigin::Control, false, "", MessageIcon::Stop,
         false},
        {"with text", std::make_exception_ptr(std::runtime_error("disk on fire")), CommandOrigin::Other, true,
         "disk on fire", MessageIcon::Stop, false},
        {"no text, control", std::make_exception_ptr(NoMessage()), CommandOrigin::Control, true,
         "Internal application error.", MessageIcon::Stop, false},
        {"no text, other", std::make_exception_ptr(NoMessage()), CommandOrigin::Other, true, "Command failed.",
         MessageIcon::Stop, false},
        {"not std, control", std::make_exception_ptr(42), CommandOrigin::Control, true,
         "Internal application error.", MessageIcon::Stop, false},
        {"not std, other", std::make_exception_ptr(42), CommandOrigin::Other, true, "Command failed.",
         MessageIcon::Stop, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto box = DescribeException(row.error, row.origin);
        ASSERT_EQ(box.has_value(), row.bBox);
        if (!box) continue;
        EXPECT_EQ(box->strText, row.text);
        EXPECT_EQ(box->icon, row.icon);
        EXPECT_EQ(box->bSystemModal, row.bSystemModal);
    }
}

TEST(UiText, BadUtf8FallsBackToLatin1WithoutLoss) {
    EXPECT_EQ(ToWx("Gr\xC3\xBC\xC3\x9F"), wxString::FromUTF8("Gr\xC3\xBC\xC3\x9F"));
    const std::string strLatin1 = "86 \xE9\xFF 21";
    const wxString shown = ToWx(strLatin1);
    ASSERT_EQ(shown.length(), strLatin1.size());
    EXPECT_EQ(static_cast<int>(shown[3].GetValue()), 0xE9);
    EXPECT_EQ(FromWx(ToWx("COM1 \xE2\x82\xAC")), "COM1 \xE2\x82\xAC");
}

TEST(DialogUnits, ScaleFromTheFont) {
    // 52 letters 260 px wide: 5 px average, rounded up from 10/2.
    const DialogBaseUnits units = BaseUnitsFromExtent(260, 13);
    EXPECT_EQ(units.cx, 5);
    EXPECT_EQ(units.cy, 13);
    EXPECT_EQ(MulDivRound(266, units.cx, 4), 333);  // 332.5 rounds up
    EXPECT_EQ(MulDivRound(146, units.cy, 8), 237);  // 237.25
    EXPECT_EQ(MulDivRound(-3, 5, 4), -4);
}

TEST(DataExchange, RangeMessageFillsBothPlaces) {
    EXPECT_EQ(FormatMessage2(kTextEnterIntegerRange, 0, 60), "Please enter an integer between 0 and 60.");
}

}  // namespace
}  // namespace vantrell
