#pragma once
// How an operation reaches its module: where it is, how a COM n leads to a
// device, and the port objects to open it on (the system's serial ports, a
// simulated line, a traced port).

#include "link/portaddress.h"

#include <QString>

#include <functional>

struct ModuleAccess {
    // Where the module is, asked when the port opens: the window's COM box
    // may change until the first step is sent.
    std::function<PortAddress()> address;
    ComDeviceMapper comDevice;   // COM n -> device; the machine's ports when empty
    SerialPortFactory newPort;   // fresh port objects; the system's serial ports when empty
    // The log and the backups name the port by its device; a module inside
    // the program by this name instead ("--sim").
    QString loggedName;
    // The window keeps the port open after an operation, as the module's
    // own tool did, until the next operation opens it anew; a command
    // closes it when it is done.
    bool keepPortOpen = false;

    static ModuleAccess at(const PortAddress &address);

    // The device it leads to now.
    QString device() const;
    // "COM 1 (/dev/ttyUSB0)", "/dev/ttyUSB0": how messages name it.
    QString description() const;
    // How the port is opened, each time anew.
    PortOpener opener() const;
};
