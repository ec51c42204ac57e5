#include "cli/clisessions.h"

#include "cli/stopsignals.h"
#include "link/frames.h"
#include "link/linkmessages.h"
#include "link/programmingsession.h"
#include "readback/readbackmessages.h"
#include "readback/readbacksession.h"

#include <QEventLoop>

namespace {

// Why a run's port failed, in one line: the cause of a failed opening and
// what to do, or for a line that failed on the way the window's words for
// the operation with what the system said.
QString portFailureLine(const ModuleLink &link, const PortFailure &failure, const QString &windowText)
{
    if (failure.kind == PortFailure::CannotOpen)
        return link.openFailureLine(failure);
    return oneLine(windowText) + QStringLiteral(" (%1)").arg(failure.description);
}

// How often a progress report is worth a line of its own.
int characterReportEvery(const CliConsole &console)
{
    return console.progressInPlace() ? 10 : 200;
}

} // namespace

QString moduleStateAfter(int stepsSent)
{
    if (stepsSent == 0)
        return QStringLiteral("no step was sent; the module was not changed");
    return QStringLiteral("%1 of %2 steps were sent: the module is only partly programmed; write it again")
        .arg(stepsSent)
        .arg(kProgrammingStepCount);
}

ProgrammingOutcome runProgramming(ModuleLink &link, ModuleSettings &settings, CliConsole &console,
                                  StopSignals &stop)
{
    ProgrammingOutcome outcome;
    ProgrammingSession session(link.portAccess(), [&settings] { return settings; });
    QEventLoop loop;
    QObject::connect(&session, &ProgrammingSession::fieldTextChanged, &loop,
                     [&settings](const SettingsField &field, const QString &text) { field.in(settings) = text; });
    QObject::connect(&session, &ProgrammingSession::stepSent, &loop, [&](int step) {
        console.progress(QStringLiteral("step %1 of %2").arg(step).arg(kProgrammingStepCount));
    });
    QObject::connect(&session, &ProgrammingSession::finished, &loop, [&] {
        outcome.complete = true;
        loop.quit();
    });
    QObject::connect(&session, &ProgrammingSession::failed, &loop, [&](const PortFailure &failure) {
        outcome.exit = CliExit::Port;
        outcome.failure = portFailureLine(link, failure, kWriteFailureText);
        if (failure.kind == PortFailure::LineFailed)
            outcome.failure += QStringLiteral("; ") + moduleStateAfter(session.stepsSent());
        loop.quit();
    });
    QObject::connect(&stop, &StopSignals::stopRequested, &loop, [&](int signalNumber) {
        outcome.interruptedBy = signalNumber;
        link.note(QStringLiteral("stopped by ") + stopSignalName(signalNumber));
        loop.quit();
    });
    if (stop.received() == 0) {
        session.startProgramming();
        loop.exec();
    }
    outcome.stepsSent = session.stepsSent();
    // Hands what is still queued to the line before the port goes.
    session.releasePort();
    return outcome;
}

ReadOutcome runReadBack(ModuleLink &link, CliConsole &console, StopSignals &stop, bool fullWait)
{
    ReadOutcome outcome;
    ReadBackSession::Options options;
    options.takeAllWaiting = true;
    options.endWhenComplete = !fullWait;
    ReadBackSession session(link.portAccess(), options);
    QEventLoop loop;
    const int reportEvery = characterReportEvery(console);
    int reported = 0;
    QObject::connect(&session, &ReadBackSession::received, &loop, [&](int characters) {
        if (characters / reportEvery != reported / reportEvery) {
            console.progress(QStringLiteral("received %1 characters").arg(characters));
            reported = characters;
        }
    });
    QObject::connect(&session, &ReadBackSession::finished, &loop, [&](const DumpParse &parse) {
        console.progress(QStringLiteral("received %1 characters").arg(session.buffer().size()));
        if (parse.accepted()) {
            outcome.kind = ReadOutcome::Accepted;
            outcome.update = *parse.update;
        } else {
            outcome.kind = ReadOutcome::Rejected;
            outcome.failure = oneLine(kFaultyDataText) + QStringLiteral(" (%1)").arg(parse.rejection);
        }
        loop.quit();
    });
    QObject::connect(&session, &ReadBackSession::noData, &loop, [&] {
        outcome.kind = ReadOutcome::NoData;
        outcome.failure = oneLine(kNoDataText);
        loop.quit();
    });
    QObject::connect(&session, &ReadBackSession::failed, &loop, [&](const PortFailure &failure) {
        outcome.kind = ReadOutcome::PortFailed;
        outcome.failure = portFailureLine(link, failure, kReadPortFailureText);
        loop.quit();
    });
    QObject::connect(&stop, &StopSignals::stopRequested, &loop, [&](int signalNumber) {
        outcome.kind = ReadOutcome::Interrupted;
        outcome.interruptedBy = signalNumber;
        link.note(QStringLiteral("stopped by ") + stopSignalName(signalNumber));
        loop.quit();
    });
    if (stop.received() == 0) {
        session.startReadBack();
        if (session.isRunning())
            loop.exec();
    } else {
        outcome.kind = ReadOutcome::Interrupted;
        outcome.interruptedBy = stop.received();
    }
    outcome.characters = int(session.buffer().size());
    return outcome;
}
