#include "SeaTalkWire.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

TEST(SeaTalkWire, FrameIsStartDataLsbFirstParityStop) {
    // 0x86 = 1000 0110: three ones, so even parity adds a one.
    const Frame expected = {false, false, true, true, false, false, false, false, true, true, true};
    EXPECT_EQ(EncodeFrame(0x86, Parity::Even), expected);
    EXPECT_EQ(EncodeFrame(0x86, Parity::None).size(), 10u);
}

TEST(SeaTalkWire, NinthBitFollowsParityAndOnes) {
    struct Case {
        std::uint8_t byte;
        Parity parity;
        bool ninth;
    } const cases[] = {
        {0x00, Parity::Odd, true},  {0x00, Parity::Even, false}, {0x01, Parity::Odd, false},
        {0x01, Parity::Even, true}, {0xFF, Parity::Odd, true},   {0xFF, Parity::Even, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "byte " << int{c.byte});
        const auto ch = DecodeFrame(EncodeFrame(c.byte, c.parity));
        ASSERT_TRUE(ch.has_value());
        EXPECT_EQ(ch->value, c.byte);
        EXPECT_EQ(ch->command, c.ninth);
    }
}

TEST(SeaTalkWire, MalformedFramesDoNotDecode) {
    Frame noParity = EncodeFrame(0x42, Parity::None);
    EXPECT_FALSE(DecodeFrame(noParity));
    Frame badStart = EncodeFrame(0x42, Parity::Odd);
    badStart.front() = true;
    EXPECT_FALSE(DecodeFrame(badStart));
    Frame badStop = EncodeFrame(0x42, Parity::Odd);
    badStop.back() = false;
    EXPECT_FALSE(DecodeFrame(badStop));
}

TEST(SeaTalkWire, DatagramsStartAtCommandBits) {
    const std::vector<SeaTalkChar> chars = {{0x01, false}, {0x86, true}, {0x21, false}, {0x84, true}};
    const auto datagrams = SplitDatagrams(chars);
    ASSERT_EQ(datagrams.size(), 3u);
    EXPECT_EQ(FormatChars(datagrams[0]), "01");
    EXPECT_EQ(FormatChars(datagrams[1]), "*86 21");
    EXPECT_EQ(FormatChars(datagrams[2]), "*84");
}

}  // namespace
}  // namespace vantrell
