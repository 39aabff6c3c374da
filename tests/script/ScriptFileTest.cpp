#include "ScriptFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "ScriptFiles.h"

namespace vantrell {
namespace {

TEST(FileException, MessagesByCause) {
    const char* const messages[] = {
        "An unknown error occurred while accessing an unnamed file.",
        "an unnamed file was not found.",
        "an unnamed file contains an invalid path.",
        "an unnamed file could not be opened because there are too many open files.",
        "Access to an unnamed file was denied.",
        "An invalid file handle was associated with an unnamed file.",
        "an unnamed file could not be removed because it is the current directory.",
        "an unnamed file could not be created because the directory is full.",
        "Seek failed on an unnamed file",
        "A hardware I/O error was reported while accessing an unnamed file.",
        "A sharing violation occurred while accessing an unnamed file.",
        "A locking violation occurred while accessing an unnamed file.",
        "Disk full while accessing an unnamed file.",
        "An attempt was made to access an unnamed file past its end.",
    };
    for (int cause = 1; cause <= 14; ++cause) {
        EXPECT_STREQ(FileException(static_cast<FileException::Cause>(cause), 0).what(), messages[cause - 1])
            << "cause " << cause;
    }
    EXPECT_EQ(FileException(FileException::fileNotFound, ENOENT, "/x/y.ray").GetErrorMessage(),
              "/x/y.ray was not found.");
}

TEST(ScriptFile, ReadsEveryByteOneAtATime) {
    ScriptFiles files;
    std::string content(200000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
    ScriptFile file;
    ASSERT_TRUE(file.Open(files.Write("big.ray", content)));
    std::string read;
    char ch;
    while (file.Read(&ch, 1) == 1) read.push_back(ch);
    EXPECT_EQ(read, content) << "read-ahead must hand back every byte once, in order";
    EXPECT_EQ(file.Read(&ch, 1), 0u) << "the end stays the end";
    file.Close();
}

// What the pass sees from a script it could not open: the first read fails
// with a cause that says why.
TEST(ScriptFile, FailedOpenReportsItsReasonOnTheFirstRead) {
    ScriptFiles files;
    const std::string locked = files.Write("locked.ray", "86");
    ::chmod(locked.c_str(), 0);
    const std::string notDir = files.Write("plain", "86") + "/inside.ray";

    struct Case {
        const char* what;
        std::string path;
        FileException::Cause cause;
        const char* message;
    } const cases[] = {
        {"absent", files.Path("gone.ray"), FileException::fileNotFound, "an unnamed file was not found."},
        {"a directory", files.Path(""), FileException::accessDenied, "Access to an unnamed file was denied."},
        {"no permission", locked, FileException::accessDenied, "Access to an unnamed file was denied."},
        {"bad path", notDir, FileException::badPath, "an unnamed file contains an invalid path."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.cause == FileException::accessDenied && c.path == locked && ::geteuid() == 0) {
            continue;  // root reads anything
        }
        ScriptFile file;
        EXPECT_FALSE(file.Open(c.path));
        char ch;
        try {
            file.Read(&ch, 1);
            ADD_FAILURE() << "read did not throw";
        } catch (const FileException& e) {
            EXPECT_EQ(e.GetCause(), c.cause);
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

TEST(ScriptFile, FifoDoesNotHangTheOpen) {
    ScriptFiles files;
    const std::string fifo = files.Path("pipe.ray");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ScriptFile file;
    ASSERT_TRUE(file.Open(fifo));
    char ch;
    EXPECT_EQ(file.Read(&ch, 1), 0u) << "no writer: the end at once";
}

}  // namespace
}  // namespace vantrell
