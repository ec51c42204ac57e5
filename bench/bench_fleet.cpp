// A region's modules written at once: `kvr7314-cli fleet write --verify`
// against simulated KVR7314s hosted in this process, half of them on local
// pseudo-terminals and half behind one ser2net on loopback (rfc2217://, as
// a region's device servers are reached), timed against one module's
// `write --verify` of the same settings file.
//
//   bench_fleet [--plan | --apply] [--modules N] [--local-only] [--faults] [--cli PATH] [--keep]
//   bench_fleet --tcp [--modules N] [--cli PATH] [--keep]
//
//   --tcp          a country's network instead: N modules in all (default
//                  64), each on a raw tcp:// port of its own on loopback,
//                  served by kvr7314-modulefarm in a process of its own (one
//                  light thread; the kernel times each frame), the tool
//                  started with a soft limit of 1,024 open files. Prints the
//                  wall time against one module's write --verify, the gaps
//                  at the modules (p50, p99, worst), the tool's CPU time and
//                  memory per module, how many ended ok and how many took
//                  the 26 frames byte for byte.
//
//   --plan         `fleet plan` instead, against one module's `read`: every
//                  module holds the settings file but one in eight, which
//                  holds the standard values; no module may take a
//                  programming frame
//   --apply        `fleet apply` of that fleet, against one `write --verify`:
//                  only the one in eight that differ may be written
//   --modules N    N modules of each kind (default 32: 64 in all)
//   --local-only   only the local pseudo-terminals (also when ser2net is
//                  not installed)
//   --cli PATH     the kvr7314-cli to measure (default: the one of this
//                  program's build folder)
//   --keep         keep the scratch folder (the list, ser2net's
//                  configuration and log, the CLI's output) and say where
//   --faults       three modules of the fleet misbehave: one drops off at
//                  step 10 (its pseudo-terminal closes; behind ser2net the
//                  server drops its client), one never answers the read
//                  request, one answers with garbage; the others must
//                  finish as if alone, and the summary names each cause
//
// Prints, as "name: value" lines: the single module's wall time, the
// fleet's wall time and its ratio to the single one (target <= 1.25), how
// the 300 ms between programming frames held at every module while all ran
// (worst deviation, target <= 10 ms, and the median), and the fleet
// process's peak memory and CPU time, and how many modules ended ok. The
// modules time their frames in this process's event loop, so it also
// prints how late that loop ran (a late loop makes gaps look worse than the
// line had them) and the gaps timed while it kept up. When gaps go wrong
// or modules fail, when it happened in the run and when each failed
// module's read request came tell a stalled tool from a slow module.

#include "bench/fleetbench.h"
#include "link/frames.h"
#include "sim/ptyhost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include <sys/resource.h>

namespace {

enum class Run { Write, Plan, Apply };

struct Options {
    Run run = Run::Write;
    bool tcp = false;
    int perKind = 32;
    bool localOnly = false;
    bool keep = false;
    bool faults = false;
    QString cli;
};

std::optional<Options> parseOptions(const QStringList &arguments)
{
    Options options;
    options.cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../cli/kvr7314-cli");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == u"--tcp") {
            options.tcp = true;
        } else if (argument == u"--plan") {
            options.run = Run::Plan;
        } else if (argument == u"--apply") {
            options.run = Run::Apply;
        } else if (argument == u"--local-only") {
            options.localOnly = true;
        } else if (argument == u"--keep") {
            options.keep = true;
        } else if (argument == u"--faults") {
            options.faults = true;
        } else if (argument == u"--modules" && i + 1 < arguments.size()) {
            bool ok = false;
            options.perKind = arguments[++i].toInt(&ok);
            if (!ok || options.perKind < 1)
                return std::nullopt;
        } else if (argument == u"--cli" && i + 1 < arguments.size()) {
            options.cli = arguments[++i];
        } else {
            return std::nullopt;
        }
    }
    // --tcp is a write of raw ports, and --modules counts them all.
    if (options.tcp && (options.run != Run::Write || options.localOnly || options.faults))
        return std::nullopt;
    return options;
}

// ---- a country's network on raw TCP -------------------------------------------

// The farm's report of one module: the kernel's receive time of each
// programming step (microseconds), and whether its last 26 frames were the
// file's byte for byte.
struct FarmModule {
    std::vector<double> stepTimesUs;
    bool exact = false;
};

