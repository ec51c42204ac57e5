// Fleets run in this process on simulated modules, one in-process line
// each: which modules a plan, an apply and an undo write, how --jobs, the
// canary and --max-failed hold modules back, a stop before and during a
// run, and one module failing among many.
//
// A write takes 8 s of real time, so every fleet is started at once in
// initTestCase, each on its own modules and its own data folder, and each
// test waits for its own.

#include "files/operationlog.h"
#include "fleet/fleetrun.h"
#include "fleet/fleetsummary.h"
#include "link/frames.h"
#include "operations/fileoperations.h"
#include "operations/programoperation.h"
#include "operations/settingsholder.h"
#include "sim/simulatedline.h"
#include "support/fixtures.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <map>
#include <memory>
#include <vector>

namespace {

// How a module of a test fleet behaves.
enum class Sim {
    Holds,     // holds its file
    Differs,   // holds the standard values, not its file
    Silent,    // does not answer the read request
    Keeps,     // differs, and keeps what it held when written (a worn memory)
    HangsUp,   // differs, and drops off at frame 10 of a write
};

struct FleetCase {
    const char *name;
    FleetAction action;
    QList<Sim> modules;
    int jobs = 0;
    int canary = 0;
    int maxFailed = 0;
    int stopAfterMs = -1;      // -1: no stop; 0: before the start
    QStringList outcomes;      // how each module ends
    QString written;           // W: the module was written; -: not
    int exit = 0;              // the fleet's exit code
};

const QList<FleetCase> &cases()
{
    using enum Sim;
    static const QList<FleetCase> table{
        {"plan: in sync, differing, silent; nothing written", FleetAction::Plan, {Holds, Differs, Silent},
         0, 0, 0, -1, {"ok", "differs", "failed"}, "---", 5},
        {"plan stopped before it started", FleetAction::Plan, {Holds, Differs}, 0, 0, 0, 0,
         {"stopped", "stopped"}, "--", 130},
        {"plan, --jobs 1, stopped while the first reads", FleetAction::Plan, {Holds, Holds, Holds}, 1, 0, 0, 60,
         {"stopped", "stopped", "stopped"}, "---", 130},
        {"apply: only those that differ and answer", FleetAction::Apply, {Holds, Differs, Silent, Differs},
         0, 0, 0, -1, {"ok", "ok", "failed", "ok"}, "-W-W", 5},
        {"apply --canary 1: the canary does not take its write", FleetAction::Apply,
         {Keeps, Holds, Differs, Differs}, 0, 1, 0, -1, {"differs", "ok", "stopped", "stopped"}, "W---", 6},
        {"apply --max-failed 1 --jobs 1: one drops off", FleetAction::Apply, {HangsUp, Differs, Differs},
         1, 0, 1, -1, {"failed", "stopped", "stopped"}, "W--", 4},
        {"write --jobs 3: one drops off among many", FleetAction::Write, {Holds, HangsUp, Differs, Differs},
         3, 0, 0, -1, {"ok", "failed", "ok", "ok"}, "WWWW", 4},
        {"apply stopped while the canary writes", FleetAction::Apply, {Differs, Differs}, 0, 1, 0, 2500,
         {"stopped", "stopped"}, "W-", 130},
        {"write --canary 1: the canary drops off", FleetAction::Write, {HangsUp, Holds, Differs}, 0, 1, 0, -1,
         {"failed", "stopped", "stopped"}, "W--", 4},
    };
    return table;
}

// A fleet on simulated modules, with its files and data folder.
struct SimFleet {
    QTemporaryDir dir;
    ModuleSettings file;
    std::vector<std::unique_ptr<SimulatedLine>> lines;
    QList<FleetModule> modules;
    std::unique_ptr<FleetRun> run;

    SimFleet()
    {
        QFile::copy(examplePath("flex.kvr"), dir.filePath("regio.kvr"));
        openSettingsFile(dir.filePath("regio.kvr"), &file);
    }

    void add(Sim sim)
    {
        auto line = std::make_unique<SimulatedLine>();
        SimulatedModule &module = line->module();
        if (sim == Sim::Holds)
            module.holdWritten(file);
        module.behaviour.answers = sim != Sim::Silent;
        module.behaviour.keepsSettings = sim == Sim::Keeps;
        module.behaviour.hangUpAfter = sim == Sim::HangsUp ? 10 : -1;
        lines.push_back(std::move(line));
        FleetModule m;
        m.line = int(modules.size()) + 2;
        m.name = QStringLiteral("Kazerne %1").arg(modules.size() + 1);
        m.port = PortAddress::device(QStringLiteral("/dev/sim%1").arg(modules.size() + 1));
        m.file = dir.filePath("regio.kvr");
        m.settings = file;
        modules.append(m);
    }

