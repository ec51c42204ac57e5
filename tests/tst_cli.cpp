// kvr7314-cli as a user runs it: the built executable in its own process,
// talking over a pseudo-terminal to a simulated module that lives in this
// test's event loop (or to the one built into the program).
//
// A write takes 8.1 s and a read 12.3 s of real time, so the long runs are
// started together in initTestCase, each against its own module, and the
// tests that check them wait for their lane; the short tests run meanwhile.

#include "cli/clicommandline.h"
#include "cli/clicommandtable.h"
#include "readback/dumpcomparison.h"
#include "files/backups.h"
#include "fleet/fleetsummary.h"
#include "files/operationlog.h"
#include "files/settingsfile.h"
#include "link/frames.h"
#include "link/portdirectory.h"
#include "link/portlist.h"
#include "link/moduledump.h"
#include "sim/simulatedmodule.h"
#include "support/fixtures.h"
#include "support/ptymodule.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <map>
#include <memory>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

constexpr int kLaneTimeoutMs = 60000;

QString cliPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../cli/kvr7314-cli");
}

ModuleSettings settingsOf(const QString &path)
{
    const SettingsFileOutcome outcome = readSettingsFile(path);
    if (outcome.kind != SettingsFileOutcome::Loaded)
        qFatal("cannot load %s", qPrintable(path));
    return applyUpdate(startupSettings(), outcome.update);
}

QStringList linesOf(const QByteArray &text)
{
    return QString::fromLocal8Bit(text).split(u'\n', Qt::SkipEmptyParts);
}

// What a user on a headless machine has: no display, no platform chosen,
// no runtime directory.
QProcessEnvironment headlessEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
        env.remove(QLatin1String(name));
    return env;
}

struct CliResult {
    int exitCode = -1;
    bool finished = false;
    qint64 elapsedMs = 0;
    QByteArray out;
    QByteArray err;

    QStringList outLines() const { return linesOf(out); }
    QStringList errLines() const { return linesOf(err); }
};

// One kvr7314-cli process, started at once; it finishes while the test's
// event loop runs (so a module in this process can answer it).
class CliProcess : public QObject {
public:
    explicit CliProcess(const QStringList &arguments, QObject *parent = nullptr, const QString &program = cliPath(),
                        const QString &workingDirectory = {})
        : QObject(parent)
    {
        m_process.setProcessEnvironment(headlessEnvironment());
        m_process.setWorkingDirectory(workingDirectory);
        connect(&m_process, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
            m_result.elapsedMs = m_clock.elapsed();
            m_result.exitCode = status == QProcess::NormalExit ? exitCode : -1;
            m_result.out = m_process.readAllStandardOutput();
            m_result.err = m_process.readAllStandardError();
            m_result.finished = true;
        });
        m_clock.start();
        m_process.start(program, arguments);
    }
    ~CliProcess() override
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    bool isFinished() const { return m_result.finished; }
    bool wait(int timeoutMs) { return QTest::qWaitFor([this] { return m_result.finished; }, timeoutMs); }
    const CliResult &result() const { return m_result; }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QElapsedTimer m_clock;
    CliResult m_result;
};

CliResult runCli(const QStringList &arguments, int timeoutMs = 10000)
{
    CliProcess process(arguments);
    process.wait(timeoutMs);
    return process.result();
}

// Commands run one after the other against one simulated module. "PORT" in
// an argument list stands for the module's device.
class Lane : public QObject {
public:
    explicit Lane(QList<QStringList> commands, QString workingDirectory = {}, QObject *parent = nullptr)
        : QObject(parent), m_commands(std::move(commands)), m_workingDirectory(std::move(workingDirectory))
    {
    }

    PtyModule module;

    void start() { next(); }
    bool wait() { return QTest::qWaitFor([this] { return m_results.size() == m_commands.size(); }, kLaneTimeoutMs); }
    const CliResult &result(int i) const { return m_results.at(i); }

private:
    void next()
    {
        if (m_results.size() == m_commands.size())
            return;
        QStringList arguments = m_commands.at(m_results.size());
        arguments.replaceInStrings(QRegularExpression(QStringLiteral("^PORT$")), module.devicePath());
        m_current = std::make_unique<CliProcess>(arguments, nullptr, cliPath(), m_workingDirectory);
        connect(&m_current->process(), &QProcess::finished, this, [this] {
            // The process's own handler ran first (connected earlier).
            m_results.append(m_current->result());
            QTimer::singleShot(0, this, [this] { next(); });
        });
    }

    QList<QStringList> m_commands;
    QString m_workingDirectory;
    QList<CliResult> m_results;
    std::unique_ptr<CliProcess> m_current;
};

// A file whose values exercise what the module gives back differently from
// what the file holds: empty aliases, short timers, an empty scroll time, a
// coupling text outside ASCII, a text of spaces.
ModuleSettings unevenSettings()
{
    ModuleSettings s = startupSettings();
    s.receiverType = ReceiverType::Pocsag;
    s.aliases[0] = QStringLiteral("Gemaal Noordzijde");
    s.aliases[1] = QStringLiteral("Brug één");
    s.aliases[2] = QStringLiteral("   ");
    s.couplingText = QStringLiteral(" » ");
    s.idleText = QStringLiteral("Rust");
    setCodes(s, "181", "176", "183", "197");
    setTimers(s, {"5", QString(), "300", "60", QString()});
    return s;
}

// The README's examples: each "$ kvr7314-cli ..." line of a code block,
// with the lines it shows the program answering.
struct ReadmeExample {
    QStringList arguments;
    QStringList shown;
};

QList<ReadmeExample> readmeExamples()
{
    QFile readme(qEnvironmentVariable("KVR_SOURCE_DIR") + QStringLiteral("/README.md"));
    if (!readme.open(QIODevice::ReadOnly))
        qFatal("no README.md");
    QList<ReadmeExample> examples;
    bool inBlock = false;
    for (const QString &line : QString::fromUtf8(readme.readAll()).split(u'\n')) {
        if (line.startsWith(QLatin1String("```"))) {
            inBlock = !inBlock;
            examples.append(ReadmeExample{});   // a new block: the lines before it belong to no example
            continue;
        }
        if (!inBlock)
            continue;
        if (line.startsWith(QLatin1String("$ kvr7314-cli ")))
            examples.append({QProcess::splitCommand(line.mid(14)), {}});
        else if (line.startsWith(QLatin1String("$ ")))
            examples.append(ReadmeExample{});   // another program's: not run
        else if (!examples.isEmpty() && !examples.last().arguments.isEmpty())
            examples.last().shown.append(line);
    }
    examples.removeIf([](const ReadmeExample &e) { return e.arguments.isEmpty(); });
    return examples;
}

// A line as the README shows it for any port: the port's description gives way to PORT.
QString withAnyPort(QString line)
{
    static const QRegularExpression port(QStringLiteral("COM \\d \\(/dev/\\w+\\)|/dev/tty\\w+"));
    return line.replace(port, QStringLiteral("PORT"));
}

// The commands of the examples that talk to a module or to files: run one
// after the other on one simulated module, as the README tells them. What
// depends on the machine or the time (ports, find, history), fleet (many
// modules) and sim, which runs until it is stopped, are only parsed.
bool runsInTheExampleLane(const ReadmeExample &example)
{
    const QString &command = example.arguments.value(0);
    return command != u"ports" && command != u"find" && command != u"sim" && command != u"history"
        && command != u"fleet";
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void writeThenReadGivesTheFileBack();
    void writeIsPacedAndTraced();
    void verifyCatchesAValueTheModuleDidNotKeep();
    void verifyAcceptsWhatTheModuleGivesBackDifferently();
    void readWritesTheFileToStandardOutput();
    void readRefusesAFaultyDump();
    void builtInModuleServesWithSim();
    void completeDumpEndsTheReadEarly();
    void pausingModuleIsReadWhole();
    void backupBeforeWriting();
    void diffOfTwoFiles_data();
    void diffOfTwoFiles();
    void portsAndFind();

    void versionOfEveryProgram_data();
    void versionOfEveryProgram();
    void helpForTheProgramAndEachCommand_data();
    void helpForTheProgramAndEachCommand();
    void usageErrors_data();
    void usageErrors();
    void nagiosAlwaysSaysOneLine_data();
    void nagiosAlwaysSaysOneLine();
    void fileErrors_data();
    void fileErrors();
    void badOutputs_data();
    void badOutputs();
    void stopSignalEndsTheWriteCleanly_data();
    void stopSignalEndsTheWriteCleanly();
    void floodingLineCostsNoMemory();
    void portThatCannotBeOpened_data();
    void portThatCannotBeOpened();
    void pulledAdapterEndsTheWrite();
    void testCall_data();
    void testCall();
    void noNetwork();
    void readWithoutAnswer();
    void reportAsPdf();
    void simCommandServesAnotherProcess();

    void everyCommandLeavesItsRecord_data();
    void everyCommandLeavesItsRecord();
    void historyListsTheLogNewestFirst();
    void readmeExamplesAgreeWithTheProgram();
    void readmeExitCodesAreTheProgramsOwn();
    void completionAndManPageFollowTheParser();

    void portTargets_data();
    void portTargets();
    void fleetListsRefusedWhole_data();
    void fleetListsRefusedWhole();
    void fleetLargerThanTheOpenFilesAllowed();
    void fleetExitsWithTheMostSeriousCode_data();
    void fleetExitsWithTheMostSeriousCode();
    void differences_data();
    void differences();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Lane> m_roundTrip;
    std::unique_ptr<Lane> m_verifyCatches;
    std::unique_ptr<Lane> m_verifyPasses;
    std::unique_ptr<Lane> m_readToStdout;
    std::unique_ptr<Lane> m_faultyDump;
    std::unique_ptr<Lane> m_pausingModule;
    std::unique_ptr<Lane> m_backup;
    std::unique_ptr<CliProcess> m_builtInRead;
    QList<ReadmeExample> m_readmeExamples;   // those of the README lane, in its order
    std::unique_ptr<Lane> m_readme;
    ModuleSettings m_storedForRead;
};

