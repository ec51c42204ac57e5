#pragma once
// Where a module is: behind one of the window's COM boxes (COM n, which
// leads to whatever port the machine has for that box at the moment it is
// opened), at a device path, or behind a device server on the network.
// Parsed once from what the user typed, and opened on a fresh port object.

#include "link/networkaddress.h"
#include "link/serialport.h"

#include <QString>

#include <memory>
#include <optional>

class ModuleConnection;

// Where one opening goes, resolved once from a PortAddress: a serial
// device, or a device server's port. Everything after the resolution asks
// this what kind it is; nothing reads it from a device's text again.
struct PortTarget {
    QString device;                          // the device opened, or the server's address as given
    std::optional<NetworkAddress> network;   // a device server's port

    bool isNetwork() const { return network.has_value(); }
};

class PortAddress {
public:
    enum class Kind { Com, Device, Network };

    static PortAddress com(int number) { return PortAddress(Kind::Com, number, {}); }
    static PortAddress device(const QString &path) { return PortAddress(Kind::Device, 0, path); }
    static PortAddress network(const NetworkAddress &address)
    {
        PortAddress port(Kind::Network, 0, address.text);
        port.m_network = address;
        return port;
    }
    // The window's COM box n with a device server's port put behind it: it
    // keeps its name ("COM 1") and leads to the server.
    static PortAddress comBehind(int number, const NetworkAddress &address)
    {
        PortAddress port(Kind::Com, number, {});
        port.m_network = address;
        return port;
    }

    // What a user typed for a port: "COM1".."COM4" (any case) is that COM
    // box; on Windows any "COMn" is the device COMn. Any other text is a
    // device path, unless it holds "://": then it is a network address.
    // Nothing for an empty text, "COM0", on Linux for "COM5" and up, which
    // name no box the window offers, and for a malformed network address.
    static std::optional<PortAddress> parse(const QString &text);
    // The forms parse() takes, for a message about one it does not.
    static QString formsTaken();

    bool isCom() const { return m_kind == Kind::Com; }
    // It leads to a device server: a network address, or a COM box with one behind it.
    bool isNetwork() const { return m_network.has_value(); }
    // The network address, for a port of that kind.
    const std::optional<NetworkAddress> &networkAddress() const { return m_network; }

    // The device it leads to now: a COM n's through `comDevice`, or the
    // machine's port for that box when it is empty. Asked at every opening,
    // so an adapter plugged in meanwhile is found. A network address as
    // given.
    QString deviceNow(const ComDeviceMapper &comDevice) const;
    // Where an opening now goes: a COM n's device through `comDevice`.
    PortTarget target(const ComDeviceMapper &comDevice) const;
    // "COM 3", or the device path: how the window's box names the port.
    QString name() const;
    // "COM 1 (/dev/ttyUSB0)", or the device path: how a message names it.
    QString description(const ComDeviceMapper &comDevice) const;


    bool operator==(const PortAddress &) const = default;

private:
    PortAddress(Kind kind, int comNumber, QString device)
        : m_kind(kind), m_comNumber(comNumber), m_device(std::move(device))
    {
    }

    Kind m_kind;
    int m_comNumber;
    QString m_device;
    std::optional<NetworkAddress> m_network;
};

// A fresh, unopened port for `target`: the system's serial port, or for a
// device server a port on `connection`.
std::unique_ptr<SerialPort> newPortFor(const PortTarget &target, const std::shared_ptr<ModuleConnection> &connection);
