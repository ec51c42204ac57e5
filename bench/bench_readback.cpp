// Reads back the largest dump a KVR7314 can send (every text at 25
// characters, every timer at 4) from the simulated module on a
// pseudo-terminal, at the real line pace, through the window's own read-back
// run and the real QSerialPort. Prints what was captured against what was
// sent, the time from the click to the parse, and the rate the one-character
// polls reached.
//
//   bench_readback [runs]     (default 1; each run takes about 12.3 s)

#include "bench/benchsupport.h"
#include "app/mainwindow.h"
#include "link/qtserialport.h"
#include "settings/codec.h"
#include "link/moduledump.h"
#include "bench/largestmodule.h"
#include "sim/ptyhost.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>

namespace {

class BenchPrompts : public Prompts {
public:
    void showMessage(const QString &title, BoxIcon, const QString &, const QString &) override
    {
        titles << title;
        shownAtMs = clock ? clock->elapsed() : 0;
    }
    std::optional<QString> askSaveFile(const FileDialogSetup &) override { return std::nullopt; }
    std::optional<QString> askOpenFile(const FileDialogSetup &) override { return std::nullopt; }
    bool askPrinter(QPrinter &) override { return false; }

    QStringList titles;
    const QElapsedTimer *clock = nullptr;
    qint64 shownAtMs = 0;
};

class BenchClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// The real port, with the moment of every character the window took.
class TimedPort : public SerialPort {
public:
    explicit TimedPort(const QElapsedTimer &clock) : m_clock(clock)
    {
        connect(&m_port, &SerialPort::failed, this, &SerialPort::failed);
    }
    bool open(const QString &device) override { return m_port.open(device); }
    QString errorString() const override { return m_port.errorString(); }
    QString deviceName() const override { return m_port.deviceName(); }
    void writeBytes(const QByteArray &bytes) override { m_port.writeBytes(bytes); }
    PortEvent lastEvent() const override { return m_port.lastEvent(); }
    QString readText() override
    {
        ++reads;
        QString c = m_port.readText();
        if (!c.isEmpty()) {
            const double at = m_clock.nsecsElapsed() / 1e6;
            if (taken == 0)
                firstMs = at;
            lastMs = at;
            ++taken;
        }
        return c;
    }

    qint64 reads = 0;
    qint64 taken = 0;
    double firstMs = 0;
    double lastMs = 0;

private:
    QtSerialPort m_port;
    const QElapsedTimer &m_clock;
};


} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const OwnDataFolder data;
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 1;

    PtyHost pty;
    if (!pty.open()) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", qPrintable(pty.errorString()));
        return 1;
    }
    pty.module().setStored(largestModuleSettings());
    const QByteArray sent = moduleDump(largestModuleSettings(), pty.module().behaviour.firmwareVersion);

    QElapsedTimer clock;
    BenchPrompts prompts;
    prompts.clock = &clock;
    BenchClock wallClock;
    TimedPort *port = nullptr;
    const QString device = pty.devicePath();
    MainWindow window(WindowServices{&prompts, &wallClock, [device](int) { return device; }, [&]() -> std::unique_ptr<SerialPort> {
        auto p = std::make_unique<TimedPort>(clock);
        port = p.get();
        return p;
    }, {}});

    std::printf("dump sent: %lld characters at 19200 baud (%.0f characters/s on the line)\n",
                qlonglong(sent.size()), PtyHost::kCharactersPerMs * 1000);
    int failures = 0;
    for (int run = 1; run <= runs; ++run) {
        prompts.titles.clear();
        clock.start();
        window.findChild<QPushButton *>("CmdLeesModule")->click();
        while (prompts.titles.isEmpty())
            app.processEvents(QEventLoop::WaitForMoreEvents);

        const QString captured = window.findChild<QLineEdit *>("txt_Inlezen")->text();
        const bool same = captured == cp1252::decode(sent);
        const double spanMs = port->lastMs - port->firstMs;
        const double rate = spanMs > 0 ? (port->taken - 1) / spanMs * 1000 : 0;
        std::printf("run %d: captured %lld of %lld (ratio %.3f, %s), click to parse %lld ms, "
                    "first character taken at %.1f ms, last at %.1f ms, poll rate %.0f characters/s, "
                    "%lld polls; box \"%s\"\n",
                    run, qlonglong(captured.size()), qlonglong(sent.size()),
                    double(captured.size()) / double(sent.size()), same ? "identical" : "DIFFERENT",
                    qlonglong(prompts.shownAtMs), port->firstMs, port->lastMs, rate, qlonglong(port->reads),
                    qPrintable(prompts.titles.value(0)));
        if (!same || prompts.titles.value(0) != QStringLiteral("KVR7314"))
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
