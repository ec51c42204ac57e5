#include "cli/commandrun.h"

#include "cli/stopsignals.h"
#include "link/frames.h"

CommandRun::CommandRun(StopSignals &stop, bool dataOnStandardOutput)
    : m_console(dataOnStandardOutput), m_stop(stop), m_progress(m_console.progressInPlace() ? 10 : 200)
{
    connect(&m_stop, &StopSignals::stopRequested, this, [this](int signalNumber) {
        if (m_running && m_running->canStopNow()) {
            stopping(signalNumber);
            m_running->stop(stopCauseOf(signalNumber));
        }
    });
}

CommandRun::~CommandRun() = default;

void CommandRun::run(Operation *operation, Then then)
{
    operation->setParent(this);
    m_running = operation;
    m_progress.restart();
    connect(operation, &Operation::said, this, [this](const QString &line) { m_console.line(line); });
    connect(operation, &Operation::stepSent, this, [this](int step) {
        m_console.progress(QStringLiteral("step %1 of %2").arg(step).arg(kProgrammingStepCount));
    });
    connect(operation, &Operation::received, this, &CommandRun::showReceived);
    connect(operation, &Operation::notKept, this, [this](const QList<FileReason> &problems) {
        for (const FileReason &problem : problems)
            m_console.error(problem.english);
    });
    connect(operation, &Operation::finished, this, [this, then](const OperationOutcome &outcome) {
        m_running = nullptr;
        then(outcome);
    });
    // A stop that came between two operations ends the next at once.
    if (m_stop.received() != 0)
        operation->stop(stopCauseOf(m_stop.received()));
    operation->start();
}

void CommandRun::showReceived(int characters, bool complete)
{
    if (m_progress.worthShowing(characters, complete))
        m_console.progress(QStringLiteral("received %1 characters").arg(characters));
}

void CommandRun::report(const OperationOutcome &outcome)
{
    if (!outcome.line.isEmpty()) {
        if (outcome.ok())
            m_console.line(outcome.line);
        else
            m_console.error(outcome.line);
    }
    if (!outcome.data.isEmpty())
        m_console.data(outcome.data);
    for (const FileReason &problem : outcome.problems)
        m_console.error(problem.english);
}

void CommandRun::end(ExitCode exit)
{
    emit ended(int(exit));
}

void CommandRun::stopping(int) {}
