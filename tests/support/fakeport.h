#pragma once
// A serial line for tests that records every opening and byte, and can
// refuse to open or fail a write as a pulled adapter does.

#include "link/serialport.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QStringList>

#include <memory>
#include <optional>

// The line behind the fake ports: every port the window opens shares it, so
// a test sees all openings and every byte in order.
struct FakeLine {
    bool opens = true;            // false: open() fails
    int openings = 0;
    QStringList devices;          // the device of every opening
    QByteArray written;           // everything sent, in order
    int writes = 0;               // frames handed to the port
    QList<qint64> writtenAtMs;    // when each was handed over, since the line was made
    QElapsedTimer clock = started();
    int failOnWrite = 0;          // 1-based write that fails the port instead; 0: never
    int failSignals = 1;          // how many failed() signals that write floods
    // A line to a device server that has acknowledged this many writes
    // (and confirms them only when it has them all); none: a local line.
    std::optional<int> acknowledgedWrites;
    QByteArray incoming;          // characters waiting to be read
    PortEvent event = PortEvent::None;   // the port's most recent event

    // The module's reply arrives (the port reports received data).
    void arrive(const QByteArray &bytes);

    static QElapsedTimer started()
    {
        QElapsedTimer clock;
        clock.start();
        return clock;
    }
};

// A SerialPort on a FakeLine.
class FakeSerialPort : public SerialPort {
public:
    explicit FakeSerialPort(std::shared_ptr<FakeLine> line) : m_line(std::move(line)) {}
    bool open(const QString &device) override;
    QString errorString() const override { return QStringLiteral("Device not found"); }
    QString deviceName() const override { return m_device; }
    void writeBytes(const QByteArray &bytes) override;
    PortEvent lastEvent() const override { return m_line->event; }
    QString readText() override;
    int writeMark() override { return m_line->writes - 1; }
    bool hasReached(int mark) override { return mark < m_line->acknowledgedWrites.value_or(m_line->writes); }
    void confirmWritten(const Confirmed &done) override;
    bool reachesDeviceServer() const override { return m_line->acknowledgedWrites.has_value(); }

private:
    std::shared_ptr<FakeLine> m_line;
    QString m_device;
};

// A factory of FakeSerialPorts on `line`.
SerialPortFactory fakePorts(const std::shared_ptr<FakeLine> &line);

// The device the fake ports give COM n: "/dev/fake3".
QString fakeDevice(int comPort);
// Opens COM `comPort()` (asked at each opening) on a fake port of `line`.
PortOpener fakeOpener(const std::shared_ptr<FakeLine> &line, std::function<int()> comPort);
