#pragma once
// SerialPort on Windows, through the Win32 communications API: CreateFile
// on \\.\COMn, the module's line settings in a DCB, and reads that return
// at once (COMMTIMEOUTS), which suits the tool's polling. A short timer
// takes what has arrived, so that lastEvent() and dataArrived() tell of it
// as QSerialPort's do on Linux.

#include "link/serialport.h"

#include <QByteArray>
#include <QTimer>

#include <windows.h>

// The DCB the module's line needs, made from the one the port had:
// 19200 baud, 8 data bits, no parity, 1 stop bit, no flow control of
// either kind, binary, no byte dropped or replaced.
DCB moduleLineSettings(DCB current);

// Reads that return at once with whatever has arrived; writes that wait
// until the bytes are with the driver.
COMMTIMEOUTS moduleLineTimeouts();

// Why CreateFile failed, from GetLastError(). A COM port is never shared on
// Windows: "access denied" means that another program has it open.
OpenCause openCauseOfWin32Error(DWORD error);

class Win32SerialPort : public SerialPort {
    Q_OBJECT
public:
    static constexpr int kReadIntervalMs = 5;

    explicit Win32SerialPort(QObject *parent = nullptr);
    ~Win32SerialPort() override;

    bool open(const QString &device) override;
    QString errorString() const override { return m_errorString; }
    QString deviceName() const override { return m_deviceName; }
    OpenCause openCause() const override { return m_openCause; }

    void writeBytes(const QByteArray &bytes) override;
    PortEvent lastEvent() const override { return m_lastEvent; }
    QString readText() override;
    QString readWaiting() override;

private:
    void takeArrived();
    void fail(const QString &description, bool lostWrites);
    void close();

    QString m_deviceName;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    QString m_errorString;
    OpenCause m_openCause = OpenCause::Other;
    QByteArray m_incoming;
    QTimer m_readTimer;
    PortEvent m_lastEvent = PortEvent::None;
};
