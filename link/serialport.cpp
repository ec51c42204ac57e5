#include "link/serialport.h"

#include <QCoreApplication>
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

PortFailure openingFailure(const QString &device, const QString &description, OpenCause cause, const QString &holder)
{
    PortFailure failure;
    failure.kind = PortFailure::CannotOpen;
    failure.device = device;
    failure.description = description;
    failure.cause = cause;
    failure.holder = holder;
    failure.lostWrites = false;
    return failure;
}

PortFailure lineFailure(const SerialPort &port, const QString &description)
{
    PortFailure failure;
    failure.kind = PortFailure::LineFailed;
    failure.device = port.deviceName();
    failure.description = description;
    failure.lostWrites = port.lostWrites();
    failure.atDeviceServer = port.reachesDeviceServer();
    return failure;
}

void openDeviceThen(std::unique_ptr<SerialPort> port, const QString &device, const PortOpened &done)
{
    // A port that connects first is owned by the application while it does:
    // a program that ends meanwhile still frees it.
    SerialPort *opening = port.release();
    opening->setParent(QCoreApplication::instance());
    opening->openThen(device, [opening, device, done](bool opened) {
        opening->setParent(nullptr);
        std::unique_ptr<SerialPort> port(opening);
        PortOpening outcome;
        if (opened) {
            outcome.port = std::move(port);
            done(std::move(outcome));
            return;
        }
        outcome.failure = openingFailure(port->deviceName().isEmpty() ? device : port->deviceName(),
                                         port->errorString(), port->openCause(), port->holder());
        outcome.failure.atDeviceServer = port->reachesDeviceServer();
        done(std::move(outcome));
    });
}
