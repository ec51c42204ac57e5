#pragma once
// A main window for tests, with what every window test needs around it:
// recording prompts, a fixed clock, ports that record what the window sends
// (or real ones on a chosen device), and its controls looked up by name.

#include "app/mainwindow.h"
#include "support/fakeport.h"
#include "support/scriptedprompts.h"

#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
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
    QTemporaryDir data;
    std::unique_ptr<MainWindow> window;
};
