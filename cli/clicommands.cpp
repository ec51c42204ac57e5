#include "cli/clicommands.h"

#include "cli/cliconsole.h"
#include "cli/clisessions.h"
#include "cli/modulelink.h"
#include "cli/stopsignals.h"
#include "files/filemessages.h"
#include "files/report.h"
#include "files/safefile.h"
#include "files/settingsfile.h"
#include "link/frames.h"
#include "link/linkmessages.h"
#include "link/programmingrun.h"
#include "link/tracingserialport.h"
#include "readback/dumpcomparison.h"
#include "readback/readbackmessages.h"
#include "readback/readbackrun.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QTimer>

namespace {

// How long a test call or no-network notice may take to reach the line (and
// the built-in module) before the port is closed.
constexpr int kSingleFrameWaitMs = 200;

CliExit interruptedExit(int signalNumber)
{
    return CliExit(exitCodeForSignal(signalNumber));
}

CliExit readFailureExit(const ReadOutcome &read)
{
    switch (read.kind) {
    case ReadOutcome::PortFailed: return CliExit::Port;
    case ReadOutcome::Interrupted: return interruptedExit(read.interruptedBy);
    case ReadOutcome::Accepted:
    case ReadOutcome::NoData:
    case ReadOutcome::Rejected: break;
    }
    return CliExit::Module;
}

QString quoted(const QString &text)
{
    return u'"' + text + u'"';
}

// Opens a settings file as "openen" does: the whole file decoded first,
// its values applied to the settings of a fresh start.
CliExit openSettingsFile(const QString &path, CliConsole &console, ModuleSettings *settings)
{
    const SettingsFileOutcome outcome = readSettingsFile(path);
    switch (outcome.kind) {
    case SettingsFileOutcome::Loaded:
        *settings = applyUpdate(startupSettings(), outcome.update);
        return CliExit::Ok;
    case SettingsFileOutcome::WrongProduct:
        console.error(path + QStringLiteral(": ") + oneLine(wrongProductText(outcome.product)));
        return CliExit::File;
    case SettingsFileOutcome::Failed:
        break;
    }
    console.error(path + QStringLiteral(": ") + oneLine(nothingLoadedText())
                  + QStringLiteral(" (%1)").arg(outcome.reason.english));
    return CliExit::File;
}

// "FILE: Onverwachte fout. Er is geen bestand opgeslagen! (why)"
void reportSaveFailure(CliConsole &console, const QString &path, const FileReason &reason)
{
    console.error(path + QStringLiteral(": ") + kSaveFailedText + QStringLiteral(" (%1)").arg(reason.english));
}

// What every command that talks to the module does first and last: the
// link prepared, and at the end a trace that could not be written turned
// into an error of its own.
class ModuleCommand {
public:
    ModuleCommand(const CliRequest &request, CliConsole &console, StopSignals &stop)
        : link(request.port, request.trace), console(console), stop(stop)
    {
    }

    bool prepare(CliExit *exit)
    {
        QString error;
        if (!link.prepare(&error, exit)) {
            console.error(error);
            return false;
        }
        if (link.isBuiltIn())
            console.line(link.builtInNotice());
        return true;
    }

    // The command's exit code, unless the trace failed where the command
    // did not: a lost trace is never reported as success.
    CliExit finish(CliExit exit)
    {
        if (const auto failure = link.traceFailure()) {
            console.error(*failure);
            if (exit == CliExit::Ok)
                return CliExit::File;
        }
        return exit;
    }

    void interrupted(int signalNumber, const QString &what)
    {
        console.error(QStringLiteral("stopped by %1: %2").arg(stopSignalName(signalNumber), what));
    }

