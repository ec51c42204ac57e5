#include "fleet/fleetrun.h"

#include "files/operationlog.h"
#include "link/frames.h"
#include "operations/frameoperation.h"
#include "operations/programoperation.h"
#include "operations/readoperation.h"
#include "operations/settingsholder.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <functional>

// One module of the fleet: its operations one after the other, on its own
// port and its own connection, which it lets go of whenever it waits and
// when it ends.
class FleetMember : public QObject {
public:
    struct Reports {
        std::function<void()> stateChanged;
        std::function<void(const QString &line)> said;
        // apply: the check found differences; the write waits for the run
        std::function<void()> checked;
        std::function<void(const OperationOutcome &outcome)> ended;
    };

    // `gated`: a module to be written waits for the run before it writes.
    FleetMember(const FleetModule &module, const FleetOptions &options, bool gated, Reports reports, QObject *parent)
        : QObject(parent),
          m_module(module),
          m_action(options.action),
          m_gated(gated),
          m_access(ModuleAccess::at(module.port, options.tls)),
          m_held(module.settings),
          m_reports(std::move(reports)),
          m_context(options.context)
    {
        m_access.portsFound = options.portsFound;
        if (options.portsFor)
            m_access.newPort = options.portsFor(module);
        m_context.module = module.name;
        const ReadBackSession::Options &read = options.readOptions;
        switch (m_action) {
        case FleetAction::Write:
            m_program = program(options.backup ? ProgramOperation::Before::Read : ProgramOperation::Before::NotRead,
                                options.verify, read);
            break;
        case FleetAction::Read:
            m_first = add(new ReadOperation(m_access, m_held, m_context, {read, ReadOperation::Target::File, module.file},
                                            this));
            break;
        case FleetAction::Find:
            // Nothing is kept of a search, as with find.
            m_first = add(new FindOperation(m_access, OperationContext{}, read, this));
            break;
        case FleetAction::Plan:
        case FleetAction::Apply:
            m_check = new CheckOperation(m_access, module.settings, module.file, read, this);
            m_first = add(m_check);
            if (m_action == FleetAction::Apply)
                m_program = program(ProgramOperation::Before::NotRead, true, read);
            break;
        case FleetAction::Undo:
            if (!module.nothingToUndo && !module.cannotUndo)
                m_program = program(ProgramOperation::Before::Read, true, read);
            break;
        }
        if (!m_first)
            m_first = m_program;
    }

    std::optional<OperationOutcome> refusal()
    {
        for (Operation *operation : {m_first, static_cast<Operation *>(m_program)}) {
            if (operation) {
                if (auto refused = operation->check())
                    return refused;
            }
        }
        return std::nullopt;
    }

    void start()
    {
        m_clock.start();
        if (m_action == FleetAction::Undo && !m_program) {
            endWithoutRun();
            return;
        }
        // A write or an undo with a canary or a limit writes when the run says.
        if (m_gated && m_first == m_program) {
            setState({FleetState::Stage::WaitingToWrite});
            m_reports.checked();
            return;
        }
        // One connection for its whole chain: a check or a backup read, the
        // write and its verify.
        m_access.connection->hold();
        run(m_first);
    }

    // apply: the write of a module its check found differing.
    void write()
    {
        m_writing = true;
        m_access.connection->hold();
        run(m_program);
    }
    bool isWriting() const { return m_writing; }

    void stop(const StopCause &cause)
    {
        if (m_current && m_current->canStopNow())
            m_current->stop(cause);
    }

    const FleetState &state() const { return m_state; }
    void setState(const FleetState &state)
    {
        m_state = state;
        m_reports.stateChanged();
    }
    // Since it started.
    qint64 elapsedMs() const { return m_clock.isValid() ? m_clock.elapsed() : 0; }
    // The firmware any of its reads found.
    QString firmware() const { return m_firmware; }
    const QList<FieldDifference> &differences() const { return m_differences; }

private:
    ProgramOperation *program(ProgramOperation::Before before, bool verify, const ReadBackSession::Options &read)
    {
        ProgramOperation::Options options;
        options.write = {m_module.file, verify, read, {}, {}};
        options.before = before;
        auto *operation = new ProgramOperation(m_access, m_held, m_context, options, this);
        add(operation);
        return operation;
    }