void TestCli::initTestCase()
{
    QVERIFY2(QFileInfo(cliPath()).isExecutable(), qPrintable(cliPath()));
    QVERIFY(m_dir.isValid());
    // The log and the backups of this run's commands, and nothing else.
    qputenv("KVR7314_DATA_DIR", QFile::encodeName(m_dir.filePath("data")));

    // The README's examples, in a folder of their own with the samples.
    const QString readmeDir = m_dir.filePath("readme");
    QVERIFY(QDir().mkpath(readmeDir + "/examples"));
    for (const char *sample : {"flex.kvr", "pocsag.kvr"})
        QVERIFY(QFile::copy(examplePath(sample), readmeDir + "/examples/" + sample));
    // The spreadsheet's list the README imports, with its alias that is too long.
    writeFile(readmeDir + "/posten.csv", "nummer;alias\r\n1;Noord\r\n2;Zuid\r\n3;" + QByteArray(31, 'x') + "\r\n");
    QList<QStringList> readmeCommands;
    for (const ReadmeExample &example : readmeExamples()) {
        if (!runsInTheExampleLane(example))
            continue;
        QStringList arguments = example.arguments;
        if (const qsizetype port = arguments.indexOf("--port"); port >= 0)
            arguments[port + 1] = "PORT";
        readmeCommands.append(arguments);
        m_readmeExamples.append(example);
    }
    m_readme = std::make_unique<Lane>(readmeCommands, readmeDir);

    m_roundTrip = std::make_unique<Lane>(QList<QStringList>{
        {"write", examplePath("flex.kvr"), "--port", "PORT", "--trace", m_dir.filePath("write-trace.txt")},
        {"read", "--port", "PORT", "-o", m_dir.filePath("read-back.kvr"), "--trace", m_dir.filePath("read-trace.txt")},
    });

    // A module that loses alias 5 once it has been programmed.
    m_verifyCatches = std::make_unique<Lane>(QList<QStringList>{
        {"write", examplePath("flex.kvr"), "--port", "PORT", "--verify"},
    });
    PtyModule &forgetful = m_verifyCatches->module;
    connect(&forgetful, &PtyHost::frameReceived, this, [&forgetful](const ReceivedFrame &frame) {
        if (frame.code != programmingStepCode(kProgrammingStepCount))
            return;
        ModuleSettings stored = forgetful.module().stored();
        stored.aliases[4] = QStringLiteral("Duikteam 2");
        forgetful.module().setStored(stored);
    });

    const QString uneven = m_dir.filePath("uneven.kvr");
    QVERIFY(writeSettingsFile(uneven, unevenSettings(), kProgramVersion, dutchMonthName(3),
                              QDateTime(QDate(2025, 3, 14), QTime(9, 30))));
    m_verifyPasses = std::make_unique<Lane>(QList<QStringList>{{"write", uneven, "--port", "PORT", "--verify"}});

    m_storedForRead = settingsAsSent(settingsOf(examplePath("pocsag.kvr")));
    m_storedForRead.scrollTime = QStringLiteral("0250");
    m_readToStdout = std::make_unique<Lane>(QList<QStringList>{{"read", "--port", "PORT", "--receiver", "pocsag"}});
    m_readToStdout->module.module().setStored(m_storedForRead);
    m_readToStdout->module.module().behaviour.firmwareVersion = QStringLiteral("2.07");

    m_faultyDump = std::make_unique<Lane>(QList<QStringList>{{"read", "--port", "PORT"}});
    m_faultyDump->module.module().behaviour.cutAfter = 300;

    // A slow module stops for 1.5 s halfway through its dump; then the
    // same read waiting the full 12 s.
    m_pausingModule = std::make_unique<Lane>(QList<QStringList>{
        {"read", "--port", "PORT", "-o", m_dir.filePath("paused.kvr")},
        {"read", "--port", "PORT", "--full-wait", "-o", m_dir.filePath("full-wait.kvr")},
    });
    m_pausingModule->module.module().behaviour.pauseAfter = 300;

    // A backup before the write; one that cannot be saved stops it before step 1.
    m_backup = std::make_unique<Lane>(QList<QStringList>{
        {"write", examplePath("pocsag.kvr"), "--port", "PORT", "--backup", m_dir.filePath("geen-map/backup.kvr")},
        {"write", examplePath("pocsag.kvr"), "--port", "PORT", "--backup", m_dir.filePath("backup.kvr")},
    });

    for (Lane *lane : {m_roundTrip.get(), m_verifyCatches.get(), m_verifyPasses.get(), m_readToStdout.get(),
                       m_faultyDump.get(), m_pausingModule.get(), m_backup.get(), m_readme.get()}) {
        QVERIFY(lane->module.isOpen());
        lane->start();
    }
    m_builtInRead = std::make_unique<CliProcess>(QStringList{"read", "--sim", "-o", m_dir.filePath("built-in.kvr")});
}

void TestCli::writeThenReadGivesTheFileBack()
{
    QVERIFY(m_roundTrip->wait());
    const CliResult &write = m_roundTrip->result(0);
    QCOMPARE(write.exitCode, 0);
    QCOMPARE(write.err, QByteArray());
    QVERIFY(write.outLines().contains("step 26 of 26"));
    QCOMPARE(write.outLines().last(), QString("De KVR7314 is geprogrammeerd."));

    const CliResult &read = m_roundTrip->result(1);
    QCOMPARE(read.exitCode, 0);
    QCOMPARE(read.err, QByteArray());
    QVERIFY(read.outLines().contains("De data uit de KVR7314 is ingelezen. (firmware 1.30)"));

    // The file's values as the module holds them: timers in four characters
    // as the steps carried them, the scroll time in the module's three.
    ModuleSettings expected = settingsOf(examplePath("flex.kvr"));
    expected.relayTime = "0010";
    expected.signClearTime = "0030";
    expected.lcdClearTime = "0060";
    expected.backlightTime = "9999";
    expected.scrollTime = "350";
    QCOMPARE(settingsOf(m_dir.filePath("read-back.kvr")), expected);

    QVERIFY(readFile(m_dir.filePath("read-back.kvr")).contains("Versie KVR firmware: 1.30\r\n"));
}

