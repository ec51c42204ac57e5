#pragma once
// The serial port of the system the program runs on: QSerialPort on Linux,
// the Win32 communications API on Windows (Qt's serial module does not
// cross-build, and under wine it cannot read a pseudo-terminal).

#include "link/serialport.h"

#include <memory>

// A new, unopened port.
std::unique_ptr<SerialPort> makeSystemSerialPort();
