#include "link/networkport.h"

#include "link/tcpcounters.h"
#include "settings/codec.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcessEnvironment>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {

// The server's text before the line was ready, for the one message it is
// known to send: ser2net's "Port already in use".
constexpr qsizetype kServerTextKept = 256;

QString readError(const QString &what, const QString &path, const QString &why)
{
    return QStringLiteral("%1: cannot read the TLS %2: %3").arg(path, what, why);
}

std::optional<QByteArray> readAll(const QString &path, QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString();
        return std::nullopt;
    }
    return file.readAll();
}

} // namespace

// --- the files TLS is made with ----------------------------------------------------------------

TlsFiles TlsFiles::withEnvironment() const
{
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    TlsFiles files = *this;
    if (files.authorities.isEmpty())
        files.authorities = environment.value(QStringLiteral("KVR7314_TLS_CA"));
    if (files.certificate.isEmpty())
        files.certificate = environment.value(QStringLiteral("KVR7314_TLS_CERT"));
    if (files.key.isEmpty())
        files.key = environment.value(QStringLiteral("KVR7314_TLS_KEY"));
    return files;
}

std::optional<TlsCredentials> TlsCredentials::load(const TlsFiles &files, QString *error)
{
    TlsCredentials credentials;
    QString why;
    if (!files.authorities.isEmpty()) {
        const auto bytes = readAll(files.authorities, &why);
        if (!bytes) {
            *error = readError(QStringLiteral("authorities"), files.authorities, why);
            return std::nullopt;
        }
        credentials.authorities = QSslCertificate::fromData(*bytes, QSsl::Pem);
        if (credentials.authorities.isEmpty())
            credentials.authorities = QSslCertificate::fromData(*bytes, QSsl::Der);
        if (credentials.authorities.isEmpty()) {
            *error = readError(QStringLiteral("authorities"), files.authorities, QStringLiteral("no certificate in it"));
            return std::nullopt;
        }
    }
    if (files.certificate.isEmpty() != files.key.isEmpty()) {
        *error = QStringLiteral("a TLS client certificate needs both --tls-cert and --tls-key");
        return std::nullopt;
    }
    if (files.certificate.isEmpty())
        return credentials;
    const auto certificate = readAll(files.certificate, &why);
    if (!certificate) {
        *error = readError(QStringLiteral("certificate"), files.certificate, why);
        return std::nullopt;
    }
    const QList<QSslCertificate> chain = QSslCertificate::fromData(*certificate, QSsl::Pem);
    if (chain.isEmpty()) {
        *error = readError(QStringLiteral("certificate"), files.certificate, QStringLiteral("no PEM certificate in it"));
        return std::nullopt;
    }
    credentials.certificate = chain.first();
    const auto key = readAll(files.key, &why);
    if (!key) {
        *error = readError(QStringLiteral("key"), files.key, why);
        return std::nullopt;
    }
    // RSA: the only kind Windows' TLS takes from a file.
    credentials.key = QSslKey(*key, QSsl::Rsa, QSsl::Pem);
    if (credentials.key.isNull()) {
        *error = readError(QStringLiteral("key"), files.key, QStringLiteral("no unencrypted RSA key in PEM form in it"));
        return std::nullopt;
    }
    return credentials;
}

// --- one connection ----------------------------------------------------------------------------

NetworkLine::NetworkLine(NetworkAddress address, TlsCredentials tls, QObject *parent)
    : QObject(parent),
      m_address(std::move(address)),
      m_tls(std::move(tls)),
      m_deadline(new QTimer(this)),
      m_confirmation(new QTimer(this))
{
    m_deadline->setSingleShot(true);
    m_deadline->setTimerType(Qt::PreciseTimer);   // "5 s" is 5 s, not 4.75
    connect(m_deadline, &QTimer::timeout, this, &NetworkLine::timedOut);
    // No event tells that the server acknowledged bytes: the kernel's
    // counts are looked at while a confirmation is awaited.
    m_confirmation->setInterval(10);
    connect(m_confirmation, &QTimer::timeout, this, &NetworkLine::checkConfirmation);
}

NetworkLine::~NetworkLine()
{
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    // What is queued goes to the server before the connection closes; the
    // server passes it on to the module.
    if (m_socket->state() == QAbstractSocket::ConnectedState) {
        m_socket->flush();
        m_socket->disconnectFromHost();
    }
}

