#include "PortList.h"

#include <gtest/gtest.h>

#include <sstream>

#include "ExitCodes.h"

namespace vantrell {
namespace {

TEST(PortListTest, ShowsTheComMappingAndWhyADeviceDoesNotCount) {
    struct Case {
        const char* what;
        std::vector<SerialPortEntry> entries;
        const char* listing;
    } const cases[] = {
        {"two ports and a placeholder",
         {{"ttyS0", "/dev/ttyS0", 0, "no UART behind it (type unknown)"},
          {"ttyAMA0", "/dev/ttyAMA0", 1, ""},
          {"ttyUSB0", "/dev/ttyUSB0", 2, ""},
          {"ttyUSB1", "/dev/ttyUSB1", 3, ""}},
         "COM1  /dev/ttyAMA0\n"
         "COM2  /dev/ttyUSB0\n"
         "\n"
         "Serial devices:\n"
         "  /dev/ttyS0    does not count: no UART behind it (type unknown)\n"
         "  /dev/ttyAMA0  COM1\n"
         "  /dev/ttyUSB0  COM2\n"
         "  /dev/ttyUSB1  COM3\n"},
        {"one adapter", {{"ttyUSB0", "/dev/ttyUSB0", 1, ""}},
         "COM1  /dev/ttyUSB0\n"
         "COM2  (none on this machine)\n"
         "\n"
         "Serial devices:\n"
         "  /dev/ttyUSB0  COM1\n"},
        {"nothing at all", {},
         "COM1  (none on this machine)\n"
         "COM2  (none on this machine)\n"
         "\n"
         "Serial devices: none found\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ostringstream out;
        EXPECT_EQ(WritePortList(c.entries, out), kExitOk);
        EXPECT_EQ(out.str(), c.listing);
    }
}

}  // namespace
}  // namespace vantrell
