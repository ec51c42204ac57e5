#pragma once
// The serial ports a machine has, and which one each COM box of the window
// leads to. PCs seldom have a COM port today: the module is usually behind
// a USB-serial adapter (/dev/ttyUSB0, /dev/ttyACM0 on Linux; COM3 or higher
// on Windows), so "COM 1" cannot simply mean /dev/ttyS0.

#include <QList>
#include <QString>

#include <array>
#include <optional>

struct FoundPort {
    QString device;         // "/dev/ttyUSB0", "COM3"
    QString description;    // "FT232R USB UART"
    QString manufacturer;   // "FTDI"
    QString serialNumber;   // "A12345"
    QString byIdPath;       // "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0"

    bool operator==(const FoundPort &) const = default;
};

// The window's COM boxes, COM 1 to COM 4.
inline constexpr int kComPortCount = 4;

// "COM 3": how the window's box, its messages and the command line name COM n.
inline QString comPortName(int comPort) { return QStringLiteral("COM %1").arg(comPort); }

// When the system reports no serial port at all.
inline const QString kNoSerialPortText = QStringLiteral("no serial port was found: plug in the USB-serial adapter");
inline const QString kNoSerialPortDutch = QStringLiteral("Er is geen seriële poort gevonden. Sluit de USB-seriële adapter aan");

// The ports the system reports now (QSerialPortInfo), each with its stable
// /dev/serial/by-id name where Linux gives one.
QList<FoundPort> foundPorts();

// The device each of COM 1..4 opens, from the ports found. On Linux COM n is
// the n-th port: first the built-in UARTs (/dev/ttyS*) in number order, then
// the adapters in the order of their by-id names, which stays the same when
// an adapter is plugged in again (its /dev/ttyUSBn may not). With fewer
// ports than n, COM n keeps /dev/ttyS(n-1). On Windows COM n is "COMn".
std::array<QString, kComPortCount> comDevices(const QList<FoundPort> &ports);

// The port found for `device` (its path or its by-id name), if any.
std::optional<FoundPort> portOfDevice(const QString &device, const QList<FoundPort> &ports);

// "/dev/ttyUSB0 – FT232R USB UART (FTDI), serienummer A12345": the device and
// what the system knows of it, or that it is not present.
QString portDescription(const QString &device, const QList<FoundPort> &ports);

// One line per port found, as `kvr7314-cli ports` and the open-failure
// details list them.
QString portListing(const QList<FoundPort> &ports);
