#include "bench/fleetbench.h"

#include "files/settingsfile.h"
#include "link/frames.h"
#include "bench/largestmodule.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cmath>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

std::vector<char *> pointersTo(std::vector<QByteArray> &strings)
{
    std::vector<char *> pointers;
    for (QByteArray &s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

Gaps gapsOf(const std::vector<const Module *> &modules)
{
    Gaps gaps;
    double worst = -1;
    for (const Module *module : modules) {
        const std::vector<double> &at = module->stepArrivalsMs;
        if (int(at.size()) == kProgrammingStepCount)
            ++gaps.completeModules;
        for (size_t i = 1; i < at.size(); ++i) {
            const double gap = at[i] - at[i - 1];
            gaps.all.push_back(gap);
            if (std::abs(gap - kStepIntervalMs) > worst) {
                worst = std::abs(gap - kStepIntervalMs);
                gaps.worstModule = module->name;
            }
        }
    }
    return gaps;
}

double worstDeviation(const std::vector<double> &gaps)
{
    double worst = 0;
    for (double gap : gaps)
        worst = std::max(worst, std::abs(gap - kStepIntervalMs));
    return worst;
}

std::vector<double> gapsTimedOnTime(const std::vector<const Module *> &modules, const LoopWatch &watch)
{
    std::vector<double> gaps;
    for (const Module *module : modules) {
        const std::vector<double> &at = module->stepArrivalsMs;
        for (size_t i = 1; i < at.size(); ++i) {
            if (!watch.stalledAround(at[i - 1]) && !watch.stalledAround(at[i]))
                gaps.push_back(at[i] - at[i - 1]);
        }
    }
    return gaps;
}

ChildRun runChild(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                  const QString &stdoutPath, const QString &stderrPath)
{
    std::vector<QByteArray> argv{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        argv.push_back(argument.toLocal8Bit());
    std::vector<QByteArray> envp;
    for (const QString &entry : environment.toStringList())
        envp.push_back(entry.toLocal8Bit());
    std::vector<char *> argvPointers = pointersTo(argv);
    std::vector<char *> envpPointers = pointersTo(envp);
    const QByteArray out = QFile::encodeName(stdoutPath);
    const QByteArray err = QFile::encodeName(stderrPath);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // Nothing of this process's (ser2net's pipes, sockets) leaks into it.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

    ChildRun run;
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv.front().constData(), &actions, nullptr, argvPointers.data(),
                                    envpPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "%s did not start: %s\n", argv.front().constData(), strerror(spawned));
        return run;
    }
    run.started = true;

    // Polled, so the wall time is known to 10 ms; against 12 s that is
    // nothing, and the loop stays free for the modules in between.
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        int status = 0;
        rusage usage{};
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) {
            run.wallSeconds = clock.nsecsElapsed() / 1e9;
            run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            run.peakKiB = usage.ru_maxrss;   // Linux gives it in KiB
            run.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
            loop.quit();
        } else if (clock.elapsed() > kChildTimeoutMs && !run.timedOut) {
            run.timedOut = true;
            ::kill(pid, SIGKILL);
        }
    });
    poll.start(10);
    loop.exec();
    return run;
}

std::optional<QString> writeSettings(const QString &path, ModuleSettings *settings)
{
    ModuleSettings largest = largestModuleSettings();
    // The module keeps the scroll time in three digits: 9999 would come back
    // as 999 and every verify would differ.
    largest.scrollTime = QStringLiteral("999");
    *settings = largest;
    if (writeSettingsFile(path, largest, QDateTime::currentDateTime()))
        return QStringLiteral("the largest settings (every text at its 25 characters, scroll time 999)");
    QFile::remove(path);
    if (!QFile::copy(QStringLiteral(KVR_SOURCE_DIR "/examples/flex.kvr"), path))
        return std::nullopt;
    const SettingsFileOutcome read = readSettingsFile(path);
    if (read.kind != SettingsFileOutcome::Loaded)
        return std::nullopt;
    *settings = applyUpdate(startupSettings(), read.update);
    return QStringLiteral("examples/flex.kvr");
}

int holdTheFileButOneInEight(const std::vector<std::unique_ptr<Module>> &modules, const ModuleSettings &settings)
{
    int differing = 0;
    for (size_t i = 0; i < modules.size(); ++i) {
        const bool differs = i % 8 == 3;
        differing += differs ? 1 : 0;
        // The one in eight holds the standard values, as a module fresh from the factory.
        modules[i]->host->module().holdWritten(differs ? startupSettings() : settings);
    }
    return differing;
}

int modulesWritten(const std::vector<const Module *> &modules)
{
    return int(std::count_if(modules.begin(), modules.end(), [](const Module *m) { return !m->stepArrivalsMs.empty(); }));
}

bool writeFleetList(const QString &path, const QList<std::pair<QString, QString>> &namesAndPorts,
                    const QString &settingsFile)
{
    QByteArray list = "naam;poort;bestand\r\n";
    for (const auto &[name, port] : namesAndPorts)
        list += QStringLiteral("%1;%2;%3\r\n").arg(name, port, settingsFile).toUtf8();
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(list) == list.size();
}

bool writeFleetList(const QString &path, const std::vector<std::unique_ptr<Module>> &modules, const QString &settingsFile)
{
    QList<std::pair<QString, QString>> namesAndPorts;
    for (const auto &module : modules)
        namesAndPorts.emplaceBack(module->name, module->port);
    return writeFleetList(path, namesAndPorts, settingsFile);
}

FleetReport readFleetReport(const QString &path)
{
    FleetReport report;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return report;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isArray())
        return report;
    report.parsed = true;
    for (const QJsonValue &value : document.array()) {
        const QJsonObject module = value.toObject();
        const QString outcome = module.value(QStringLiteral("outcome")).toString();
        ++report.entries;
        ++report.outcomes[outcome];
        report.durationsMs.push_back(module.value(QStringLiteral("durationMs")).toDouble());
        if (outcome != u"ok") {
            const QString name = module.value(QStringLiteral("name")).toString();
            report.notOkNames.append(name);
            report.notOk.append(
                QStringLiteral("%1 (%2): %3").arg(name, outcome, module.value(QStringLiteral("cause")).toString()));
        }
    }
    return report;
}

void printTail(const QString &path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    if (file.size() > bytes)
        file.seek(file.size() - bytes);
    std::fprintf(stderr, "-- %s:\n%s\n", qPrintable(QFileInfo(path).fileName()), file.readAll().constData());
}

void printChild(const char *what, const ChildRun &run)
{
    std::printf("%s wall s: %.2f\n", what, run.wallSeconds);
    std::printf("%s exit code: %d%s\n", what, run.exitCode, run.timedOut ? " (stopped after 180 s)" : "");
    std::printf("%s peak memory KiB: %ld\n", what, run.peakKiB);
    std::printf("%s CPU s (user+system): %.2f\n", what, run.cpuSeconds);
}

void printLoop(const char *what, const LoopWatch &watch)
{
    std::printf("%s: worst %.1f ms late, %d of %d ticks over 5 ms late\n", what, watch.worstMs(),
                watch.ticksLaterThan(5.0), watch.ticks());
}

void stopSer2net(QProcess &ser2net)
{
    if (ser2net.state() == QProcess::NotRunning)
        return;
    ser2net.terminate();
    if (!ser2net.waitForFinished(3000)) {
        ser2net.kill();
        ser2net.waitForFinished(3000);
    }
}
