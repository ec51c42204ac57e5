#pragma once
// A SerialPort that records what passes through another one: every frame
// sent, every character received, the opening and any failure, each with its
// time since the trace began, as readable lines for a bug report:
//
//      0.453 s  open COM 1
//      0.453 s  TX  01 28 35 31 29 00 FF FF 00 0B 00 FF 01 30 31 02  |.(51)........01.|
//               ..  EF B0 EF B0 EF C0 04                             |.......|
//      8.352 s  RX  41 4C 49 41 53 30 31 3A 53 74 6F 72 69 6E 67 20  |ALIAS01:Storing |
//
// Received characters are gathered into lines of up to 16 that arrived
// without a pause; the time shown is that of the line's first byte.

#include "link/serialport.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <memory>

class QIODevice;

class TracingSerialPort : public SerialPort {
    Q_OBJECT
public:
    // `log` must outlive this port; `clock` is the trace's start and is
    // shared by every port of one trace, so their times follow on.
    TracingSerialPort(std::unique_ptr<SerialPort> inner, QIODevice *log, const QElapsedTimer &clock,
                      QObject *parent = nullptr);
    ~TracingSerialPort() override;

    bool open(const QString &device) override;
    void openThen(const QString &device, const std::function<void(bool)> &done) override;
    QString errorString() const override { return m_inner->errorString(); }
    QString deviceName() const override { return m_inner->deviceName(); }
    OpenCause openCause() const override { return m_inner->openCause(); }
    QString holder() const override { return m_inner->holder(); }

    void writeBytes(const QByteArray &bytes) override;

    PortEvent lastEvent() const override { return m_inner->lastEvent(); }
    void takeUpWaiting() override { m_inner->takeUpWaiting(); }
    QString readText() override;
    QString readWaiting() override;
    bool lostWrites() const override { return m_inner->lostWrites(); }
    int writeMark() override { return m_inner->writeMark(); }
    bool hasReached(int mark) override { return m_inner->hasReached(mark); }
    void confirmWritten(const Confirmed &done) override { m_inner->confirmWritten(done); }
    bool reachesDeviceServer() const override { return m_inner->reachesDeviceServer(); }

    // A free line in the trace, with the time (what the caller is about to do).
    void note(const QString &text);

private:
    void noteOpening(bool opened);
    void traced(const QByteArray &bytes);
    void flushReceived();
    void traceReceived(const QString &text);
    double seconds() const { return m_clock.nsecsElapsed() / 1e9; }

    std::unique_ptr<SerialPort> m_inner;
    QIODevice *m_log;
    QElapsedTimer m_clock;

    QByteArray m_received;           // not written to the log yet
    double m_receivedStart = 0;      // time of its first byte
    double m_receivedLast = 0;       // time of its last byte
};

// A free line of the trace at `seconds` ("    0.453 s  open /dev/ttyUSB0").
QString traceNoteLine(double seconds, const QString &text);

// The trace lines for `bytes` going in `direction` ("TX", "RX") at `seconds`:
// hex and text, 16 bytes a line, continuation lines marked "..".
QString traceLines(double seconds, const QString &direction, const QByteArray &bytes);
