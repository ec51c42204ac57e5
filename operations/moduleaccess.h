#pragma once
// How an operation reaches its module: where it is, how a COM n leads to a
// device, and the port objects to open it on (the system's serial ports, a
// simulated line, a traced port). Where an opening goes is resolved once,
// as a typed target, and the port made for that target.

#include "link/networkport.h"
#include "link/portaddress.h"
#include "link/portlist.h"

#include <QString>

#include <functional>

struct ModuleAccess {
    // Where the module is, asked when the port opens: the window's COM box
    // may change until the first step is sent.
    std::function<PortAddress()> address;
    ComDeviceMapper comDevice;   // COM n -> device; the machine's ports when empty
    SerialPortFactory newPort;   // fresh port objects; those of the target's kind when empty
    // Called before each opening: the front end lets go of the ports its
    // operations still hold, so the same device is closed before it is
    // opened again (the window keeps its last port open until then).
    std::function<void()> beforeOpening;
    // The module's connection when it is behind a device server: held by
    // each operation while it runs, and by a command or a fleet's module
    // for all its steps, so they share it.
    std::shared_ptr<ModuleConnection> connection = std::make_shared<ModuleConnection>();
    // The log and the backups name the port by its device; a module inside
    // the program by this name instead ("--sim").
    QString loggedName;
    // The serial ports the log looks up the adapter and serial number in:
    // the machine's port directory when empty, whose walk every module
    // shares (a walk blocks the program's one event loop a while).
    std::function<QList<FoundPort>()> portsFound;

    static ModuleAccess at(const PortAddress &address, TlsCredentials tls = TlsCredentials());

    // Where an opening goes now.
    PortTarget target() const;
    // "COM 1 (/dev/ttyUSB0)", "/dev/ttyUSB0": how messages name it.
    QString description() const;
    // How the port is opened, each time anew.
    PortOpener opener() const;

    // Connects to a module behind the network before a run's clock
    // starts, so the connection's time counts for none of its pauses;
    // `done` gets why it could not, or nothing (at once for a local port).
    void connectFirst(const std::function<void(std::optional<PortFailure>)> &done) const;
};