void TestCli::writeIsPacedAndTraced()
{
    QVERIFY(m_roundTrip->wait());
    QFile trace(m_dir.filePath("write-trace.txt"));
    QVERIFY(trace.open(QIODevice::ReadOnly | QIODevice::Text));
    static const QRegularExpression sent(QStringLiteral("^\\s*(\\d+\\.\\d{3}) s  TX  01 28 ([0-9A-F ]{5}) 29"));
    QList<double> times;
    QStringList codes;
    for (const QByteArray &line : trace.readAll().split('\n')) {
        const QRegularExpressionMatch m = sent.match(QString::fromUtf8(line));
        if (m.hasMatch()) {
            times.append(m.captured(1).toDouble());
            codes.append(QString::fromLatin1(QByteArray::fromHex(m.captured(2).toLatin1())));
        }
    }
    QCOMPARE(codes.size(), kProgrammingStepCount);
    for (int step = 1; step <= kProgrammingStepCount; ++step)
        QCOMPARE(codes[step - 1], programmingStepCode(step));
    // A step every 300 ms from the precise 150 ms tick: 7.5 s from first to last.
    const double span = times.last() - times.first();
    QVERIFY2(span > 7.4 && span < 7.7, qPrintable(QString::number(span)));
    for (int i = 1; i < times.size(); ++i)
        QVERIFY2(times[i] - times[i - 1] > 0.2 && times[i] - times[i - 1] < 0.4, qPrintable(QString::number(i)));

    // The read's trace shows the request and the dump coming back.
    QFile readTrace(m_dir.filePath("read-trace.txt"));
    QVERIFY(readTrace.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(readTrace.readAll());
    QVERIFY(text.contains("TX  01 28 39 39 29 04"));
    // Every byte of the dump is in it, in order, in lines of at most 16.
    static const QRegularExpression received(QStringLiteral("(?:RX|\\.\\.)  ((?:[0-9A-F]{2} )*[0-9A-F]{2})\\s+\\|"));
    QByteArray bytes;
    for (const QRegularExpressionMatch &m : received.globalMatch(text.section("TX  01 28 39 39 29 04", 1))) {
        QVERIFY(m.captured(1).size() <= 16 * 3 - 1);
        bytes += QByteArray::fromHex(m.captured(1).toLatin1());
    }
    QCOMPARE(bytes, moduleDump(m_roundTrip->module.module().stored(), QStringLiteral("1.30")));
}

void TestCli::verifyCatchesAValueTheModuleDidNotKeep()
{
    QVERIFY(m_verifyCatches->wait());
    const CliResult &run = m_verifyCatches->result(0);
    QCOMPARE(run.exitCode, int(ExitCode::Differences));
    const QStringList differences = run.outLines().filter(QRegularExpression("^  \\S"));
    QCOMPARE(differences, QStringList{"  alias 05: written \"Duikteam\", module holds \"Duikteam 2\""});
    QCOMPARE(run.errLines().size(), 1);
    QVERIFY(run.errLines()[0].startsWith("kvr7314-cli: verify: 1 value(s) in the module differ"));
}

void TestCli::verifyAcceptsWhatTheModuleGivesBackDifferently()
{
    QVERIFY(m_verifyPasses->wait());
    const CliResult &run = m_verifyPasses->result(0);
    QVERIFY2(run.exitCode == 0, run.out + run.err);
    QCOMPARE(run.err, QByteArray());
    QVERIFY(run.outLines().last().startsWith("verify: the module holds every value of"));
    // It really was written as the file says, normalised and padded.
    const ModuleSettings stored = m_verifyPasses->module.module().stored();
    QCOMPARE(stored.aliases[2], QString("   "));
    QCOMPARE(stored.aliases[3], QString("CAPCODE 04"));
    QCOMPARE(stored.couplingText, QString(" » "));
    QCOMPARE(stored.signClearTime, QString("0000"));
    QCOMPARE(stored.scrollTime, QString("0350"));
}

void TestCli::readWritesTheFileToStandardOutput()
{
    QVERIFY(m_readToStdout->wait());
    const CliResult &run = m_readToStdout->result(0);
    QCOMPARE(run.exitCode, 0);
    // Messages went to standard error; standard output is the file alone.
    QVERIFY(run.errLines().contains("De data uit de KVR7314 is ingelezen. (firmware 2.07)"));
    QVERIFY(run.out.startsWith("KVR7314 - INSTELLINGEN\r\n"));
    QVERIFY(run.out.contains("Versie KVR firmware: 2.07\r\n"));
    QVERIFY(run.out.contains("Type ontvanger     : POCSAG"));

    const SettingsFileOutcome outcome = decodeSettingsFile(run.out);
    QCOMPARE(outcome.kind, SettingsFileOutcome::Loaded);
    ModuleSettings expected = m_storedForRead;
    expected.scrollTime = "250";
    expected.firmwareVersion.clear();   // the data line does not carry it
    QCOMPARE(applyUpdate(startupSettings(), outcome.update), expected);
}

void TestCli::readRefusesAFaultyDump()
{
    QVERIFY(m_faultyDump->wait());
    const CliResult &run = m_faultyDump->result(0);
    QCOMPARE(run.exitCode, int(ExitCode::Module));
    // Without -o the messages share standard error; the error is the last line.
    QVERIFY(run.errLines().filter("kvr7314-cli: ").size() == 1);
    QVERIFY2(run.errLines().last().startsWith(
                 "kvr7314-cli: FOUTMELDING: De data uit de KVR7314 is onvolledig of onleesbaar. Er is niets gewijzigd."),
             qPrintable(run.errLines().last()));
    QCOMPARE(run.out, QByteArray());   // no file on standard output
}

void TestCli::builtInModuleServesWithSim()
{
    QVERIFY(m_builtInRead->wait(kLaneTimeoutMs));
    const CliResult &run = m_builtInRead->result();
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    QVERIFY(run.outLines().first().startsWith("--sim: using the built-in simulated KVR7314, on a simulated line"));
    // A fresh simulated module holds what programming the start-up values gives.
    ModuleSettings expected = startupSettings();
    normaliseTimers(expected);
    expected = settingsAsSent(expected);
    expected.scrollTime = "350";
    QCOMPARE(settingsOf(m_dir.filePath("built-in.kvr")), expected);
}

void TestCli::completeDumpEndsTheReadEarly()
{
    QVERIFY(m_roundTrip->wait());
    // The write's own read-back and the read: each over once the dump is
    // complete and the line quiet, not after the window's 12 s.
    const CliResult &read = m_roundTrip->result(1);
    QCOMPARE(read.exitCode, 0);
    QVERIFY2(read.elapsedMs < 3000, qPrintable(QString::number(read.elapsedMs)));
    QVERIFY(read.outLines().first().endsWith("(until its dump is complete, 12 s at most)"));
}

void TestCli::pausingModuleIsReadWhole()
{
    QVERIFY(m_pausingModule->wait());
    const ModuleSettings held = asModuleHolds(m_pausingModule->module.module().stored());
    for (int run = 0; run < 2; ++run) {
        const CliResult &read = m_pausingModule->result(run);
        QVERIFY2(read.exitCode == 0, read.err.constData());
        ModuleSettings expected = held;
        QCOMPARE(settingsOf(m_dir.filePath(run == 0 ? "paused.kvr" : "full-wait.kvr")), expected);
    }
    QVERIFY(m_pausingModule->result(0).elapsedMs > 1500 && m_pausingModule->result(0).elapsedMs < 5000);
    QVERIFY(m_pausingModule->result(1).elapsedMs > 12000);   // --full-wait: the window's 12 s
}

void TestCli::backupBeforeWriting()
{
    QVERIFY(m_backup->wait());
    // The backup could not be saved: found before the module was asked or written.
    const CliResult &refused = m_backup->result(0);
    QCOMPARE(refused.exitCode, int(ExitCode::File));
    QVERIFY(refused.errLines().last().contains("Onverwachte fout. Er is geen bestand opgeslagen!"));
    QVERIFY(!refused.out.contains("step 1 of"));

    // Then a backup of what the module held, saved before step 1 went out.
    const CliResult &backedUp = m_backup->result(1);
    QVERIFY2(backedUp.exitCode == 0, backedUp.err.constData());
    const QStringList lines = backedUp.outLines();
    const qsizetype saved = lines.indexOf(QRegularExpression("backup: saved what the module held \\(firmware 1.30\\).*"));
    QVERIFY(saved >= 0 && saved < lines.indexOf(QRegularExpression("writing .*")));
    ModuleSettings before = asModuleHolds(SimulatedModule().stored());   // a fresh module's settings
    before.receiverType = ReceiverType::Pocsag;                            // the file's receiver
    QCOMPARE(settingsOf(m_dir.filePath("backup.kvr")), before);
    QVERIFY(readFile(m_dir.filePath("backup.kvr")).contains("Versie KVR firmware: 1.30\r\n"));
    QCOMPARE(m_backup->module.module().readRequests(), 1);
    QCOMPARE(m_backup->module.module().frames().size(), 1 + kProgrammingStepCount);
}

void TestCli::diffOfTwoFiles_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("fields");   // the first word of each difference line
    QTest::newRow("equal") << QStringList{examplePath("flex.kvr"), examplePath("flex.kvr")} << 0 << QStringList{};
    QTest::newRow("different") << QStringList{examplePath("flex.kvr"), examplePath("pocsag.kvr")} << 6
                               << QStringList{"receiver", "alias", "coupling", "idle", "alias", "coupling", "message",
                                              "scroll", "relay", "sign", "LCD", "backlight"};
    QTest::newRow("written and read back, as the module holds them")
        << QStringList{examplePath("flex.kvr"), "READ-BACK", "--as-module"} << 0 << QStringList{};
    QTest::newRow("written and read back, exactly")
        << QStringList{examplePath("flex.kvr"), "READ-BACK"} << 6
        << QStringList{"relay", "sign", "LCD"};
    QTest::newRow("unreadable") << QStringList{examplePath("flex.kvr"), "/dev/zero"} << 3 << QStringList{};
    // The module does not hold the receiver type: as it holds them, a
    // POCSAG file and the same values read back as FLEX are equal.
    const QString asFlex = m_dir.filePath("pocsag-as-flex.kvr");
    writeFile(asFlex, readFile(examplePath("pocsag.kvr")).replace("kvrPocData", "kvrFlxData"));
    QTest::newRow("receiver type, exactly") << QStringList{examplePath("pocsag.kvr"), asFlex} << 6
                                            << QStringList{"receiver"};
    QTest::newRow("receiver type, as the module holds them")
        << QStringList{examplePath("pocsag.kvr"), asFlex, "--as-module"} << 0 << QStringList{};
}

void TestCli::diffOfTwoFiles()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, fields);
    QVERIFY(m_roundTrip->wait());
    arguments.replaceInStrings(QRegularExpression("^READ-BACK$"), m_dir.filePath("read-back.kvr"));
    const CliResult run = runCli(QStringList{"diff"} + arguments);
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode == 6) {
        QStringList found;
        for (const QString &line : run.outLines().mid(1))   // after the line naming the two files
            found.append(line.section(' ', 0, 0, QString::SectionSkipEmpty));
        // Aliases 1 to 16 each have a line of their own; count them once.
        found.removeDuplicates();
        QStringList expected = fields;
        expected.removeDuplicates();
        QCOMPARE(found, expected);
    }
}