    Operation *add(Operation *operation)
    {
        connect(operation, &Operation::said, this, [this](const QString &line) { m_reports.said(line); });
        connect(operation, &Operation::stepSent, this, [this](int step) {
            setState({FleetState::Stage::Writing, step});
        });
        connect(operation, &Operation::received, this, [this](int characters, bool complete) {
            if (m_progress.worthShowing(characters, complete))
                setState({m_reading, 0, characters});
        });
        connect(operation, &Operation::finished, this,
                [this, operation](const OperationOutcome &outcome) { operationEnded(operation, outcome); });
        return operation;
    }

    void run(Operation *operation)
    {
        m_current = operation;
        m_progress.restart();
        m_reading = operation == m_check ? FleetState::Stage::Checking : FleetState::Stage::Reading;
        setState({operation == m_program ? FleetState::Stage::Connecting : m_reading});
        operation->start();
    }

    void operationEnded(Operation *operation, const OperationOutcome &outcome)
    {
        m_current = nullptr;
        if (outcome.settings)
            m_firmware = outcome.settings->firmwareVersion;
        if (operation == m_check || m_differences.isEmpty())
            m_differences = outcome.differences;
        // Other clients of the device server may reach the module meanwhile,
        // and its port is another program's again.
        releasePorts();
        m_access.connection->release();
        if (operation == m_check && m_program && outcome.kind == OperationOutcome::Kind::Differs) {
            waitToWrite(*outcome.settings);
            return;
        }
        m_reports.ended(outcome);
    }

    // The check's read is what the module held before the write: kept as
    // a backup with the write's log line, which names it.
    void waitToWrite(const ModuleSettings &held)
    {
        m_program->setReplaced(held);
        setState({FleetState::Stage::WaitingToWrite, 0, 0, int(m_differences.size())});
        m_reports.checked();
    }

    void releasePorts()
    {
        for (Operation *operation : {m_first, static_cast<Operation *>(m_program)}) {
            if (operation)
                operation->releasePort();
        }
    }

    // An undo with nothing to put back.
    void endWithoutRun()
    {
        OperationOutcome outcome;
        if (m_module.nothingToUndo) {
            outcome.line = QStringLiteral("no write to it on record; left alone");
        } else {
            outcome.kind = OperationOutcome::Kind::Refused;
            outcome.exit = ExitCode::File;
            outcome.line = m_module.cannotUndo->english;
            outcome.box = OutcomeBox{kDefaultBoxTitle, BoxIcon::Information, m_module.cannotUndo->dutch, {}};
        }
        m_reports.ended(outcome);
    }

    FleetModule m_module;
    FleetAction m_action;
    bool m_gated;
    ModuleAccess m_access;
    HeldSettings m_held;         // what a write sends, where a read puts what it read
    Reports m_reports;
    OperationContext m_context;
    Operation *m_first = nullptr;
    CheckOperation *m_check = nullptr;
    ProgramOperation *m_program = nullptr;
    Operation *m_current = nullptr;
    bool m_writing = false;
    QString m_firmware;
    QList<FieldDifference> m_differences;
    ReadProgress m_progress{100};   // every hundred characters is news enough, for a log too
    FleetState::Stage m_reading = FleetState::Stage::Reading;
    FleetState m_state;
    QElapsedTimer m_clock;
};

namespace {

FleetOutcome fleetOutcomeOf(const OperationOutcome &outcome)
{
    switch (outcome.kind) {
    case OperationOutcome::Kind::Done: return FleetOutcome::Ok;
    case OperationOutcome::Kind::Differs: return FleetOutcome::Differs;
    case OperationOutcome::Kind::Stopped: return FleetOutcome::Stopped;
    default: return FleetOutcome::Failed;
    }
}

// Why a module did not succeed, in the window's words: its box, or what
// the kind of outcome says.
QString dutchCauseOf(const OperationOutcome &outcome)
{
    if (outcome.ok())
        return {};
    if (outcome.kind == OperationOutcome::Kind::Stopped) {
        if (outcome.stepsSent > 0 && outcome.stepsSent < kProgrammingStepCount)
            return QStringLiteral("gestopt na %1 van de %2 stappen: de KVR7314 is maar gedeeltelijk geprogrammeerd")
                .arg(outcome.stepsSent)
                .arg(kProgrammingStepCount);
        return QStringLiteral("gestopt");
    }
    if (outcome.kind == OperationOutcome::Kind::Differs)
        return QStringLiteral("%1 veld(en) in de module wijken af van het bestand").arg(outcome.differences.size());
    if (!outcome.box)
        return outcome.line;
    const QString details = oneLine(outcome.box->details);
    return oneLine(outcome.box->text) + (details.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(details));
}

} // namespace