std::vector<FarmModule> readFarmStats(const QString &path)
{
    std::vector<FarmModule> modules;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return modules;
    while (!file.atEnd()) {
        const QList<QByteArray> words = file.readLine().trimmed().split(' ');
        if (words.size() < 10)
            continue;
        FarmModule m;
        m.exact = words[7] == "1";
        for (const QByteArray &time : words[9].split(','))
            if (!time.isEmpty())
                m.stepTimesUs.push_back(time.toDouble());
        modules.push_back(m);
    }
    return modules;
}

// The gaps of each module's last write: its last 26 steps.
std::vector<double> lastWriteGaps(const std::vector<FarmModule> &modules)
{
    std::vector<double> gaps;
    for (const FarmModule &m : modules) {
        const size_t n = m.stepTimesUs.size();
        const size_t from = n > size_t(kProgrammingStepCount) ? n - kProgrammingStepCount : 0;
        for (size_t i = from + 1; i < n; ++i)
            gaps.push_back((m.stepTimesUs[i] - m.stepTimesUs[i - 1]) / 1000.0);
    }
    return gaps;
}

double percentileDeviation(std::vector<double> gaps, double fraction)
{
    if (gaps.empty())
        return NAN;
    for (double &gap : gaps)
        gap = std::abs(gap - kStepIntervalMs);
    std::sort(gaps.begin(), gaps.end());
    return gaps[std::min(gaps.size() - 1, size_t(fraction * double(gaps.size())))];
}

int runOnRawTcp(const Options &options, QTemporaryDir &scratch, const QString &settingsPath, const QString &settingsKind)
{
    const int count = options.perKind;
    QProcess farm;
    farm.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString stats = scratch.filePath(QStringLiteral("farm.stats"));
    farm.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kvr7314-modulefarm"),
               {QString::number(count), QStringLiteral("--expect"), settingsPath, QStringLiteral("--stats"), stats});
    QStringList ports;
    while (farm.waitForReadyRead(20000) || farm.canReadLine()) {
        while (farm.canReadLine()) {
            const QString line = QString::fromLatin1(farm.readLine()).trimmed();
            if (line == u"ready")
                break;
            ports.append(line);
        }
        if (ports.size() == count)
            break;
    }
    if (ports.size() != count) {
        std::fprintf(stderr, "the module farm did not start its %d modules\n", count);
        return 1;
    }
    QList<std::pair<QString, QString>> namesAndPorts;
    for (int i = 0; i < count; ++i)
        namesAndPorts.emplaceBack(QStringLiteral("modul-%1").arg(i + 1, 4, 10, QLatin1Char('0')),
                                  QStringLiteral("tcp://127.0.0.1:%1").arg(ports[i]));
    const QString listPath = scratch.filePath(QStringLiteral("land.csv"));
    if (!writeFleetList(listPath, namesAndPorts, QFileInfo(settingsPath).fileName()))
        return 1;

    // The tool starts as a login shell would start it: 1,024 open files.
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = std::min<rlim_t>(1024, limit.rlim_max);
    setrlimit(RLIMIT_NOFILE, &limit);

    std::printf("kvr7314-cli: %s\n", qPrintable(QFileInfo(options.cli).canonicalFilePath()));
    std::printf("settings file: %s\n", qPrintable(settingsKind));
    std::printf("modules: %d, each on a raw tcp:// port of its own on loopback, in kvr7314-modulefarm\n", count);
    std::fflush(stdout);
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const ChildRun alone = runChild(options.cli,
                                    {QStringLiteral("write"), settingsPath, QStringLiteral("--verify"), QStringLiteral("--port"),
                                     QStringLiteral("tcp://127.0.0.1:%1").arg(ports[0])},
                                    environment, scratch.filePath(QStringLiteral("single.out")),
                                    scratch.filePath(QStringLiteral("single.err")));
    printChild("single write --verify", alone);
    if (!alone.started)
        return 1;
    const QString fleetOut = scratch.filePath(QStringLiteral("fleet.json"));
    const ChildRun fleet = runChild(options.cli,
                                    {QStringLiteral("fleet"), QStringLiteral("write"), listPath, QStringLiteral("--verify"),
                                     QStringLiteral("--json")},
                                    environment, fleetOut, scratch.filePath(QStringLiteral("fleet.err")));
    farm.closeWriteChannel();
    farm.waitForFinished(60000);
    printChild("fleet write --verify", fleet);
    if (!fleet.started)
        return 1;
    const double ratio = fleet.wallSeconds / alone.wallSeconds;
    std::printf("fleet to single wall ratio (target <= 1.25): %.3f  %s\n", ratio, ratio <= 1.25 ? "ok" : "MISSED");

    const std::vector<FarmModule> farmed = readFarmStats(stats);
    const std::vector<double> gaps = lastWriteGaps(farmed);
    const double p99 = percentileDeviation(gaps, 0.99);
    std::printf("gaps at the modules (kernel receive times): %d, median %.2f ms, deviation from 300 ms p50 %.2f, p99 %.2f "
                "(target <= 10) %s, worst %.2f ms\n",
                int(gaps.size()), median(gaps), percentileDeviation(gaps, 0.5), p99, p99 <= 10 ? "ok" : "MISSED",
                worstDeviation(gaps));
    const int exact = int(std::count_if(farmed.begin(), farmed.end(), [](const FarmModule &m) { return m.exact; }));
    std::printf("modules that took the file's 26 frames byte for byte: %d of %d\n", exact, count);
    const FleetReport report = readFleetReport(fleetOut);
    std::printf("modules ok (from --json): %d of %d\n", report.outcomes.value(QStringLiteral("ok")), report.entries);
    for (qsizetype i = 0; i < report.notOk.size() && i < 5; ++i)
        std::printf("  not ok: %s\n", qPrintable(report.notOk[i]));
    if (fleet.exitCode != 0)
        printTail(scratch.filePath(QStringLiteral("fleet.err")), 3000);
    std::printf("tool CPU per module: %.2f ms; peak memory per module: %.1f KB\n", fleet.cpuSeconds * 1000.0 / count,
                (fleet.peakKiB - alone.peakKiB) / double(count));
    return 0;
}

