#pragma once
// A module behind a serial device server: a SerialPort over a TCP (or TLS)
// connection, raw or with RFC 2217 setting the line. One connection serves
// every opening while something holds it (an operation, a command for all
// its steps, a fleet's module for its chain); the next opening drops what
// arrived in between, as a local port's does. The connection closes when
// the last holder lets go, after its last bytes went out, so other clients
// of the server can reach the module.

#include "link/acknowledgedbytes.h"
#include "link/networkaddress.h"
#include "link/serialport.h"
#include "link/telnet.h"

#include <QElapsedTimer>
#include <QList>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QTcpSocket;
class QTimer;

// The files a TLS connection is made with; empty where not given.
struct TlsFiles {
    QString authorities;   // --tls-ca: the server's certificate must chain to these
    QString certificate;   // --tls-cert and --tls-key: shown when the server asks for one
    QString key;

    bool any() const { return !authorities.isEmpty() || !certificate.isEmpty() || !key.isEmpty(); }
    // Each empty one from its environment variable (KVR7314_TLS_CA,
    // KVR7314_TLS_CERT, KVR7314_TLS_KEY): an option given wins.
    TlsFiles withEnvironment() const;
};

struct TlsCredentials {
    TlsCredentials() {}   // QSslCertificate's default constructor is explicit

    QList<QSslCertificate> authorities;   // empty: the system's
    QSslCertificate certificate;
    QSslKey key;

    // The credentials in `files`, or why one cannot be read.
    static std::optional<TlsCredentials> load(const TlsFiles &files, QString *error);
};

// One connection to a device server's port.
class NetworkLine : public QObject {
    Q_OBJECT
public:
    // How long the server has to accept, and then to finish TLS and the
    // negotiation.
    static constexpr int kConnectTimeoutMs = 5000;
    static constexpr int kNegotiationTimeoutMs = 5000;
    // A raw port is given this long to hang up with "Port already in use".
    static constexpr int kRawSettleMs = 150;
    // A connection whose sent bytes go unacknowledged this long is lost,
    // even when no reset ever comes.
    static constexpr int kUserTimeoutMs = 10000;
    // How long after the last bytes were sent the server has to confirm it
    // has them all (confirmSent()).
    static constexpr int kConfirmationMs = 3000;

    NetworkLine(NetworkAddress address, TlsCredentials tls, QObject *parent = nullptr);
    ~NetworkLine() override;

    const NetworkAddress &address() const { return m_address; }
    // Connects and negotiates once; ready() or openFailed() follows.
    void connectToServer();
    bool isReady() const { return m_state == State::Ready; }
    bool isOver() const { return m_state == State::Failed || m_state == State::Lost || m_state == State::Closed; }
    // Closes it once what is queued has gone to the server; ports still on
    // it see a line that takes nothing more.
    void close();

    // A new opening: what the server sent since the last is dropped, here
    // and (RFC 2217) at the server.
    void purge();
    void send(const QByteArray &moduleBytes);
    // The module's bytes received and not taken yet.
    QByteArray take(qsizetype most);
    // What the kernel holds for the connection, read now.
    void takeUpWaiting();
    qsizetype available() const { return m_received.size(); }
    bool hasUnsentBytes() const;

    // How far what was sent has come: a mark for everything sent so far,
    // and whether the server has acknowledged it (its TCP, or an answer to
    // a request sent after it).
    int markSent();
    bool hasReached(int mark);
    // Makes sure the server has everything sent so far: over RFC 2217 a
    // request it must answer goes behind the bytes; over raw TCP the
    // kernel's count of acknowledged bytes must reach them. `done` gets
    // nothing once confirmed, or why not: no confirmation within
    // kConfirmationMs of the last bytes sent, or the connection lost.
    using Confirmed = SerialPort::Confirmed;
    void confirmSent(Confirmed done);
    // The confirmation asked for is no longer wanted: `done` is not called.
    void cancelConfirmation();

signals:
    void ready();
    void openFailed(OpenCause cause, const QString &description);
    void dataArrived();
    void lost(const QString &description, bool lostWrites);
    void noted(const QString &text);

private:
    enum class State { Idle, Connecting, Negotiating, Ready, Failed, Lost, Closed };