void NetworkLine::connectToServer()
{
    if (m_state != State::Idle)
        return;
    m_state = State::Connecting;
    if (m_address.tls) {
        auto *socket = new QSslSocket(this);
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        if (!m_tls.authorities.isEmpty())
            configuration.setCaCertificates(m_tls.authorities);
        if (!m_tls.certificate.isNull()) {
            configuration.setLocalCertificate(m_tls.certificate);
            configuration.setPrivateKey(m_tls.key);
        }
        configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
        socket->setSslConfiguration(configuration);
        connect(socket, &QSslSocket::encrypted, this, &NetworkLine::secured);
        connect(socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &errors) {
            QStringList texts;
            for (const QSslError &error : errors)
                texts << error.errorString();
            failOpening(OpenCause::Tls, QStringLiteral("the server's certificate was not accepted: ")
                                            + texts.join(QStringLiteral("; ")));
        });
        m_socket = socket;
    } else {
        m_socket = new QTcpSocket(this);
    }
    // A dump is under 1 KB; a server that floods must not fill the memory.
    m_socket->setReadBufferSize(SerialPort::kReceiveLimit);
    connect(m_socket, &QAbstractSocket::connected, this, &NetworkLine::connected);
    connect(m_socket, &QAbstractSocket::readyRead, this, &NetworkLine::readIncoming);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &NetworkLine::socketError);
    connect(m_socket, &QAbstractSocket::disconnected, this, &NetworkLine::socketError);
    emit noted(QStringLiteral("connecting to %1").arg(m_address.hostAndPort()));
    m_deadline->start(kConnectTimeoutMs);
    if (m_address.tls)
        static_cast<QSslSocket *>(m_socket)->connectToHostEncrypted(m_address.host, m_address.port);
    else
        m_socket->connectToHost(m_address.host, m_address.port);
}

void NetworkLine::setSocketOptions()
{
    // Every frame leaves at once, not gathered with the next one.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // A connection that silently went away (a cable pulled at the server,
    // no reset) is found out while a write is waiting, not after minutes.
    const qintptr fd = m_socket->socketDescriptor();
#ifdef Q_OS_WIN
#ifndef TCP_MAXRT
#define TCP_MAXRT 5
#endif
    const DWORD seconds = kUserTimeoutMs / 1000;
    ::setsockopt(SOCKET(fd), IPPROTO_TCP, TCP_MAXRT, reinterpret_cast<const char *>(&seconds), sizeof seconds);
#else
    const unsigned int milliseconds = kUserTimeoutMs;
    ::setsockopt(int(fd), IPPROTO_TCP, TCP_USER_TIMEOUT, &milliseconds, sizeof milliseconds);
#endif
}

void NetworkLine::connected()
{
    setSocketOptions();
    m_state = State::Negotiating;
    m_deadline->start(kNegotiationTimeoutMs);
    emit noted(QStringLiteral("connected to %1").arg(m_socket->peerAddress().toString()));
    if (!m_address.tls)
        startNegotiating();
}

void NetworkLine::secured()
{
    emit noted(QStringLiteral("TLS: %1, server certificate verified").arg(
        static_cast<QSslSocket *>(m_socket)->sessionCipher().name()));
    startNegotiating();
}

void NetworkLine::startNegotiating()
{
    if (m_address.protocol == NetworkAddress::Protocol::Rfc2217) {
        m_socket->write(m_client.start());
        for (const QString &text : m_client.takeNotes())
            emit noted(text);
        return;
    }
    // A raw port has nothing to negotiate; a server that hangs up at once
    // (another client holds the port) has done so within this while.
    QTimer::singleShot(kRawSettleMs, this, [this] {
        if (m_state == State::Negotiating)
            becomeReady();
    });
}

