#include "link/networkaddress.h"

#include <QHostAddress>
#include <QRegularExpression>

std::optional<NetworkAddress> NetworkAddress::parse(const QString &text)
{
    // Written out rather than left to QUrl, which lower-cases the scheme,
    // takes a path and a query, and forgives a missing port.
    static const QRegularExpression form(QStringLiteral(
        "^(rfc2217|tcp|socket)(\\+tls)?://(?:\\[([0-9A-Fa-f:.]+)\\]|([A-Za-z0-9._-]+)):([0-9]{1,5})$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int port = match.captured(5).toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    NetworkAddress address;
    address.protocol = match.captured(1) == QLatin1String("rfc2217") ? Protocol::Rfc2217 : Protocol::RawTcp;
    address.tls = match.hasCaptured(2) && !match.captured(2).isEmpty();
    const QString bracketed = match.captured(3);
    if (!bracketed.isEmpty()) {
        if (QHostAddress(bracketed).protocol() != QAbstractSocket::IPv6Protocol)
            return std::nullopt;
        address.host = bracketed;
    } else {
        address.host = match.captured(4);
    }
    address.port = quint16(port);
    address.text = text;
    return address;
}

QString NetworkAddress::formsTaken()
{
    return QStringLiteral("rfc2217://HOST:PORT, tcp://HOST:PORT (socket:// alike), or either with +tls");
}

QString NetworkAddress::hostAndPort() const
{
    const QString host = this->host.contains(u':') ? u'[' + this->host + u']' : this->host;
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

QString NetworkAddress::kindDutch() const
{
    const QString kind = protocol == Protocol::Rfc2217
        ? QStringLiteral("netwerkpoort, RFC 2217 (de lijn wordt door dit programma ingesteld)")
        : QStringLiteral("netwerkpoort, ruwe TCP (de server moet op 19200 8N1 staan)");
    return tls ? kind + QStringLiteral(", via TLS") : kind;
}
