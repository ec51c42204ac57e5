#pragma once
// One operation on a module or a settings file, from its checks to its
// outcome. Every front end (the window, kvr7314-cli, a run over many
// modules) starts operations and presents what they report; none of them
// opens a port, keeps a backup or writes the log itself.
//
// An operation runs on the event loop it was made on: it reports through
// signals and never waits in an event loop of its own, so one program can
// run many at once. Its outcome comes through finished(), which a port that
// cannot be opened (or a refusal) emits before start() returns.

#include "operations/journal.h"
#include "operations/moduleaccess.h"
#include "operations/outcome.h"

#include <QDateTime>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

// What every operation of one front end shares.
struct OperationContext {
    // Where the log line and the backups go; nothing is kept without it.
    std::shared_ptr<const Journal> journal;
    // The clock of the log, the backups and the files saved.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    // The module's name in a fleet list: its log lines and backups carry it.
    QString module;

    // Operations of `program` ("kvr7314", "kvr7314-cli") that keep their
    // record in `directory` (the data folder when empty); a fleet's many
    // at once keep it beside the loop that paces them.
    static OperationContext keptBy(const QString &program, const QString &directory = {},
                                   Journal::Writes writes = Journal::Writes::AtOnce);
};

// How often a front end shows the characters a read has taken: when
// another `every` have come, and at the parse. A terminal's line is cheap;
// in a log each is a line of its own.
class ReadProgress {
public:
    explicit ReadProgress(int every) : m_every(every) {}
    void restart() { m_shown = 0; }
    // Whether `characters` is news enough to show.
    bool worthShowing(int characters, bool complete)
    {
        if (!complete && characters / m_every == m_shown / m_every)
            return false;
        m_shown = characters;
        return true;
    }

private:
    int m_every;
    int m_shown = 0;
};

class Operation : public QObject {
    Q_OBJECT
public:
    explicit Operation(OperationContext context, QObject *parent = nullptr);
    ~Operation() override;

    // Why it cannot start as things stand, or nothing: found out before
    // anything is sent or written. start() finds it out too, unless it was
    // asked just before.
    std::optional<OperationOutcome> check();
    virtual void start() = 0;
    // Ends it where it stands (Ctrl-C), `cause` in its log line and its
    // last line. Before start(), the next start() ends at once that way.
    void stop(const StopCause &cause);
    // Whether a stop now would end it: a frame once written is not taken back.
    virtual bool canStop() const { return true; }
    // Lets go of the port of its last run (kept open until the next opening,
    // as the window keeps it): before another opening of the same module,
    // and when its front end is done with the module.
    virtual void releasePort() {}
    // Whether a stop signal that comes now ends it: it runs, has not ended
    // yet, and can stop.
    bool canStopNow() const { return m_running && !m_concluding && canStop(); }

    bool isRunning() const { return m_running; }
    // It has ended, and its record is being kept: its outcome stands, and a
    // stop that comes meanwhile changes nothing.
    bool isConcluding() const { return m_concluding; }
    // The outcome of the last run.
    const OperationOutcome &outcome() const { return m_outcome; }

signals:
    // An English line for a console along the way ("writing ...").
    void said(const QString &line);
    // A write: step 1..26 went out.
    void stepSent(int step);
    // A read: the characters taken so far; `complete` at the parse.
    void received(int characters, bool complete);
    // The run's LED (imgLED_DataUIT, imgLED_DataIN).
    void ledChanged(bool shown);
    // A log line along the way (a write before its verify) whose line or
    // backup could not be kept. The last one's go with the outcome.
    void notKept(const QList<FileReason> &problems);
    void finished(const OperationOutcome &outcome);

protected:
    virtual std::optional<OperationOutcome> refusal() const { return std::nullopt; }
    // In start(): false, the operation ended as refused, when it cannot start.
    bool passesCheck();
    // The running operation was stopped: halt what runs, then conclude.
    virtual void halt(const StopCause &cause) = 0;

    // Marks it running; false when a stop came first, which has then
    // ended it (through halt()).
    bool begin();
    // Its log line's start: on a port, with what the system knows of the
    // adapter, or without one.
    void beginRecord(const QString &name, const ModuleAccess *access = nullptr);
    // The module's connection is held while it runs: let go of as it
    // finishes.
    void holdConnection(const ModuleAccess &access);
    Journal::Record *record() { return m_record ? &*m_record : nullptr; }
    // The record with its port looked up: a backup is named after the port.
    Journal::Record *completeRecord();
    // Has the record's port looked up when the event loop is next free. An
    // operation asks once it is under way and no decision of its run waits
    // on the next events: the walk over the system's serial devices blocks
    // the loop for a while (seconds on a slow machine).
    void lookUpPortSoon();
    // Says a line along the way, worded only when a console listens.
    void say(const std::function<QString()> &line);
    // Ends a step's log line; `then` gets what was kept (at once, or once
    // the journal has written it).
    void closeRecord(bool ok, const QString &cause, std::function<void(const Journal::Kept &kept)> then);
    // Ends the operation: its log line (`cause` when it failed), the
    // problems into the outcome and the box, then finished().
    void conclude(OperationOutcome outcome, const QString &cause = {});
    // Ends it with the outcome of an operation it ran for its last step,
    // which has kept its own log line.
    void passOn(const OperationOutcome &outcome);
    // What an operation it runs as a step says along the way is its own.
    void relay(Operation *step);

    QDateTime now() const { return m_context.now(); }
    const OperationContext &context() const { return m_context; }

    // The outcome of a stop: `whatItLeft` says the state it left.
    static OperationOutcome stopped(const StopCause &cause, const QString &whatItLeft);
    // The outcome of a port that could not be opened, or that failed on the
    // way (the window's box then says `lineFailedText`).
    static OperationOutcome portFailed(const PortFailure &failure, const PortAddress &address,
                                       const QString &lineFailedText);
    // The log's cause of a stop.
    static QString stopCauseText(const StopCause &cause);

private:
    void lookUpPort();

    OperationContext m_context;
    std::optional<Journal::Record> m_record;
    std::optional<ModuleAccess> m_portOfRecord;   // the port the record is to name
    bool m_lookUpComing = false;

    std::optional<StopCause> m_stopBeforeStart;
    bool m_checked = false;   // check() was asked, and passed, before start()
    OperationOutcome m_outcome;
    bool m_running = false;
    bool m_concluding = false;   // from conclude() until finished()
    std::shared_ptr<ModuleConnection> m_heldConnection;
};
