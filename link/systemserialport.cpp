#include "link/systemserialport.h"

#ifdef Q_OS_WIN
#include "link/win32serialport.h"
using SystemSerialPort = Win32SerialPort;
#else
#include "link/qtserialport.h"
using SystemSerialPort = QtSerialPort;
#endif

std::unique_ptr<SerialPort> makeSystemSerialPort()
{
    return std::make_unique<SystemSerialPort>();
}