// ---- a region's bad day ----------------------------------------------------

// The last three modules misbehave, each its own way (behind ser2net when
// it is used): what a region's bad day looks like to the fleet.
void armFaults(const std::vector<std::unique_ptr<Module>> &modules)
{
    const size_t n = modules.size();
    if (n < 4)
        return;
    Module *drops = modules[n - 1].get();
    drops->fault = QStringLiteral("drops off at step 10");
    auto steps = std::make_shared<int>(0);
    QObject::connect(drops->host.get(), &PtyHost::frameReceived, drops->host.get(), [drops, steps](const ReceivedFrame &frame) {
        if (programmingStepOf(frame.code) && ++*steps == 10)
            drops->host->closeMaster();
    });
    modules[n - 2]->fault = QStringLiteral("never answers");
    modules[n - 2]->host->module().behaviour.answers = false;
    modules[n - 3]->fault = QStringLiteral("answers garbage");
    modules[n - 3]->host->module().behaviour.garbage = QByteArray("\x15\x7F?#GARBAGE#?\r\n").repeated(8);
    // Only the garbage: the dump it would come before is cut off.
    modules[n - 3]->host->module().behaviour.cutAfter = int(modules[n - 3]->host->module().behaviour.garbage.size());
}

// ---- when things happened --------------------------------------------------