    FleetOptions options(FleetAction action)
    {
        FleetOptions o;
        o.action = action;
        o.verify = true;
        o.readOptions = ReadBackSession::Options::quick(false);
        o.portsFound = [] { return QList<FoundPort>(); };
        o.portsFor = [this](const FleetModule &m) { return lines[size_t(m.line - 2)]->portFactory(); };
        o.context = OperationContext::keptBy(QStringLiteral("kvr7314-cli"), dir.filePath("data"), Journal::Writes::Beside);
        return o;
    }

    void start(FleetOptions options)
    {
        run = std::make_unique<FleetRun>(modules, std::move(options));
        run->start();
    }

    // Programming frames each module took.
    int programmingFrames(int index) const
    {
        int count = 0;
        for (const ReceivedFrame &frame : lines[size_t(index)]->module().frames())
            count += programmingStepOf(frame.code).has_value();
        return count;
    }

    QString written() const
    {
        QString marks;
        for (int i = 0; i < modules.size(); ++i)
            marks += programmingFrames(i) > 0 ? u'W' : u'-';
        return marks;
    }
};

const StopCause kCtrlC{QStringLiteral("Ctrl-C (SIGINT)"), ExitCode(130)};

} // namespace

class TestFleet : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void fleets_data();
    void fleets();
    void undoPutsBackWhatTheLastWriteReplaced();
    void aStopWhileTheBackupIsKeptWritesNothing();

private:
    std::map<QString, std::unique_ptr<SimFleet>> m_fleets;
    SimFleet m_undo;
    std::unique_ptr<FleetRun> m_undoRun;
};

void TestFleet::initTestCase()
{
    for (const FleetCase &c : cases()) {
        auto fleet = std::make_unique<SimFleet>();
        for (Sim sim : c.modules)
            fleet->add(sim);
        FleetOptions options = fleet->options(c.action);
        options.jobs = c.jobs;
        options.canary = c.canary;
        options.maxFailed = c.maxFailed;
        fleet->run = std::make_unique<FleetRun>(fleet->modules, options);
        FleetRun *run = fleet->run.get();
        QVERIFY2(!run->refusal(), c.name);
        if (c.stopAfterMs == 0)
            run->stop(kCtrlC);
        else if (c.stopAfterMs > 0)
            QTimer::singleShot(c.stopAfterMs, run, [run] { run->stop(kCtrlC); });
        run->start();
        m_fleets[QLatin1String(c.name)] = std::move(fleet);
    }

    // An apply, then an undo of it from the same data folder: the undo's
    // own lane.
    m_undo.add(Sim::Differs);
    m_undo.add(Sim::Holds);
    m_undo.start(m_undo.options(FleetAction::Apply));
    connect(m_undo.run.get(), &FleetRun::finished, this, [this] {
        QList<FleetModule> modules = m_undo.modules;
        const QList<LogEntry> log = readLog(logPath(m_undo.dir.filePath("data")));
        for (FleetModule &module : modules)
            planUndo(module, log);
        m_undoRun = std::make_unique<FleetRun>(modules, m_undo.options(FleetAction::Undo));
        m_undoRun->start();
    });
}

void TestFleet::fleets_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < cases().size(); ++i)
        QTest::newRow(cases()[i].name) << i;
}

void TestFleet::fleets()
{
    QFETCH(int, index);
    const FleetCase &c = cases()[index];
    SimFleet &fleet = *m_fleets[QLatin1String(c.name)];
    QTRY_VERIFY_WITH_TIMEOUT(fleet.run->isFinished(), 60000);

    QStringList outcomes;
    for (const FleetResult &r : fleet.run->results())
        outcomes.append(fleetOutcomeWord(r.outcome));
    QCOMPARE(outcomes, c.outcomes);
    QCOMPARE(int(fleetExitCode(fleet.run->results())), c.exit);
    // A check sends no programming frame; a write sends all 26, and a
    // module written and verified holds its file.
    QCOMPARE(fleet.written(), c.written);
    for (int i = 0; i < fleet.modules.size(); ++i) {
        const FleetResult &r = fleet.run->result(i);
        QCOMPARE(r.written, c.written[i] == u'W');
        if (r.outcome == FleetOutcome::Ok && c.written[i] == u'W') {
            QCOMPARE(fleet.programmingFrames(i), kProgrammingStepCount);
            QVERIFY(heldDifferences(fleet.lines[size_t(i)]->module().stored(), fleet.file).isEmpty());
        }
        // One held back says why, and the retry names it.
        if (r.outcome == FleetOutcome::Stopped)
            QVERIFY2(!r.cause.isEmpty() && namesToRetry(fleet.run->results()).contains(r.name), qPrintable(r.cause));
    }
    if (c.action == FleetAction::Plan || c.action == FleetAction::Apply) {
        for (int i = 0; i < fleet.modules.size(); ++i) {
            if (c.modules[i] == Sim::Differs && fleet.run->result(i).outcome == FleetOutcome::Differs)
                QVERIFY(!fleet.run->result(i).differences.isEmpty());
        }
    }
    // A plan keeps nothing: no log line, no backup.
    if (c.action == FleetAction::Plan)
        QVERIFY(!QFileInfo::exists(fleet.dir.filePath("data")));
}

