#pragma once
// SerialPort over QSerialPort: the module's line settings, Windows-1252 on
// the wire, and one failed() signal however many errors the port reports.

#include "link/serialport.h"

#include <QSerialPort>

class QtSerialPort : public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(QObject *parent = nullptr);
    ~QtSerialPort() override;

    bool open(const QString &device) override;
    QString errorString() const override { return m_errorString; }
    QString deviceName() const override { return m_deviceName; }
    OpenCause openCause() const override { return m_openCause; }
    QString holder() const override { return m_holder; }

    void writeBytes(const QByteArray &bytes) override;

    PortEvent lastEvent() const override { return m_lastEvent; }
    void takeUpWaiting() override;
    QString readText() override;
    QString readWaiting() override;

private:
    void onError(QSerialPort::SerialPortError error);
    void findOpenCause();
    void fail(const QString &description, bool lostWrites);

    QString m_deviceName;
    QSerialPort m_port;
    QString m_errorString;
    OpenCause m_openCause = OpenCause::Other;
    QString m_holder;
    PortEvent m_lastEvent = PortEvent::None;
};