void NetworkLine::readIncoming()
{
    bool arrived = false;
    while (m_socket && m_socket->bytesAvailable() > 0 && m_received.size() < SerialPort::kReceiveLimit
           && !isOver()) {
        const QByteArray chunk = m_socket->read(SerialPort::kReceiveLimit - m_received.size());
        QByteArray data;
        QList<telnet::Receiver::Command> commands;
        if (m_address.protocol == NetworkAddress::Protocol::Rfc2217)
            m_receiver.take(chunk, &data, &commands);
        else
            data = chunk;
        const bool wasReady = isReady();
        negotiate(commands);
        if (!wasReady) {
            // Before the purge was acknowledged: what the line held before.
            m_beforeReady.append(data.left(kServerTextKept - m_beforeReady.size()));
            continue;
        }
        m_received.append(data);
        arrived = arrived || !data.isEmpty();
    }
    if (arrived)
        emit dataArrived();
    if (m_confirmed)
        checkConfirmation();   // the answer to the round trip may have come
}

void NetworkLine::negotiate(const QList<telnet::Receiver::Command> &commands)
{
    for (const telnet::Receiver::Command &command : commands) {
        const QByteArray reply = m_client.handle(command);
        if (!reply.isEmpty())
            m_socket->write(reply);
        for (const QString &text : m_client.takeNotes())
            emit noted(text);
        if (m_client.state() == Rfc2217Client::State::Failed && m_state == State::Negotiating) {
            failOpening(m_client.failureCause(), m_client.failure());
            return;
        }
        if (m_client.state() == Rfc2217Client::State::Failed && m_state == State::Ready) {
            // A late answer with a line setting that is not the module's.
            m_state = State::Lost;
            m_socket->abort();
            emit lost(m_client.failure(), true);
            return;
        }
        if (m_client.state() == Rfc2217Client::State::Ready && m_state == State::Negotiating)
            becomeReady();
    }
}

void NetworkLine::becomeReady()
{
    m_deadline->stop();
    m_state = State::Ready;
    emit ready();
}

QString NetworkLine::serverSaid() const
{
    return QString::fromLatin1(m_beforeReady).simplified();
}

void NetworkLine::socketError()
{
    if (!m_socket || isOver())
        return;
    const QAbstractSocket::SocketError error = m_socket->error();
    if (isReady()) {
        // What the server acknowledged before the connection went: the
        // steps that count as sent.
        refreshAcknowledged();
        m_state = State::Lost;
        const QString description = error == QAbstractSocket::RemoteHostClosedError || error == QAbstractSocket::UnknownSocketError
            ? QStringLiteral("the server closed the connection")
            : m_socket->errorString();
        emit noted(QStringLiteral("connection lost: ") + description);
        endConfirmation(description);
        emit lost(description, hasUnsentBytes());
        return;
    }
    if (m_state == State::Idle)
        return;
    const QString where = m_address.hostAndPort();
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
        failOpening(OpenCause::NameUnknown, QStringLiteral("the name %1 does not resolve").arg(m_address.host));
        return;
    case QAbstractSocket::ConnectionRefusedError:
        failOpening(OpenCause::Refused, QStringLiteral("%1 refused the connection: nothing listens there").arg(where));
        return;
    case QAbstractSocket::SocketTimeoutError:
    case QAbstractSocket::NetworkError:
        failOpening(OpenCause::NoAnswer, QStringLiteral("no answer from %1 (%2)").arg(where, m_socket->errorString()));
        return;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        failOpening(OpenCause::Tls, QStringLiteral("TLS with %1 failed: %2").arg(where, m_socket->errorString()));
        return;
    default:
        break;
    }
    const QString said = serverSaid();
    if (said.contains(QLatin1String("in use"), Qt::CaseInsensitive)) {
        failOpening(OpenCause::InUse, QStringLiteral("the server said \"%1\"").arg(said));
        return;
    }
    failOpening(OpenCause::Closed, said.isEmpty()
                    ? QStringLiteral("%1 closed the connection at once").arg(where)
                    : QStringLiteral("%1 closed the connection at once, saying \"%2\"").arg(where, said));
}