    ModuleLink link;
    CliConsole &console;
    StopSignals &stop;
};

CliExit verifyModule(ModuleCommand &command, const ModuleSettings &written, const QString &file)
{
    CliConsole &console = command.console;
    console.line(QStringLiteral("verify: reading the module back (its dump is collected for %1 s)")
                     .arg(kParseDelayMs / 1000));
    const ReadOutcome read = runReadBack(command.link, console, command.stop);
    if (read.kind == ReadOutcome::Interrupted) {
        command.interrupted(read.interruptedBy, QStringLiteral("the module was written, but not verified"));
        return interruptedExit(read.interruptedBy);
    }
    if (read.kind != ReadOutcome::Accepted) {
        console.error(QStringLiteral("verify: ") + read.failure);
        return readFailureExit(read);
    }
    const QList<FieldDifference> differences = moduleDifferences(written, read.update.values);
    if (differences.isEmpty()) {
        console.line(QStringLiteral("verify: the module holds every value of %1 (firmware %2)")
                         .arg(file, read.update.values.firmwareVersion));
        return CliExit::Ok;
    }
    for (const FieldDifference &d : differences)
        console.line(QStringLiteral("  %1: written %2, module holds %3").arg(d.field, quoted(d.expected), quoted(d.found)));
    console.error(QStringLiteral("verify: %1 value(s) in the module differ from %2").arg(differences.size()).arg(file));
    return CliExit::Differences;
}

CliExit runWrite(const CliRequest &request, StopSignals &stop)
{
    CliConsole console;
    ModuleSettings settings;
    if (const CliExit opened = openSettingsFile(request.file, console, &settings); opened != CliExit::Ok)
        return opened;

    ModuleCommand command(request, console, stop);
    CliExit exit = CliExit::Ok;
    if (!command.prepare(&exit))
        return exit;
    console.line(QStringLiteral("writing %1 to %2: %3 steps, one every %4 ms")
                     .arg(request.file, command.link.description())
                     .arg(kProgrammingStepCount)
                     .arg(2 * ProgrammingRun::kTickIntervalMs));
    const ProgrammingOutcome run = runProgramming(command.link, settings, console, stop);
    if (run.interruptedBy != 0) {
        const QString state = run.stepsSent == 0
            ? QStringLiteral("no step was sent; the module was not changed")
            : QStringLiteral("%1 of %2 steps were sent: the module is only partly programmed; write it again")
                  .arg(run.stepsSent).arg(kProgrammingStepCount);
        command.interrupted(run.interruptedBy, state);
        return command.finish(interruptedExit(run.interruptedBy));
    }
    if (!run.complete) {
        console.error(run.failure);
        return command.finish(run.exit);
    }
    console.line(oneLine(kProgrammedText));
    if (request.verify)
        exit = verifyModule(command, settings, request.file);
    return command.finish(exit);
}

CliExit runRead(const CliRequest &request, StopSignals &stop)
{
    const bool toStandardOutput = request.output.isEmpty();
    CliConsole console(toStandardOutput);
    // Found out before the module is asked, not after the 12 s of the read.
    if (!toStandardOutput) {
        if (const auto reason = checkWritable(request.output)) {
            reportSaveFailure(console, request.output, FileReason::system(*reason));
            return CliExit::File;
        }
    }
    ModuleCommand command(request, console, stop);
    CliExit exit = CliExit::Ok;
    if (!command.prepare(&exit))
        return exit;
    console.line(QStringLiteral("reading the module on %1 (its dump is collected for %2 s)")
                     .arg(command.link.description())
                     .arg(kParseDelayMs / 1000));
    const ReadOutcome read = runReadBack(command.link, console, stop);
    if (read.kind == ReadOutcome::Interrupted) {
        command.interrupted(read.interruptedBy, QStringLiteral("the read was not finished; nothing was saved"));
        return command.finish(interruptedExit(read.interruptedBy));
    }
    if (read.kind != ReadOutcome::Accepted) {
        console.error(read.failure);
        return command.finish(readFailureExit(read));
    }

    ModuleSettings base = startupSettings();
    base.receiverType = request.receiver;   // the dump does not carry it
    const ModuleSettings settings = applyUpdate(base, read.update);
    console.line(oneLine(kReadDoneText) + QStringLiteral(" (firmware %1)").arg(settings.firmwareVersion));

    const QDateTime now = QDateTime::currentDateTime();
    const QString month = dutchMonthName(now.date().month());
    if (toStandardOutput) {
        if (const auto refused = unsaveableSettings(settings)) {
            reportSaveFailure(console, QStringLiteral("-"), *refused);
            return command.finish(CliExit::File);
        }
        console.data(settingsFileBytes(settings, kProgramVersion, month, now, QStringLiteral("-")));
        return command.finish(CliExit::Ok);
    }
    if (const SaveOutcome saved = writeSettingsFile(request.output, settings, kProgramVersion, month, now); !saved) {
        reportSaveFailure(console, request.output, saved.reason);
        return command.finish(CliExit::File);
    }
    console.line(QStringLiteral("saved to %1").arg(request.output));
    return command.finish(CliExit::Ok);
}

// Opens the port, sends one frame, and gives it time to leave (and the
// built-in module time to take it) before the port closes.
CliExit sendSingleFrame(ModuleCommand &command, const QByteArray &frame, const QString &what)
{
    QString error;
    std::unique_ptr<SerialPort> port = command.link.open(&error);
    if (!port) {
        command.console.error(error);
        return CliExit::Port;
    }
    QEventLoop loop;
    QString failure;
    QObject::connect(port.get(), &SerialPort::failed, &loop, [&](const QString &description) {
        failure = oneLine(kWriteFailureText) + QStringLiteral(" (%1)").arg(description);
        loop.quit();
    });
    if (PtyHost *module = command.link.builtInModule())
        QObject::connect(module, &PtyHost::frameReceived, &loop, &QEventLoop::quit);
    QTimer::singleShot(kSingleFrameWaitMs, &loop, &QEventLoop::quit);
    port->writeBytes(frame);
    loop.exec();
    port.reset();
    if (!failure.isEmpty()) {
        command.console.error(failure);
        return CliExit::Port;
    }
    command.console.line(what);
    return CliExit::Ok;
}

CliExit runTestCall(const CliRequest &request, StopSignals &stop)
{
    CliConsole console;
    ModuleCommand command(request, console, stop);
    CliExit exit = CliExit::Ok;
    if (!command.prepare(&exit))
        return exit;
    const QString message = request.text.isEmpty() ? kDefaultTestMessage : request.text;
    exit = sendSingleFrame(command, testCallFrame(request.code, request.text),
                           QStringLiteral("sent a test call to %1 on %2: %3")
                               .arg(request.code, command.link.description(), quoted(message)));
    PtyHost *module = command.link.builtInModule();
    if (exit == CliExit::Ok && module && !module->module().testCalls().isEmpty()) {
        const ReceivedTestCall &call = module->module().testCalls().last();
        console.line(QStringLiteral("the simulated module shows the call to %1: %2").arg(call.code, quoted(call.message)));
    }
    return command.finish(exit);
}

CliExit runNoNetwork(const CliRequest &request, StopSignals &stop)
{
    CliConsole console;
    ModuleCommand command(request, console, stop);
    CliExit exit = CliExit::Ok;
    if (!command.prepare(&exit))
        return exit;
    exit = sendSingleFrame(command, noNetworkFrame(),
                           QStringLiteral("sent the no-network notice on %1").arg(command.link.description()));
    PtyHost *module = command.link.builtInModule();
    if (exit == CliExit::Ok && module && module->module().noNetworkNotices() > 0)
        console.line(QStringLiteral("the simulated module shows its fault: %1").arg(quoted(kNoNetworkText)));
    return command.finish(exit);
}

CliExit runReport(const CliRequest &request)
{
    CliConsole console;
    ModuleSettings settings;
    if (const CliExit opened = openSettingsFile(request.file, console, &settings); opened != CliExit::Ok)
        return opened;
    const QDateTime now = QDateTime::currentDateTime();
    const QList<ReportLine> lines = reportLines(settings, kProgramVersion, dutchMonthName(now.date().month()), now);
    if (const std::optional<PrintFailure> failure = printReportToPdf(request.output, lines)) {
        console.error(request.output + QStringLiteral(": ") + printFailureText(*failure));
        return CliExit::File;
    }
    console.line(QStringLiteral("printed the report of %1 to %2").arg(request.file, request.output));
    return CliExit::Ok;
}

CliExit runSim(const CliRequest &request, StopSignals &stop)
{
    CliConsole console;
    PtyHost host;
    host.module().behaviour = request.simBehaviour;
    if (!host.open()) {
        console.error(QStringLiteral("no pseudo-terminal for the simulated module: ") + host.errorString());
        return CliExit::Port;
    }
    // The first line is the device alone, for scripts: dev=$(kvr7314-cli sim | head -n 1).
    console.line(host.devicePath());
    std::fputs(qPrintable(QStringLiteral("kvr7314-cli: simulated KVR7314 (firmware %1) on the device above; "
                                         "stop it with Ctrl-C\n")
                              .arg(host.module().behaviour.firmwareVersion)),
               stderr);
    QObject::connect(&host, &PtyHost::frameReceived, &host, [&console](const ReceivedFrame &frame) {
        console.line(traceLines(frame.receivedAtMs / 1000.0, QStringLiteral("(%1)").arg(frame.code), frame.content));
    });
    // Stopping is how a simulated module ends: a normal end.
    QEventLoop loop;
    QObject::connect(&stop, &StopSignals::stopRequested, &loop, &QEventLoop::quit);
    if (stop.received() == 0)
        loop.exec();
    return CliExit::Ok;
}

} // namespace

bool needsGuiApplication(const CliRequest &request)
{
    return request.command == CliCommand::Report;
}

CliExit runCliRequest(const CliRequest &request)
{
    StopSignals stop;
    switch (request.command) {
    case CliCommand::Write: return runWrite(request, stop);
    case CliCommand::Read: return runRead(request, stop);
    case CliCommand::TestCall: return runTestCall(request, stop);
    case CliCommand::NoNetwork: return runNoNetwork(request, stop);
    case CliCommand::Report: return runReport(request);
    case CliCommand::Sim: return runSim(request, stop);
    case CliCommand::Help: break;
    }
    return CliExit::Usage;
}
