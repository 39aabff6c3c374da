// The line a SeaTalk port holds once it is open: 4800 baud, 8 data bits,
// no parity until the first byte picks one, one stop bit, parity checking
// of input on, no flow control, DTR and RTS off.
#pragma once

#include "SerialDevice.h"

namespace vantrell {

inline LineSettings SeaTalkOpenLine() {
    LineSettings line;
    line.baudRate = 4800;
    line.dataBits = 8;
    line.parity = Parity::None;
    line.stopBits = 1;
    line.parityCheck = true;
    return line;
}

}  // namespace vantrell
