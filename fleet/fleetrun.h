#pragma once
// A fleet run: every module of a plan runs its own operations (a write,
// with its backup read first and its verify after; a read; a find) at the
// same time, on the one event loop the program has, each paced by its own
// session. At most `jobs` run at once; the others wait their turn. A stop
// signal stops those that run, and those that waited end as stopped,
// never started.

#include "fleet/fleetplan.h"
#include "operations/operation.h"
#include "readback/readbacksession.h"

#include <QObject>

#include <functional>
#include <memory>

struct FleetOptions {
    FleetAction action = FleetAction::Write;
    int jobs = 0;                 // how many modules run at once; 0: all
    bool verify = false;          // write: then read back and compare
    bool backup = false;          // write: first read what the module holds, kept as its backup
    ReadBackSession::Options readOptions;
    TlsCredentials tls;           // for every module over TLS
    // The machine's serial ports, walked once for every module's log line
    // and for where the COM boxes lead.
    std::function<QList<FoundPort>()> portsFound;
    ComDeviceMapper comDevice;
    OperationContext context;     // each module's operations keep their record with its name
};

// How one module ended, in the words of a summary.
enum class FleetOutcome { Ok, Differs, Failed, Stopped };

struct FleetResult {
    QString name;
    QString port;                 // as the list gives it
    FleetOutcome outcome = FleetOutcome::Stopped;
    ExitCode exit = ExitCode::Ok;
    bool started = false;
    int stepsSent = 0;            // a write: how many steps went out
    QString firmware;             // what the module reported, when it was read
    QString cause;                // why it did not succeed: one line
    QString backup;               // the backup of what was written, or read
    qint64 durationMs = 0;
};

class FleetMember;

class FleetRun : public QObject {
    Q_OBJECT
public:
    // Between two modules' starts.
    static constexpr int kStartSpacingMs = 5;

    FleetRun(const QList<FleetModule> &modules, FleetOptions options, QObject *parent = nullptr);
    ~FleetRun() override;

    // The first module whose operation cannot start as things stand (an
    // output that cannot be written, a text the module cannot take): its
    // index and why. Found out before any module is asked.
    std::optional<std::pair<int, OperationOutcome>> refusal();

    void start();
    // Stops every module that runs; those that wait end as stopped.
    void stop(const StopCause &cause);

    qsizetype size() const { return m_results.size(); }
    const FleetResult &result(int index) const { return m_results[index]; }
    const QList<FleetResult> &results() const { return m_results; }
    // Where a module stands: "waiting", "step 9 of 26", "reading: 420
    // characters", or how it ended.
    QString state(int index) const;

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
    void memberEnded(int index, const OperationOutcome &outcome);
    void finishWhenDone();

    FleetOptions m_options;
    QList<FleetMember *> m_members;
    QList<FleetResult> m_results;
    qsizetype m_next = 0;        // the first module not started
    int m_running = 0;
    bool m_startComing = false;   // the next start is timed
    std::optional<StopCause> m_stop;
    bool m_finished = false;
};

// The word of an outcome in the summary and in JSON: ok, differs, failed, stopped.
QString fleetOutcomeWord(FleetOutcome outcome);
