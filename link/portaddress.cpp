#include "link/portaddress.h"

#include "link/networkport.h"
#include "link/portdirectory.h"
#include "link/portlist.h"
#include "link/systemserialport.h"

#include <QRegularExpression>

std::optional<PortAddress> PortAddress::parse(const QString &text)
{
    if (NetworkAddress::looksLikeOne(text)) {
        const std::optional<NetworkAddress> address = NetworkAddress::parse(text.trimmed());
        return address ? std::optional(network(*address)) : std::nullopt;
    }
    static const QRegularExpression comName(QStringLiteral("^COM\\s*(\\d+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comName.match(text.trimmed());
    if (match.hasMatch()) {
        const int n = match.captured(1).toInt();
#ifdef Q_OS_WIN
        // Any COM port Windows has: a USB adapter is often COM3 or higher.
        if (n >= 1)
            return device(defaultComDevice(n));
#else
        if (n >= 1 && n <= kComPortCount)
            return com(n);
#endif
        return std::nullopt;
    }
    if (text.trimmed().isEmpty())
        return std::nullopt;
    return device(text);
}

QString PortAddress::formsTaken()
{
    return QStringLiteral("COM1 to COM%1, a device path, %2").arg(kComPortCount).arg(NetworkAddress::formsTaken());
}

QString PortAddress::deviceNow(const ComDeviceMapper &comDevice) const
{
    if (m_network)
        return m_network->text;
    if (m_kind != Kind::Com)
        return m_device;
    return comDevice ? comDevice(m_comNumber) : PortDirectory::machine().comDevice(m_comNumber);
}

PortTarget PortAddress::target(const ComDeviceMapper &comDevice) const
{
    return PortTarget{deviceNow(comDevice), m_network};
}

QString PortAddress::name() const
{
    return m_kind == Kind::Com ? comPortName(m_comNumber) : m_device;
}

QString PortAddress::description(const ComDeviceMapper &comDevice) const
{
    if (m_kind != Kind::Com)
        return m_device;
    return QStringLiteral("%1 (%2)").arg(name(), deviceNow(comDevice));
}

std::unique_ptr<SerialPort> newPortFor(const PortTarget &target, const std::shared_ptr<ModuleConnection> &connection)
{
    if (target.network)
        return std::make_unique<NetworkSerialPort>(*target.network,
                                                   connection ? connection : std::make_shared<ModuleConnection>());
    return makeSystemSerialPort();
}
