#include "operations/operation.h"

#include "files/filemessages.h"
#include "link/linkmessages.h"
#include "link/openfailure.h"
#include "link/portdirectory.h"
#include "link/portlist.h"

#include <QMetaMethod>
#include <QTimer>

OperationContext OperationContext::keptBy(const QString &program, const QString &directory, Journal::Writes writes)
{
    OperationContext context;
    context.journal = std::make_shared<const Journal>(program, directory.isEmpty() ? dataDirectory() : directory, writes);
    return context;
}

Operation::Operation(OperationContext context, QObject *parent) : QObject(parent), m_context(std::move(context)) {}

Operation::~Operation() = default;

std::optional<OperationOutcome> Operation::check()
{
    std::optional<OperationOutcome> refused = refusal();
    m_checked = !refused;
    return refused;
}

bool Operation::passesCheck()
{
    const bool checked = std::exchange(m_checked, false);
    if (checked)
        return true;
    if (const std::optional<OperationOutcome> refused = refusal()) {
        conclude(*refused);
        return false;
    }
    return true;
}

void Operation::stop(const StopCause &cause)
{
    if (m_concluding)
        return;
    if (m_running)
        halt(cause);
    else
        m_stopBeforeStart = cause;
}

bool Operation::begin()
{
    m_running = true;
    if (!m_stopBeforeStart)
        return true;
    const StopCause cause = *m_stopBeforeStart;
    m_stopBeforeStart.reset();
    halt(cause);
    return false;
}

void Operation::beginRecord(const QString &name, const ModuleAccess *access)
{
    m_record.reset();
    m_portOfRecord.reset();
    if (!m_context.journal)
        return;
    m_record.emplace(m_context.journal->begin(name, now()));
    m_record->entry.module = m_context.module;
    if (!access)
        return;
    if (!access->loggedName.isEmpty()) {
        m_record->setPort(access->loggedName, {}, {});
        return;
    }
    // The device a COM box leads to, and what the system knows of the
    // adapter, take a walk over every serial device the system has: looked
    // up once the operation is under way (lookUpPortSoon), or at its end.
    m_portOfRecord = *access;
}

void Operation::holdConnection(const ModuleAccess &access)
{
    if (m_heldConnection || !access.connection)
        return;
    m_heldConnection = access.connection;
    m_heldConnection->hold();
}

void Operation::lookUpPortSoon()
{
    if (m_portOfRecord && !m_lookUpComing) {
        m_lookUpComing = true;
        QTimer::singleShot(0, this, &Operation::lookUpPort);
    }
}

Journal::Record *Operation::completeRecord()
{
    lookUpPort();
    return record();
}

void Operation::lookUpPort()
{
    m_lookUpComing = false;
    if (!m_record || !m_portOfRecord)
        return;
    const PortTarget target = m_portOfRecord->target();
    const auto portsFound = m_portOfRecord->portsFound;
    m_portOfRecord.reset();
    // A device server's port is no serial device of this machine.
    const std::optional<FoundPort> found = target.isNetwork()
        ? std::nullopt
        : portOfDevice(target.device, portsFound ? portsFound() : PortDirectory::machine().ports());
    m_record->setPort(target.device, found ? found->description : QString(), found ? found->serialNumber : QString());
}

void Operation::say(const std::function<QString()> &line)
{
    // Worded only for a console that listens: wording it may ask the
    // system for its ports.
    static const QMetaMethod saidSignal = QMetaMethod::fromSignal(&Operation::said);
    if (!isSignalConnected(saidSignal))
        return;
    if (const QString text = line(); !text.isEmpty())
        emit said(text);
}

void Operation::closeRecord(bool ok, const QString &cause, std::function<void(const Journal::Kept &)> then)
{
    if (!m_record) {
        then({});
        return;
    }
    lookUpPort();
    Journal::Record record = std::move(*m_record);
    m_record.reset();
    record.finish(ok, cause, this, std::move(then));
}

void Operation::conclude(OperationOutcome outcome, const QString &cause)
{
    m_concluding = true;
    closeRecord(outcome.ok(), cause, [this, outcome](const Journal::Kept &kept) mutable {
        if (!kept.backup.isEmpty())
            outcome.backup = kept.backup;
        outcome.problems = kept.problems;
        // What could not be kept goes under the box's details; an operation
        // without a box of its own shows one only for that.
        const QString problems = journalProblemsDutch(outcome.problems);
        if (outcome.box)
            outcome.box->details = withJournalProblems(outcome.box->details, problems);
        else if (!problems.isEmpty())
            outcome.box = OutcomeBox{kDefaultBoxTitle, BoxIcon::Information, kJournalProblemText, problems};
        passOn(outcome);
    });
}

void Operation::passOn(const OperationOutcome &outcome)
{
    m_outcome = outcome;
    m_running = false;
    m_concluding = false;
    if (const std::shared_ptr<ModuleConnection> held = std::exchange(m_heldConnection, nullptr))
        held->release();
    emit finished(m_outcome);
}

void Operation::relay(Operation *step)
{
    connect(step, &Operation::said, this, &Operation::said);
    connect(step, &Operation::stepSent, this, &Operation::stepSent);
    connect(step, &Operation::received, this, &Operation::received);
    connect(step, &Operation::ledChanged, this, &Operation::ledChanged);
    connect(step, &Operation::notKept, this, &Operation::notKept);
}

QString Operation::stopCauseText(const StopCause &cause)
{
    return QStringLiteral("stopped by ") + cause.name;
}

OperationOutcome Operation::stopped(const StopCause &cause, const QString &whatItLeft)
{
    OperationOutcome outcome;
    outcome.kind = OperationOutcome::Kind::Stopped;
    outcome.exit = cause.exit;
    outcome.line = QStringLiteral("%1: %2").arg(stopCauseText(cause), whatItLeft);
    return outcome;
}

OperationOutcome Operation::portFailed(const PortFailure &failure, const PortAddress &address,
                                       const QString &lineFailedText)
{
    OperationOutcome outcome;
    outcome.exit = ExitCode::Port;
    if (failure.kind == PortFailure::CannotOpen) {
        // The box keeps its words; its details name the device, the cause
        // and what to do.
        const QList<FoundPort> ports = failure.cause == OpenCause::NotPresent ? PortDirectory::machine().ports() : QList<FoundPort>();
        outcome.kind = OperationOutcome::Kind::CannotOpen;
        outcome.line = openFailureLine(failure, ports);
        outcome.box = OutcomeBox{kCommunicationErrorTitle, BoxIcon::Error, openFailureText(address.name()),
                                 openFailureDetails(failure, ports)};
        return outcome;
    }
    outcome.kind = OperationOutcome::Kind::LineFailed;
    outcome.line = oneLine(lineFailedText) + QStringLiteral(" (%1)").arg(failure.description);
    outcome.box = OutcomeBox{kCommunicationErrorTitle, BoxIcon::Error, lineFailedText, lineFailureDetails(failure)};
    return outcome;
}
