#include "fleet/fleetrun.h"

#include "link/frames.h"
#include "operations/frameoperation.h"
#include "operations/readoperation.h"
#include "operations/settingsholder.h"
#include "operations/writeoperation.h"

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

// One module of the fleet: its operations one after the other (a backup
// read, the write with its verify; or a read; or a find), on its own port
// and its own connection, which it lets go of when it ends.
class FleetMember : public QObject {
public:
    struct Reports {
        std::function<void()> stateChanged;
        std::function<void(const QString &line)> said;
        std::function<void(const OperationOutcome &outcome)> ended;
    };

    FleetMember(const FleetModule &module, const FleetOptions &options, Reports reports, QObject *parent)
        : QObject(parent),
          m_access(ModuleAccess::at(module.port, options.tls)),
          m_held(module.settings),
          m_reports(std::move(reports))
    {
        // One connection for the backup read, the write and its verify.
        m_access.oneConnectionForAll = true;
        m_access.portsFound = options.portsFound;
        m_access.comDevice = options.comDevice;
        OperationContext context = options.context;
        context.module = module.name;
        switch (options.action) {
        case FleetAction::Write:
            if (options.backup) {
                // What the module holds, kept as its backup (in the data
                // folder), with the receiver type of the file to be written.
                ModuleSettings base = startupSettings();
                base.receiverType = module.settings.receiverType;
                m_backupHeld = HeldSettings(base);
                add(new ReadOperation(m_access, m_backupHeld, context, {options.readOptions, ReadOperation::Target::None, {}}, this),
                    QStringLiteral("backup read"));
            }
            m_write = new WriteOperation(m_access, m_held, context, {module.file, options.verify, options.readOptions}, this);
            add(m_write, QStringLiteral("verify"));
            break;
        case FleetAction::Read:
            add(new ReadOperation(m_access, m_held, context, {options.readOptions, ReadOperation::Target::File, module.file}, this),
                QStringLiteral("reading"));
            break;
        case FleetAction::Find:
            // Nothing is kept of a search, as with find.
            add(new FindOperation(m_access, OperationContext{}, options.readOptions, this), QStringLiteral("reading"));
            break;
        }
    }

    std::optional<OperationOutcome> refusal()
    {
        for (const Step &step : m_steps) {
            if (auto refused = step.operation->check())
                return refused;
        }
        return std::nullopt;
    }

    void start()
    {
        m_clock.start();
        run(0);
    }

    // Where it stands: "waiting", "step 9 of 26", how it ended.
    const QString &state() const { return m_state; }
    void setState(const QString &state)
    {
        m_state = state;
        m_reports.stateChanged();
    }
    // Since it started.
    qint64 elapsedMs() const { return m_clock.isValid() ? m_clock.elapsed() : 0; }

    void stop(const StopCause &cause)
    {
        if (m_current && m_current->isRunning() && m_current->canStop())
            m_current->stop(cause);
    }

    // The firmware any of its reads found.
    QString firmware() const { return m_firmware; }

private:
    struct Step {
        Operation *operation;
        QString reading;   // what its progress calls the characters it takes
    };

    void add(Operation *operation, const QString &reading)
    {
        m_steps.append({operation, reading});
        connect(operation, &Operation::said, this, [this](const QString &line) { m_reports.said(line); });
        connect(operation, &Operation::stepSent, this, [this](int step) {
            setState(QStringLiteral("step %1 of %2").arg(step).arg(kProgrammingStepCount));
        });
        connect(operation, &Operation::received, this, [this, reading](int characters, bool complete) {
            // Every hundred characters is news enough, for a log too.
            if (complete || characters / 100 != m_reportedCharacters / 100)
                setState(QStringLiteral("%1: %2 characters").arg(reading).arg(characters));
            m_reportedCharacters = characters;
        });
        connect(operation, &Operation::finished, this, [this](const OperationOutcome &outcome) { stepEnded(outcome); });
    }

    void run(qsizetype index)
    {
        m_index = index;
        m_reportedCharacters = 0;
        m_current = m_steps[index].operation;
        setState(m_current == m_write ? QStringLiteral("connecting") : m_steps[index].reading);
        m_current->start();
    }

