#pragma once
// SerialPort on Windows, through the Win32 communications API: CreateFile
// on \\.\COMn, the module's line settings in a DCB, and reads that return
// at once (COMMTIMEOUTS), which suits the tool's polling. A short timer
// takes what has arrived, so that lastEvent() and dataArrived() tell of it
// as QSerialPort's do on Linux. Writes are overlapped: a frame is handed to
// the driver and the program goes on, so a slow or stuck adapter holds up
// its own module and never the others a program talks to at once.

#include "link/serialport.h"

#include <QByteArray>
#include <QTimer>

#include <windows.h>

// The DCB the module's line needs, made from the one the port had:
// 19200 baud, 8 data bits, no parity, 1 stop bit, no flow control of
// either kind, binary, no byte dropped or replaced.
DCB moduleLineSettings(DCB current);

// Reads that return at once with whatever has arrived; writes without a
// time limit (they are overlapped, so nothing waits on them).
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

    // How long closing waits for a write still with the driver.
    static constexpr DWORD kCloseWaitMs = 2000;

private:
    void takeArrived();
    // Hands what waits to the driver, when no write is under way.
    void startWrite();
    // Whether the write under way has ended; a failed one fails the port.
    bool writeEnded();
    void fail(const QString &description, bool lostWrites);
    void close();

    QString m_deviceName;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    QString m_errorString;
    OpenCause m_openCause = OpenCause::Other;
    QByteArray m_incoming;
    QByteArray m_outgoing;        // written, not yet handed to the driver
    QByteArray m_writing;         // with the driver, until its write ends
    OVERLAPPED m_writeDone{};     // its event is set when that write ends
    OVERLAPPED m_readDone{};
    QTimer m_readTimer;
    PortEvent m_lastEvent = PortEvent::None;
};