// When things happened in the fleet's run, in seconds from its start: the
// stretch in which gaps went wrong, and when the modules that did not end
// well got their read request, tell a stalled tool from a slow module.
void printTimeline(const std::vector<const Module *> &modules, double startMs, const QStringList &notOk)
{
    const auto sinceStart = [startMs](double ms) { return (ms - startMs) / 1000.0; };
    double firstStep = INFINITY, lastStep = -INFINITY, badFrom = INFINITY, badTo = -INFINITY;
    int bad = 0;
    for (const Module *module : modules) {
        const std::vector<double> &at = module->stepArrivalsMs;
        if (!at.empty()) {
            firstStep = std::min(firstStep, at.front());
            lastStep = std::max(lastStep, at.back());
        }
        for (size_t i = 1; i < at.size(); ++i) {
            if (std::abs(at[i] - at[i - 1] - kStepIntervalMs) > 10.0) {
                ++bad;
                badFrom = std::min(badFrom, at[i - 1]);
                badTo = std::max(badTo, at[i]);
            }
        }
    }
    std::printf("fleet steps arrived from %.2f s to %.2f s after its start\n", sinceStart(firstStep), sinceStart(lastStep));
    if (bad > 0)
        std::printf("fleet gaps off by more than 10 ms: %d, between %.2f s and %.2f s\n", bad, sinceStart(badFrom),
                    sinceStart(badTo));
    int requested = 0;
    std::vector<double> requestDelays;
    for (const Module *module : modules) {
        requested += module->readRequestsMs.empty() ? 0 : 1;
        if (!module->readRequestsMs.empty() && !module->stepArrivalsMs.empty())
            requestDelays.push_back(module->readRequestsMs.back() - module->stepArrivalsMs.back());
        if (!notOk.contains(module->name))
            continue;
        const double last = module->stepArrivalsMs.empty() ? NAN : module->stepArrivalsMs.back();
        const double request = module->readRequestsMs.empty() ? NAN : module->readRequestsMs.back();
        std::printf("  %s (not ok): step 26 at %.3f s, read request at %.3f s (%.0f ms after step 26)\n",
                    qPrintable(module->name), sinceStart(last), sinceStart(request), request - last);
    }
    std::printf("modules that got a read request: %d of %d", requested, int(modules.size()));
    if (!requestDelays.empty())
        std::printf(", %.0f to %.0f ms after their step 26 (median %.0f)", *std::min_element(requestDelays.begin(), requestDelays.end()),
                    *std::max_element(requestDelays.begin(), requestDelays.end()), median(requestDelays));
    std::printf("\n");
}