    void connected();
    void secured();
    void startNegotiating();
    void readIncoming();
    void negotiate(const QList<telnet::Receiver::Command> &commands);
    void becomeReady();
    void socketError();
    void timedOut();
    void failOpening(OpenCause cause, const QString &description);
    void setSocketOptions();
    QString serverSaid() const;
    // The stream offset just past the last byte handed to the socket, when
    // it can be known now.
    std::optional<quint64> sentEnd();
    void refreshAcknowledged();
    void checkConfirmation();
    void endConfirmation(const std::optional<QString> &failure);

    NetworkAddress m_address;
    TlsCredentials m_tls;
    QTcpSocket *m_socket = nullptr;
    QTimer *m_deadline;
    State m_state = State::Idle;
    telnet::Receiver m_receiver;
    Rfc2217Client m_client;
    QByteArray m_received;
    QByteArray m_beforeReady;   // the server's text before the line was ready ("Port already in use")

    AcknowledgedBytes m_sent;
    QElapsedTimer m_lastSent;
    bool m_countersKnown = false;   // the system has told the kernel's counts at least once
    QTimer *m_confirmation;         // polls the kernel's counts while a confirmation is awaited
    Confirmed m_confirmed;
    int m_confirmMark = -1;
    int m_answersAwaited = 0;       // RFC 2217: the server's answers to the baud-rate query
};

// The one object that owns a module's connection: at most one at a time,
// opened when an opening first needs it, handed to every opening while it
// is held, and closed when its last holder lets go.
class ModuleConnection {
public:
    ModuleConnection() = default;
    explicit ModuleConnection(TlsCredentials tls) : m_tls(std::move(tls)) {}
    ~ModuleConnection();

    // The connection to `address`: the one open, or a new one.
    std::shared_ptr<NetworkLine> lineTo(const NetworkAddress &address);
    // Connects to `address` now, so a run's clock starts once it is ready;
    // `done` gets the failure, or nothing.
    void connectFirst(const NetworkAddress &address, const std::function<void(std::optional<PortFailure>)> &done);
    // Something needs the connection until its release(): an operation, a
    // command for all its steps, a fleet's module for its chain.
    void hold() { ++m_holders; }
    // The last holder gone, the connection closes.
    void release();
    // For the connections made from now on.
    void setTls(const TlsCredentials &tls) { m_tls = tls; }
    // Where the connections' notes go (a trace): how they connected and
    // negotiated, what the server refused.
    void setNoteSink(std::function<void(const QString &)> sink) { m_noteSink = std::move(sink); }

private:
    TlsCredentials m_tls;
    std::function<void(const QString &)> m_noteSink;
    std::shared_ptr<NetworkLine> m_line;
    int m_holders = 0;
};

// A SerialPort to the device server at `address`, on `connection`. The
// device name open() is given is only how messages name it.
class NetworkSerialPort : public SerialPort {
    Q_OBJECT
public:
    NetworkSerialPort(NetworkAddress address, std::shared_ptr<ModuleConnection> connection, QObject *parent = nullptr);
    ~NetworkSerialPort() override;

    bool open(const QString &device) override;
    void openThen(const QString &device, const std::function<void(bool)> &done) override;
    QString errorString() const override { return m_errorString; }
    QString deviceName() const override { return m_deviceName; }
    OpenCause openCause() const override { return m_openCause; }
    QString holder() const override { return m_holder; }

    void writeBytes(const QByteArray &bytes) override;
    PortEvent lastEvent() const override { return m_lastEvent; }
    void takeUpWaiting() override;
    QString readText() override;
    QString readWaiting() override;

    int writeMark() override;
    bool hasReached(int mark) override;
    void confirmWritten(const Confirmed &done) override;
    bool reachesDeviceServer() const override { return true; }

private:
    bool attach(const std::shared_ptr<NetworkLine> &line);
    void openingFailed(OpenCause cause, const QString &description);

    NetworkAddress m_address;
    std::shared_ptr<ModuleConnection> m_connection;
    std::shared_ptr<NetworkLine> m_line;
    std::function<void(bool)> m_done;
    QString m_deviceName;
    QString m_errorString;
    OpenCause m_openCause = OpenCause::Other;
    QString m_holder;
    PortEvent m_lastEvent = PortEvent::None;
    bool m_confirming = false;   // its line is confirming what this port wrote
};
