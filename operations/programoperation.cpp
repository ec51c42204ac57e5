#include "operations/programoperation.h"

ProgramOperation::ProgramOperation(ModuleAccess access, SettingsHolder &holder, OperationContext context,
                                   Options options, QObject *parent)
    : Operation(context, parent)
{
    if (options.before == Before::Read) {
        m_backup = new BackupOperation(access, context, options.write.readOptions, options.backupFile,
                                       holder.settings().receiverType, this);
        relay(m_backup);
        connect(m_backup, &Operation::finished, this, [this](const OperationOutcome &outcome) {
            if (!outcome.ok()) {
                passOn(outcome);   // its words say that nothing was written
                return;
            }
            // Stopped while the backup was being kept: nothing is written.
            if (const std::optional<StopCause> cause = std::exchange(m_stopAfterBackup, std::nullopt)) {
                concludeStopped(*cause);
                return;
            }
            emit said(outcome.line);
            if (!outcome.problems.isEmpty())
                emit notKept(outcome.problems);
            write(outcome.backup);
        });
    }
    m_write = new WriteOperation(std::move(access), holder, std::move(context), options.write, this);
    relay(m_write);
    connect(m_write, &Operation::finished, this, &ProgramOperation::passOn);
}

ProgramOperation::~ProgramOperation() = default;

std::optional<OperationOutcome> ProgramOperation::refusal() const
{
    if (auto refused = m_write->check())
        return refused;
    if (m_backup)
        return m_backup->check();
    return std::nullopt;
}

void ProgramOperation::start()
{
    if (isRunning() || !passesCheck() || !begin())
        return;
    m_stopAfterBackup.reset();
    if (m_backup) {
        m_backup->start();
        return;
    }
    m_write->start();
}

void ProgramOperation::write(const QString &replaced)
{
    m_backup->releasePort();   // the write opens the same port anew
    m_write->setReplaced(replaced);
    m_write->start();
}

Operation *ProgramOperation::running() const
{
    if (m_backup && m_backup->isRunning())
        return m_backup;
    return m_write->isRunning() ? m_write : nullptr;
}

bool ProgramOperation::canStop() const
{
    const Operation *step = running();
    return !step || step->canStop();
}

void ProgramOperation::halt(const StopCause &cause)
{
    Operation *step = running();
    if (!step) {
        concludeStopped(cause);
        return;
    }
    if (!step->isConcluding()) {
        step->stop(cause);   // it ends with its own words, which this passes on
        return;
    }
    // A step that has ended stands; after the backup read, the write does
    // not start.
    if (step == m_backup)
        m_stopAfterBackup = cause;
}

void ProgramOperation::concludeStopped(const StopCause &cause)
{
    conclude(stopped(cause, QStringLiteral("nothing was written; the module was not changed")), stopCauseText(cause));
}

void ProgramOperation::releasePort()
{
    if (m_backup)
        m_backup->releasePort();
    m_write->releasePort();
}
