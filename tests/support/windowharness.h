#pragma once
// A main window for tests, with what every window test needs around it:
// recording prompts, a fixed clock, ports that record what the window sends
// (or real ones on a chosen device), and its controls looked up by name.

#include "app/mainwindow.h"
#include "link/serialport.h"
#include "support/scriptedprompts.h"

#include <QPushButton>
#include <QStringList>
#include <QTest>

#include <memory>

// The control `name` below `parent`; a missing one ends the test program,
// since every later step would look at the wrong thing.
template <typename T = QWidget>
T *control(const QObject *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

// The line behind the fake ports: every port the window opens shares it, so
// a test sees all openings and every byte in order.
struct FakeLine {
    bool opens = true;            // false: open() fails
    int openings = 0;
    QList<int> comPorts;          // the COM number of every opening
    QByteArray written;           // everything sent, in order
    int writes = 0;               // frames handed to the port
    int failOnWrite = 0;          // 1-based write that fails the port instead; 0: never
    int failSignals = 1;          // how many failed() signals that write floods
    QByteArray incoming;          // characters waiting to be read
    int event = 0;                // the port's most recent event

    // The module's reply arrives (the port reports received data).
    void arrive(const QByteArray &bytes);
};

// A SerialPort on a FakeLine. The window sends whole frames; a text or a
// single byte written on its own fails the test.
class FakeSerialPort : public SerialPort {
public:
    explicit FakeSerialPort(std::shared_ptr<FakeLine> line) : m_line(std::move(line)) {}
    bool open(int comPort) override;
    QString errorString() const override { return QStringLiteral("Device not found"); }
    void writeText(const QString &) override { QFAIL("frames go out whole"); }
    void writeByte(quint8) override { QFAIL("frames go out whole"); }
    void writeBytes(const QByteArray &bytes) override;
    int lastEvent() const override { return m_line->event; }
    QString readText() override;

private:
    std::shared_ptr<FakeLine> m_line;
};

// The nine command buttons, which a run disables and gives back together.
extern const QStringList kCommandButtons;
// The timers of a read-back run.
extern const QStringList kReadBackTimers;

class WindowHarness {
public:
    // Without a mapper the window's ports are FakeSerialPorts on `line`;
    // with one they are real serial ports on the mapped devices.
    explicit WindowHarness(ComDeviceMapper realPortsTo = {});
    WindowHarness(const WindowHarness &) = delete;
    WindowHarness &operator=(const WindowHarness &) = delete;

    // Shows the window and waits until it is on the screen.
    bool show();

    template <typename T = QWidget>
    T *child(const QString &name) const { return control<T>(window.get(), name); }
    void click(const QString &button) const { child<QPushButton>(button)->click(); }

    bool buttonsEnabled(bool enabled) const;
    bool timerRunning(const QString &name) const;
    bool anyReadBackTimerRunning() const;
    bool readLedShown() const;
    bool writeLedShown() const;
    bool waitForBoxes(int count, int timeoutMs) const;

    ScriptedPrompts prompts;
    FixedClock clock;
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    std::unique_ptr<MainWindow> window;
};
