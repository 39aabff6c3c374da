#include "SeaTalkWire.h"

#include <cstdio>

namespace vantrell {

int CountOneBits(std::uint8_t byte) {
    int ones = 0;
    for (; byte != 0; byte = static_cast<std::uint8_t>(byte & (byte - 1))) ++ones;
    return ones;
}

bool ParityBit(std::uint8_t byte, Parity parity) {
    const bool oddOnes = CountOneBits(byte) % 2 == 1;
    // Odd parity makes the total count of ones odd, even parity even.
    return parity == Parity::Odd ? !oddOnes : oddOnes;
}

Frame EncodeFrame(std::uint8_t byte, Parity parity) {
    Frame frame;
    frame.reserve(11);
    frame.push_back(false);
    for (int bit = 0; bit < 8; ++bit) frame.push_back(((byte >> bit) & 1) != 0);
    if (parity != Parity::None) frame.push_back(ParityBit(byte, parity));
    frame.push_back(true);
    return frame;
}

std::optional<SeaTalkChar> DecodeFrame(const Frame& frame) {
    if (frame.size() != 11 || frame.front() || !frame.back()) return std::nullopt;
    SeaTalkChar ch;
    for (int bit = 0; bit < 8; ++bit) {
        if (frame[static_cast<std::size_t>(1 + bit)]) ch.value = static_cast<std::uint8_t>(ch.value | (1u << bit));
    }
    ch.command = frame[9];
    return ch;
}

std::vector<std::vector<SeaTalkChar>> SplitDatagrams(const std::vector<SeaTalkChar>& chars) {
    std::vector<std::vector<SeaTalkChar>> datagrams;
    for (const SeaTalkChar& ch : chars) {
        if (ch.command || datagrams.empty()) datagrams.emplace_back();
        datagrams.back().push_back(ch);
    }
    return datagrams;
}

std::string FormatChars(const std::vector<SeaTalkChar>& chars) {
    std::string text;
    for (const SeaTalkChar& ch : chars) {
        char buf[5];
        std::snprintf(buf, sizeof buf, "%s%s%02X", text.empty() ? "" : " ", ch.command ? "*" : "",
                      ch.value);
        text += buf;
    }
    return text;
}

std::uint64_t FrameTimeUs(std::uint32_t baudRate, Parity parity) {
    const std::uint64_t bits = parity == Parity::None ? 10 : 11;
    return baudRate == 0 ? 0 : (bits * 1000000 + baudRate - 1) / baudRate;
}

}  // namespace vantrell
