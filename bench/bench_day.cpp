// A technician's long day, in one process: cycles of `write --verify`
// and `read` through kvr7314-cli's own command code against the simulated
// module on a pseudo-terminal, with a fault at random in most cycles: the
// line cut at a random step of the write, a module that does not answer,
// or one that answers with garbage.
//
// Prints the runs, their outcomes by kind, the log lines and backups they
// left, and this process's resident memory and open descriptors at the
// start and the end.
//
//   bench_day [cycles]   (default 200; a cycle takes about 9 s)
//
// Targets: every run's exit code and log line match its fault; memory grows
// by less than 5 MB; the descriptor count does not grow.

#include "bench/benchsupport.h"
#include "cli/clicommandline.h"
#include "cli/clirun.h"
#include "operations/exitcode.h"
#include "files/backups.h"
#include "files/operationlog.h"
#include "link/frames.h"
#include "sim/ptyhost.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <unistd.h>

namespace {

enum class Fault { None, LineCut, NoAnswer, Garbage };

const char *faultName(Fault fault)
{
    switch (fault) {
    case Fault::None: return "none";
    case Fault::LineCut: return "line cut";
    case Fault::NoAnswer: return "no answer";
    case Fault::Garbage: return "garbage";
    }
    return "";
}

double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

// The command's output goes to /dev/null while it runs: only the figures
// are this program's.
class Quiet {
public:
    Quiet()
    {
        std::fflush(stdout);
        std::fflush(stderr);
        m_out = dup(1);
        m_err = dup(2);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        close(null);
    }
    ~Quiet()
    {
        std::fflush(stdout);
        std::fflush(stderr);
        dup2(m_out, 1);
        dup2(m_err, 2);
        close(m_out);
        close(m_err);
    }

private:
    int m_out;
    int m_err;
};

ExitCode run(const QStringList &arguments)
{
    const CliParse parse = parseCliArguments(arguments);
    if (!parse.request)
        qFatal("%s", qPrintable(parse.error));
    Quiet quiet;
    return ExitCode(runCliRequest(*parse.request));
}

struct Tally {
    int runs = 0;
    int mismatches = 0;
    std::map<QString, int> outcomes;   // "write --verify, line cut: exit 4"
};

// Checks one run against its fault: its exit code and the log lines it added.
void check(Tally &tally, const QString &what, Fault fault, ExitCode exit, ExitCode expected,
           const QList<LogEntry> &lines, const QList<std::pair<QString, bool>> &expectedLines)
{
    ++tally.runs;
    ++tally.outcomes[QStringLiteral("%1, %2: exit %3").arg(what, QLatin1String(faultName(fault))).arg(int(exit))];
    bool matches = exit == expected && lines.size() == expectedLines.size();
    for (qsizetype i = 0; matches && i < lines.size(); ++i)
        matches = lines[i].operation == expectedLines[i].first && lines[i].ok == expectedLines[i].second;
    if (!matches) {
        ++tally.mismatches;
        std::fprintf(stderr, "mismatch: %s with fault %s: exit %d (expected %d), %lld log line(s)\n",
                     qPrintable(what), faultName(fault), int(exit), int(expected), qlonglong(lines.size()));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int cycles = argc > 1 ? QByteArray(argv[1]).toInt() : 200;
    const OwnDataFolder data;
    const QString log = logPath(data.path());
    const QString file = QStringLiteral(KVR_SOURCE_DIR "/examples/flex.kvr");
    QRandomGenerator random(7314);

    // The first cycle's objects are made before the start is measured.
    {
        PtyHost warm;
        warm.open();
        run({"read", "--port", warm.devicePath(), "-o", data.filePath("warm.kvr")});
    }
    const double memoryAtStart = residentMegabytes();
    const int descriptorsAtStart = openDescriptors();
    const qsizetype linesAtStart = readLog(log).size();
    const qsizetype backupsAtStart = listBackups(data.path()).size();

    Tally tally;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const Fault fault = Fault(random.bounded(4));
        PtyHost host;
        if (!host.open())
            qFatal("no pseudo-terminal: %s", qPrintable(host.errorString()));
        if (fault == Fault::NoAnswer)
            host.module().behaviour.answers = false;
        if (fault == Fault::Garbage) {
            host.module().behaviour.cutAfter = 0;
            for (int i = 0; i < 200; ++i)
                host.module().behaviour.garbage.append(char(random.bounded(256)));
        }
        // Cut after one of the steps that have another behind them.
        const int cutAt = 1 + int(random.bounded(kProgrammingStepCount - 1));
        if (fault == Fault::LineCut) {
            QObject::connect(&host, &PtyHost::frameReceived, &host, [&host, cutAt](const ReceivedFrame &frame) {
                if (frame.code == programmingStepCode(cutAt))
                    host.closeMaster();
            });
        }

        qsizetype before = readLog(log).size();
        const ExitCode write = run({"write", file, "--port", host.devicePath(), "--verify"});
        QList<LogEntry> lines = readLog(log).mid(before);
        switch (fault) {
        case Fault::None:
            check(tally, "write --verify", fault, write, ExitCode::Ok, lines, {{"write", true}, {"verify", true}});
            break;
        case Fault::LineCut:
            check(tally, "write --verify", fault, write, ExitCode::Port, lines, {{"write", false}});
            break;
        case Fault::NoAnswer:
        case Fault::Garbage:
            check(tally, "write --verify", fault, write, ExitCode::Module, lines, {{"write", true}, {"verify", false}});
            break;
        }

        // The read: on the same module, or on a fresh line after a cut.
        std::unique_ptr<PtyHost> fresh;
        QString device = host.devicePath();
        if (fault == Fault::LineCut) {
            fresh = std::make_unique<PtyHost>();
            fresh->open();
            device = fresh->devicePath();
        }
        before = readLog(log).size();
        const ExitCode read = run({"read", "--port", device, "-o", data.filePath("read.kvr")});
        lines = readLog(log).mid(before);
        const bool readable = fault == Fault::None || fault == Fault::LineCut;
        check(tally, "read", fault, read, readable ? ExitCode::Ok : ExitCode::Module, lines, {{"read", readable}});
        if ((cycle + 1) % 20 == 0)
            std::fprintf(stderr, "%d cycles\n", cycle + 1);
    }

    const QList<LogEntry> all = readLog(log);
    std::printf("cycles                 %d\n", cycles);
    std::printf("runs                   %d, %d not as their fault calls for\n", tally.runs, tally.mismatches);
    for (const auto &[outcome, count] : tally.outcomes)
        std::printf("  %-50s %d\n", qPrintable(outcome), count);
    std::printf("log lines added        %lld\n", qlonglong(all.size() - linesAtStart));
    std::printf("backups added          %lld\n", qlonglong(listBackups(data.path()).size() - backupsAtStart));
    std::printf("resident memory        %.1f MB at the start, %.1f MB at the end\n", memoryAtStart, residentMegabytes());
    std::printf("open descriptors       %d at the start, %d at the end\n", descriptorsAtStart, openDescriptors());
    return 0;
}
