// VbusPortDriver: sends one datagram through CSeaTalkPort on the machine's
// real serial backend, so the fixture can check that backend on the virtual
// bus before (and apart from) the programs built on it.
//
//   VbusPortDriver PORT HH [HH...]
//
// The first byte carries the command bit, the rest do not. Prints one line
// per byte and exits 0 when all went out, 4 when the port did not open, 5
// when a byte failed.
#include <cstdio>
#include <cstdlib>

#include "SeaTalkPort.h"
#include "SeaTalkWire.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: VbusPortDriver PORT HH [HH...]\n");
        return 2;
    }
    vantrell::CSeaTalkPort port;
    if (port.OpenPort(argv[1]) == 0) {
        std::printf("open failed: %s\n", port.LastError().message.c_str());
        return 4;
    }
    for (int i = 2; i < argc; ++i) {
        const auto value = static_cast<std::uint8_t>(std::strtoul(argv[i], nullptr, 16));
        const bool command = i == 2;
        // The parity whose bit, as the UART computes it, is the command bit.
        const bool odd = vantrell::ParityBit(value, vantrell::Parity::Odd) == command;
        if (port.SendByte(value, odd ? 1 : 0) == 0) {
            std::printf("byte %02X failed: %s\n", value, port.LastError().message.c_str());
            return 5;
        }
        std::printf("byte %02X sent\n", value);
    }
    return 0;
}
