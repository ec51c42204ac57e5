#pragma once
// A fleet run: every module of a plan runs its own operations (a write,
// with its backup read first and its verify after; a read; a find; a check
// against its file, and for an apply the write of those that differ) at
// the same time, on the one event loop the program has, each paced by its
// own session. At most `jobs` run at once; the others wait their turn. A
// stop signal stops those that run, and those that waited end as stopped,
// never started.
//
// An apply checks every module first. Then those that differ are written,
// the first `canary` of them (in list order) before all others, which start
// only when every one of those ended ok; and once `maxFailed` modules
// failed or differ after their write, no further one starts writing. A
// module held back so ends as stopped, with why, and the module unchanged.
// A write and an undo hold their modules back the same way when asked to.

#include "fleet/fleetplan.h"
#include "operations/operation.h"
#include "readback/readbacksession.h"

#include <QElapsedTimer>
#include <QObject>

#include <functional>
#include <memory>

struct FleetOptions {
    FleetAction action = FleetAction::Write;
    int jobs = 0;                 // how many modules run at once; 0: all
    bool verify = false;          // write: then read back and compare
    bool backup = false;          // write: first read what the module holds, kept as its backup
    int canary = 0;               // this many modules to be written are written first; 0: no canary
    int maxFailed = 0;            // no more writes once this many failed or differ after theirs; 0: no limit
    ReadBackSession::Options readOptions;
    TlsCredentials tls;           // for every module over TLS
    // The serial ports each module's log line looks up its adapter in: the
    // machine's port directory when empty.
    std::function<QList<FoundPort>()> portsFound;
    // The port objects of each module; its address's own kind when empty
    // (a test gives each module a simulated one).
    std::function<SerialPortFactory(const FleetModule &module)> portsFor;
    OperationContext context;     // each module's operations keep their record with its name
};

// How one module ended, in the words of a summary.
enum class FleetOutcome { Ok, Differs, Failed, Stopped };

// Where a module stands, for each front end to word its own way.
struct FleetState {
    enum class Stage {
        Waiting,          // not started
        Connecting,       // a write: to its port, before step 1
        Checking,         // a plan's read
        Reading,          // a read, a backup read, a verify
        Writing,          // `step` of 26 sent
        WaitingToWrite,   // checked (`differences` fields differ), or held for the canary
        Ended,            // how: its FleetResult
    };
    Stage stage = Stage::Waiting;
    int step = 0;
    int characters = 0;
    int differences = 0;
};

struct FleetResult {
    QString name;
    QString port;                 // as the list gives it
    FleetOutcome outcome = FleetOutcome::Stopped;
    ExitCode exit = ExitCode::Ok;
    bool started = false;
    bool written = false;         // a write sent it at least one step
    int stepsSent = 0;            // a write: how many steps reached the module's end of the line
    QString firmware;             // what the module reported, when it was read
    QString cause;                // why it did not succeed: one line, in English
    QString dutchCause;           // the same in the window's words
    QString backup;               // the backup of what was written, or read
    // plan, apply: the fields in which the module differed from its file;
    // a write's verify: those in which it differs after the write
    QList<FieldDifference> differences;
    qint64 durationMs = 0;
};

class FleetMember;
class QTimer;

class FleetRun : public QObject {
    Q_OBJECT
public:
    // The modules that start together start spread over one programming
    // period: the work of each tick is spread with them, and none waits
    // longer than a period, however long the list.
    static constexpr int kStartPeriodMs = 300;

    FleetRun(const QList<FleetModule> &modules, FleetOptions options, QObject *parent = nullptr);
    ~FleetRun() override;

    // The first module whose operation cannot start as things stand (an
    // output that cannot be written, a text the module cannot take): its
    // index and why. Found out before any module is asked.
    std::optional<std::pair<int, OperationOutcome>> refusal();

    void start();
    FleetAction action() const { return m_options.action; }
    // Stops every module that runs; those that wait end as stopped.
    void stop(const StopCause &cause);
    bool isFinished() const { return m_finished; }

    qsizetype size() const { return m_results.size(); }
    const FleetResult &result(int index) const { return m_results[index]; }
    const QList<FleetResult> &results() const { return m_results; }
    // Where a module stands.
    const FleetState &state(int index) const;

signals:
    // A module's state changed.
    void changed(int index);
    // A line of a module's operation along the way ("writing ... ").
    void said(int index, const QString &line);
    // Every module has ended.
    void finished();

private:
    // Starts what may start, and ends the run once all have ended.
    void advance();
    void startWaiting();
    // Starts `indices` (their writes, with `writes`) spread over a period.
    void spread(const QList<int> &indices, bool writes);
    void startDue();
    bool slotFree() const;
    // The writes of those held at the gate, once every check is done.
    void releaseWrites();
    bool gated() const;
    // The module has ended: false when it had already.
    bool settle(int index);
    // Ends a module that did not start, or not its write; `exit`: a stop
    // signal's code, none when the run held it back.
    void holdBack(int index, const FileReason &cause, ExitCode exit = ExitCode::Ok);
    void memberEnded(int index, const OperationOutcome &outcome);
    void memberChecked(int index);
    void finishWhenDone();

    FleetOptions m_options;
    QList<FleetMember *> m_members;
    QList<FleetResult> m_results;
    qsizetype m_next = 0;        // the first module not started
    int m_running = 0;           // modules that take a place among `jobs`
    QList<bool> m_settled;       // each module has ended
    struct Start {
        int index;
        bool write;       // its write, rather than its first operation
        double dueMs;     // on m_clock
    };
    QList<Start> m_spread;       // due to start, in order
    QElapsedTimer m_clock;
    QTimer *m_startTimer;
    QList<int> m_differing;      // at the gate: to be written, in list order
    QList<int> m_writeQueue;     // allowed to write, not started yet
    QList<int> m_canary;         // the canary's modules that have not ended yet
    bool m_writesReleased = false;
    bool m_restReleased = false;
    bool m_canaryFailed = false;
    int m_failedAfterWrite = 0;
    std::optional<StopCause> m_stop;
    bool m_finished = false;
};

// The word of an outcome in the summary and in JSON: ok, differs, failed, stopped.
QString fleetOutcomeWord(FleetOutcome outcome);
