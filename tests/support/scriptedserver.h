#pragma once
// A device server that misbehaves on purpose, on a loopback port of its
// own: for each way a real one (or the network on the way) can fail, the
// bytes or the silence it gives. RFC 2217's negotiation is answered as a
// server would, value for value, so that a connection gets to the point
// where the fault should show.

#include "link/telnet.h"

#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>

class ScriptedServer : public QTcpServer {
    Q_OBJECT
public:
    enum class Behaviour {
        Negotiates,        // RFC 2217 done right, every request answered
        NoConfirmation,    // negotiates, but never answers a request after that
        Silent,            // accepts and says nothing
        Floods,            // asks for a telnet option, over and over
        ResetsAtOnce,      // accepts, then resets the connection
        ResetsLater,       // negotiates, then resets once it has taken three frames
        InUse,             // says "Port already in use" and hangs up, as ser2net does
        RefusesRfc2217,    // a telnet port that will not set the line
    };

    explicit ScriptedServer(Behaviour behaviour, QObject *parent = nullptr);
    // The address the tool takes for it: rfc2217://127.0.0.1:PORT, or the
    // same with another scheme (tcp, rfc2217+tls).
    QString address(const QString &scheme = QStringLiteral("rfc2217")) const
    {
        return QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(serverPort());
    }
    // The module's bytes the server took, telnet undone.
    const QByteArray &received() const { return m_received; }
    // The clients connected now.
    int connectedClients() const;

private:
    void accepted();
    void readClient(QTcpSocket *client);

    Behaviour m_behaviour;
    QByteArray m_received;
    telnet::Receiver m_receiver;   // the client's stream: a command may span two reads
    bool m_ready = false;
};
