#include "link/portlist.h"

#include "link/serialport.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#ifdef Q_OS_WIN
#include <QSettings>
#else
#include <QSerialPortInfo>
#endif

#include <algorithm>

namespace {

#ifndef Q_OS_WIN
// The number of a built-in UART (/dev/ttyS3 -> 3), or -1 for any other device.
int uartNumber(const QString &device)
{
    static const QRegularExpression uart(QStringLiteral("^/dev/ttyS(\\d+)$"));
    const QRegularExpressionMatch match = uart.match(device);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// The stable name Linux gives an adapter in /dev/serial/by-id, which points
// at its /dev/tty node; empty when there is none.
QString byIdPathOf(const QString &device)
{
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo &link : byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        if (link.isSymLink() && QFileInfo(link.symLinkTarget()).absoluteFilePath() == device)
            return link.absoluteFilePath();
    }
    return {};
}

bool builtInFirst(const FoundPort &a, const FoundPort &b)
{
    const int ua = uartNumber(a.device);
    const int ub = uartNumber(b.device);
    if ((ua >= 0) != (ub >= 0))
        return ua >= 0;
    if (ua >= 0)
        return ua < ub;
    const QString ka = a.byIdPath.isEmpty() ? a.device : a.byIdPath;
    const QString kb = b.byIdPath.isEmpty() ? b.device : b.byIdPath;
    return ka < kb;
}
#endif

} // namespace

QList<FoundPort> foundPorts()
{
    QList<FoundPort> ports;
#ifdef Q_OS_WIN
    // Every serial port Windows has: a value "\Device\VCP0" = "COM3" per port.
    const QSettings map(QStringLiteral("HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM"), QSettings::NativeFormat);
    for (const QString &driverName : map.childKeys())
        ports.append(FoundPort{map.value(driverName).toString(), driverName, {}, {}, {}});
    std::sort(ports.begin(), ports.end(), [](const FoundPort &a, const FoundPort &b) {
        return a.device.mid(3).toInt() < b.device.mid(3).toInt();
    });
#else
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        FoundPort port{info.systemLocation(), info.description(), info.manufacturer(), info.serialNumber(), {}};
        port.byIdPath = byIdPathOf(port.device);
        ports.append(port);
    }
#endif
    return ports;
}

std::array<QString, kComPortCount> comDevices(const QList<FoundPort> &ports)
{
    std::array<QString, kComPortCount> devices;
#ifdef Q_OS_WIN
    Q_UNUSED(ports);
    for (int n = 1; n <= kComPortCount; ++n)
        devices[size_t(n - 1)] = defaultComDevice(n);
#else
    QList<FoundPort> ordered = ports;
    std::stable_sort(ordered.begin(), ordered.end(), builtInFirst);
    for (int n = 1; n <= kComPortCount; ++n)
        devices[size_t(n - 1)] = n <= ordered.size() ? ordered[n - 1].device : defaultComDevice(n);
#endif
    return devices;
}

std::optional<FoundPort> portOfDevice(const QString &device, const QList<FoundPort> &ports)
{
    const auto found = std::find_if(ports.begin(), ports.end(), [&](const FoundPort &p) {
        return p.device == device || (!p.byIdPath.isEmpty() && p.byIdPath == device);
    });
    return found == ports.end() ? std::nullopt : std::optional<FoundPort>(*found);
}

QString portDescription(const QString &device, const QList<FoundPort> &ports)
{
    const std::optional<FoundPort> found = portOfDevice(device, ports);
    if (!found) {
        // A device the system does not list as a serial port (a
        // pseudo-terminal, a name given with --com1) may still be there.
        return QFileInfo::exists(device) ? device : device + QStringLiteral(" – geen poort aanwezig");
    }
    QString text = device;
    QStringList known;
    if (!found->description.isEmpty())
        known.append(found->manufacturer.isEmpty()
                         ? found->description
                         : QStringLiteral("%1 (%2)").arg(found->description, found->manufacturer));
    if (!found->serialNumber.isEmpty())
        known.append(QStringLiteral("serienummer ") + found->serialNumber);
    if (!known.isEmpty())
        text += QStringLiteral(" – ") + known.join(QStringLiteral(", "));
    return text;
}

QString portListing(const QList<FoundPort> &ports)
{
    QStringList lines;
    for (const FoundPort &port : ports) {
        QStringList fields{port.device};
        for (const QString &field : {port.description, port.manufacturer})
            fields.append(field.isEmpty() ? QStringLiteral("-") : field);
        fields.append(port.serialNumber.isEmpty() ? QStringLiteral("-") : port.serialNumber);
        if (!port.byIdPath.isEmpty())
            fields.append(port.byIdPath);
        lines.append(fields.join(QStringLiteral("  ")));
    }
    return lines.join(u'\n');
}
