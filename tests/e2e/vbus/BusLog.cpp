#include "BusLog.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace vantrell::e2e {

namespace {

std::string Ms(std::int64_t ns) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f ms", static_cast<double>(ns) / 1e6);
    return buf;
}

std::string Hex(std::uint8_t value) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", value);
    return buf;
}

std::optional<BusEvent> ParseLine(const std::string& line) {
    std::istringstream words(line);
    BusEvent event;
    if (!(words >> event.kind)) return std::nullopt;
    std::string word;
    while (words >> word) {
        const auto eq = word.find('=');
        if (eq == std::string::npos || eq == 0) return std::nullopt;
        event.fields[word.substr(0, eq)] = word.substr(eq + 1);
    }
    if (event.fields.count("t") == 0) return std::nullopt;
    event.t = event.Number("t", -1);
    event.pid = static_cast<int>(event.Number("pid"));
    event.fd = static_cast<int>(event.Number("fd", -1));
    return event;
}

// The ninth bit of a byte under the logged settings, through the same frame
// a UART would send.
std::optional<SeaTalkChar> Decode(const BusEvent& write, std::uint8_t value, std::string& why) {
    const std::string parity = write.Text("parity");
    if (write.Number("bits") != 8 || write.Number("stop") != 1) {
        why = "sent with " + write.Text("bits") + " data bits and " + write.Text("stop") + " stop bits";
        return std::nullopt;
    }
    if (parity != "odd" && parity != "even") {
        why = "sent with parity " + parity + ", not odd or even";
        return std::nullopt;
    }
    const auto ch = DecodeFrame(EncodeFrame(value, parity == "odd" ? Parity::Odd : Parity::Even));
    if (!ch) why = "does not frame";
    return ch;
}

}  // namespace

std::int64_t BusEvent::Number(const std::string& key, std::int64_t fallback) const {
    const auto it = fields.find(key);
    if (it == fields.end()) return fallback;
    char* end = nullptr;
    const long long value = std::strtoll(it->second.c_str(), &end, 0);
    return end != nullptr && *end == '\0' ? value : fallback;
}

std::string BusEvent::Text(const std::string& key) const {
    const auto it = fields.find(key);
    return it == fields.end() ? std::string() : it->second;
}

std::string BusTrace::Text() const {
    std::string text;
    for (const auto& datagram : Datagrams()) {
        if (!text.empty()) text += " | ";
        text += FormatChars(datagram);
    }
    return text;
}

std::size_t BusTrace::Count(const std::string& kind) const {
    std::size_t n = 0;
    for (const BusEvent& event : events) n += event.kind == kind ? 1 : 0;
    return n;
}

BusTrace ReadBusLog(const std::string& log, const std::optional<std::string>& wire) {
    BusTrace trace;
    std::istringstream lines(log);
    std::string line;
    int lineNo = 0;
    while (std::getline(lines, line)) {
        ++lineNo;
        if (line.empty()) continue;
        auto event = ParseLine(line);
        if (!event) {
            trace.problems.push_back("log line " + std::to_string(lineNo) + " unreadable: " + line);
            continue;
        }
        trace.events.push_back(std::move(*event));
    }

    std::string written;
    for (const BusEvent& event : trace.events) {
        if (event.kind == "write") {
            BusByte byte;
            byte.value = static_cast<std::uint8_t>(event.Number("byte"));
            byte.written = event.t;
            byte.start = event.Number("start");
            byte.end = event.Number("end");
            byte.parity = event.Text("parity");
            // The model's frame: start bit, data, parity, stop bits.
            const std::int64_t baud = event.Number("baud");
            const std::int64_t bits =
                1 + event.Number("bits") + (byte.parity == "none" ? 0 : 1) + event.Number("stop");
            const std::int64_t frameNs = baud > 0 ? (bits * 1000000000 + baud - 1) / baud : 0;
            if (byte.end - byte.start != frameNs) {
                trace.problems.push_back("byte " + Hex(byte.value) + " took " + Ms(byte.end - byte.start) +
                                         " on the line, a frame takes " + Ms(frameNs));
            }
            std::string why;
            byte.ch = Decode(event, byte.value, why);
            if (byte.ch) {
                trace.chars.push_back(*byte.ch);
            } else {
                trace.problems.push_back("byte " + Hex(byte.value) + " " + why);
            }
            trace.bytes.push_back(byte);
            written.push_back(static_cast<char>(byte.value));
        } else if (event.kind == "set" && !trace.bytes.empty() && event.t < trace.bytes.back().end) {
            const BusByte& last = trace.bytes.back();
            trace.problems.push_back("settings changed (parity " + event.Text("parity") + ") while byte " +
                                     Hex(last.value) + " was on the line: " + Ms(last.end - event.t) +
                                     " before its stop bit left");
        }
    }

    if (wire && *wire != written) {
        std::string seen;
        for (unsigned char c : *wire) seen += (seen.empty() ? "" : " ") + Hex(c);
        trace.problems.push_back("the pty received " + std::to_string(wire->size()) + " bytes (" + seen +
                                 ") for " + std::to_string(written.size()) + " written");
    }
    return trace;
}

}  // namespace vantrell::e2e