void NetworkLine::timedOut()
{
    const QString where = m_address.hostAndPort();
    if (m_state == State::Connecting) {
        if (m_socket->state() == QAbstractSocket::HostLookupState)
            failOpening(OpenCause::NameUnknown, QStringLiteral("the name %1 did not resolve within %2 s")
                                                     .arg(m_address.host).arg(kConnectTimeoutMs / 1000));
        else
            failOpening(OpenCause::NoAnswer, QStringLiteral("no answer from %1 within %2 s")
                                                  .arg(where).arg(kConnectTimeoutMs / 1000));
        return;
    }
    if (m_state != State::Negotiating)
        return;
    if (m_address.tls && !static_cast<QSslSocket *>(m_socket)->isEncrypted()) {
        failOpening(OpenCause::Tls, QStringLiteral("%1 did not finish the TLS handshake within %2 s")
                                        .arg(where).arg(kNegotiationTimeoutMs / 1000));
        return;
    }
    failOpening(OpenCause::NotRfc2217, QStringLiteral("%1 accepted but did not finish the RFC 2217 negotiation "
                                                      "within %2 s: is it an RFC 2217 port?")
                                           .arg(where).arg(kNegotiationTimeoutMs / 1000));
}

void NetworkLine::failOpening(OpenCause cause, const QString &description)
{
    if (isOver())
        return;
    m_state = State::Failed;
    m_deadline->stop();
    emit noted(QStringLiteral("cannot connect: ") + description);
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
    emit openFailed(cause, description);
}

void NetworkLine::purge()
{
    m_received.clear();
    if (isReady() && m_address.protocol == NetworkAddress::Protocol::Rfc2217)
        m_socket->write(Rfc2217Client::purgeRequest());
}

void NetworkLine::send(const QByteArray &moduleBytes)
{
    if (!isReady())
        return;
    m_socket->write(m_address.protocol == NetworkAddress::Protocol::Rfc2217 ? telnet::escaped(moduleBytes)
                                                                            : moduleBytes);
    // Handed to the kernel now, not at the next turn of the event loop: the
    // frame leaves on its tick, and its end in the stream is known.
    m_socket->flush();
    m_lastSent.start();
}

std::optional<quint64> NetworkLine::sentEnd()
{
    if (!m_socket)
        return std::nullopt;
    const std::optional<TcpCounters> counters = tcpCounters(m_socket->socketDescriptor());
    if (!counters)
        return std::nullopt;
    m_countersKnown = true;
    m_sent.acknowledged(counters->acknowledged);
    if (!m_address.tls)
        return counters->handedOver() + quint64(m_socket->bytesToWrite());
    // TLS: the kernel counts records. Bytes not encrypted yet have no
    // place in the stream until they are.
    const auto *secure = static_cast<QSslSocket *>(m_socket);
    if (secure->bytesToWrite() > 0)
        return std::nullopt;
    return counters->handedOver() + quint64(secure->encryptedBytesToWrite());
}

void NetworkLine::refreshAcknowledged()
{
    if (const std::optional<quint64> end = sentEnd())
        m_sent.known(*end);
}

int NetworkLine::markSent()
{
    return m_sent.mark(sentEnd());
}

bool NetworkLine::hasReached(int mark)
{
    if (!isOver())
        refreshAcknowledged();
    return m_sent.reached(mark);
}

void NetworkLine::confirmSent(Confirmed done)
{
    endConfirmation(QStringLiteral("another confirmation was asked for"));
    if (!isReady()) {
        done(QStringLiteral("the connection is closed"));
        return;
    }
    m_confirmed = std::move(done);
    m_confirmMark = markSent();
    if (m_address.protocol == NetworkAddress::Protocol::Rfc2217) {
        // A round trip behind every byte: the server answers only once it
        // has read all that came before.
        m_answersAwaited = m_client.baudRateAnswers() + 1;
        m_socket->write(Rfc2217Client::baudRateQuery());
        m_socket->flush();
    }
    const qint64 since = m_lastSent.isValid() ? m_lastSent.elapsed() : 0;
    QTimer::singleShot(std::max<qint64>(0, kConfirmationMs - since), Qt::PreciseTimer, m_confirmation,
                       [this, mark = m_confirmMark] {
                           if (m_confirmed && m_confirmMark == mark)
                               endConfirmation(QStringLiteral("the device server did not confirm within %1 s that it "
                                                              "has the bytes sent")
                                                   .arg(kConfirmationMs / 1000));
                       });
    m_confirmation->start();
    checkConfirmation();
}

void NetworkLine::cancelConfirmation()
{
    m_confirmation->stop();
    m_confirmed = {};
}

