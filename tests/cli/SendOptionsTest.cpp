#include "SendOptions.h"

#include <gtest/gtest.h>

#include <sstream>

#include "ExitCodes.h"

namespace vantrell {
namespace {

using Args = std::vector<std::string>;
using Action = SendOptions::Action;

TEST(SendOptionsTest, GoodCommandLines) {
    struct Case {
        Args args;
        Action action;
        const char* port;
        bool bRepeat;
        std::uint64_t nRepeat;
        std::uint32_t nIntervalMs;
        const char* script;
    } const cases[] = {
        {{"s.ray"}, Action::Send, "COM1", false, 1, 1000, "s.ray"},
        {{"--port", "COM2", "s.ray"}, Action::Send, "COM2", false, 1, 1000, "s.ray"},
        {{"--port=com2", "s.ray"}, Action::Send, "COM2", false, 1, 1000, "s.ray"},
        {{"s.ray", "--port", "/dev/ttyUSB0"}, Action::Send, "/dev/ttyUSB0", false, 1, 1000, "s.ray"},
        {{"--repeat", "3", "s.ray"}, Action::Send, "COM1", true, 3, 1000, "s.ray"},
        {{"--repeat=0", "s.ray"}, Action::Send, "COM1", true, 0, 1000, "s.ray"},
        {{"--repeat", "007", "s.ray"}, Action::Send, "COM1", true, 7, 1000, "s.ray"},
        {{"--repeat", "18446744073709551615", "s.ray"}, Action::Send, "COM1", true, 18446744073709551615u, 1000,
         "s.ray"},
        {{"--repeat", "2", "--repeat", "5", "s.ray"}, Action::Send, "COM1", true, 5, 1000, "s.ray"},
        {{"--interval", "0.25", "--repeat", "3", "s.ray"}, Action::Send, "COM1", true, 3, 250, "s.ray"},
        {{"--interval=0", "s.ray"}, Action::Send, "COM1", false, 1, 0, "s.ray"},
        {{"--interval", ".5", "s.ray"}, Action::Send, "COM1", false, 1, 500, "s.ray"},
        {{"--interval", "2.", "s.ray"}, Action::Send, "COM1", false, 1, 2000, "s.ray"},
        {{"--interval", "0.0005", "s.ray"}, Action::Send, "COM1", false, 1, 1, "s.ray"},
        {{"--interval", "0.0004", "s.ray"}, Action::Send, "COM1", false, 1, 0, "s.ray"},
        {{"--interval", "1.99951", "s.ray"}, Action::Send, "COM1", false, 1, 2000, "s.ray"},
        {{"--interval", "4294967.295", "s.ray"}, Action::Send, "COM1", false, 1, 4294967295u, "s.ray"},
        {{"--", "--odd name.ray"}, Action::Send, "COM1", false, 1, 1000, "--odd name.ray"},
        {{"-"}, Action::Send, "COM1", false, 1, 1000, "-"},
        {{"--list-ports"}, Action::ListPorts, "COM1", false, 1, 1000, ""},
        {{"--help", "--bogus"}, Action::Help, "COM1", false, 1, 1000, ""},
        {{"-h"}, Action::Help, "COM1", false, 1, 1000, ""},
        {{"s.ray", "--version"}, Action::Version, "COM1", false, 1, 1000, ""},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& arg : c.args) line += "[" + arg + "]";
        SCOPED_TRACE(line);
        SendOptions options;
        options.strScriptPath = "left over";
        std::ostringstream err;
        EXPECT_EQ(ParseSendOptions(c.args, options, err), kExitOk);
        EXPECT_EQ(err.str(), "");
        EXPECT_EQ(options.action, c.action);
        EXPECT_EQ(options.strPort, c.port);
        EXPECT_EQ(options.bRepeat, c.bRepeat);
        EXPECT_EQ(options.nRepeat, c.nRepeat);
        EXPECT_EQ(options.nIntervalMs, c.nIntervalMs);
        EXPECT_EQ(options.strScriptPath, c.script);
    }
}

TEST(SendOptionsTest, BadCommandLinesExit2AndSayWhy) {
    struct Case {
        Args args;
        const char* message;
    } const cases[] = {
        {{}, "no script given"},
        {{"--repeat", "3"}, "no script given"},
        {{"a.ray", "b.ray"}, "one script at a time ('b.ray' is one too many)"},
        {{""}, "the script's name is empty"},
        {{"--bogus", "s.ray"}, "unknown option '--bogus'"},
        {{"-x", "s.ray"}, "unknown option '-x'"},
        {{"--bogus=1", "s.ray"}, "unknown option '--bogus'"},
        {{"s.ray", "--port"}, "option '--port' needs a value"},
        {{"s.ray", "--repeat"}, "option '--repeat' needs a value"},
        {{"--help=me"}, "option '--help' takes no value"},
        {{"--port", "COM3", "s.ray"}, "--port: 'COM3' is neither COM1, COM2 nor a device path"},
        {{"--port", "ttyUSB0", "s.ray"}, "--port: 'ttyUSB0' is neither COM1, COM2 nor a device path"},
        {{"--port=", "s.ray"}, "--port: '' is neither"},
        {{"--repeat", "-1", "s.ray"}, "--repeat: '-1' is not a whole number of 0 or more"},
        {{"--repeat", "+3", "s.ray"}, "--repeat: '+3' is not a whole number"},
        {{"--repeat", "1O", "s.ray"}, "--repeat: '1O' is not a whole number"},
        {{"--repeat", " 3", "s.ray"}, "--repeat: ' 3' is not a whole number"},
        {{"--repeat", "0x10", "s.ray"}, "--repeat: '0x10' is not a whole number"},
        {{"--repeat", "2.5", "s.ray"}, "--repeat: '2.5' is not a whole number"},
        {{"--repeat=", "s.ray"}, "--repeat: '' is not a whole number"},
        {{"--repeat", "18446744073709551616", "s.ray"}, "--repeat: '18446744073709551616' is too large"},
        {{"--interval", "-1", "s.ray"}, "--interval: '-1' is not a number of seconds"},
        {{"--interval", "1e3", "s.ray"}, "--interval: '1e3' is not a number of seconds"},
        {{"--interval", "1,5", "s.ray"}, "--interval: '1,5' is not a number of seconds"},
        {{"--interval", ".", "s.ray"}, "--interval: '.' is not a number of seconds"},
        {{"--interval", "1.2.3", "s.ray"}, "--interval: '1.2.3' is not a number of seconds"},
        {{"--interval", "inf", "s.ray"}, "--interval: 'inf' is not a number of seconds"},
        {{"--interval", "", "s.ray"}, "--interval: '' is not a number of seconds"},
        {{"--interval", "4294967.296", "s.ray"}, "--interval: '4294967.296' is too large"},
        {{"--interval", "99999999999999999999999", "s.ray"}, "is too large"},
        {{"--list-ports", "s.ray"}, "--list-ports takes no script ('s.ray')"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& arg : c.args) line += "[" + arg + "]";
        SCOPED_TRACE(line);
        SendOptions options;
        std::ostringstream err;
        EXPECT_EQ(ParseSendOptions(c.args, options, err), kExitUsage);
        EXPECT_EQ(err.str().rfind("vantrell-send: ", 0), 0u) << err.str();
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
        EXPECT_NE(err.str().find("Try 'vantrell-send --help'"), std::string::npos) << err.str();
    }
}

}  // namespace
}  // namespace vantrell
