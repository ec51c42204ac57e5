#pragma once
// SerialPort over QSerialPort: the module's line settings, Windows-1252 on
// the wire, and one failed() signal however many errors the port reports.

#include "link/serialport.h"

#include <QSerialPort>

class QtSerialPort : public SerialPort {
    Q_OBJECT
public:
    // `device` maps COM n to the device to open; defaultComDevice when empty.
    explicit QtSerialPort(ComDeviceMapper device = {}, QObject *parent = nullptr);
    ~QtSerialPort() override;

    bool open(int comPort) override;
    QString errorString() const override { return m_errorString; }

    void writeText(const QString &text) override;
    void writeByte(quint8 value) override;
    void writeBytes(const QByteArray &bytes) override;

    int lastEvent() const override { return m_lastEvent; }
    QString readText() override;
    bool failureLostData() const override { return m_failureLostData; }

    // The device that the last open() used ("/dev/ttyS0", "/dev/pts/3").
    QString deviceName() const { return m_port.portName(); }

private:
    void onError(QSerialPort::SerialPortError error);
    void fail(const QString &description, bool lostData);

    ComDeviceMapper m_device;
    QSerialPort m_port;
    QString m_errorString;
    int m_lastEvent = 0;
    bool m_failed = false;
    bool m_failureLostData = false;
};
