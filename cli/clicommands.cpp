#include "cli/clicommands.h"

#include "cli/cliconsole.h"
#include "cli/clisessions.h"
#include "cli/modulelink.h"
#include "cli/verify.h"
#include "files/filemessages.h"
#include "files/report.h"
#include "files/settingsfile.h"
#include "link/frames.h"
#include "link/linkmessages.h"
#include "link/programmingrun.h"
#include "link/tracingserialport.h"
#include "readback/readbackmessages.h"
#include "readback/readbackrun.h"
#include "sim/stopsignals.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTimer>

namespace {

// How long a test call or no-network notice may take to reach the line (and
// the built-in module) before the port is closed.
constexpr int kSingleFrameWaitMs = 200;

CliExit readFailureExit(ReadOutcome::Kind kind)
{
    return kind == ReadOutcome::PortFailed ? CliExit::Port : CliExit::Module;
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
    const QFileInfo info(path);
    const QString why = !info.exists()       ? QStringLiteral(" (no such file)")
                        : !info.isReadable() ? QStringLiteral(" (the file cannot be read)")
                                             : QString();
    console.error(path + QStringLiteral(": ") + oneLine(nothingLoadedText()) + why);
    return CliExit::File;
}

bool prepareLink(ModuleLink &link, CliConsole &console, CliExit *exit)
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

QString quoted(const QString &text)
{
    return u'"' + text + u'"';
}

CliExit verifyModule(ModuleLink &link, const ModuleSettings &written, const QString &file, CliConsole &console)
{
    console.line(QStringLiteral("verify: reading the module back (its dump is collected for %1 s)")
                     .arg(kParseDelayMs / 1000));
    const ReadOutcome read = runReadBack(link, console);
    if (read.kind != ReadOutcome::Accepted) {
        console.error(QStringLiteral("verify: ") + read.failure);
        return readFailureExit(read.kind);
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

CliExit runWrite(const CliRequest &request)
{
    CliConsole console;
    ModuleSettings settings;
    if (const CliExit opened = openSettingsFile(request.file, console, &settings); opened != CliExit::Ok)
        return opened;
    normaliseTimers(settings);

    ModuleLink link(request.port, request.trace);
    CliExit exit = CliExit::Ok;
    if (!prepareLink(link, console, &exit))
        return exit;
    console.line(QStringLiteral("writing %1 to %2: %3 steps, one every %4 ms")
                     .arg(request.file, link.description())
                     .arg(kProgrammingStepCount)
                     .arg(2 * ProgrammingRun::kTickIntervalMs));
    const ProgrammingOutcome run = runProgramming(link, settings, console);
    if (!run.complete) {
        console.error(run.failure);
        return run.exit;
    }
    console.line(oneLine(kProgrammedText));
    if (request.verify)
        return verifyModule(link, settings, request.file, console);
    return CliExit::Ok;
}

CliExit runRead(const CliRequest &request)
{
    const bool toStandardOutput = request.output.isEmpty();
    CliConsole console(toStandardOutput);
    ModuleLink link(request.port, request.trace);
    CliExit exit = CliExit::Ok;
    if (!prepareLink(link, console, &exit))
        return exit;
    console.line(QStringLiteral("reading the module on %1 (its dump is collected for %2 s)")
                     .arg(link.description())
                     .arg(kParseDelayMs / 1000));
    const ReadOutcome read = runReadBack(link, console);
    if (read.kind != ReadOutcome::Accepted) {
        console.error(read.failure);
        return readFailureExit(read.kind);
    }

    ModuleSettings base = startupSettings();
    base.receiverType = request.receiver;   // the dump does not carry it
    const ModuleSettings settings = applyUpdate(base, read.update);
    console.line(oneLine(kReadDoneText) + QStringLiteral(" (firmware %1)").arg(settings.firmwareVersion));

    const QDateTime now = QDateTime::currentDateTime();
    const QString month = dutchMonthName(now.date().month());
    if (toStandardOutput) {
        console.data(settingsFileBytes(settings, kProgramVersion, month, now, QStringLiteral("-")));
        return CliExit::Ok;
    }
    if (!writeSettingsFile(request.output, settings, kProgramVersion, month, now)) {
        console.error(request.output + QStringLiteral(": ") + kSaveFailedText);
        return CliExit::File;
    }
    console.line(QStringLiteral("saved to %1").arg(request.output));
    return CliExit::Ok;
}

// Opens the port, sends one frame, and gives it time to leave (and the
// built-in module time to take it) before the port closes.
CliExit sendSingleFrame(const QByteArray &frame, const QString &what, CliConsole &console, ModuleLink &link)
{
    QString error;
    std::unique_ptr<SerialPort> port = link.open(&error);
    if (!port) {
        console.error(error);
        return CliExit::Port;
    }
    QEventLoop loop;
    QString failure;
    QObject::connect(port.get(), &SerialPort::failed, &loop, [&](const QString &description) {
        failure = oneLine(kWriteFailureText) + QStringLiteral(" (%1)").arg(description);
        loop.quit();
    });
    if (PtyHost *module = link.builtInModule())
        QObject::connect(module, &PtyHost::frameReceived, &loop, &QEventLoop::quit);
    QTimer::singleShot(kSingleFrameWaitMs, &loop, &QEventLoop::quit);
    port->writeBytes(frame);
    loop.exec();
    port.reset();
    if (!failure.isEmpty()) {
        console.error(failure);
        return CliExit::Port;
    }
    console.line(what);
    return CliExit::Ok;
}

CliExit runTestCall(const CliRequest &request)
{
    CliConsole console;
    ModuleLink link(request.port, request.trace);
    CliExit exit = CliExit::Ok;
    if (!prepareLink(link, console, &exit))
        return exit;
    const QString message = request.text.isEmpty() ? kDefaultTestMessage : request.text;
    exit = sendSingleFrame(testCallFrame(request.code, request.text),
                           QStringLiteral("sent a test call to %1 on %2: %3")
                               .arg(request.code, link.description(), quoted(message)),
                           console, link);
    if (exit == CliExit::Ok && link.builtInModule() && !link.builtInModule()->module().testCalls().isEmpty()) {
        const ReceivedTestCall &call = link.builtInModule()->module().testCalls().last();
        console.line(QStringLiteral("the simulated module shows the call to %1: %2").arg(call.code, quoted(call.message)));
    }
    return exit;
}

CliExit runNoNetwork(const CliRequest &request)
{
    CliConsole console;
    ModuleLink link(request.port, request.trace);
    CliExit exit = CliExit::Ok;
    if (!prepareLink(link, console, &exit))
        return exit;
    exit = sendSingleFrame(noNetworkFrame(),
                           QStringLiteral("sent the no-network notice on %1").arg(link.description()), console, link);
    if (exit == CliExit::Ok && link.builtInModule() && link.builtInModule()->module().noNetworkNotices() > 0)
        console.line(QStringLiteral("the simulated module shows its fault: %1").arg(quoted(kNoNetworkText)));
    return exit;
}

CliExit runReport(const CliRequest &request)
{
    CliConsole console;
    ModuleSettings settings;
    if (const CliExit opened = openSettingsFile(request.file, console, &settings); opened != CliExit::Ok)
        return opened;

    // The printer says only that it could not start; find out first whether
    // the file can be written at all, and why not.
    {
        QFile probe(request.output);
        if (!probe.open(QIODevice::WriteOnly)) {
            console.error(QStringLiteral("%1: cannot write the report: %2").arg(request.output, probe.errorString()));
            return CliExit::File;
        }
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(request.output);
    const QDateTime now = QDateTime::currentDateTime();
    const QList<ReportLine> lines = reportLines(settings, kProgramVersion, dutchMonthName(now.date().month()), now);
    if (const std::optional<PrintFailure> failure = printReport(printer, lines)) {
        console.error(request.output + QStringLiteral(": ") + printFailureText(*failure));
        return CliExit::File;
    }
    console.line(QStringLiteral("printed the report of %1 to %2").arg(request.file, request.output));
    return CliExit::Ok;
}

CliExit runSim()
{
    CliConsole console;
    PtyHost host;
    if (!host.open()) {
        console.error(QStringLiteral("no pseudo-terminal for the simulated module: ") + host.errorString());
        return CliExit::Port;
    }
    quitOnStopSignals(*QCoreApplication::instance());
    // The first line is the device alone, for scripts: dev=$(kvr7314-cli sim | head -n 1).
    console.line(host.devicePath());
    std::fputs(qPrintable(QStringLiteral("kvr7314-cli: simulated KVR7314 (firmware %1) on the device above; "
                                         "stop it with Ctrl-C\n")
                              .arg(host.module().behaviour.firmwareVersion)),
               stderr);
    QObject::connect(&host, &PtyHost::frameReceived, &host, [&console](const ReceivedFrame &frame) {
        console.line(traceLines(frame.receivedAtMs / 1000.0, QStringLiteral("(%1)").arg(frame.code), frame.content));
    });
    QCoreApplication::exec();
    return CliExit::Ok;
}

} // namespace

bool needsGuiApplication(const CliRequest &request)
{
    return request.command == CliCommand::Report;
}

CliExit runCliRequest(const CliRequest &request)
{
    switch (request.command) {
    case CliCommand::Write: return runWrite(request);
    case CliCommand::Read: return runRead(request);
    case CliCommand::TestCall: return runTestCall(request);
    case CliCommand::NoNetwork: return runNoNetwork(request);
    case CliCommand::Report: return runReport(request);
    case CliCommand::Sim: return runSim();
    case CliCommand::Help: break;
    }
    return CliExit::Usage;
}
