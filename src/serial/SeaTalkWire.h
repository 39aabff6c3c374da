// What a byte looks like on the SeaTalk wire, and back.
//
// Every character is one start bit (0), eight data bits least significant
// first, the parity bit, and one stop bit (1): eleven bit times. SeaTalk
// reads the parity bit as its ninth bit, the command bit. Decoding turns a
// frame back into that 9-bit character; a frame of ten bits (sent with no
// parity) carries no ninth bit and does not decode.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "SerialDevice.h"

namespace vantrell {

using Frame = std::vector<bool>;

struct SeaTalkChar {
    std::uint8_t value = 0;
    bool command = false;
    friend bool operator==(const SeaTalkChar& a, const SeaTalkChar& b) {
        return a.value == b.value && a.command == b.command;
    }
};

int CountOneBits(std::uint8_t byte);

// The parity bit a UART appends to byte under parity; parity must not be None.
bool ParityBit(std::uint8_t byte, Parity parity);

// The frame a UART sends for byte: 11 bits, or 10 with no parity.
Frame EncodeFrame(std::uint8_t byte, Parity parity);

// The 9-bit character in an 11-bit frame, or nothing when the frame is not
// one (wrong length, start bit 1, stop bit 0).
std::optional<SeaTalkChar> DecodeFrame(const Frame& frame);

// Characters grouped into datagrams: each starts at a character with the
// command bit. Characters before the first command bit form a datagram of
// their own, so nothing on the wire goes unreported.
std::vector<std::vector<SeaTalkChar>> SplitDatagrams(const std::vector<SeaTalkChar>& chars);

// "*86 21 01" style: command-bit characters marked with '*'. For test output.
std::string FormatChars(const std::vector<SeaTalkChar>& chars);

// Line time of one frame in microseconds at the given baud rate.
std::uint64_t FrameTimeUs(std::uint32_t baudRate, Parity parity);

}  // namespace vantrell
