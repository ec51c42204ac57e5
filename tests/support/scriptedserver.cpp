#include "support/scriptedserver.h"

#include "link/telnet.h"

#include <QTimer>

using namespace telnet;

ScriptedServer::ScriptedServer(Behaviour behaviour, QObject *parent) : QTcpServer(parent), m_behaviour(behaviour)
{
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, &ScriptedServer::accepted);
}

int ScriptedServer::connectedClients() const
{
    int connected = 0;
    for (const QTcpSocket *client : findChildren<QTcpSocket *>())
        connected += client->state() == QAbstractSocket::ConnectedState;
    return connected;
}

void ScriptedServer::accepted()
{
    while (QTcpSocket *client = nextPendingConnection()) {
        m_receiver = {};
        switch (m_behaviour) {
        case Behaviour::Silent:
            break;
        case Behaviour::ResetsAtOnce:
            client->abort();
            break;
        case Behaviour::InUse:
            client->write("Port already in use\r\n");
            client->flush();
            client->disconnectFromHost();
            break;
        case Behaviour::Floods: {
            auto *flood = new QTimer(client);
            connect(flood, &QTimer::timeout, client, [client] { client->write(command(kDo, 5).repeated(50)); });
            flood->start(1);
            break;
        }
        default:
            connect(client, &QTcpSocket::readyRead, this, [this, client] { readClient(client); });
            break;
        }
    }
}

void ScriptedServer::readClient(QTcpSocket *client)
{
    QByteArray data;
    QList<Receiver::Command> commands;
    m_receiver.take(client->readAll(), &data, &commands);
    if (m_ready)
        m_received += data;
    if (m_behaviour == Behaviour::ResetsLater && m_received.count('\x04') >= 3) {
        client->abort();
        return;
    }
    for (const Receiver::Command &c : commands) {
        if (c.verb == kWill && c.option == kComPortOption) {
            client->write(command(m_behaviour == Behaviour::RefusesRfc2217 ? kDont : kDo, kComPortOption));
        } else if (c.verb == kWill || c.verb == kDo) {
            client->write(command(c.verb == kWill ? kDo : kWill, c.option));
        } else if (c.verb == kSb && c.option == kComPortOption && !c.payload.isEmpty()) {
            // Each setting answered with the value asked for; after the
            // negotiation, a server that confirms nothing stays silent.
            if (m_ready && m_behaviour == Behaviour::NoConfirmation)
                continue;
            QByteArray answer = c.payload;
            answer[0] = char(static_cast<unsigned char>(answer[0]) + 100);
            if (static_cast<unsigned char>(c.payload[0]) == 1 && c.payload.mid(1) == QByteArray(4, '\0'))
                answer = QByteArray(1, char(101)) + QByteArray::fromHex("00004b00");   // asked: 19200
            client->write(subnegotiation(kComPortOption, answer));
            if (static_cast<unsigned char>(c.payload[0]) == 12)
                m_ready = true;   // the purge ends the negotiation
        }
    }
}