void NetworkLine::checkConfirmation()
{
    if (!m_confirmed)
        return;
    if (m_address.protocol == NetworkAddress::Protocol::Rfc2217) {
        if (m_client.baudRateAnswers() >= m_answersAwaited) {
            m_sent.answeredAfter(m_confirmMark);
            endConfirmation(std::nullopt);
        }
        return;
    }
    if (hasReached(m_confirmMark)) {
        endConfirmation(std::nullopt);
        return;
    }
    if (!m_countersKnown)
        endConfirmation(QStringLiteral("this system does not tell whether the device server acknowledged the bytes "
                                       "sent; use an rfc2217:// address"));
}

void NetworkLine::endConfirmation(const std::optional<QString> &failure)
{
    m_confirmation->stop();
    if (!m_confirmed)
        return;   // none was asked for
    if (failure)
        emit noted(QStringLiteral("not confirmed: ") + *failure);
    else
        emit noted(QStringLiteral("the server confirmed every byte sent"));
    if (Confirmed done = std::exchange(m_confirmed, {}))
        done(failure);
}

QByteArray NetworkLine::take(qsizetype most)
{
    const QByteArray taken = m_received.left(most);
    m_received.remove(0, taken.size());
    // Reading stopped at the limit: what waits in the socket comes next.
    if (m_socket && m_socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &NetworkLine::readIncoming, Qt::QueuedConnection);
    return taken;
}

void NetworkLine::takeUpWaiting()
{
    // With no time to wait, only what is there already: the socket reads
    // it and says so (readyRead), as it would have at the next turn.
    if (m_socket && isReady())
        m_socket->waitForReadyRead(0);
}

bool NetworkLine::hasUnsentBytes() const
{
    return m_socket && m_socket->bytesToWrite() > 0;
}

// --- the connections of one module -----------------------------------------------------------

void NetworkLine::close()
{
    if (m_state == State::Connecting || m_state == State::Negotiating) {
        // An opening that waits for it hears that it ended.
        failOpening(OpenCause::Closed, QStringLiteral("the connection was closed before it was ready"));
        return;
    }
    if (!m_socket || isOver()) {
        m_state = m_state == State::Idle ? State::Closed : m_state;
        return;
    }
    m_state = State::Closed;
    m_deadline->stop();
    endConfirmation(QStringLiteral("the connection was closed"));
    m_socket->disconnect(this);
    // What is queued goes to the server before the connection closes; the
    // server passes it on to the module.
    if (m_socket->state() == QAbstractSocket::ConnectedState) {
        m_socket->flush();
        m_socket->disconnectFromHost();
    } else {
        m_socket->abort();
    }
}

ModuleConnection::~ModuleConnection() = default;

void ModuleConnection::release()
{
    if (m_holders > 0)
        --m_holders;
    if (m_holders > 0 || !m_line)
        return;
    m_line->close();
    m_line.reset();
}

std::shared_ptr<NetworkLine> ModuleConnection::lineTo(const NetworkAddress &address)
{
    if (m_line && m_line->address() == address && !m_line->isOver())
        return m_line;
    // Owned by the application as well, so one still closing when the
    // program ends is freed; let go of from the event loop, never from
    // inside one of its own signals.
    m_line = std::shared_ptr<NetworkLine>(new NetworkLine(address, m_tls, QCoreApplication::instance()),
                                          [](NetworkLine *line) {
                                              line->disconnect();   // tells no one any more
                                              line->deleteLater();
                                          });
    if (m_noteSink)
        QObject::connect(m_line.get(), &NetworkLine::noted, m_line.get(), m_noteSink);
    return m_line;
}

void ModuleConnection::connectFirst(const NetworkAddress &address,
                                const std::function<void(std::optional<PortFailure>)> &done)
{
    const std::shared_ptr<NetworkLine> line = lineTo(address);
    if (line->isReady()) {
        done(std::nullopt);
        return;
    }
    auto answered = std::make_shared<bool>(false);
    QObject::connect(line.get(), &NetworkLine::ready, line.get(), [done, answered] {
        if (!std::exchange(*answered, true))
            done(std::nullopt);
    });
    QObject::connect(line.get(), &NetworkLine::openFailed, line.get(),
                     [done, answered, device = address.text](OpenCause cause, const QString &description) {
                         if (!std::exchange(*answered, true)) {
                             PortFailure failure = openingFailure(device, description, cause);
                             failure.atDeviceServer = true;
                             done(failure);
                         }
                     });
    line->connectToServer();
}

