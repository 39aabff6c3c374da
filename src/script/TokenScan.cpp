#include "TokenScan.h"

#include "SeaTalkWire.h"

namespace vantrell {

namespace {

int HexDigit(unsigned char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::int32_t> ScanHexToken(std::string_view token) {
    std::size_t pos = 0;
    const std::size_t size = token.size();
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(i < size ? token[i] : '\0'); };

    while (pos < size && at(pos) >= '\t' && at(pos) <= '\r') ++pos;

    bool negative = false;
    if (at(pos) == '-' || at(pos) == '+') {
        negative = at(pos) == '-';
        ++pos;
    }

    // "0x" is a prefix only when both bytes are there; a "0" before anything
    // else is a digit of the number.
    if (at(pos) == '0' && (at(pos + 1) == 'x' || at(pos + 1) == 'X')) pos += 2;

    std::uint32_t value = 0;
    bool tookDigit = false;
    for (int digit; pos < size && (digit = HexDigit(at(pos))) >= 0; ++pos) {
        value = value * 16u + static_cast<std::uint32_t>(digit);
        tookDigit = true;
    }
    if (!tookDigit) return std::nullopt;

    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

bool ChooseOddParity(std::int32_t value, bool bFirstByte) {
    const bool oddOnes = CountOneBits(static_cast<std::uint8_t>(value & 0xFF)) % 2 == 1;
    // Odd parity gives a parity bit of 1 exactly when the byte has an even
    // number of ones; even parity when it has an odd number.
    return bFirstByte ? !oddOnes : oddOnes;
}

}  // namespace vantrell
