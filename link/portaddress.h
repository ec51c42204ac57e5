#pragma once
// Where a module is: behind one of the window's COM boxes (COM n, which
// leads to whatever port the machine has for that box at the moment it is
// opened), or at a device path. Parsed once from what the user typed, and
// opened on a fresh port object.

#include "link/serialport.h"

#include <QString>

#include <optional>

class PortAddress {
public:
    enum class Kind { Com, Device };

    static PortAddress com(int number) { return PortAddress(Kind::Com, number, {}); }
    static PortAddress device(const QString &path) { return PortAddress(Kind::Device, 0, path); }

    // What a user typed for a port: "COM1".."COM4" (any case) is that COM
    // box; on Windows any "COMn" is the device COMn. Any other text is a
    // device path. Nothing for an empty text, "COM0", and on Linux for
    // "COM5" and up, which name no box the window offers.
    static std::optional<PortAddress> parse(const QString &text);
    // The forms parse() takes, for a message about one it does not.
    static QString formsTaken();

    bool isCom() const { return m_kind == Kind::Com; }

    // The device it leads to now: a COM n's through `comDevice`, or the
    // machine's port for that box when it is empty. Asked at every opening,
    // so an adapter plugged in meanwhile is found.
    QString deviceNow(const ComDeviceMapper &comDevice) const;
    // "COM 3", or the device path: how the window's box names the port.
    QString name() const;
    // "COM 1 (/dev/ttyUSB0)", or the device path: how a message names it.
    QString description(const ComDeviceMapper &comDevice) const;

    // Opens the port on a fresh object of `newPort` (the system's serial
    // port when it is empty) and hands it to `done`; a local port before
    // this returns.
    void open(const ComDeviceMapper &comDevice, const SerialPortFactory &newPort, const PortOpened &done) const;

    bool operator==(const PortAddress &) const = default;

private:
    PortAddress(Kind kind, int comNumber, QString device)
        : m_kind(kind), m_comNumber(comNumber), m_device(std::move(device))
    {
    }

    Kind m_kind;
    int m_comNumber;
    QString m_device;
};
