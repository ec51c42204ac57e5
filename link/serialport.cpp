#include "link/serialport.h"

#include <QTimer>

QString defaultComDevice(int comPort)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(comPort);
#else
    return QStringLiteral("/dev/ttyS%1").arg(comPort - 1);
#endif
}

QString SerialPort::readWaiting()
{
    QString waiting;
    for (QString c = readText(); !c.isEmpty(); c = readText())
        waiting += c;
    return waiting;
}

bool SerialPort::reportFailure(const QString &description, bool lostWrites)
{
    if (m_failed)
        return false;
    m_failed = true;
    m_lostWrites = lostWrites;
    QTimer::singleShot(0, this, [this, description] { emit failed(description); });
    return true;
}

PortFailure lineFailure(const SerialPort &port, const QString &description)
{
    PortFailure failure;
    failure.kind = PortFailure::LineFailed;
    failure.device = port.deviceName();
    failure.description = description;
    failure.lostWrites = port.lostWrites();
    return failure;
}

PortOpening openDevice(std::unique_ptr<SerialPort> port, const QString &device)
{
    PortOpening opening;
    if (port && port->open(device)) {
        opening.port = std::move(port);
        return opening;
    }
    PortFailure &failure = opening.failure;
    failure.kind = PortFailure::CannotOpen;
    failure.device = port ? port->deviceName() : device;
    failure.description = port ? port->errorString() : QStringLiteral("no serial port");
    failure.cause = port ? port->openCause() : OpenCause::Other;
    failure.holder = port ? port->holder() : QString();
    failure.lostWrites = false;
    return opening;
}
