#pragma once
// A module behind a serial device server on the network (ser2net, a
// commercial device server), as a technician writes it:
//
//   rfc2217://HOST:PORT       telnet with COM-PORT-OPTION: the tool sets the line itself
//   tcp://HOST:PORT           raw TCP: the server's line must already be 19200 8N1
//   socket://HOST:PORT        the same, as pyserial's users write it
//   rfc2217+tls://, tcp+tls://   either inside TLS
//
// HOST is a name, an IPv4 address or an IPv6 address in brackets.

#include <QString>

#include <optional>

struct NetworkAddress {
    enum class Protocol { Rfc2217, RawTcp };

    Protocol protocol = Protocol::Rfc2217;
    bool tls = false;
    QString host;      // without brackets: "::1", "127.0.0.1", "ser2net.example"
    quint16 port = 0;
    QString text;      // as given: what the log and the messages show

    // Whether `text` is meant as a network address at all: it holds "://".
    static bool looksLikeOne(const QString &text) { return text.contains(QLatin1String("://")); }
    // The address in `text`, or nothing when it is malformed: an unknown
    // scheme (schemes are lower case), no host, no port or one outside
    // 1-65535, or anything after the port.
    static std::optional<NetworkAddress> parse(const QString &text);
    static QString formsTaken();

    // "127.0.0.1:24101", "[::1]:24101": where the messages say it connects.
    QString hostAndPort() const;
    // How the window's tooltip calls its kind, in Dutch.
    QString kindDutch() const;

    bool operator==(const NetworkAddress &) const = default;
};
