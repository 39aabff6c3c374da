// COM numbering over fake /sys/class/tty and /dev trees in a temp dir.
#include "ComPortMap.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace vantrell {
namespace {

namespace fs = std::filesystem;

// A tty as the kernel would show it.
struct FakeTty {
    const char* name;
    const char* type;  // contents of its type file; nullptr: none; "<dir>": unreadable
    bool node;         // a device node exists under the dev root
};

class FakeTree {
public:
    FakeTree() {
        char pattern[] = "/tmp/vantrell-commap-XXXXXX";
        const char* made = mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        m_root = made != nullptr ? made : "";
        fs::create_directories(Sys());
        fs::create_directories(Dev());
    }
    ~FakeTree() {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    FakeTree(const FakeTree&) = delete;
    FakeTree& operator=(const FakeTree&) = delete;

    void Add(const FakeTty& tty) {
        const fs::path dir = Sys() / tty.name;
        fs::create_directories(dir);
        if (tty.type != nullptr && std::string(tty.type) == "<dir>") {
            fs::create_directories(dir / "type");
        } else if (tty.type != nullptr) {
            std::ofstream(dir / "type") << tty.type << '\n';
        }
        if (tty.node) std::ofstream(Dev() / tty.name).put('\0');
    }

    fs::path Sys() const { return m_root / "sys"; }
    fs::path Dev() const { return m_root / "dev"; }
    ComPortMap Map() const { return ComPortMap(Sys().string(), Dev().string()); }

private:
    fs::path m_root;
};

// "ttyS0 COM1", or "ttyS1 -: no device node", for readable comparisons.
std::vector<std::string> Describe(const std::vector<SerialPortEntry>& entries, const fs::path& dev) {
    std::vector<std::string> lines;
    for (const SerialPortEntry& entry : entries) {
        EXPECT_EQ(entry.devicePath, (dev / entry.name).string());
        lines.push_back(entry.comNumber != 0 ? entry.name + " COM" + std::to_string(entry.comNumber)
                                             : entry.name + " -: " + entry.reason);
    }
    return lines;
}

struct ScanCase {
    const char* title;
    std::vector<FakeTty> ttys;
    std::vector<std::string> expected;
};

TEST(ComPortMapTest, ScanNumbersPortsInComOrder) {
    const std::string kPlaceholder = " -: no UART behind it (type unknown)";
    const ScanCase cases[] = {
        {"8250 placeholders are listed but not counted",
         {{"ttyS0", "4", true}, {"ttyS1", "0", true}, {"ttyS2", "0", true}, {"ttyS3", "4", true}},
         {"ttyS0 COM1", "ttyS1" + kPlaceholder, "ttyS2" + kPlaceholder, "ttyS3 COM2"}},
        {"numbers sort numerically, not as text",
         {{"ttyS10", "4", true}, {"ttyS2", "4", true}, {"ttyS1", "4", true}},
         {"ttyS1 COM1", "ttyS2 COM2", "ttyS10 COM3"}},
        {"on-board UARTs before USB adapters, ttyS before ttyAMA",
         {{"ttyUSB0", nullptr, true}, {"ttyAMA0", "32", true}, {"ttyS0", "4", true}},
         {"ttyS0 COM1", "ttyAMA0 COM2", "ttyUSB0 COM3"}},
        {"ACM after USB",
         {{"ttyACM0", nullptr, true}, {"ttyUSB1", nullptr, true}, {"ttyUSB0", nullptr, true}},
         {"ttyUSB0 COM1", "ttyUSB1 COM2", "ttyACM0 COM3"}},
        {"no serial ports at all, only look-alikes",
         {{"tty0", nullptr, true}, {"console", nullptr, true}, {"ttyprintk", nullptr, true},
          {"ttySAC0", "4", true}, {"ttyS", "4", true}, {"ttyUSB", nullptr, true}},
         {}},
        {"a port without a device node does not count",
         {{"ttyUSB0", nullptr, false}, {"ttyUSB1", nullptr, true}, {"ttyS0", "4", false}},
         {"ttyS0 -: no device node", "ttyUSB0 -: no device node", "ttyUSB1 COM1"}},
        {"a UART whose type cannot be read counts when its node exists",
         {{"ttyS0", nullptr, true}, {"ttyS1", "<dir>", true}, {"ttyS2", "junk", true}},
         {"ttyS0 COM1", "ttyS1 COM2", "ttyS2 COM3"}},
    };
    for (const ScanCase& c : cases) {
        SCOPED_TRACE(c.title);
        FakeTree tree;
        for (const FakeTty& tty : c.ttys) tree.Add(tty);
        EXPECT_EQ(Describe(tree.Map().Scan(), tree.Dev()), c.expected);
    }
}

TEST(ComPortMapTest, MissingSysRootGivesNoPorts) {
    ComPortMap map("/nonexistent/vantrell/sys/class/tty", "/nonexistent/vantrell/dev");
    EXPECT_TRUE(map.Scan().empty());
    EXPECT_EQ(map.Resolve("COM1"), std::nullopt);
}

TEST(ComPortMapTest, ResolveTakesOnlyComNamesOfPortsThatCount) {
    FakeTree tree;
    for (const FakeTty& tty : {FakeTty{"ttyS0", "4", true}, FakeTty{"ttyS1", "0", true},
                               FakeTty{"ttyUSB0", nullptr, true}, FakeTty{"ttyACM0", nullptr, true}}) {
        tree.Add(tty);
    }
    const ComPortMap map = tree.Map();
    const struct {
        const char* name;
        const char* device;  // nullptr: nullopt
    } cases[] = {
        {"COM1", "ttyS0"},  {"com2", "ttyUSB0"}, {"Com3", "ttyACM0"}, {"COM4", nullptr},
        {"COM0", nullptr},  {"COMx", nullptr},   {"LPT1", nullptr},   {"COM", nullptr},
        {"", nullptr},      {"COM-1", nullptr},  {"COM+1", nullptr},  {"COM 1", nullptr},
        {"COM1 ", nullptr}, {"COM01", nullptr},  {"COM99999999999", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<std::string> expected;
        if (c.device != nullptr) expected = (tree.Dev() / c.device).string();
        EXPECT_EQ(map.Resolve(c.name), expected);
    }
}

}  // namespace
}  // namespace vantrell