QString fleetOutcomeWord(FleetOutcome outcome)
{
    switch (outcome) {
    case FleetOutcome::Ok: return QStringLiteral("ok");
    case FleetOutcome::Differs: return QStringLiteral("differs");
    case FleetOutcome::Failed: return QStringLiteral("failed");
    case FleetOutcome::Stopped: return QStringLiteral("stopped");
    }
    return {};
}

FleetRun::FleetRun(const QList<FleetModule> &modules, FleetOptions options, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_startTimer(new QTimer(this))
{
    m_startTimer->setSingleShot(true);
    m_startTimer->setTimerType(Qt::PreciseTimer);
    connect(m_startTimer, &QTimer::timeout, this, &FleetRun::startDue);
    m_clock.start();
    for (int i = 0; i < modules.size(); ++i) {
        FleetResult result;
        result.name = modules[i].name;
        result.port = modules[i].port.name();
        m_results.append(result);
        const FleetMember::Reports reports{
            [this, i] { emit changed(i); },
            [this, i](const QString &line) { emit said(i, line); },
            [this, i] { memberChecked(i); },
            [this, i](const OperationOutcome &outcome) { memberEnded(i, outcome); },
        };
        m_members.append(new FleetMember(modules[i], m_options, gated(), reports, this));
    }
    m_settled.fill(false, m_members.size());
}

FleetRun::~FleetRun()
{
    // The operations go before the settings and the access they use.
    qDeleteAll(m_members);
}

std::optional<std::pair<int, OperationOutcome>> FleetRun::refusal()
{
    for (int i = 0; i < m_members.size(); ++i) {
        if (auto refused = m_members[i]->refusal())
            return std::pair{i, *refused};
    }
    return std::nullopt;
}

void FleetRun::start()
{
    advance();
}

void FleetRun::advance()
{
    startWaiting();
    releaseWrites();
    finishWhenDone();
}

bool FleetRun::slotFree() const
{
    return m_options.jobs <= 0 || m_running < m_options.jobs;
}

void FleetRun::startWaiting()
{
    if (m_stop)
        return;
    QList<int> wave;
    while (m_next < m_members.size() && slotFree()) {
        wave.append(int(m_next++));
        ++m_running;
    }
    spread(wave, false);
}

void FleetRun::spread(const QList<int> &indices, bool writes)
{
    if (indices.isEmpty())
        return;
    // Each module's step 1 opens its port, and its later steps keep its
    // phase: starts all at one moment would put every module's work on the
    // same ticks.
    const double now = m_clock.nsecsElapsed() / 1e6;
    const double step = double(kStartPeriodMs) / indices.size();
    for (qsizetype i = 0; i < indices.size(); ++i)
        m_spread.append({indices[i], writes, now + step * double(i)});
    std::stable_sort(m_spread.begin(), m_spread.end(), [](const Start &a, const Start &b) { return a.dueMs < b.dueMs; });
    startDue();
}

void FleetRun::startDue()
{
    while (!m_spread.isEmpty() && m_spread.first().dueMs <= m_clock.nsecsElapsed() / 1e6 + 0.5) {
        const Start start = m_spread.takeFirst();
        if (start.write) {
            m_members[start.index]->write();
        } else {
            m_results[start.index].started = true;
            m_members[start.index]->start();
        }
    }
    if (!m_spread.isEmpty())
        m_startTimer->start(std::max(0, int(std::ceil(m_spread.first().dueMs - m_clock.nsecsElapsed() / 1e6))));
    else
        finishWhenDone();
}

bool FleetRun::gated() const
{
    // An apply writes only once every module was checked; a write and an
    // undo only when the canary or the limit needs them held.
    return m_options.action == FleetAction::Apply
        || (fleetActionWrites(m_options.action) && (m_options.canary > 0 || m_options.maxFailed > 0));
}

void FleetRun::releaseWrites()
{
    if (!gated() || m_stop)
        return;
    if (!m_writesReleased) {
        // Every module is checked first: the canary is the first to differ
        // in the list's order, whichever check ended first.
        if (m_next < m_members.size() || m_running > 0 || !m_spread.isEmpty())
            return;
        m_writesReleased = true;
        m_canary = m_differing.mid(0, std::max(0, m_options.canary));
        m_writeQueue = m_options.canary > 0 ? m_canary : m_differing;
        m_restReleased = m_options.canary <= 0;
    }
    if (!m_restReleased && m_canary.isEmpty()) {
        m_restReleased = true;
        const QList<int> rest = m_differing.mid(std::max(0, m_options.canary));
        for (int index : rest) {
            if (m_canaryFailed)
                holdBack(index, {QStringLiteral("not written: the canary did not end ok"),
                                 QStringLiteral("niet geschreven: de eerste (de kanarie) is niet in orde geëindigd")});
            else
                m_writeQueue.append(index);
        }
    }
    QList<int> wave;
    while (!m_writeQueue.isEmpty() && slotFree()) {
        if (m_options.maxFailed > 0 && m_failedAfterWrite >= m_options.maxFailed) {
            for (int index : std::exchange(m_writeQueue, {}))
                holdBack(index, {QStringLiteral("not written: %1 module(s) failed or differ after their write "
                                                "(--max-failed %2)")
                                     .arg(m_failedAfterWrite)
                                     .arg(m_options.maxFailed),
                                 QStringLiteral("niet geschreven: %1 module(s) mislukt of afwijkend na het schrijven "
                                                "(ten hoogste %2)")
                                     .arg(m_failedAfterWrite)
                                     .arg(m_options.maxFailed)});
            break;
        }
        wave.append(m_writeQueue.takeFirst());
        ++m_running;
    }
    spread(wave, true);
}

bool FleetRun::settle(int index)
{
    return !std::exchange(m_settled[index], true);
}

void FleetRun::holdBack(int index, const FileReason &cause, ExitCode exit)
{
    if (!settle(index))
        return;
    FleetResult &result = m_results[index];
    result.outcome = FleetOutcome::Stopped;
    result.exit = exit;
    result.cause = cause.english;
    result.dutchCause = cause.dutch;
    result.firmware = m_members[index]->firmware();
    result.differences = m_members[index]->differences();
    result.durationMs = m_members[index]->elapsedMs();
    m_members[index]->setState({FleetState::Stage::Ended});
}

void FleetRun::memberChecked(int index)
{
    --m_running;
    m_differing.insert(std::lower_bound(m_differing.begin(), m_differing.end(), index), index);
    QTimer::singleShot(0, this, &FleetRun::advance);
}

void FleetRun::memberEnded(int index, const OperationOutcome &outcome)
{
    FleetMember *member = m_members[index];
    FleetResult &result = m_results[index];
    --m_running;
    if (!settle(index))
        return;
    result.outcome = fleetOutcomeOf(outcome);
    result.exit = outcome.exit;
    result.stepsSent = outcome.stepsSent;
    result.written = outcome.stepsSent > 0;
    result.firmware = member->firmware();
    result.cause = outcome.ok() ? QString() : outcome.line;
    result.dutchCause = dutchCauseOf(outcome);
    result.backup = outcome.backup;
    result.differences = member->differences();
    result.durationMs = member->elapsedMs();
    member->setState({FleetState::Stage::Ended});
    if (m_canary.removeOne(index) && !outcome.ok())
        m_canaryFailed = true;
    if (member->isWriting() && !outcome.ok() && outcome.kind != OperationOutcome::Kind::Stopped)
        ++m_failedAfterWrite;
    // The next module starts once this one's operation has returned.
    QTimer::singleShot(0, this, &FleetRun::advance);
}

void FleetRun::stop(const StopCause &cause)
{
    if (m_stop)
        return;
    m_stop = cause;
    const QString notChanged = QStringLiteral("; the module was not changed");
    const FileReason notStarted{QStringLiteral("stopped by %1 before it started").arg(cause.name) + notChanged,
                                QStringLiteral("gestopt voordat hij begon; de module is niet gewijzigd")};
    for (qsizetype i = m_next; i < m_members.size(); ++i)
        holdBack(int(i), notStarted, cause.exit);
    m_next = m_members.size();
    // Those due to start soon had not: they stop as those not started.
    for (const Start &due : std::exchange(m_spread, {})) {
        --m_running;
        if (!due.write)   // those due to write are held back below with those that wait to
            holdBack(due.index, notStarted, cause.exit);
    }
    m_startTimer->stop();
    // Those that wait to be written stop where they are.
    for (int index : m_differing) {
        if (!m_members[index]->isWriting())
            holdBack(index, {QStringLiteral("stopped by %1 before it was written").arg(cause.name) + notChanged,
                             QStringLiteral("gestopt voordat er geschreven werd; de module is niet gewijzigd")},
                     cause.exit);
    }
    m_differing.clear();
    m_writeQueue.clear();
    for (FleetMember *member : m_members)
        member->stop(cause);
    finishWhenDone();
}

void FleetRun::finishWhenDone()
{
    if (m_finished || !m_spread.isEmpty() || m_settled.count(true) < m_members.size())
        return;
    m_finished = true;
    emit finished();
}

const FleetState &FleetRun::state(int index) const
{
    return m_members[index]->state();
}
