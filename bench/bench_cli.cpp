// kvr7314-cli as a script runs it, against the simulated module on a
// pseudo-terminal at the real line pace (the module runs in this process):
//
//   1. read of the largest dump a module can send
//   2. write --verify of examples/flex.kvr
//   3. read while the line floods 20 MB after the dump, as fast as the
//      pseudo-terminal takes it
//
// Prints wall time, the CLI's CPU time (user + system) and peak memory (the
// largest of the CLI processes so far), beside the window's figures.
//
//   bench_cli [runs]    (default 3; the CLI is found beside this program's build folder)
//
// Targets: read <= 0.55 s (the dump alone takes 0.44 s on the line, and the
// module 20 ms to begin it), write --verify <= 9.6 s, CPU <= 2 % of wall time,
// peak memory under the flood < 100 MB.

#include "link/moduledump.h"
#include "bench/benchsupport.h"
#include "bench/largestmodule.h"
#include "files/backups.h"
#include "sim/ptyhost.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>
#include <cstdio>
#include <sys/resource.h>

namespace {

// The window's figures for the same work: a read parses 12 s after the
// first character (bench_readback: 12.25 s from the click), and a verified
// write is 8.1 s of steps plus such a read (20.4 s before the fast read).
constexpr double kWindowReadSeconds = 12.25;
constexpr double kWindowWriteVerifySeconds = 20.4;

struct Measure {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double peakMegabytes = 0;
    int exitCode = -1;
};



// Runs the CLI to its end while this process's event loop serves the
// module. CPU time is what the finished child added to this process's
// children's account; peak memory is the largest of any child so far.
Measure runCli(const QString &cli, const QStringList &arguments)
{
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(cli, arguments);
    while (process.state() != QProcess::NotRunning)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    Measure m;
    m.wallSeconds = clock.nsecsElapsed() / 1e9;
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    m.cpuSeconds = seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime) - seconds(before.ru_stime);
    m.peakMegabytes = after.ru_maxrss / 1024.0;
    m.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return m;
}

void print(const char *what, const QList<Measure> &runs, double windowSeconds)
{
    Measure best = runs.first();
    double worstWall = 0;
    for (const Measure &m : runs) {
        std::fprintf(stderr, "  %s: wall %.3f s, CPU %.1f ms\n", what, m.wallSeconds, m.cpuSeconds * 1000);
        if (m.wallSeconds < best.wallSeconds)
            best = m;
        worstWall = std::max(worstWall, m.wallSeconds);
    }
    std::printf("%-16s wall %.2f s (worst of %lld: %.2f s), CPU %.3f s = %.2f %% of wall, peak %.1f MB, exit %d",
                what, best.wallSeconds, qlonglong(runs.size()), worstWall, best.cpuSeconds,
                100.0 * best.cpuSeconds / best.wallSeconds, best.peakMegabytes, best.exitCode);
    if (windowSeconds > 0)
        std::printf("; window %.2f s, %.1fx faster", windowSeconds, windowSeconds / best.wallSeconds);
    std::printf("\n");
}

// A region's year of backups: `count` files named as backups are, spread
// over the last eleven months (none old enough to go).
void fillWithBackups(const QString &folder, int count)
{
    QDir().mkpath(folder);
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < count; ++i) {
        QFile file(QDir(folder).filePath(
            backupFileName(now.addSecs(-qint64(i) * 1400), QStringLiteral("Kazerne-%1").arg(i % 40), kReadBackup)));
        if (file.open(QIODevice::WriteOnly))
            file.write("KVR7314\r\n");
    }
}

// The median CPU time of `runs` write --sim in the data folder `folder`.
double writeSimCpu(const QString &cli, const QString &example, const QString &folder, int runs)
{
    qputenv("KVR7314_DATA_DIR", QFile::encodeName(folder));
    std::vector<double> cpu;
    for (int i = 0; i < runs; ++i)
        cpu.push_back(runCli(cli, {"write", example, "--sim"}).cpuSeconds);
    return median(cpu);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const OwnDataFolder data;
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const QString build = QCoreApplication::applicationDirPath() + QStringLiteral("/..");
    const QString cli = build + QStringLiteral("/cli/kvr7314-cli");
    const QString example = QStringLiteral(KVR_SOURCE_DIR "/examples/flex.kvr");
    QTemporaryDir dir;

    PtyHost host;
    if (!host.open()) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", qPrintable(host.errorString()));
        return 1;
    }
    const QString device = host.devicePath();

    QList<Measure> reads;
    for (int i = 0; i < runs; ++i) {
        host.module().setStored(largestModuleSettings());
        reads.append(runCli(cli, {"read", "--port", device, "-o", dir.filePath("read.kvr")}));
    }
    QList<Measure> writes;
    for (int i = 0; i < runs; ++i)
        writes.append(runCli(cli, {"write", example, "--port", device, "--verify"}));

    host.module().setStored(largestModuleSettings());
    host.module().behaviour.floodBytes = qint64(20) * 1024 * 1024;
    const Measure flood = runCli(cli, {"read", "--port", device, "-o", dir.filePath("flood.kvr")});
    host.module().behaviour.floodBytes = 0;

    const qsizetype dump = moduleDump(largestModuleSettings(), host.module().behaviour.firmwareVersion).size();
    std::printf("kvr7314-cli over a pseudo-terminal at 19200 baud, best of %d; the largest dump is %lld characters, "
                "%.2f s on the line:\n",
                runs, qlonglong(dump), double(dump) / PtyHost::kCharactersPerMs / 1000);
    print("read (largest)", reads, kWindowReadSeconds);
    print("write --verify", writes, kWindowWriteVerifySeconds);
    print("read, 20 MB flood", {flood}, 0);

    // What a year of backups costs a command: the folder is pruned once a
    // day, by names alone, and never examined otherwise.
    const QString empty = dir.filePath(QStringLiteral("data-empty"));
    const QString full = dir.filePath(QStringLiteral("data-20000"));
    fillWithBackups(full, 20000);
    const double emptyCpu = writeSimCpu(cli, example, empty, 3);
    const double fullCpu = writeSimCpu(cli, example, full, 3);
    std::printf("write --sim, CPU (median of 3): %.3f s with an empty data folder, %.3f s with 20,000 backups in it\n",
                emptyCpu, fullCpu);
    return 0;
}
