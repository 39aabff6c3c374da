// Reading a command script: what separates tokens, what a token is worth,
// and which parity carries the command bit.
//
// A script is hexadecimal numbers separated by white space, one byte per
// number: "86 21 01" is a three-byte datagram. A token is scanned the way
// the C library's "%x" conversion scans it, which is what scripts have
// always been written against: optional leading white space, an optional
// sign, an optional 0x or 0X prefix, then hex digits up to the first byte
// that is not one. The value wraps modulo 2^32, so only the last eight
// digits count, and only the low byte goes on the wire: "1234" sends 0x34,
// "86h" sends 0x86, "-1" sends 0xFF.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vantrell {

// Blank, tab, line feed, vertical tab, form feed and carriage return all end
// a token, so a script can be laid out on several lines.
constexpr bool IsTokenSeparator(unsigned char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }

// The number a "%x" scan takes from token, or nothing when it takes none:
// an empty token, white space alone, a sign or a 0x prefix with no digit
// after it, or a token that starts with anything else ("x86", "G1").
std::optional<std::int32_t> ScanHexToken(std::string_view token);

// The parity that makes the UART's parity bit the SeaTalk command bit: set
// (1) on the first byte of a datagram, clear (0) on every later one. True
// selects odd parity.
bool ChooseOddParity(std::int32_t value, bool bFirstByte);

}  // namespace vantrell