void TestCli::portsAndFind()
{
    const CliResult ports = runCli({"ports"});
    QCOMPARE(ports.exitCode, 0);
    QCOMPARE(ports.outLines().filter(QRegularExpression("^COM [1-4]  /dev/")).size(), 4);

    PtyModule module;
    QVERIFY(module.isOpen());
    module.module().behaviour.firmwareVersion = "1.42";
    const CliResult find = runCli({"find", module.devicePath()});
    QVERIFY2(find.exitCode == 0, find.err.constData());
    QVERIFY(find.outLines().first().startsWith("find: sending the 6-byte read request (01 28 39 39 29 04) to each of 1 port"));
    QVERIFY(find.outLines().contains(module.devicePath() + ": a KVR7314 answered, firmware 1.42"));

    PtyModule silent;
    QVERIFY(silent.isOpen());
    silent.module().behaviour.answers = false;
    const CliResult none = runCli({"find", silent.devicePath()});
    QCOMPARE(none.exitCode, int(ExitCode::Module));
    QVERIFY(none.outLines().contains(silent.devicePath() + ": no answer"));
}

void TestCli::versionOfEveryProgram_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("version");
    const QString build = QCoreApplication::applicationDirPath() + "/../";
    QTest::newRow("kvr7314-cli") << build + "cli/kvr7314-cli" << QStringList{"--version"} << "kvr7314-cli 1.09";
    QTest::newRow("kvr7314-cli read") << build + "cli/kvr7314-cli" << QStringList{"read", "--version"} << "kvr7314-cli 1.09";
    // The window programs answer without a display.
    QTest::newRow("kvr7314") << build + "app/kvr7314" << QStringList{"--version"} << "kvr7314 1.09";
    QTest::newRow("kvr7314 --help") << build + "app/kvr7314" << QStringList{"--help"} << "Usage: kvr7314 [--com1 DEVICE]";
    QTest::newRow("kvr7314-demo") << build + "demo/kvr7314-demo" << QStringList{"--version"} << "kvr7314-demo 1.09";
}

void TestCli::versionOfEveryProgram()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, version);
    CliProcess process(arguments, nullptr, program);
    QVERIFY(process.wait(10000));
    QCOMPARE(process.result().exitCode, 0);
    QVERIFY2(process.result().outLines().value(0).startsWith(version), process.result().out.constData());
}

void TestCli::helpForTheProgramAndEachCommand_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("usage");
    QTest::newRow("--help") << QStringList{"--help"} << "Usage: kvr7314-cli COMMAND";
    QTest::newRow("help") << QStringList{"help"} << "Usage: kvr7314-cli COMMAND";
    QTest::newRow("help write") << QStringList{"help", "write"} << "Usage: kvr7314-cli write FILE.kvr";
    QTest::newRow("write --help") << QStringList{"write", "--help"} << "Usage: kvr7314-cli write FILE.kvr";
    QTest::newRow("read -h") << QStringList{"read", "-h"} << "Usage: kvr7314-cli read";
    QTest::newRow("test-call --help") << QStringList{"test-call", "--help"} << "Usage: kvr7314-cli test-call CODE";
    QTest::newRow("no-network --help") << QStringList{"no-network", "--help"} << "Usage: kvr7314-cli no-network";
    QTest::newRow("report --help") << QStringList{"report", "--help"} << "Usage: kvr7314-cli report FILE.kvr";
    QTest::newRow("diff --help") << QStringList{"diff", "--help"} << "Usage: kvr7314-cli diff A.kvr B.kvr";
    QTest::newRow("find --help") << QStringList{"find", "--help"} << "Usage: kvr7314-cli find [DEV...]";
    QTest::newRow("sim --help") << QStringList{"sim", "--help"} << "Usage: kvr7314-cli sim";
}

void TestCli::helpForTheProgramAndEachCommand()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, usage);
    const CliResult run = runCli(arguments);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.outLines().first().startsWith(usage));
    for (const char *code : {"  2 +usage", "  3 +file", "  4 +port", "  5 +module", "  6 +differences", "  130 +stopped"})
        QVERIFY2(!run.outLines().filter(QRegularExpression(QString("^") + code)).isEmpty(), code);
    QCOMPARE(run.err, QByteArray());
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("says");
    QTest::newRow("nothing") << QStringList{} << "no command given";
    QTest::newRow("unknown command") << QStringList{"erase"} << "unknown command \"erase\"";
    QTest::newRow("option first") << QStringList{"--port", "COM1"} << "a command comes first";
    QTest::newRow("write without file") << QStringList{"write"} << "write: missing FILE.kvr";
    QTest::newRow("write two files") << QStringList{"write", "a.kvr", "b.kvr"} << "unexpected argument \"b.kvr\"";
    QTest::newRow("unknown option") << QStringList{"read", "--fast"} << "read: Unknown option 'fast'";
    QTest::newRow("read --verify") << QStringList{"read", "--verify"} << "Unknown option 'verify'";
    QTest::newRow("--port without DEV") << QStringList{"no-network", "--port"} << "Missing value after '--port'";
    QTest::newRow("COM5") << QStringList{"no-network", "--port", "COM5"} << "--port takes COM1 to COM4";
    QTest::newRow("report without -o") << QStringList{"report", "a.kvr"} << "missing -o REPORT.pdf";
    QTest::newRow("report --port") << QStringList{"report", "a.kvr", "-o", "r.pdf", "--port", "COM1"} << "Unknown option 'port'";
    QTest::newRow("receiver") << QStringList{"read", "--receiver", "ermes"} << "--receiver takes flex or pocsag";
    QTest::newRow("no code") << QStringList{"test-call"} << "missing CODE";
    QTest::newRow("capcode 0") << QStringList{"test-call", "0"} << "not \"0\"";
    QTest::newRow("capcode 17") << QStringList{"test-call", "17"} << "not \"17\"";
    QTest::newRow("leading zero") << QStringList{"test-call", "05"} << "not \"05\"";
    QTest::newRow("RI-code 8D") << QStringList{"test-call", "8D"} << "not \"8D\"";
    QTest::newRow("lower-case RI-code") << QStringList{"test-call", "3d"} << "not \"3d\"";
    QTest::newRow("EOT in text") << QStringList{"test-call", "3", QString("AB") + QChar(4) + "CD"}
                                 << "TEXT cannot hold control characters";
    QTest::newRow("DEL in text") << QStringList{"test-call", "3", QString("AB") + QChar(0x7F)}
                                 << "TEXT cannot hold control characters or characters outside Windows-1252";
    QTest::newRow("text outside Windows-1252") << QStringList{"test-call", "5", QStringLiteral("日本")}
                                               << "(U+65E5 (日) at position 1)";
    QTest::newRow("trace over the input") << QStringList{"write", examplePath("flex.kvr"), "--trace", examplePath("flex.kvr")}
                                          << "would overwrite";
    QTest::newRow("report over its input") << QStringList{"report", examplePath("flex.kvr"), "-o", examplePath("flex.kvr")}
                                           << "would overwrite the file it reads";
    // A date with a broken time would otherwise list the whole log.
    QTest::newRow("--since with a broken time") << QStringList{"history", "--since", "2026-12-09Tfoo"}
                                                << "--since takes a date (2026-12-09) or a date and time";
    QTest::newRow("help for nothing") << QStringList{"help", "erase"} << "no help for the unknown command";
    // No silent simulator: a module must be named.
    QTest::newRow("no module given") << QStringList{"read", "-o", "x.kvr"}
                                     << "read: no module given: use --port DEV, or --sim";
    QTest::newRow("no module given lists the ports") << QStringList{"no-network"} << ". Serial ports found: ";
    QTest::newRow("--port and --sim") << QStringList{"no-network", "--sim", "--port", "COM1"}
                                      << "--port and --sim exclude each other";
    QTest::newRow("fleet erase") << QStringList{"fleet", "erase", "l.csv"}
                                 << "write, read, find, plan, apply or undo, not \"erase\"";
    QTest::newRow("fleet read without a folder") << QStringList{"fleet", "read", "l.csv"} << "fleet read needs -o FOLDER";
    QTest::newRow("fleet find --verify") << QStringList{"fleet", "find", "l.csv", "--verify"} << "--verify is for fleet write";
    QTest::newRow("fleet --jobs 0") << QStringList{"fleet", "write", "l.csv", "--jobs", "0"} << "--jobs takes a number of modules from 1 on";
    QTest::newRow("fleet apply --canary 0") << QStringList{"fleet", "apply", "l.csv", "--canary", "0"}
                                            << "--canary takes a number of modules from 1 on, not \"0\"";
    QTest::newRow("fleet apply --max-failed -1") << QStringList{"fleet", "apply", "l.csv", "--max-failed=-1"}
                                                 << "--max-failed takes a number of modules from 1 on";
    QTest::newRow("fleet plan --canary") << QStringList{"fleet", "plan", "l.csv", "--canary", "1"}
                                         << "--canary is for fleet write, fleet apply and fleet undo";
    QTest::newRow("fleet apply --prometheus") << QStringList{"fleet", "apply", "l.csv", "--prometheus", "m.prom"}
                                              << "--prometheus is for fleet plan";
}

void TestCli::nagiosAlwaysSaysOneLine_data()
{
    // A monitoring system reads standard output's one line and the exit
    // code; whatever stops the plan from running is UNKNOWN, 3.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("says");
    QTest::newRow("with --json") << QStringList{"fleet", "plan", "l.csv", "--nagios", "--json"} << "--json cannot go with it";
    QTest::newRow("on an apply") << QStringList{"fleet", "apply", "l.csv", "--nagios"} << "--nagios is for fleet plan";
    QTest::newRow("unknown option") << QStringList{"fleet", "plan", "l.csv", "--nagios", "--fast"} << "Unknown option 'fast'";
    QTest::newRow("a list that is not there") << QStringList{"fleet", "plan", "/nonexistent/l.csv", "--nagios"}
                                              << "the list cannot be read";
    QTest::newRow("metrics that cannot be written")
        << QStringList{"fleet", "plan", examplePath("flex.kvr"), "--nagios", "--prometheus", "/nonexistent/m.prom"}
        << "/nonexistent/m.prom: the metrics cannot be written";
}

void TestCli::nagiosAlwaysSaysOneLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, says);
    const CliResult run = runCli(arguments);
    QCOMPARE(run.exitCode, 3);
    const QList<QByteArray> lines = run.out.split('\n');
    QCOMPARE(lines.size(), 2);   // one line, ended
    QVERIFY2(lines[0].startsWith("KVR7314 UNKNOWN - ") && lines[0].contains(says.toUtf8()), lines[0].constData());
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, says);
    const CliResult run = runCli(arguments);
    QCOMPARE(run.exitCode, int(ExitCode::Usage));
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.errLines().size(), 1);
    QVERIFY(run.errLines()[0].startsWith("kvr7314-cli: "));
    QVERIFY2(run.errLines()[0].contains(says), qPrintable(run.errLines()[0]));
}

void TestCli::fileErrors_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("content");   // empty: no file at all
    QTest::addColumn<QString>("path");         // empty: a file of this test's own
    QTest::addColumn<QString>("says");

    const QByteArray bytes = readFile(examplePath("flex.kvr"));
    QVERIFY(bytes.contains("kvrFlxData"));
    const QByteArray ksq = QByteArray(bytes).replace("kvrFlxData", "ksqFlxData");
    const QByteArray kdw = QByteArray(bytes).replace("kvrFlxData", "kdwPocData");
    const QString wrong = "Bestand is niet geschikt voor de KVR7314 Het bestand dat u probeert te laden is voor de ";
    const QString nothing = "Er is geen bestand geladen Mogelijk probeert u een verkeerd bestandtype te laden. "
                            "Gebruik voor dit programma bestanden met de extensie *.KVR";

    QTest::newRow("write, missing") << "write" << QByteArray() << QString() << nothing + " (no such file)";
    QTest::newRow("write, endless device") << "write" << QByteArray() << "/dev/zero" << nothing + " (not a regular file)";
    QTest::newRow("write, KSQ7314 file") << "write" << ksq << QString() << wrong + "KSQ7314. Gebruik";
    QTest::newRow("write, KDW7314 file") << "write" << kdw << QString() << wrong + "KDW7314. Gebruik";
    QTest::newRow("write, no data line") << "write" << QByteArray("KVR7314\r\n\r\n") << QString() << nothing;
    QTest::newRow("report, KSQ7314 file") << "report" << ksq << QString() << wrong + "KSQ7314.";
    QTest::newRow("report, cut data line") << "report" << bytes.left(bytes.size() - 40) << QString() << nothing;
    QTest::newRow("write, a frame hidden in alias 1")
        << "write" << QByteArray(bytes).replace("ALIAS01:", "ALIAS01:AB\x04\x01(3D)INJECTED\x04") << QString()
        << nothing + " (alias 01 holds U+0004 at position 3)";
    // Written into the module, a label of its dump would leave a module
    // that can be neither read back nor saved.
    QTest::newRow("write, a label of the dump in alias 3")
        << "write" << QByteArray(bytes).replace("ALIAS03:", "ALIAS03:Post TIMER1:") << QString()
        << "nothing was written: alias 03 holds \"TIMER1:\", a label of the module's dump";
}

void TestCli::fileErrors()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, content);
    QFETCH(QString, path);
    QFETCH(QString, says);
    if (path.isEmpty())
        path = m_dir.filePath(QString("file-error-%1.kvr").arg(QTest::currentDataTag()));
    if (!content.isEmpty())
        writeFile(path, content);
    QStringList arguments{command, path, "--port", "/dev/null-no-module"};
    if (command == "report")
        arguments = QStringList{command, path, "-o", m_dir.filePath("never.pdf")};
    const CliResult run = runCli(arguments);
    QCOMPARE(run.exitCode, int(ExitCode::File));
    QCOMPARE(run.errLines().size(), 1);
    QVERIFY2(run.errLines()[0].startsWith("kvr7314-cli: " + path + ": "), qPrintable(run.errLines()[0]));
    QVERIFY2(run.errLines()[0].contains(says), qPrintable(run.errLines()[0]));
    QCOMPARE(run.out, QByteArray());   // nothing was sent, nothing printed
    QVERIFY(!QFile::exists(m_dir.filePath("never.pdf")));
}

// Outputs that cannot be written are found before the module is asked, or
// fail without claiming success; an old file stays as it was; a device is
// written, never replaced. "PORT" stands for a module's device; "OLD" for a
// file that holds "oude inhoud" before the command runs.
void TestCli::badOutputs_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("fileSizeLimit");   // bytes a process may write into a file; 0: no limit
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");        // in the last line of standard error; empty: nothing there

    const QString saveFailed = "Onverwachte fout. Er is geen bestand opgeslagen! (";
    QTest::newRow("read -o into a missing folder")
        << QStringList{"read", "--port", "PORT", "-o", m_dir.filePath("geen-map/x.kvr")} << 0 << 3 << saveFailed;
    QTest::newRow("report onto a full disk")
        << QStringList{"report", examplePath("flex.kvr"), "-o", "OLD"} << 4096 << 3 << "Printer error: ";
    QTest::newRow("trace onto a full device")
        << QStringList{"no-network", "--port", "PORT", "--trace", "/dev/full"} << 0 << 3
        << "/dev/full: the trace could not be written: No space left on device";
    QTest::newRow("read -o a device") << QStringList{"read", "--port", "PORT", "-o", "/dev/null"} << 0 << 0 << QString();
}

void TestCli::badOutputs()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, fileSizeLimit);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    PtyModule module;
    QVERIFY(module.isOpen());
    const QString old = m_dir.filePath(QStringLiteral("old-%1").arg(QTest::currentDataTag()).replace(' ', '-'));
    writeFile(old, "oude inhoud");
    arguments.replaceInStrings(QRegularExpression("^PORT$"), module.devicePath());
    arguments.replaceInStrings(QRegularExpression("^OLD$"), old);
    QStringList command{cliPath()};
    command += arguments;
    if (fileSizeLimit > 0) {
        // The shell's limit in 512-byte blocks, for this one process.
        command = QStringList{"/bin/sh", "-c", QStringLiteral("ulimit -f %1; exec \"$0\" \"$@\"").arg(fileSizeLimit / 512)}
                  + command;
    }

    QElapsedTimer clock;
    clock.start();
    CliProcess process(command.mid(1), nullptr, command.first());
    QVERIFY(process.wait(30000));
    const CliResult &run = process.result();
    QCOMPARE(run.exitCode, exitCode);
    if (says.isEmpty())
        QCOMPARE(run.err, QByteArray());
    else
        QVERIFY2(!run.errLines().isEmpty() && run.errLines().last().contains(says), run.err.constData());
    QCOMPARE(readFile(old), QByteArray("oude inhoud"));
    QVERIFY(QFileInfo("/dev/null").exists() && !QFileInfo("/dev/null").isFile());
    if (exitCode == 3) {
        QCOMPARE(module.module().frames().size(), 0);   // found out before the module was asked
        QVERIFY(clock.elapsed() < 5000);
    }
}

void TestCli::stopSignalEndsTheWriteCleanly_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QString>("name");
    QTest::newRow("Ctrl-C") << int(SIGINT) << "Ctrl-C (SIGINT)";
    QTest::newRow("SIGTERM") << int(SIGTERM) << "SIGTERM";
}

void TestCli::stopSignalEndsTheWriteCleanly()
{
    QFETCH(int, signalNumber);
    QFETCH(QString, name);
    PtyModule module;
    QVERIFY(module.isOpen());
    const QString trace = m_dir.filePath(QStringLiteral("stopped-%1.txt").arg(signalNumber));
    CliProcess process({"write", examplePath("flex.kvr"), "--port", module.devicePath(), "--trace", trace});
    QVERIFY(module.waitForFrames(3, 5000));
    ::kill(pid_t(process.process().processId()), signalNumber);
    QVERIFY(process.wait(5000));
    const CliResult &run = process.result();
    QCOMPARE(run.exitCode, 128 + signalNumber);
    QCOMPARE(run.errLines().size(), 1);
    const QRegularExpression partly("^kvr7314-cli: stopped by " + QRegularExpression::escape(name)
                                    + ": (\\d+) of 26 steps were sent: the module is only partly programmed; write it again$");
    const QRegularExpressionMatch match = partly.match(run.errLines()[0]);
    QVERIFY2(match.hasMatch(), qPrintable(run.errLines()[0]));
    QTest::qWait(100);
    QCOMPARE(match.captured(1).toInt(), module.module().frames().size());
    // The progress line was ended, and the trace kept everything up to the stop.
    QVERIFY(run.out.endsWith('\n'));
    const QStringList traced = QString::fromUtf8(readFile(trace)).split('\n', Qt::SkipEmptyParts);
    QVERIFY(traced.filter(QRegularExpression("TX  01 28 ")).size() == match.captured(1).toInt());
    QVERIFY(traced.last().endsWith("port closed"));
    QVERIFY(!traced.filter("stopped by " + name).isEmpty());
}

