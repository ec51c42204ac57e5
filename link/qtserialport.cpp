#include "link/qtserialport.h"

#include "link/openfailure.h"
#include "settings/codec.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

QtSerialPort::QtSerialPort(QObject *parent) : SerialPort(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, [this] {
        m_lastEvent = PortEvent::Received;
        emit dataArrived();
    });
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

QtSerialPort::~QtSerialPort()
{
    // QSerialPort writes from its own buffer in the event loop, and closing
    // throws away what is still there: hand it to the driver first, or a
    // frame written just before the next opening (two quick test calls)
    // would never reach the line. Closing here rather than in QSerialPort's
    // destructor keeps the error handler from running on a half-destroyed
    // object.
    m_port.disconnect(this);
    if (m_port.isOpen()) {
        while (m_port.bytesToWrite() > 0 && m_port.flush()) {
        }
        m_port.close();
    }
}

bool QtSerialPort::open(const QString &device)
{
    m_deviceName = device;
    m_port.setPortName(m_deviceName);
    m_port.setBaudRate(QSerialPort::Baud19200);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    // Past this QSerialPort stops taking bytes until some have been read.
    m_port.setReadBufferSize(kReceiveLimit);
    clearFailure();
    if (m_port.isOpen())
        return true;
    if (m_port.open(QIODevice::ReadWrite)) {
        // What arrived before this opening (the tail of a dump a stopped
        // run left the module sending) answers nothing this run asks.
        m_port.clear(QSerialPort::Input);
        return true;
    }
    m_errorString = m_port.errorString();
    findOpenCause();
    return false;
}

void QtSerialPort::findOpenCause()
{
    // QSerialPort says "permission error" for a port without access, one
    // another program has locked and one held exclusively: tell them apart.
    OpenFacts facts;
    facts.deviceNotFound = m_port.error() == QSerialPort::DeviceNotFoundError;
    facts.permissionError = m_port.error() == QSerialPort::PermissionError;
    facts.errorString = m_errorString;
    facts.lockHolder = lockFileHolder(m_deviceName);
#ifdef Q_OS_UNIX
    // A plain open says which it is; only when nothing else told, since it
    // would touch a port that another program may be using.
    if (facts.permissionError && facts.lockHolder.isEmpty() && !facts.errorString.contains(QLatin1String("lock"))) {
        const int fd = ::open(QFile::encodeName(m_deviceName).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        facts.probeErrno = fd < 0 ? errno : 0;
        if (fd >= 0)
            ::close(fd);
    }
#endif
    m_openCause = classifyOpenFailure(facts);
    m_holder = m_openCause == OpenCause::InUse ? facts.lockHolder : QString();
}

void QtSerialPort::writeBytes(const QByteArray &bytes)
{
    // After a failure the port is closed; further writes of the same
    // operation go nowhere instead of producing more errors.
    if (hasFailed() || !m_port.isOpen() || bytes.isEmpty())
        return;
    if (m_port.write(bytes) < 0)
        fail(m_port.errorString(), true);
}

QString QtSerialPort::readText()
{
    if (!m_port.isOpen() || m_port.bytesAvailable() <= 0)
        return {};
    char byte = 0;
    if (m_port.read(&byte, 1) != 1)
        return {};
    return QString(cp1252::decodeByte(static_cast<unsigned char>(byte)));
}

QString QtSerialPort::readWaiting()
{
    if (!m_port.isOpen())
        return {};
    return cp1252::decode(m_port.readAll());
}

void QtSerialPort::onError(QSerialPort::SerialPortError error)
{
    // A pulled USB adapter floods the port with these while write() still
    // succeeds; the first one is the one that counts.
    if (error == QSerialPort::ResourceError || error == QSerialPort::WriteError
        || error == QSerialPort::ReadError) {
        // Bytes still waiting in the port, or a write the driver refused,
        // are lost; a read error on an empty port means the line went away
        // after everything had been sent.
        fail(m_port.errorString(), error == QSerialPort::WriteError || m_port.bytesToWrite() > 0);
    }
}

void QtSerialPort::fail(const QString &description, bool lostWrites)
{
    if (!reportFailure(description, lostWrites))
        return;
    m_errorString = description;
    m_port.close();
}

void QtSerialPort::takeUpWaiting()
{
    // Without waiting: what the line's driver holds is read, and said.
    if (m_port.isOpen())
        m_port.waitForReadyRead(0);
}