void TestFleet::undoPutsBackWhatTheLastWriteReplaced()
{
    QTRY_VERIFY_WITH_TIMEOUT(m_undoRun && m_undoRun->isFinished(), 60000);
    const QList<FleetResult> &applied = m_undo.run->results();
    QCOMPARE(applied[0].written, true);
    QCOMPARE(applied[1].written, false);

    // The differing module holds the standard values again; the one the
    // apply left alone was not touched by the undo either.
    const QList<FleetResult> &undone = m_undoRun->results();
    QCOMPARE(fleetOutcomeWord(undone[0].outcome), QString("ok"));
    QCOMPARE(undone[0].written, true);
    QCOMPARE(fleetOutcomeWord(undone[1].outcome), QString("ok"));
    QCOMPARE(undone[1].written, false);
    QCOMPARE(m_undo.programmingFrames(1), 0);
    QVERIFY(heldDifferences(m_undo.lines[0]->module().stored(), SimulatedModule().stored()).isEmpty());

    // The undo's write names what it replaced, so a second undo would put
    // the rolled-out settings back.
    const QList<LogEntry> log = readLog(logPath(m_undo.dir.filePath("data")));
    QList<LogEntry> writes;
    for (const LogEntry &e : log) {
        if (e.operation == u"write")
            writes.append(e);
    }
    QCOMPARE(writes.size(), 2);
    FleetModule again = m_undo.modules[0];
    planUndo(again, log);
    QCOMPARE(again.file, writes[1].replaced);
    QVERIFY(heldDifferences(again.settings, m_undo.file).isEmpty());

    // Writes the log cannot undo: one that kept no record of what it
    // replaced, one whose backup is gone.
    LogEntry unrecorded = writes[1];
    unrecorded.replaced.clear();
    LogEntry gone = writes[1];
    gone.replaced = m_undo.dir.filePath("data/verdwenen.kvr");
    for (const LogEntry &last : {unrecorded, gone}) {
        FleetModule module = m_undo.modules[0];
        planUndo(module, log + QList<LogEntry>{last});
        QVERIFY(module.cannotUndo && !module.nothingToUndo);
    }
}

// A fleet keeps its records beside the loop: an operation has ended, and
// its record is on its way, when a stop comes. The backup read's outcome
// stands, and the write it leads to does not start.
void TestFleet::aStopWhileTheBackupIsKeptWritesNothing()
{
    SimFleet fleet;
    fleet.add(Sim::Differs);
    const FleetOptions fleetOptions = fleet.options(FleetAction::Write);
    ModuleAccess access = ModuleAccess::at(fleet.modules[0].port);
    access.newPort = fleetOptions.portsFor(fleet.modules[0]);
    access.portsFound = fleetOptions.portsFound;
    HeldSettings held(fleet.file);
    ProgramOperation::Options options;
    options.write = {fleet.modules[0].file, true, fleetOptions.readOptions, {}, {}};
    options.before = ProgramOperation::Before::Read;
    ProgramOperation program(access, held, fleetOptions.context, options);
    // The read's parse is followed, in the same turn of the loop, by its
    // record handed to the journal's thread: a stop posted at the parse
    // comes after that, and before the journal answers.
    connect(&program, &Operation::received, &program, [&program](int, bool complete) {
        if (complete)
            QMetaObject::invokeMethod(&program, [&program] { program.stop(kCtrlC); }, Qt::QueuedConnection);
    });
    QSignalSpy finished(&program, &Operation::finished);
    program.start();
    QVERIFY(finished.wait(20000));
    QTest::qWait(1000);   // a write would have sent step 1 after 450 ms

    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().value<OperationOutcome>().kind, OperationOutcome::Kind::Stopped);
    QCOMPARE(fleet.programmingFrames(0), 0);
}

QTEST_GUILESS_MAIN(TestFleet)
#include "tst_fleet.moc"
