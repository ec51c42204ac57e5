#pragma once
// What the fleet benchmarks share: simulated modules on pseudo-terminals
// that time their programming frames on one clock, the gaps between those
// frames, a watch on how late this process's event loop runs, kvr7314-cli
// run as a child of its own with its own CPU time and memory, and the
// files and summary of a fleet.

#include "bench/benchsupport.h"
#include "link/frames.h"
#include "settings/modulesettings.h"
#include "sim/ptyhost.h"

#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

inline constexpr double kStepIntervalMs = 300.0;
// Long enough for 64 modules' writes and reads even when something is slow;
// a run past it is stopped and reported, not waited for.
inline constexpr int kChildTimeoutMs = 180000;

// One simulated module and when its programming frames arrived, on the
// bench's one clock. Times are taken as the frame's last byte is read from
// the pseudo-terminal, which is as close to the module's side of the line
// as this process gets.
struct Module {
    QString name;
    QString port;   // as the fleet list gives it
    std::unique_ptr<PtyHost> host;
    std::vector<double> stepArrivalsMs;
    std::vector<double> readRequestsMs;   // the verify's read requests
    QString fault;                        // what it does wrong, if anything
};

class Modules {
public:
    explicit Modules(const QElapsedTimer &clock) : m_clock(clock) {}

    // A new module on a pseudo-terminal, its port the pty itself for now.
    Module *add(const QString &name)
    {
        auto module = std::make_unique<Module>();
        module->name = name;
        module->host = std::make_unique<PtyHost>();
        if (!module->host->open()) {
            std::fprintf(stderr, "no pseudo-terminal for %s: %s\n", qPrintable(name),
                         qPrintable(module->host->errorString()));
            return nullptr;
        }
        module->port = module->host->devicePath();
        Module *raw = module.get();
        QObject::connect(raw->host.get(), &PtyHost::frameReceived, raw->host.get(), [this, raw](const ReceivedFrame &frame) {
            if (!m_recording)
                return;
            if (programmingStepOf(frame.code))
                raw->stepArrivalsMs.push_back(m_clock.nsecsElapsed() / 1e6);
            else if (frame.code == kReadRequestCode)
                raw->readRequestsMs.push_back(m_clock.nsecsElapsed() / 1e6);
        });
        m_modules.push_back(std::move(module));
        return raw;
    }

    // Frames count from here on, for the run about to start.
    void startRecording()
    {
        for (const auto &module : m_modules) {
            module->stepArrivalsMs.clear();
            module->readRequestsMs.clear();
        }
        m_recording = true;
    }
    void stopRecording() { m_recording = false; }

    const std::vector<std::unique_ptr<Module>> &all() const { return m_modules; }
    // The same, for the functions that read what the modules took.
    std::vector<const Module *> each() const
    {
        std::vector<const Module *> modules;
        for (const auto &module : m_modules)
            modules.push_back(module.get());
        return modules;
    }

private:
    const QElapsedTimer &m_clock;
    std::vector<std::unique_ptr<Module>> m_modules;
    bool m_recording = false;
};

struct Gaps {
    std::vector<double> all;       // every gap at every module, ms
    int completeModules = 0;       // modules that took all 26 steps
    QString worstModule;
};

// A timer that should tick every 5 ms: how much later than that it came is
// how long a frame could have waited in the pseudo-terminal before the
// module's side saw it. With 64 modules in one thread, on a machine that
// may be busy with other work, this is the first thing to look at when the
// gaps look bad.
class LoopWatch {
public:
    static constexpr int kIntervalMs = 5;
    // Later than this, a frame read in that stretch counts as timed late.
    static constexpr double kStallMs = 2.0;

    explicit LoopWatch(const QElapsedTimer &clock) : m_clock(clock)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kIntervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { tick(); });
    }
    void start()
    {
        m_late.clear();
        m_stalls.clear();
        m_last = now();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }

    double worstMs() const { return m_late.empty() ? 0 : *std::max_element(m_late.begin(), m_late.end()); }
    int ticksLaterThan(double ms) const { return int(std::count_if(m_late.begin(), m_late.end(), [ms](double l) { return l > ms; })); }
    int ticks() const { return int(m_late.size()); }

    // Whether a frame timed at `atMs` may have waited for the loop: it came
    // in a stretch the loop was held up, or just at its end.
    bool stalledAround(double atMs) const
    {
        return std::any_of(m_stalls.begin(), m_stalls.end(), [atMs](const std::pair<double, double> &stall) {
            return atMs >= stall.first - 1.0 && atMs <= stall.second + 1.0;
        });
    }

private:
    double now() const { return m_clock.nsecsElapsed() / 1e6; }
    void tick()
    {
        const double at = now();
        const double late = std::max(0.0, at - m_last - kIntervalMs);
        m_late.push_back(late);
        if (late > kStallMs)
            m_stalls.emplace_back(at - late, at);
        m_last = at;
    }

    const QElapsedTimer &m_clock;
    QTimer m_timer;
    double m_last = 0;
    std::vector<double> m_late;
    std::vector<std::pair<double, double>> m_stalls;   // from, to (ms on the bench's clock)
};

struct ChildRun {
    bool started = false;
    bool timedOut = false;
    int exitCode = -1;        // -1: ended by a signal
    double wallSeconds = 0;
    long peakKiB = 0;         // its largest resident set
    double cpuSeconds = 0;    // user + system, its own
};

struct FleetReport {
    bool parsed = false;
    QMap<QString, int> outcomes;         // "ok", "failed", ... -> how many
    QStringList notOk;                   // "name (outcome): cause"
    QStringList notOkNames;
    std::vector<double> durationsMs;
    int entries = 0;
};

Gaps gapsOf(const std::vector<const Module *> &modules);

double worstDeviation(const std::vector<double> &gaps);

// The gaps whose two frames were both timed while the loop kept up: what
// the line had, whatever else this machine was doing.
std::vector<double> gapsTimedOnTime(const std::vector<const Module *> &modules, const LoopWatch &watch);

// Runs `program` to its end while this event loop goes on serving the
// modules. Not QProcess: it reaps its child itself, and the rusage of
// exactly this child (not of all children so far) comes only with wait4 on
// its pid. stdout and stderr go to the files given.
ChildRun runChild(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                  const QString &stdoutPath, const QString &stderrPath);

// The largest settings a module takes (every text at its 25 characters), so
// the verify reads the longest dump; examples/flex.kvr should they not save.
// Which one it is, or nothing; `settings` gets them.
std::optional<QString> writeSettings(const QString &path, ModuleSettings *settings);

// A plan and an apply: every module holds the file but one in eight,
// which holds the standard values. How many differ.
int holdTheFileButOneInEight(const std::vector<std::unique_ptr<Module>> &modules, const ModuleSettings &settings);

int modulesWritten(const std::vector<const Module *> &modules);

// "naam;poort;bestand", one row a module (its name and port), all with the
// same settings file beside the list.
bool writeFleetList(const QString &path, const QList<std::pair<QString, QString>> &namesAndPorts,
                    const QString &settingsFile);
bool writeFleetList(const QString &path, const std::vector<std::unique_ptr<Module>> &modules, const QString &settingsFile);

FleetReport readFleetReport(const QString &path);

void printTail(const QString &path, qint64 bytes);

void printChild(const char *what, const ChildRun &run);

void printLoop(const char *what, const LoopWatch &watch);

void stopSer2net(QProcess &ser2net);