// A line that floods the read: the dump, then megabytes as fast as the
// pseudo-terminal takes them. The read keeps what the parser can reach and
// saves the module's settings; the process stays small.
void TestCli::floodingLineCostsNoMemory()
{
    PtyModule module;
    QVERIFY(module.isOpen());
    module.module().behaviour.floodBytes = qint64(200) * 1024 * 1024;
    const QString output = m_dir.filePath("flooded.kvr");
    // Started and reaped here, not by QProcess, for the child's own peak memory.
    const QByteArray program = QFile::encodeName(cliPath());
    const QByteArray port = QFile::encodeName(module.devicePath());
    const QByteArray out = QFile::encodeName(output);
    char *argv[] = {const_cast<char *>(program.constData()), const_cast<char *>("read"), const_cast<char *>("--port"),
                    const_cast<char *>(port.constData()), const_cast<char *>("-o"), const_cast<char *>(out.constData()),
                    nullptr};
    pid_t pid = 0;
    QCOMPARE(posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ), 0);
    int status = 0;
    rusage usage{};
    QVERIFY(QTest::qWaitFor([&] { return ::wait4(pid, &status, WNOHANG, &usage) == pid; }, 30000));
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QVERIFY(QFile::exists(output));
#if !defined(__SANITIZE_ADDRESS__)
    // (AddressSanitizer keeps freed memory in quarantine: the bound means
    // something only in a plain build.)
    QVERIFY2(usage.ru_maxrss < 100 * 1024, qPrintable(QString("%1 kB").arg(usage.ru_maxrss)));
#endif
}

void TestCli::portThatCannotBeOpened_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("write") << QStringList{"write", examplePath("flex.kvr")};
    QTest::newRow("read") << QStringList{"read", "-o", m_dir.filePath("never.kvr")};
    QTest::newRow("test-call") << QStringList{"test-call", "7"};
    QTest::newRow("no-network") << QStringList{"no-network"};
}

void TestCli::portThatCannotBeOpened()
{
    QFETCH(QStringList, arguments);
    const QString missing = m_dir.filePath("ttyUSB9");
    const CliResult run = runCli(arguments + QStringList{"--port", missing});
    QCOMPARE(run.exitCode, int(ExitCode::Port));
    QCOMPARE(run.errLines().size(), 1);
    QVERIFY2(run.errLines()[0].startsWith("kvr7314-cli: cannot open " + missing
                                          + ": no such port (No such file or directory); "),
             qPrintable(run.errLines()[0]));
    QVERIFY(!run.out.contains("step 1 of"));
    QVERIFY(!QFile::exists(m_dir.filePath("never.kvr")));
}

void TestCli::pulledAdapterEndsTheWrite()
{
    PtyModule module;
    QVERIFY(module.isOpen());
    connect(&module, &PtyHost::frameReceived, &module, [&module](const ReceivedFrame &frame) {
        if (frame.code == programmingStepCode(5))
            module.closeMaster();
    });
    const CliResult run = runCli({"write", examplePath("flex.kvr"), "--port", module.devicePath()}, 15000);
    QCOMPARE(run.exitCode, int(ExitCode::Port));
    QCOMPARE(run.errLines().size(), 1);
    QVERIFY2(run.errLines()[0].startsWith("kvr7314-cli: Er is een fout opgetreden bij het schrijven naar de KVR7314 ! "
                                          "Controleer de verbinding en programmeer de KVR7314 opnieuw. ("),
             qPrintable(run.errLines()[0]));
    QVERIFY(run.errLines()[0].contains(
        QRegularExpression("; [56] of 26 steps were sent: the module is only partly programmed; write it again$")));
    QVERIFY(!run.out.contains("step 26 of 26"));
    QVERIFY(!run.out.contains("geprogrammeerd"));
    QCOMPARE(module.module().frames().size(), 5);
}

void TestCli::testCall_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("capcode with text") << QStringList{"5", "BRAND Kerkstraat 12"} << "5" << "BRAND Kerkstraat 12";
    QTest::newRow("capcode 16, default text") << QStringList{"16"} << "16" << "TESTOPROEP NAAR DE KVR7314";
    QTest::newRow("RI-code, empty text") << QStringList{"7D", ""} << "7D" << "TESTOPROEP NAAR DE KVR7314";
    QTest::newRow("text of spaces") << QStringList{"1D", "   "} << "1D" << "   ";
    QTest::newRow("Windows-1252 text") << QStringList{"9", "Café € 5"} << "9" << "Café € 5";
}

void TestCli::testCall()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, code);
    QFETCH(QString, message);
    PtyModule module;
    QVERIFY(module.isOpen());
    const CliResult run = runCli(QStringList{"test-call"} + arguments + QStringList{"--port", module.devicePath()});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.outLines(), QStringList{QString("sent a test call to %1 on %2: \"%3\"").arg(code, module.devicePath(), message)});
    QVERIFY(module.waitForFrames(1));
    QCOMPARE(module.module().testCalls().size(), 1);
    QCOMPARE(module.module().testCalls()[0].code, code);
    QCOMPARE(module.module().testCalls()[0].message, message);
    QCOMPARE(module.module().frames().size(), 1);
}

void TestCli::noNetwork()
{
    PtyModule module;
    QVERIFY(module.isOpen());
    const QString trace = m_dir.filePath("no-network-trace.txt");
    const CliResult run = runCli({"no-network", "--port", module.devicePath(), "--trace", trace});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    QVERIFY(module.waitForFrames(1));
    QCOMPARE(module.module().noNetworkNotices(), 1);
    QCOMPARE(module.module().frames().size(), 1);

    QFile file(trace);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    QVERIFY(lines[0].startsWith("kvr7314-cli trace, "));
    QVERIFY(lines[1].endsWith(" s  open " + module.devicePath()));
    QVERIFY(lines[2].endsWith("TX  01 28 31 37 29 53 54 4F 52 49 4E 47 3A 20 47 45  |.(17)STORING: GE|"));
    QVERIFY(lines[3].endsWith("..  45 4E 20 4E 45 54 57 45 52 4B 04                 |EN NETWERK.|"));
    QVERIFY(lines[4].endsWith(" s  port closed"));
}

void TestCli::readWithoutAnswer()
{
    PtyModule module;
    QVERIFY(module.isOpen());
    module.module().behaviour.answers = false;
    const QString output = m_dir.filePath("silent.kvr");
    QElapsedTimer clock;
    clock.start();
    const CliResult run = runCli({"read", "--port", module.devicePath(), "-o", output});
    QCOMPARE(run.exitCode, int(ExitCode::Module));
    QCOMPARE(run.errLines(), QStringList{
        "kvr7314-cli: FOUTMELDING: Geen data kunnen lezen van de KVR7314. "
        "1 - controleer of de KVR7314 is aangesloten op de 9 polige connector "
        "2 - controleer of de jumper naast het relais in de onderste stand staat "
        "3 - controleer of de RUN-LED op de KVR7314 knippert "
        "4 - controleer of de DATA-LED op de KVR7314 even oplicht als op de knop lezen wordt gedrukt"});
    QVERIFY(clock.elapsed() < 5000);   // decided at the first poll, not after the collection window
    QCOMPARE(module.module().readRequests(), 1);
    QVERIFY(!QFile::exists(output));
}

void TestCli::reportAsPdf()
{
    const QString pdf = m_dir.filePath("report.pdf");
    const CliResult run = runCli({"report", examplePath("pocsag.kvr"), "-o", pdf}, 20000);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());   // no display, yet not a word from Qt
    QVERIFY(readFile(pdf).startsWith("%PDF-"));

    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext is not installed; the report's text is not checked");
    const QString content = pdfText(pdf);
    QVERIFY(content.contains("KVR7314 - INSTELLINGEN"));
    QVERIFY(content.contains("POCSAG (RXM4P)"));
    QVERIFY(content.contains("Alias 07: Test RIC 7"));
    QVERIFY(!content.contains("Alias 08"));   // a POCSAG receiver holds 7
    QVERIFY(content.contains(QRegularExpression("Tijd Scrollen regel 3 en 4 : 350 mSec")));
}

void TestCli::simCommandServesAnotherProcess()
{
    CliProcess sim({"sim"});
    QVERIFY(QTest::qWaitFor([&] { return sim.process().canReadLine(); }, 5000));
    const QString device = QString::fromLocal8Bit(sim.process().readLine()).trimmed();
    QVERIFY2(device.startsWith("/dev/"), qPrintable(device));

    const CliResult call = runCli({"test-call", "3D", "NOODSTROOM", "--port", device});
    QCOMPARE(call.exitCode, 0);
    QVERIFY(QTest::qWaitFor([&] { return sim.process().canReadLine(); }, 5000));
    const QString logged = QString::fromLocal8Bit(sim.process().readLine());
    QVERIFY2(logged.contains("(3D)  4E 4F 4F 44 53 54 52 4F 4F 4D") && logged.contains("|NOODSTROOM|"), qPrintable(logged));

    sim.process().terminate();   // SIGTERM: a normal end
    QVERIFY(sim.wait(5000));
    QCOMPARE(sim.result().exitCode, 0);
}

