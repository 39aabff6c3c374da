#include "TokenScan.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

TEST(TokenScan, ScansAsPercentXDoes) {
    struct Case {
        std::string token;
        std::optional<std::int32_t> value;
    } const cases[] = {
        {"86", 0x86},
        {"0x86", 0x86},
        {"0X86", 0x86},
        {"+86", 0x86},
        {"86h", 0x86},
        {"fe", 0xFE},
        {"FE", 0xFE},
        {"1234", 0x1234},
        {"123456789", 0x23456789},  // only the last eight digits count
        {"-1", -1},
        {"-86", -0x86},
        {"-0x10", -0x10},
        {"0", 0},
        {"00", 0},
        {"0g", 0},
        {"\t\r\n7F", 0x7F},
        {"7F\r\n", 0x7F},
        {std::string("8\0" "6", 3), 8},
        {"0x", std::nullopt},
        {"-0x", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"", std::nullopt},
        {"\r\n", std::nullopt},
        {"x86", std::nullopt},
        {"G1", std::nullopt},
        {"0xg", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("token \"" + c.token + "\"");
        EXPECT_EQ(ScanHexToken(c.token), c.value);
    }
}

TEST(TokenScan, SeparatorsAreTheSixWhiteSpaceBytes) {
    for (int ch = 0; ch < 256; ++ch) {
        const bool separator = ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
        EXPECT_EQ(IsTokenSeparator(static_cast<unsigned char>(ch)), separator) << "byte " << ch;
    }
}

TEST(TokenScan, CommandBitRule) {
    // The parity bit a UART adds is the command bit: odd parity sets it on a
    // byte with an even count of ones, even parity on one with an odd count.
    struct Case {
        std::int32_t value;
        bool first;
        bool odd;
    } const cases[] = {
        {0x86, true, false}, {0x21, false, false}, {0x01, false, true}, {0x00, true, true},
        {0x00, false, false}, {0x1FF, true, true},  // only the low byte counts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "value " << c.value << (c.first ? " first" : " later"));
        EXPECT_EQ(ChooseOddParity(c.value, c.first), c.odd);
    }
}

}  // namespace
}  // namespace vantrell
