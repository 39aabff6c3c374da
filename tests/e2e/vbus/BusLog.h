// Reads VirtualUart's log back as what a SeaTalk listener would have seen.
//
// Each logged write carries the byte, the line settings in force when it was
// written, and the modelled times its frame starts and ends on the wire. The
// frame is built and decoded with SeaTalkWire, so the ninth bit here is the
// one a UART under that parity really sends. Along the way the reader checks
// what the parity trick relies on:
//
//   - every byte goes out with 8 data bits, odd or even parity, 1 stop bit
//     (anything else has no ninth bit where SeaTalk expects it);
//   - no settings change is applied while a byte is still on the line: a
//     UART reprogrammed mid-frame sends that frame with the wrong ninth bit,
//     or garbles it. The check uses the modelled end time of the last byte
//     written before the change.
//   - what reached the pty master is exactly the bytes written (no output
//     processing such as ONLCR turning 0A into 0D 0A).
//
// Each problem becomes one line of text in BusTrace::problems, so a test
// failure says what went wrong on the wire.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "SeaTalkWire.h"

namespace vantrell::e2e {

struct BusEvent {
    std::string kind;                        // open, get, set, write, outq, lsr, drain, poll, ...
    std::int64_t t = 0;                      // CLOCK_MONOTONIC ns at the call
    int pid = 0;
    int fd = -1;
    std::map<std::string, std::string> fields;

    // The field as a number (decimal or 0x hex); fallback when absent.
    std::int64_t Number(const std::string& key, std::int64_t fallback = 0) const;
    std::string Text(const std::string& key) const;
};

struct BusByte {
    std::uint8_t value = 0;
    std::int64_t written = 0;               // when write() was called
    std::int64_t start = 0;                  // when its frame starts on the wire
    std::int64_t end = 0;                    // and when its stop bit has gone
    std::string parity;                      // none, odd, even, mark, space
    std::optional<SeaTalkChar> ch;           // none when the frame has no ninth bit
};

struct BusTrace {
    std::vector<BusEvent> events;
    std::vector<BusByte> bytes;
    std::vector<SeaTalkChar> chars;          // the decodable bytes, in order
    std::vector<std::string> problems;

    std::vector<std::vector<SeaTalkChar>> Datagrams() const { return SplitDatagrams(chars); }
    // "*86 21 01 | *84 06 00": datagrams as FormatChars prints them.
    std::string Text() const;
    std::size_t Count(const std::string& kind) const;
};

// Decodes a log. wire, when given, is what the pty master delivered and is
// compared with the bytes written.
BusTrace ReadBusLog(const std::string& log, const std::optional<std::string>& wire = std::nullopt);

}  // namespace vantrell::e2e
