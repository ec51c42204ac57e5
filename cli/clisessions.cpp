#include "cli/clisessions.h"

#include "link/frames.h"
#include "link/linkmessages.h"
#include "link/programmingrun.h"
#include "readback/readbackmessages.h"
#include "readback/readbackrun.h"

#include <QEventLoop>
#include <QTimer>

namespace {

// A failed port is reported in the window's words, with what the system said.
QString portFailureLine(const QString &description)
{
    return oneLine(kWriteFailureText) + QStringLiteral(" (%1)").arg(description);
}

// How often a progress report is worth a line of its own.
int characterReportEvery(const CliConsole &console)
{
    return console.progressInPlace() ? 10 : 200;
}

} // namespace

ProgrammingOutcome runProgramming(ModuleLink &link, const ModuleSettings &settings, CliConsole &console)
{
    ProgrammingOutcome outcome;
    QEventLoop loop;
    QTimer pace;
    pace.setTimerType(Qt::PreciseTimer);
    pace.setInterval(ProgrammingRun::kTickIntervalMs);
    std::unique_ptr<SerialPort> port;
    ProgrammingRun run;

    const auto fail = [&](const QString &line, CliExit exit) {
        pace.stop();
        outcome.failure = line;
        outcome.exit = exit;
        loop.quit();
    };

    QObject::connect(&pace, &QTimer::timeout, &loop, [&] {
        if (!pace.isActive())
            return;   // halted by a failure already reported
        const ProgrammingTick tick = run.tick();
        if (tick.sendStep == 1) {
            QString error;
            port = link.open(&error);
            if (!port) {
                fail(error, CliExit::Port);
                return;
            }
            QObject::connect(port.get(), &SerialPort::failed, &loop, [&](const QString &description) {
                fail(portFailureLine(description) + QStringLiteral("; %1 of %2 steps were sent")
                                                        .arg(outcome.stepsSent).arg(kProgrammingStepCount),
                     CliExit::Port);
            });
        }
        if (tick.sendStep != 0) {
            port->writeBytes(programmingStepFrame(tick.sendStep, settings));
            outcome.stepsSent = tick.sendStep;
            console.progress(QStringLiteral("step %1 of %2").arg(tick.sendStep).arg(kProgrammingStepCount));
        }
        if (tick.finished) {
            pace.stop();
            outcome.complete = true;
            loop.quit();
        }
    });

    run.start();
    pace.start();
    loop.exec();

    if (outcome.complete && port) {
        // Hand what is still queued to the line before the port goes; a
        // failure it reports now still counts against the run.
        port.reset();
    }
    return outcome;
}

ReadOutcome runReadBack(ModuleLink &link, CliConsole &console)
{
    ReadOutcome outcome;
    QString error;
    std::unique_ptr<SerialPort> port = link.open(&error);
    if (!port) {
        outcome.kind = ReadOutcome::PortFailed;
        outcome.failure = error;
        return outcome;
    }

    QEventLoop loop;
    QTimer firstPoll;
    firstPoll.setSingleShot(true);
    firstPoll.setTimerType(Qt::PreciseTimer);
    firstPoll.setInterval(kFirstPollDelayMs);
    QTimer poll;   // Tmr_Inlezen
    poll.setTimerType(Qt::PreciseTimer);
    poll.setInterval(kPollIntervalMs);
    QTimer parse;  // Tmr_Verwerken_Data
    parse.setSingleShot(true);
    parse.setTimerType(Qt::PreciseTimer);
    parse.setInterval(kParseDelayMs);
    ReadBackRun run;
    const int reportEvery = characterReportEvery(console);

    const auto stopAll = [&] {
        firstPoll.stop();
        poll.stop();
        parse.stop();
    };

    const auto pollOnce = [&] {
        if (!run.isActive())
            return;
        QString received;
        if (port->lastEvent() == SerialPort::kEventReceive)
            received = port->readText();
        const qsizetype before = run.buffer().size();
        switch (run.poll(received)) {
        case ReadBackRun::PollStep::NoData:
            stopAll();
            outcome.kind = ReadOutcome::NoData;
            outcome.failure = oneLine(kNoDataText);
            loop.quit();
            return;
        case ReadBackRun::PollStep::StartParseTimer:
            parse.start();
            break;
        case ReadBackRun::PollStep::KeepPolling:
        case ReadBackRun::PollStep::Ignored:
            break;
        }
        const qsizetype count = run.buffer().size();
        if (count != before && count % reportEvery == 0)
            console.progress(QStringLiteral("received %1 characters").arg(count));
    };

    QObject::connect(&firstPoll, &QTimer::timeout, &loop, [&] {
        pollOnce();
        if (run.isActive())
            poll.start();
    });
    QObject::connect(&poll, &QTimer::timeout, &loop, pollOnce);
    QObject::connect(&parse, &QTimer::timeout, &loop, [&] {
        stopAll();   // nothing that arrives from now on is used
        if (!run.isActive())
            return;
        const DumpParse dump = run.finish();
        outcome.characters = int(run.buffer().size());
        console.progress(QStringLiteral("received %1 characters").arg(outcome.characters));
        if (dump.accepted()) {
            outcome.kind = ReadOutcome::Accepted;
            outcome.update = *dump.update;
        } else {
            outcome.kind = ReadOutcome::Rejected;
            outcome.failure = oneLine(kFaultyDataText) + QStringLiteral(" (%1)").arg(dump.rejection);
        }
        loop.quit();
    });
    QObject::connect(port.get(), &SerialPort::failed, &loop, [&](const QString &description) {
        stopAll();
        run.abandon();
        outcome.kind = ReadOutcome::PortFailed;
        outcome.failure = portFailureLine(description);
        loop.quit();
    });

    run.start();
    port->writeBytes(readRequestFrame());
    firstPoll.start();
    loop.exec();
    outcome.characters = int(run.buffer().size());
    return outcome;
}
