// The Linux serial backend, on POSIX termios.
#pragma once

#include "SerialDevice.h"

namespace vantrell {

// The backend the programs use: the machine's serial ports, with "COM1" and
// "COM2" mapped to its first and second port.
SerialBackend& SystemSerialBackend();

}  // namespace vantrell
