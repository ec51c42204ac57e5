#pragma once
// How an operation reaches its module: where it is, how a COM n leads to a
// device, and the port objects to open it on (the system's serial ports, a
// simulated line, a traced port).

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
    // The device server the module is behind now, if it is: known without a
    // walk over the machine's serial ports. By default the address's own.
    std::function<std::optional<NetworkAddress>()> networkAddress;
    SerialPortFactory newPort;   // fresh port objects; the address's own kind when empty
    // Called before each opening (the window lets go of its last port, so
    // the same device is closed before it is opened again).
    std::function<void()> beforeOpening;
    // The connection to a module behind the network, shared by every
    // opening until operationEnded().
    std::shared_ptr<NetworkLines> network = std::make_shared<NetworkLines>();
    // A command keeps one connection for all its steps (--backup, the
    // write, --verify); the window's operations each make their own.
    bool oneConnectionForAll = false;
    // The log and the backups name the port by its device; a module inside
    // the program by this name instead ("--sim").
    QString loggedName;
    // The machine's serial ports, for the adapter and serial number the log
    // gives: a fresh walk over them when empty. Many modules run at once
    // share one walk, which blocks the program's one event loop a while.
    std::function<QList<FoundPort>()> portsFound;
    // The window keeps the port open after an operation, as the module's
    // own tool did, until the next operation opens it anew; a command
    // closes it when it is done.
    bool keepPortOpen = false;

    static ModuleAccess at(const PortAddress &address, TlsCredentials tls = TlsCredentials());

    // The device it leads to now.
    QString device() const;
    // "COM 1 (/dev/ttyUSB0)", "/dev/ttyUSB0": how messages name it.
    QString description() const;
    // How the port is opened, each time anew.
    PortOpener opener() const;
    // The device server the module is behind now, if it is.
    std::optional<NetworkAddress> networkNow() const;

    // Connects to a module behind the network before a run's clock
    // starts, so the connection's time counts for none of its pauses;
    // `done` gets why it could not, or nothing (at once for a local port).
    void connectFirst(const std::function<void(std::optional<PortFailure>)> &done) const;
    // Whether the port stays open once an operation has ended: a network
    // connection never does, so other clients of the server can reach the
    // module.
    bool keepsPortOpen() const;
    // An operation has ended and let go of its port.
    void operationEnded() const;
};