const char *runName(Run run)
{
    switch (run) {
    case Run::Write: return "fleet write --verify";
    case Run::Plan: return "fleet plan";
    case Run::Apply: return "fleet apply";
    }
    return "";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const OwnDataFolder data;
    const std::optional<Options> options = parseOptions(app.arguments());
    if (!options) {
        std::fprintf(stderr, "usage: bench_fleet [--plan | --apply] [--modules N] [--local-only] [--faults] [--cli PATH] "
                             "[--keep]\n       bench_fleet --tcp [--modules N] [--cli PATH] [--keep]\n");
        return 2;
    }
    if (!QFileInfo(options->cli).isExecutable()) {
        std::fprintf(stderr, "no kvr7314-cli at %s (--cli PATH)\n", qPrintable(options->cli));
        return 1;
    }
    QTemporaryDir scratch;
    scratch.setAutoRemove(!options->keep);
    const QString settingsPath = scratch.filePath(QStringLiteral("module.kvr"));
    ModuleSettings settings;
    const std::optional<QString> settingsKind = writeSettings(settingsPath, &settings);
    if (!scratch.isValid() || !settingsKind) {
        std::fprintf(stderr, "no scratch folder or settings file\n");
        return 1;
    }
    if (options->tcp)
        return runOnRawTcp(*options, scratch, settingsPath, *settingsKind);

    QElapsedTimer clock;
    clock.start();
    Modules modules(clock);
    std::vector<Module *> local;
    std::vector<Module *> networked;
    for (int i = 1; i <= options->perKind; ++i) {
        Module *module = modules.add(QStringLiteral("lokaal-%1").arg(i, 2, 10, QLatin1Char('0')));
        if (!module)
            return 1;
        local.push_back(module);
    }

    QProcess ser2net;
    const QString ser2netPath = ser2netProgram();
    QString ser2netNote;
    if (options->localOnly) {
        ser2netNote = QStringLiteral("not used (--local-only)");
    } else if (ser2netPath.isEmpty()) {
        ser2netNote = QStringLiteral("not installed: the ser2net half is skipped");
    } else {
        for (int i = 1; i <= options->perKind; ++i) {
            Module *module = modules.add(QStringLiteral("ser2net-%1").arg(i, 2, 10, QLatin1Char('0')));
            if (!module)
                return 1;
            networked.push_back(module);
        }
        QStringList devices;
        for (const Module *module : networked)
            devices.append(module->host->devicePath());
        const std::optional<QStringList> addresses = startSer2net(ser2net, scratch.path(), devices);
        if (!addresses)
            return 1;
        for (size_t i = 0; i < networked.size(); ++i)
            networked[i]->port = addresses->at(qsizetype(i));
        ser2netNote = QStringLiteral("one process, %1 rfc2217 connections on loopback").arg(networked.size());
    }

    const QString listPath = scratch.filePath(QStringLiteral("regio.csv"));
    if (!writeFleetList(listPath, modules.all(), QFileInfo(settingsPath).fileName())) {
        std::fprintf(stderr, "the fleet list could not be written\n");
        return 1;
    }
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    std::printf("kvr7314-cli: %s\n", qPrintable(QFileInfo(options->cli).canonicalFilePath()));
    std::printf("settings file: %s\n", qPrintable(*settingsKind));
    std::printf("modules: %d (%d on local pseudo-terminals, %d through ser2net), all hosted in this one thread\n",
                int(modules.all().size()), int(local.size()), int(networked.size()));
    std::printf("ser2net: %s\n", qPrintable(ser2netNote));
    if (options->keep)
        std::printf("scratch folder (kept): %s\n", qPrintable(scratch.path()));
    std::fflush(stdout);

    int differing = 0;
    if (options->run != Run::Write) {
        differing = holdTheFileButOneInEight(modules.all(), settings);
        std::printf("modules that differ from the file: %d\n", differing);
    }

    LoopWatch watch(clock);

    // 1. One module alone: what a fleet is measured against. A plan's is a
    // read; a write's and an apply's a write --verify.
    Module *single = local.front();
    modules.startRecording();
    watch.start();
    const QStringList singleArguments = options->run == Run::Plan
        ? QStringList{QStringLiteral("read"), QStringLiteral("-o"), scratch.filePath(QStringLiteral("single.kvr")),
                      QStringLiteral("--port"), single->port}
        : QStringList{QStringLiteral("write"), settingsPath, QStringLiteral("--verify"), QStringLiteral("--port"),
                      single->port};
    const ChildRun alone = runChild(options->cli, singleArguments, environment,
                                    scratch.filePath(QStringLiteral("single.out")),
                                    scratch.filePath(QStringLiteral("single.err")));
    watch.stop();
    modules.stopRecording();
    if (!alone.started)
        return 1;
    const Gaps singleGaps = gapsOf({single});
    printChild(options->run == Run::Plan ? "single read" : "single write --verify", alone);
    std::printf("single frame gaps: median %.2f ms, worst deviation from 300 ms %.2f ms, %d of %d steps arrived\n",
                median(singleGaps.all), worstDeviation(singleGaps.all), int(single->stepArrivalsMs.size()),
                kProgrammingStepCount);
    printLoop("bench loop during the single write", watch);
    if (alone.exitCode != 0)
        printTail(scratch.filePath(QStringLiteral("single.err")), 2000);
    std::fflush(stdout);

    // 2. The whole fleet, in one process.
    if (options->faults)
        armFaults(modules.all());
    serveFor(500);
    const double benchCpuBefore = processCpuSeconds();
    modules.startRecording();
    watch.start();
    const QString fleetOut = scratch.filePath(QStringLiteral("fleet.json"));
    const double fleetStartMs = clock.nsecsElapsed() / 1e6;
    QStringList fleetArguments{QStringLiteral("fleet"),
                               QLatin1String(options->run == Run::Plan ? "plan" : options->run == Run::Apply ? "apply" : "write"),
                               listPath, QStringLiteral("--json")};
    if (options->run == Run::Write)
        fleetArguments.append(QStringLiteral("--verify"));
    const ChildRun fleet = runChild(options->cli, fleetArguments, environment, fleetOut,
                                    scratch.filePath(QStringLiteral("fleet.err")));
    watch.stop();
    modules.stopRecording();
    const double benchCpu = processCpuSeconds() - benchCpuBefore;
    if (!fleet.started)
        return 1;

    const std::vector<const Module *> everyModule = modules.each();
    const Gaps gaps = gapsOf(everyModule);
    const double ratio = fleet.wallSeconds / alone.wallSeconds;
    const double worst = worstDeviation(gaps.all);
    printChild(runName(options->run), fleet);
    if (options->run != Run::Write)
        std::printf("modules that took programming frames (target %d): %d  %s\n", options->run == Run::Apply ? differing : 0,
                    modulesWritten(everyModule),
                    modulesWritten(everyModule) == (options->run == Run::Apply ? differing : 0) ? "ok" : "MISSED");
    std::printf("fleet to single wall ratio (target <= 1.25): %.3f  %s\n", ratio, ratio <= 1.25 ? "ok" : "MISSED");
    if (options->run == Run::Plan) {
        // A plan sends no programming frame: there are no gaps to time.
        const FleetReport report = readFleetReport(fleetOut);
        std::printf("modules in sync: %d, differ: %d, failed: %d (of %d)\n", report.outcomes.value(QStringLiteral("ok")),
                    report.outcomes.value(QStringLiteral("differs")), report.outcomes.value(QStringLiteral("failed")),
                    report.entries);
        std::printf("module durationMs: median %.0f, longest %.0f\n", median(report.durationsMs),
                    report.durationsMs.empty() ? NAN : *std::max_element(report.durationsMs.begin(), report.durationsMs.end()));
        printLoop("bench loop during the fleet", watch);
        stopSer2net(ser2net);
        return 0;
    }
    std::printf("fleet frame gap median ms: %.2f (%d gaps)\n", median(gaps.all), int(gaps.all.size()));
    std::printf("fleet frame gap worst deviation from 300 ms (target <= 10): %.2f ms at %s  %s\n", worst,
                qPrintable(gaps.worstModule), worst <= 10.0 ? "ok" : "MISSED");
    for (const auto &[kind, members] : {std::pair{"local", &local}, std::pair{"ser2net", &networked}}) {
        if (members->empty())
            continue;
        const Gaps part = gapsOf(std::vector<const Module *>(members->begin(), members->end()));
        std::printf("fleet frame gaps, %s modules: median %.2f ms, worst deviation %.2f ms\n", kind,
                    median(part.all), worstDeviation(part.all));
    }
    std::printf("modules that took all 26 steps: %d of %d\n", gaps.completeModules, int(modules.all().size()));
    if (options->faults) {
        std::vector<const Module *> healthy;
        for (const Module *module : everyModule) {
            if (module->fault.isEmpty())
                healthy.push_back(module);
            else
                std::printf("fault: %s %s\n", qPrintable(module->name), qPrintable(module->fault));
        }
        const Gaps part = gapsOf(healthy);
        std::printf("fleet frame gaps, modules without a fault: worst deviation %.2f ms, %d of %d took all 26 steps\n",
                    worstDeviation(part.all), part.completeModules, int(healthy.size()));
    }

    const FleetReport report = readFleetReport(fleetOut);
    printTimeline(everyModule, fleetStartMs, report.notOkNames);
    if (report.parsed) {
        std::printf("modules ok (from --json): %d of %d\n", report.outcomes.value(QStringLiteral("ok")), report.entries);
        for (auto it = report.outcomes.cbegin(); it != report.outcomes.cend(); ++it) {
            if (it.key() != u"ok")
                std::printf("modules %s: %d\n", qPrintable(it.key()), it.value());
        }
        std::printf("module durationMs: median %.0f, longest %.0f\n", median(report.durationsMs),
                    report.durationsMs.empty() ? NAN : *std::max_element(report.durationsMs.begin(), report.durationsMs.end()));
        for (qsizetype i = 0; i < report.notOk.size() && i < 5; ++i)
            std::printf("  not ok: %s\n", qPrintable(report.notOk[i]));
    } else {
        std::printf("modules ok (from --json): no JSON array on stdout\n");
    }
    if (fleet.exitCode != 0 || !report.parsed)
        printTail(scratch.filePath(QStringLiteral("fleet.err")), 3000);

    printLoop("bench loop during the fleet", watch);
    const std::vector<double> onTime = gapsTimedOnTime(everyModule, watch);
    std::printf("fleet frame gaps timed while the bench loop kept up: %d of %d, worst deviation %.2f ms, median %.2f ms\n",
                int(onTime.size()), int(gaps.all.size()), worstDeviation(onTime), median(onTime));
    std::printf("bench CPU s during the fleet: %.2f of %.2f wall\n", benchCpu, fleet.wallSeconds);
    // The gaps are timed by this loop: when it ran late, part of what the
    // gaps show is the bench's, not the tool's.
    if (watch.worstMs() > 5.0)
        std::printf("note: this process's loop ran up to %.1f ms late while it hosted %d modules; gap deviations "
                    "of that size may be the bench's own\n",
                    watch.worstMs(), int(modules.all().size()));

    stopSer2net(ser2net);
    return 0;
}