void TestCli::everyCommandLeavesItsRecord_data()
{
    QTest::addColumn<QString>("lane");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("nth");          // which of the lane's lines of that operation, from 0
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("stepsSent");
    QTest::addColumn<QString>("backup");   // the kind of backup it left
    QTest::addColumn<QString>("keeps");    // what the backup holds: "written", a file's path, or nothing to check

    QTest::newRow("write") << "round trip" << "write" << 0 << true << 26 << "geschreven" << "written";
    QTest::newRow("read -o") << "round trip" << "read" << 0 << true << 0 << "gelezen" << m_dir.filePath("read-back.kvr");
    QTest::newRow("verify that finds a difference") << "verify catches" << "verify" << 0 << false << 0 << "gelezen" << "";
    QTest::newRow("faulty dump") << "faulty dump" << "read" << 0 << false << 0 << "" << "";
    QTest::newRow("--backup") << "backup" << "read" << 0 << true << 0 << "gelezen" << m_dir.filePath("backup.kvr");
    QTest::newRow("write after --backup") << "backup" << "write" << 0 << true << 26 << "geschreven" << "";
    QTest::newRow("test call") << "readme" << "test-call" << 0 << true << 0 << "" << "";
    QTest::newRow("no-network notice") << "readme" << "no-network" << 0 << true << 0 << "" << "";
}

void TestCli::everyCommandLeavesItsRecord()
{
    QFETCH(QString, lane);
    QFETCH(QString, operation);
    QFETCH(int, nth);
    QFETCH(bool, ok);
    QFETCH(int, stepsSent);
    QFETCH(QString, backup);
    QFETCH(QString, keeps);
    const std::map<QString, Lane *> lanes = {{"round trip", m_roundTrip.get()}, {"verify catches", m_verifyCatches.get()},
                                             {"faulty dump", m_faultyDump.get()}, {"backup", m_backup.get()},
                                             {"readme", m_readme.get()}};
    Lane *const l = lanes.at(lane);
    QVERIFY(l->wait());
    QList<LogEntry> lines = readLog(logPath(m_dir.filePath("data")));
    lines.removeIf([&](const LogEntry &e) { return e.port != l->module.devicePath() || e.operation != operation; });
    QVERIFY2(lines.size() > nth, qPrintable(QString::number(lines.size())));
    const LogEntry &e = lines[nth];
    QCOMPARE(e.ok, ok);
    QCOMPARE(e.program, QString("kvr7314-cli"));
    QCOMPARE(e.stepsSent, stepsSent);
    QVERIFY2(e.ok || !e.cause.isEmpty(), "a failure says why");
    QCOMPARE(e.backup.isEmpty() ? QString() : QFileInfo(e.backup).fileName().section('_', -1).section('.', 0, 0), backup);
    if (keeps == u"written") {
        // What the steps carried: the file's settings with the timers normalised and padded.
        ModuleSettings sent = settingsOf(e.file);
        normaliseTimers(sent);
        for (QString ModuleSettings::*timer : kTimers)
            sent.*timer = padTimer(sent.*timer);
        QCOMPARE(settingsOf(e.backup), sent);
    } else if (!keeps.isEmpty()) {
        QCOMPARE(settingsOf(e.backup), settingsOf(keeps));
    }
}

void TestCli::historyListsTheLogNewestFirst()
{
    QVERIFY(m_roundTrip->wait());
    const auto json = [](const QStringList &arguments) {
        const CliResult run = runCli(QStringList{"history", "--json"} + arguments);
        return QJsonDocument::fromJson(run.out).array();
    };
    const QJsonArray all = json({});
    QVERIFY(all.size() >= 2);
    for (qsizetype i = 1; i < all.size(); ++i)
        QVERIFY(all[i - 1].toObject()["time"].toString() >= all[i].toObject()["time"].toString());

    const QString device = m_roundTrip->module.devicePath();
    const QJsonArray onePort = json({"--port", device});
    QCOMPARE(onePort.size(), 2);   // its write and its read, the read first
    QCOMPARE(onePort[0].toObject()["operation"].toString(), QString("read"));
    QCOMPARE(onePort[1].toObject()["operation"].toString(), QString("write"));
    QVERIFY(json({"--since", "2999-01-01"}).isEmpty());

    for (const QJsonValue &backup : json({"--backups"}))
        QVERIFY(QFile::exists(backup.toObject()["path"].toString()));
    const CliResult text = runCli({"history", "--port", device});
    QCOMPARE(text.exitCode, 0);
    QVERIFY(text.outLines().value(0).startsWith("time "));
    QVERIFY(text.outLines().value(1).contains(QRegularExpression("  read +" + QRegularExpression::escape(device) + "  +ok  +\\S+_gelezen\\.kvr$")));
}

void TestCli::readmeExamplesAgreeWithTheProgram()
{
    // Every example is a command line the program takes.
    for (const ReadmeExample &example : readmeExamples()) {
        const CliParse parse = parseCliArguments(example.arguments);
        QVERIFY2(parse.request, qPrintable(example.arguments.join(' ') + ": " + parse.error));
    }
    // And what the README shows it answer, it answers.
    QVERIFY(m_readme->wait());
    for (qsizetype i = 0; i < m_readmeExamples.size(); ++i) {
        const CliResult &run = m_readme->result(int(i));
        QStringList said;
        for (const QString &line : run.outLines() + run.errLines())
            said.append(withAnyPort(QString(line).replace(m_readme->module.devicePath(), "PORT")));
        for (const QString &shown : m_readmeExamples[i].shown) {
            QVERIFY2(said.contains(withAnyPort(shown)),
                     qPrintable(m_readmeExamples[i].arguments.join(' ') + "\n  README: " + shown + "\n  program:\n    "
                                + said.join("\n    ")));
        }
    }
}

void TestCli::readmeExitCodesAreTheProgramsOwn()
{
    QFile readme(examplePath("../README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    static const QRegularExpression row(QStringLiteral("^\\| (\\d+) \\| (.+) \\|$"));
    QStringList inReadme;
    for (const QString &line : QString::fromUtf8(readme.readAll()).split(u'\n')) {
        if (const QRegularExpressionMatch m = row.match(line); m.hasMatch())
            inReadme.append(m.captured(1) + ' ' + m.captured(2).remove(u'`'));
    }
    QStringList inProgram;
    for (const ExitCodeMeaning &e : exitCodeMeanings())
        inProgram.append(QString::number(e.code) + ' ' + QLatin1String(e.meaning));
    QCOMPARE(inReadme, inProgram);
}

void TestCli::completionAndManPageFollowTheParser()
{
    const QString packaging = QCoreApplication::applicationDirPath() + "/../packaging/";
    const auto complete = [&](const QStringList &words) {
        QProcess bash;
        QStringList quoted;
        for (const QString &w : words)
            quoted.append('\'' + w + '\'');
        bash.start("bash", {"-c", QString("source '%1kvr7314-cli.bash-completion' && COMP_WORDS=(%2) && "
                                          "COMP_CWORD=%3 && _kvr7314_cli; printf '%s\\n' \"${COMPREPLY[@]}\"")
                                      .arg(packaging, quoted.join(' '))
                                      .arg(words.size() - 1)});
        bash.waitForFinished();
        QStringList offered = QString::fromUtf8(bash.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        offered.sort();
        return offered;
    };
    QProcess gzip;
    gzip.start("gzip", {"-dc", packaging + "man/kvr7314-cli.1.gz"});
    QVERIFY(gzip.waitForFinished());
    const QString manPage = QString::fromUtf8(gzip.readAllStandardOutput()).replace("\\e", "\\").replace("\\&.", ".");
    QVERIFY(manPage.contains(".SS write"));

    QStringList commands;
    for (const CliCommandSpec &command : cliCommands()) {
        commands.append(command.name);
        // Every option the parser takes, and no other, is offered after the command.
        QStringList options;
        for (const CliOptionSpec &option : command.allOptions())
            options += option.typedNames();
        options.sort();
        QCOMPARE(complete({"kvr7314-cli", command.name, "-"}), options);
        // The man page holds the command's own --help, line for line.
        if (command.command == CliCommand::Help)
            continue;
        const CliResult help = runCli({command.name, "--help"});
        for (const QString &line : help.outLines()) {
            if (line.startsWith("Exit codes:"))
                break;
            QVERIFY2(manPage.contains(line), qPrintable(command.name + ": " + line));
        }
    }
    commands.sort();
    QCOMPARE(complete({"kvr7314-cli", ""}), commands);
}

void TestCli::portTargets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("comPort");
    QTest::addColumn<QString>("device");
    // COM n leads where the window's box leads, found when the port opens;
    // a device path is that device, not a COM box.
    QTest::newRow("COM1") << "COM1" << true << 1 << "";
    QTest::newRow("com4") << "com4" << true << 4 << "";
    QTest::newRow("COM 2") << "COM 2" << true << 2 << "";
    QTest::newRow("COM0") << "COM0" << false << 0 << "";
    QTest::newRow("COM5") << "COM5" << false << 0 << "";
    QTest::newRow("empty") << "" << false << 0 << "";
    QTest::newRow("USB adapter") << "/dev/ttyUSB0" << true << 0 << "/dev/ttyUSB0";
    QTest::newRow("relative path") << "pts/3" << true << 0 << "pts/3";
    // Whatever holds "://" is a network address, or no port at all.
    QTest::newRow("rfc2217") << "rfc2217://ser2net.lan:4001" << true << 0 << "rfc2217://ser2net.lan:4001";
    QTest::newRow("IPv6 in brackets") << "tcp+tls://[::1]:24101" << true << 0 << "tcp+tls://[::1]:24101";
    QTest::newRow("pyserial's socket://") << "socket://127.0.0.1:7000" << true << 0 << "socket://127.0.0.1:7000";
    QTest::newRow("scheme in capitals") << "RFC2217://host:1" << false << 0 << "";
    QTest::newRow("unknown scheme") << "telnet://host:23" << false << 0 << "";
    QTest::newRow("no port") << "rfc2217://host" << false << 0 << "";
    QTest::newRow("port 0") << "tcp://host:0" << false << 0 << "";
    QTest::newRow("port past 65535") << "tcp://host:65536" << false << 0 << "";
    QTest::newRow("no host") << "tcp://:4001" << false << 0 << "";
    QTest::newRow("IPv6 without brackets") << "tcp://::1:4001" << false << 0 << "";
    QTest::newRow("a path after the port") << "rfc2217://host:4001/x" << false << 0 << "";
}

void TestCli::portTargets()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, comPort);
    QFETCH(QString, device);
    const std::optional<PortAddress> address = PortAddress::parse(text);
    QCOMPARE(address.has_value(), valid);
    if (!valid)
        return;
    if (NetworkAddress::looksLikeOne(text)) {
        QVERIFY(address->isNetwork());
        QCOMPARE(address->deviceNow({}), device);   // the log keeps it as given
        return;
    }
    QCOMPARE(*address, device.isEmpty() ? PortAddress::com(comPort) : PortAddress::device(device));
}