// --- a port on it ------------------------------------------------------------------------------

NetworkSerialPort::NetworkSerialPort(NetworkAddress address, std::shared_ptr<ModuleConnection> connection, QObject *parent)
    : SerialPort(parent), m_address(std::move(address)), m_connection(std::move(connection))
{
}

NetworkSerialPort::~NetworkSerialPort()
{
    if (!m_line)
        return;
    m_line->disconnect(this);
    if (m_confirming)
        m_line->cancelConfirmation();
}

bool NetworkSerialPort::open(const QString &device)
{
    // Only a connection that is ready opens at once.
    m_deviceName = device.isEmpty() ? m_address.text : device;
    const std::shared_ptr<NetworkLine> line = m_connection->lineTo(m_address);
    if (!line->isReady()) {
        m_errorString = QStringLiteral("not connected");
        return false;
    }
    return attach(line);
}

void NetworkSerialPort::openThen(const QString &device, const std::function<void(bool)> &done)
{
    m_deviceName = device.isEmpty() ? m_address.text : device;
    const std::shared_ptr<NetworkLine> line = m_connection->lineTo(m_address);
    if (line->isReady()) {
        done(attach(line));
        return;
    }
    m_line = line;
    m_done = done;
    // The outcome is handed on from the event loop: its receiver may let
    // this port go at once.
    const auto finish = [this](bool opened) {
        QTimer::singleShot(0, this, [this, opened] {
            if (auto done = std::exchange(m_done, {}))
                done(opened);
        });
    };
    connect(line.get(), &NetworkLine::ready, this, [this, finish] {
        m_line->disconnect(this);
        finish(attach(m_line));
    });
    connect(line.get(), &NetworkLine::openFailed, this, [this, finish](OpenCause cause, const QString &description) {
        m_line->disconnect(this);
        openingFailed(cause, description);
        finish(false);
    });
    line->connectToServer();
}

bool NetworkSerialPort::attach(const std::shared_ptr<NetworkLine> &line)
{
    m_line = line;
    clearFailure();
    line->purge();
    connect(line.get(), &NetworkLine::dataArrived, this, [this] {
        m_lastEvent = PortEvent::Received;
        emit dataArrived();
    });
    connect(line.get(), &NetworkLine::lost, this, [this](const QString &description, bool lostWrites) {
        m_errorString = description;
        reportFailure(description, lostWrites);
    });
    return true;
}

void NetworkSerialPort::openingFailed(OpenCause cause, const QString &description)
{
    m_openCause = cause;
    m_errorString = description;
    m_holder = cause == OpenCause::InUse ? QStringLiteral("another client of %1").arg(m_line->address().hostAndPort())
                                         : QString();
}

void NetworkSerialPort::writeBytes(const QByteArray &bytes)
{
    if (hasFailed() || !m_line || bytes.isEmpty())
        return;
    m_line->send(bytes);
}

int NetworkSerialPort::writeMark()
{
    return m_line ? m_line->markSent() : -1;
}

bool NetworkSerialPort::hasReached(int mark)
{
    return m_line && m_line->hasReached(mark);
}

void NetworkSerialPort::confirmWritten(const Confirmed &done)
{
    if (!m_line || hasFailed()) {
        done(m_errorString.isEmpty() ? QStringLiteral("the connection is closed") : m_errorString);
        return;
    }
    m_confirming = true;
    m_line->confirmSent([this, done](const std::optional<QString> &failure) {
        m_confirming = false;
        done(failure);
    });
}

void NetworkSerialPort::takeUpWaiting()
{
    if (m_line && !hasFailed())
        m_line->takeUpWaiting();
}

QString NetworkSerialPort::readText()
{
    if (!m_line)
        return {};
    const QByteArray byte = m_line->take(1);
    return byte.isEmpty() ? QString() : QString(cp1252::decodeByte(static_cast<unsigned char>(byte[0])));
}

QString NetworkSerialPort::readWaiting()
{
    if (!m_line)
        return {};
    return cp1252::decode(m_line->take(m_line->available()));
}
