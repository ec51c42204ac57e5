// Whether the fleet window stays responsive while a region's modules run:
// 64 simulated KVR7314s on pseudo-terminals, one in eight holding other
// values than the settings file, checked ("Controleren") and brought in
// line ("Bijwerken") by the real window, offscreen, in this process. A
// timer that should tick every 5 ms measures how long the window's event
// loop was held up; the frame gaps at the modules are set beside those of
// `kvr7314-cli fleet apply` on the same modules in the same run.
//
//   bench_fleetwindow [--modules N] [--cli PATH]
//
// Prints, as "name: value" lines: the longest the loop was held during the
// check and during the update, and how often it ran more than 5 ms late;
// the frame gaps at the modules for the command line and for the window
// (median and worst deviation from 300 ms); the wall time of each; and how
// many modules each wrote (target: the one in eight that differ).

#include "app/qtprompts.h"
#include "bench/fleetbench.h"
#include "fleetwindow/fleettablemodel.h"
#include "fleetwindow/fleetwindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// The window's dialogs, answered at once: every write goes ahead, all
// modules at once.
class AnsweringQuestions : public FleetQuestions {
public:
    std::optional<WriteChoice> confirmWrite(const QString &, int) override { return WriteChoice{}; }
    std::optional<QString> askFolder(const QString &) override { return std::nullopt; }
    bool askYesNo(const QString &) override { return false; }
};

class SilentPrompts : public Prompts {
public:
    void showMessage(const QString &, BoxIcon, const QString &text, const QString &details) override
    {
        std::fprintf(stderr, "box: %s %s\n", qPrintable(text), qPrintable(details));
    }
    std::optional<QString> askSaveFile(const FileDialogSetup &) override { return std::nullopt; }
    std::optional<QString> askOpenFile(const FileDialogSetup &) override { return std::nullopt; }
    bool askPrinter(QPrinter &) override { return false; }
};

struct Measured {
    double wallSeconds = 0;
    double worstLateMs = 0;
    int lateTicks = 0;
    int ticks = 0;
    int written = 0;
    Gaps gaps;
};

void printMeasured(const char *what, const Measured &m)
{
    std::printf("%s wall s: %.2f\n", what, m.wallSeconds);
    std::printf("%s: event loop held up at most %.1f ms, %d of %d ticks over 5 ms late\n", what, m.worstLateMs,
                m.lateTicks, m.ticks);
    if (!m.gaps.all.empty())
        std::printf("%s frame gaps at the modules: median %.2f ms, worst deviation from 300 ms %.2f ms (%d gaps)\n",
                    what, median(m.gaps.all), worstDeviation(m.gaps.all), int(m.gaps.all.size()));
    std::printf("%s modules written: %d\n", what, m.written);
}

// The window's action `act` to its end, timed by the loop watch.
Measured measureWindow(FleetWindow &window, Modules &modules, LoopWatch &watch, const QElapsedTimer &clock,
                       void (FleetWindow::*act)())
{
    const std::vector<const Module *> all = modules.each();
    modules.startRecording();
    watch.start();
    const double start = clock.nsecsElapsed() / 1e9;
    (window.*act)();
    QEventLoop loop;
    QObject::connect(&window, &FleetWindow::runEnded, &loop, &QEventLoop::quit);
    QTimer::singleShot(kChildTimeoutMs, &loop, &QEventLoop::quit);
    if (window.isRunning())
        loop.exec();
    Measured m;
    m.wallSeconds = clock.nsecsElapsed() / 1e9 - start;
    watch.stop();
    modules.stopRecording();
    m.worstLateMs = watch.worstMs();
    m.lateTicks = watch.ticksLaterThan(5.0);
    m.ticks = watch.ticks();
    m.gaps = gapsOf(all);
    m.written = modulesWritten(all);
    return m;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const OwnDataFolder data;
    int count = 64;
    QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../cli/kvr7314-cli");
    const QStringList arguments = app.arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == u"--modules")
            count = std::max(8, arguments[i + 1].toInt());
        else if (arguments[i] == u"--cli")
            cli = arguments[i + 1];
    }

    QTemporaryDir scratch;
    const QString settingsPath = scratch.filePath(QStringLiteral("module.kvr"));
    ModuleSettings settings;
    if (!scratch.isValid() || !writeSettings(settingsPath, &settings)) {
        std::fprintf(stderr, "no scratch folder or settings file\n");
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    Modules modules(clock);
    for (int i = 1; i <= count; ++i) {
        if (!modules.add(QStringLiteral("lokaal-%1").arg(i, 2, 10, QLatin1Char('0'))))
            return 1;
    }
    const QString list = scratch.filePath(QStringLiteral("regio.csv"));
    if (!writeFleetList(list, modules.all(), QFileInfo(settingsPath).fileName())) {
        std::fprintf(stderr, "the fleet list could not be written\n");
        return 1;
    }
    const int differing = holdTheFileButOneInEight(modules.all(), settings);
    std::printf("modules: %d on local pseudo-terminals, %d of them differing from the file, all hosted in this one "
                "thread with the window\n",
                count, differing);
    LoopWatch watch(clock);

    // 1. The command line's apply, in a process of its own.
    const std::vector<const Module *> all = modules.each();
    modules.startRecording();
    const ChildRun command = runChild(cli, {QStringLiteral("fleet"), QStringLiteral("apply"), list},
                                      QProcessEnvironment::systemEnvironment(), scratch.filePath(QStringLiteral("cli.out")),
                                      scratch.filePath(QStringLiteral("cli.err")));
    modules.stopRecording();
    const Gaps commandGaps = gapsOf(all);
    printChild("command line fleet apply", command);
    std::printf("command line frame gaps at the modules: median %.2f ms, worst deviation from 300 ms %.2f ms (%d gaps)\n",
                median(commandGaps.all), worstDeviation(commandGaps.all), int(commandGaps.all.size()));
    std::printf("command line modules written: %d (target %d)\n", modulesWritten(all), differing);

    // 2. The same modules differing again, and the window on them.
    holdTheFileButOneInEight(modules.all(), settings);
    SilentPrompts prompts;
    AnsweringQuestions questions;
    SystemClock realClock;
    FleetWindow window(FleetWindowServices{&prompts, &questions, &realClock, data.path(), {}, {}});
    window.show();
    if (!window.openList(list))
        return 1;
    serveFor(300);
    const Measured check = measureWindow(window, modules, watch, clock, &FleetWindow::check);
    printMeasured("window Controleren", check);
    const Measured update = measureWindow(window, modules, watch, clock, &FleetWindow::update);
    printMeasured("window Bijwerken", update);
    std::printf("window modules written (target %d): %d  %s\n", differing, update.written,
                update.written == differing ? "ok" : "MISSED");
    return 0;
}