void TestCli::fleetListsRefusedWhole_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    const QByteArray header = "naam;poort;bestand\n";
    const int file = int(ExitCode::File);
    QTest::newRow("a bad row") << header + "A;/dev/kvr-a;a.kvr\nB;;a.kvr\n" << QStringList{} << file
                               << "list.csv: row 3: B has no port; no module was asked";
    QTest::newRow("a port that is no address") << header + "A;rfc2217://host;a.kvr\n" << QStringList{} << file
                                               << "row 2 (A): the port is COM1 to COM4";
    QTest::newRow("one device twice") << header + "A;/dev/kvr-a;a.kvr\nB;/dev/../dev/kvr-a;a.kvr\n" << QStringList{}
                                      << file << "row 3 (B): /dev/../dev/kvr-a is the port of row 2 (A) as well";
    QTest::newRow("a COM box and its device")
        << header + "A;COM1;a.kvr\nB;" + PortDirectory::machine().comDevice(1).toUtf8() + ";a.kvr\n" << QStringList{} << file
        << "row 3 (B): " + PortDirectory::machine().comDevice(1) + " is the port of row 2 (A) as well";
    QTest::newRow("raw and RFC 2217 to one server port")
        << header + "A;tcp://Server.example:4001;a.kvr\nB;rfc2217+tls://server.example:4001;a.kvr\n" << QStringList{}
        << file << "row 3 (B): rfc2217+tls://server.example:4001 is the port of row 2 (A) as well";
    QTest::newRow("a file that does not open") << header + "A;/dev/kvr-a;geen.kvr\n" << QStringList{} << file
                                               << "row 2 (A): ";
    QTest::newRow("no file to write") << header + "A;/dev/kvr-a\n" << QStringList{} << file
                                      << "row 2 (A): no settings file";
    QTest::newRow("a text the module cannot take") << header + "A;/dev/kvr-a;a.kvr\nB;/dev/kvr-b;label.kvr\n"
                                                   << QStringList{} << file
                                                   << "label.kvr: nothing was written: alias 03 holds \"TIMER1:\"";
    QTest::newRow("--only names a module the list has not")
        << header + "A;/dev/kvr-a;a.kvr\n" << QStringList{"--only", "A,Z"} << int(ExitCode::Usage)
        << "--only: list.csv has no module named \"Z\"";
}

void TestCli::fleetListsRefusedWhole()
{
    QFETCH(QByteArray, list);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QByteArray bytes = readFile(examplePath("flex.kvr"));
    writeFile(dir.filePath("a.kvr"), bytes);
    writeFile(dir.filePath("label.kvr"), QByteArray(bytes).replace("ALIAS03:", "ALIAS03:Post TIMER1:"));
    writeFile(dir.filePath("list.csv"), list);
    CliProcess process(QStringList{"fleet", "write", "list.csv"} + options, nullptr, cliPath(), dir.path());
    process.wait(10000);
    const CliResult run = process.result();
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(says.toUtf8()), run.err.constData());
}

void TestCli::fleetLargerThanTheOpenFilesAllowed()
{
    // 100 modules at once need more open files than a hard limit of 64: the
    // fleet is refused before any module is asked, saying how to allow them.
    QTemporaryDir dir;
    writeFile(dir.filePath("a.kvr"), readFile(examplePath("flex.kvr")));
    QByteArray list = "naam;poort;bestand\n";
    for (int i = 0; i < 100; ++i)
        list += "M" + QByteArray::number(i) + ";/dev/kvr-m" + QByteArray::number(i) + ";a.kvr\n";
    writeFile(dir.filePath("list.csv"), list);
    QProcess process;
    process.setProcessEnvironment(headlessEnvironment());
    process.setWorkingDirectory(dir.path());
    process.setChildProcessModifier([] {
        const rlimit limit{64, 64};
        setrlimit(RLIMIT_NOFILE, &limit);
    });
    process.start(cliPath(), {"fleet", "write", "list.csv"});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), int(ExitCode::File));
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(err.contains("100 modules at once need 264 open files, and this system allows 64")
                 && err.contains("ulimit -n 264") && err.contains("LimitNOFILE=264") && err.contains("no module was asked"),
             err.constData());
}

void TestCli::fleetExitsWithTheMostSeriousCode_data()
{
    QTest::addColumn<QList<int>>("codes");   // one module each; 0: it succeeded
    QTest::addColumn<int>("exitCode");
    QTest::newRow("all succeeded") << QList<int>{0, 0} << 0;
    QTest::newRow("differences alone") << QList<int>{0, 6} << 6;
    QTest::newRow("a file before differences") << QList<int>{6, 3} << 3;
    QTest::newRow("the module before a file") << QList<int>{3, 5, 6} << 5;
    QTest::newRow("a port before the module") << QList<int>{5, 4, 3} << 4;
    QTest::newRow("a stop signal before all") << QList<int>{4, 130, 5} << 130;
    QTest::newRow("SIGTERM") << QList<int>{143, 4, 0} << 143;
}

void TestCli::fleetExitsWithTheMostSeriousCode()
{
    QFETCH(QList<int>, codes);
    QFETCH(int, exitCode);
    QList<FleetResult> results;
    for (int code : codes) {
        FleetResult r;
        r.outcome = code == 0 ? FleetOutcome::Ok : code >= 128 ? FleetOutcome::Stopped : FleetOutcome::Failed;
        r.exit = ExitCode(code);
        results.append(r);
    }
    QCOMPARE(int(fleetExitCode(results)), exitCode);
}

void TestCli::differences_data()
{
    QTest::addColumn<ModuleSettings>("written");
    QTest::addColumn<ModuleSettings>("read");
    QTest::addColumn<QStringList>("fields");

    ModuleSettings written = settingsOf(examplePath("flex.kvr"));
    normaliseTimers(written);
    ModuleSettings held = settingsAsSent(written);
    held.scrollTime = "350";
    held.firmwareVersion = "1.30";
    held.receiverType = ReceiverType::Pocsag;   // neither is sent, neither is compared

    QTest::newRow("as the module gives it back") << written << held << QStringList{};

    ModuleSettings r = held;
    r.relayTime = "10";
    QTest::newRow("timer not padded") << written << r << QStringList{"relay time"};

    r = held;
    r.scrollTime = "0350";
    QTest::newRow("scroll time in four") << written << r << QStringList{"scroll time"};

    ModuleSettings longScroll = written;
    longScroll.scrollTime = "1350";
    r = held;
    r.scrollTime = "350";
    QTest::newRow("scroll time the module cannot hold") << longScroll << r << QStringList{"scroll time"};

    ModuleSettings emptyAlias = written;
    emptyAlias.aliases[6].clear();
    r = held;
    r.aliases[6] = "CAPCODE 07";
    QTest::newRow("empty alias comes back as its capcode") << emptyAlias << r << QStringList{};
    r.aliases[6] = "";
    QTest::newRow("empty alias comes back empty") << emptyAlias << r << QStringList{"alias 07"};

    ModuleSettings accented = written;
    accented.couplingText = "café»";
    r = held;
    r.couplingText = "caf<233><187>";
    QTest::newRow("coupling text outside ASCII") << accented << r << QStringList{};
    r.couplingText = "café»";
    QTest::newRow("coupling text outside ASCII, as typed") << accented << r << QStringList{"coupling text"};
    accented.idleText = "één";
    r = held;
    r.couplingText = "caf<233><187>";
    r.idleText = "één";
    QTest::newRow("idle text comes back as it is") << accented << r << QStringList{};

    r = held;
    r.aliasColour = "176";
    r.scrollSpeed = "199";
    r.aliases[15] = "Proefalarm ";
    r.idleText = "GEEN MELDIN";
    QTest::newRow("several") << written << r
                             << QStringList{"alias 16", "idle text", "alias colour", "scroll speed"};
}

void TestCli::differences()
{
    QFETCH(ModuleSettings, written);
    QFETCH(ModuleSettings, read);
    QFETCH(QStringList, fields);
    QStringList found;
    for (const FieldDifference &d : moduleDifferences(written, read))
        found.append(d.field);
    QCOMPARE(found, fields);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