    void stepEnded(const OperationOutcome &outcome)
    {
        if (outcome.settings)
            m_firmware = outcome.settings->firmwareVersion;
        if (outcome.ok() && m_index + 1 < m_steps.size()) {
            run(m_index + 1);
            return;
        }
        m_current = nullptr;
        // Other clients of the device server may reach the module again.
        m_access.network->close();
        if (outcome.ok() || m_index + 1 == m_steps.size()) {
            m_reports.ended(outcome);
            return;
        }
        OperationOutcome first = outcome;   // the backup read, before anything was written
        first.line = QStringLiteral("--backup: %1; nothing was written").arg(outcome.line);
        m_reports.ended(first);
    }

    ModuleAccess m_access;
    HeldSettings m_held;         // what a write sends, where a read puts what it read
    HeldSettings m_backupHeld;
    Reports m_reports;
    QList<Step> m_steps;
    qsizetype m_index = 0;
    Operation *m_current = nullptr;
    WriteOperation *m_write = nullptr;
    QString m_firmware;
    int m_reportedCharacters = 0;
    QString m_state = QStringLiteral("waiting");
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
    : QObject(parent), m_options(std::move(options))
{
    for (int i = 0; i < modules.size(); ++i) {
        FleetResult result;
        result.name = modules[i].name;
        result.port = modules[i].port.name();
        m_results.append(result);
        const FleetMember::Reports reports{
            [this, i] { emit changed(i); },
            [this, i](const QString &line) { emit said(i, line); },
            [this, i](const OperationOutcome &outcome) { memberEnded(i, outcome); },
        };
        m_members.append(new FleetMember(modules[i], m_options, reports, this));
    }
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
    finishWhenDone();
}

void FleetRun::startWaiting()
{
    if (m_startComing || m_stop || m_next >= m_members.size() || (m_options.jobs > 0 && m_running >= m_options.jobs))
        return;
    const int index = int(m_next++);
    ++m_running;
    m_results[index].started = true;
    m_members[index]->start();
    // The next a little later: each module's step 1 opens its port, and
    // openings all at one moment would hold up the frames of the others.
    m_startComing = true;
    QTimer::singleShot(kStartSpacingMs, Qt::PreciseTimer, this, [this] {
        m_startComing = false;
        advance();
    });
}

void FleetRun::memberEnded(int index, const OperationOutcome &outcome)
{
    FleetResult &result = m_results[index];
    result.outcome = fleetOutcomeOf(outcome);
    result.exit = outcome.exit;
    result.stepsSent = outcome.stepsSent;
    result.firmware = m_members[index]->firmware();
    result.cause = outcome.ok() ? QString() : outcome.line;
    result.backup = outcome.backup;
    result.durationMs = m_members[index]->elapsedMs();
    m_members[index]->setState(outcome.ok() ? fleetOutcomeWord(result.outcome)
                                            : fleetOutcomeWord(result.outcome) + QStringLiteral(": ") + result.cause);
    --m_running;
    // The next module starts once this one's operation has returned.
    QTimer::singleShot(0, this, &FleetRun::advance);
}

void FleetRun::stop(const StopCause &cause)
{
    if (m_stop)
        return;
    m_stop = cause;
    for (qsizetype i = m_next; i < m_members.size(); ++i) {
        FleetResult &result = m_results[i];
        result.outcome = FleetOutcome::Stopped;
        result.exit = cause.exit;
        result.cause = QStringLiteral("stopped by %1 before it started; the module was not changed").arg(cause.name);
        m_members[i]->setState(QStringLiteral("stopped: not started"));
    }
    m_next = m_members.size();
    for (qsizetype i = 0; i < m_members.size(); ++i)
        m_members[i]->stop(cause);
    finishWhenDone();
}

void FleetRun::finishWhenDone()
{
    if (m_finished || m_startComing || m_running > 0 || m_next < m_members.size())
        return;
    m_finished = true;
    emit finished();
}

QString FleetRun::state(int index) const
{
    return m_members[index]->state();
}
