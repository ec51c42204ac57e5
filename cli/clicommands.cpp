#include "cli/clicommands.h"

#include "cli/cliconsole.h"
#include "cli/filecommands.h"
#include "cli/clisessions.h"
#include "cli/modulelink.h"
#include "cli/stopsignals.h"
#include "files/filemessages.h"
#include "files/journal.h"
#include "files/safefile.h"
#include "files/settingsfile.h"
#include "link/frames.h"
#include "link/linkmessages.h"
#include "link/portlist.h"
#include "link/programmingrun.h"
#include "link/tracingserialport.h"
#include "readback/dumpcomparison.h"
#include "readback/readbackmessages.h"
#include "readback/readbackrun.h"
#include "settings/fieldtable.h"
#include "settings/textrule.h"
#ifndef Q_OS_WIN
#include "sim/ptyhost.h"
#endif

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

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

// The settings a module's dump carries, with the receiver type the user
// gave: the dump does not carry it.
ModuleSettings settingsRead(const SettingsUpdate &update, ReceiverType receiver)
{
    ModuleSettings base = startupSettings();
    base.receiverType = receiver;
    return applyUpdate(base, update);
}

} // namespace

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

void keepOperation(CliConsole &console, Journal::Operation &op, bool ok, const QString &cause)
{
    for (const FileReason &problem : op.finish(ok, cause))
        console.error(problem.english);
}

void reportSaveFailure(CliConsole &console, const QString &path, const FileReason &reason)
{
    console.error(path + QStringLiteral(": ") + kSaveFailedText + QStringLiteral(" (%1)").arg(reason.english));
}

namespace {

// What a command says around a read of the module.
struct ReadWords {
    QString announcement;   // the line before the read
    QString prefix;         // before the read's failure ("verify: ")
    QString suffix;         // after it ("; nothing was written")
    QString whenStopped;    // the state a stop signal leaves the module in
};

// What every command that talks to the module does first and last: the
// link prepared, and at the end a trace that could not be written turned
// into an error of its own.
class ModuleCommand {
public:
    ModuleCommand(const CliRequest &request, CliConsole &console, StopSignals &stop)
        : link(request.sim ? std::nullopt : request.port, request.trace), console(console), stop(stop),
          fullWait(request.fullWait)
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

    // An operation on the module, for the log: its port and what the
    // system knows of the adapter.
    Journal::Operation begin(const QString &operation)
    {
        Journal::Operation op = journal.begin(operation);
        if (link.isBuiltIn()) {
            op.setPort(QStringLiteral("--sim"), {}, {});
        } else {
            const QString device = link.device();
            const std::optional<FoundPort> found = portOfDevice(device, foundPorts());
            op.setPort(device, found ? found->description : QString(), found ? found->serialNumber : QString());
        }
        return op;
    }

    void keep(Journal::Operation &op, bool ok, const QString &cause = {}) { keepOperation(console, op, ok, cause); }

    ReadOutcome readModule() { return runReadBack(link, console, stop, fullWait); }

    // Reads the module after saying so: what its accepted dump carries, or
    // nothing, with the exit code in `exit`, after a line that says why.
    std::optional<SettingsUpdate> readAccepted(const ReadWords &words, CliExit *exit)
    {
        console.line(readingLine(words.announcement));
        const ReadOutcome read = readModule();
        if (read.kind == ReadOutcome::Interrupted) {
            interrupted(read.interruptedBy, words.whenStopped);
            lastFailure = QStringLiteral("stopped by ") + stopSignalName(read.interruptedBy);
            *exit = interruptedExit(read.interruptedBy);
            return std::nullopt;
        }
        if (read.kind != ReadOutcome::Accepted) {
            console.error(words.prefix + read.failure + words.suffix);
            lastFailure = read.failure;
            *exit = readFailureExit(read);
            return std::nullopt;
        }
        return read.update;
    }

    QString readingLine(const QString &what) const
    {
        return fullWait
            ? QStringLiteral("%1 (its dump is collected for %2 s)").arg(what).arg(kParseDelayMs / 1000)
            : QStringLiteral("%1 (until its dump is complete, %2 s at most)").arg(what).arg(kParseDelayMs / 1000);
    }

    ModuleLink link;
    CliConsole &console;
    StopSignals &stop;
    bool fullWait;
    Journal journal{kCliProgram};
    QString lastFailure;   // why the last read failed, for its log line
};

// Runs a command that talks to the module: the link prepared (the built-in
// module started, the trace opened), then `body`, then a trace that could
// not be written reported; the exit code.
CliExit runOnModule(const CliRequest &request, CliConsole &console, StopSignals &stop,
                    const std::function<CliExit(ModuleCommand &)> &body)
{
    ModuleCommand command(request, console, stop);
    CliExit exit = CliExit::Ok;
    if (!command.prepare(&exit))
        return exit;
    return command.finish(body(command));
}

CliExit verifyModule(ModuleCommand &command, const ModuleSettings &written, const QString &file)
{
    CliConsole &console = command.console;
    Journal::Operation op = command.begin(QStringLiteral("verify"));
    op.entry.file = file;
    CliExit exit = CliExit::Ok;
    const std::optional<SettingsUpdate> read = command.readAccepted(
        {QStringLiteral("verify: reading the module back"), QStringLiteral("verify: "), {},
         QStringLiteral("the module was written, but not verified")},
        &exit);
    if (!read) {
        command.keep(op, false, command.lastFailure);
        return exit;
    }
    op.entry.firmware = read->values.firmwareVersion;
    op.backUp(settingsRead(*read, written.receiverType), kReadBackup);
    const QList<FieldDifference> differences = moduleDifferences(written, read->values);
    if (differences.isEmpty()) {
        console.line(QStringLiteral("verify: the module holds every value of %1 (firmware %2)")
                         .arg(file, read->values.firmwareVersion));
        command.keep(op, true);
        return CliExit::Ok;
    }
    for (const FieldDifference &d : differences)
        console.line(QStringLiteral("  %1: written %2, module holds %3").arg(d.field, quoted(d.expected), quoted(d.found)));
    const QString differ = QStringLiteral("%1 value(s) in the module differ from %2").arg(differences.size()).arg(file);
    console.error(QStringLiteral("verify: ") + differ);
    command.keep(op, false, differ);
    return CliExit::Differences;
}

// Reads what the module holds and saves it, before anything is written:
// Ok, or the exit code of the failed read or save (nothing is then written).
CliExit backUpModule(ModuleCommand &command, const QString &backup, ReceiverType receiver)
{
    CliConsole &console = command.console;
    Journal::Operation op = command.begin(QStringLiteral("read"));
    op.entry.file = backup;
    CliExit exit = CliExit::Ok;
    const std::optional<SettingsUpdate> read = command.readAccepted(
        {QStringLiteral("backup: reading the module before writing"), QStringLiteral("backup: "),
         QStringLiteral("; nothing was written"), QStringLiteral("nothing was written; the module was not changed")},
        &exit);
    if (!read) {
        command.keep(op, false, command.lastFailure);
        return exit;
    }
    const ModuleSettings held = settingsRead(*read, receiver);
    op.entry.firmware = held.firmwareVersion;
    op.backUp(held, kReadBackup);
    op.keepReplaced(backup);
    if (const SaveOutcome saved = writeSettingsFile(backup, held, QDateTime::currentDateTime()); !saved) {
        console.error(backup + QStringLiteral(": ") + kSaveFailedText
                      + QStringLiteral(" (%1); nothing was written").arg(saved.reason.english));
        command.keep(op, false, saved.reason.english);
        return CliExit::File;
    }
    console.line(QStringLiteral("backup: saved what the module held (firmware %1) to %2").arg(held.firmwareVersion, backup));
    command.keep(op, true);
    return CliExit::Ok;
}

CliExit runWrite(const CliRequest &request, StopSignals &stop)
{
    CliConsole console;
    ModuleSettings settings;
    if (const CliExit opened = openSettingsFile(request.file(), console, &settings); opened != CliExit::Ok)
        return opened;
    // A text that holds a key of the file or a label of the dump would leave
    // a module that can be neither read back nor saved: nothing is sent.
    if (const auto key = firstKeyInSentText(settings)) {
        console.error(request.file() + QStringLiteral(": nothing was written: %1; change the text").arg(key->english()));
        return CliExit::File;
    }
    // Found out before the module is asked, not after its read.
    if (!request.backup.isEmpty()) {
        if (const auto reason = checkWritable(request.backup)) {
            reportSaveFailure(console, request.backup, FileReason::system(*reason));
            return CliExit::File;
        }
    }

    return runOnModule(request, console, stop, [&](ModuleCommand &command) {
        if (!request.backup.isEmpty()) {
            if (const CliExit backedUp = backUpModule(command, request.backup, settings.receiverType);
                backedUp != CliExit::Ok)
                return backedUp;
        }
        console.line(QStringLiteral("writing %1 to %2: %3 steps, one every %4 ms")
                         .arg(request.file(), command.link.description())
                         .arg(kProgrammingStepCount)
                         .arg(2 * ProgrammingRun::kTickIntervalMs));
        Journal::Operation op = command.begin(QStringLiteral("write"));
        op.entry.file = request.file();
        op.entry.stepCount = kProgrammingStepCount;
        const ProgrammingOutcome run = runProgramming(command.link, settings, console, stop);
        op.entry.stepsSent = run.stepsSent;
        // What went out: the settings as the steps carried them.
        if (run.stepsSent > 0)
            op.backUp(settings, run.complete ? kWrittenBackup : kPartlyWrittenBackup);
        if (run.interruptedBy != 0) {
            command.interrupted(run.interruptedBy, moduleStateAfter(run.stepsSent));
            command.keep(op, false, QStringLiteral("stopped by ") + stopSignalName(run.interruptedBy));
            return interruptedExit(run.interruptedBy);
        }
        if (!run.complete) {
            console.error(run.failure);
            command.keep(op, false, run.failure);
            return run.exit;
        }
        console.line(oneLine(kProgrammedText));
        command.keep(op, true);
        return request.verify ? verifyModule(command, settings, request.file()) : CliExit::Ok;
    });
}

CliExit runRead(const CliRequest &request, StopSignals &stop)
{
    // Standard output carries the file (no -o) or the JSON; messages then go
    // to standard error.
    const bool toStandardOutput = request.output.isEmpty();
    CliConsole console(toStandardOutput || request.json);
    // Found out before the module is asked, not after the 12 s of the read.
    if (!toStandardOutput) {
        if (const auto reason = checkWritable(request.output)) {
            reportSaveFailure(console, request.output, FileReason::system(*reason));
            return CliExit::File;
        }
    }
    return runOnModule(request, console, stop, [&](ModuleCommand &command) {
        Journal::Operation op = command.begin(QStringLiteral("read"));
        op.entry.file = request.output;
        CliExit exit = CliExit::Ok;
        const std::optional<SettingsUpdate> read = command.readAccepted(
            {QStringLiteral("reading the module on %1").arg(command.link.description()), {}, {},
             QStringLiteral("the read was not finished; nothing was saved")},
            &exit);
        if (!read) {
            command.keep(op, false, command.lastFailure);
            return exit;
        }
        const ModuleSettings settings = settingsRead(*read, request.receiver);
        console.line(oneLine(kReadDoneText) + QStringLiteral(" (firmware %1)").arg(settings.firmwareVersion));
        op.entry.firmware = settings.firmwareVersion;
        op.backUp(settings, kReadBackup);

        const QDateTime now = QDateTime::currentDateTime();
        if (request.json)
            console.json(settingsObject(settings));
        if (!toStandardOutput) {
            op.keepReplaced(request.output);
            if (const SaveOutcome saved = writeSettingsFile(request.output, settings, now); !saved) {
                reportSaveFailure(console, request.output, saved.reason);
                command.keep(op, false, saved.reason.english);
                return CliExit::File;
            }
            console.line(QStringLiteral("saved to %1").arg(request.output));
        } else if (!request.json) {
            if (const auto refused = unsaveableSettings(settings)) {
                reportSaveFailure(console, QStringLiteral("-"), *refused);
                command.keep(op, false, refused->english);
                return CliExit::File;
            }
            console.data(settingsFileBytes(settings, kProgramVersion, dutchMonthName(now.date().month()), now,
                                           QStringLiteral("-")));
        }
        command.keep(op, true);
        return CliExit::Ok;
    });
}

// Opens the port, sends one frame, and gives it time to leave (and the
// built-in module time to take it) before the port closes; logged as
// `operation`.
CliExit sendSingleFrame(ModuleCommand &command, const QString &operation, const QByteArray &frame, const QString &what)
{
    Journal::Operation op = command.begin(operation);
    QString error;
    std::unique_ptr<SerialPort> port = command.link.open(&error);
    if (!port) {
        command.console.error(error);
        command.keep(op, false, error);
        return CliExit::Port;
    }
    QEventLoop loop;
    QString failure;
    QObject::connect(port.get(), &SerialPort::failed, &loop, [&](const QString &description) {
        failure = oneLine(kWriteFailureText) + QStringLiteral(" (%1)").arg(description);
        loop.quit();
    });
    if (SimulatedLine *module = command.link.builtInModule())
        QObject::connect(module, &ModuleLine::frameReceived, &loop, &QEventLoop::quit);
    QTimer::singleShot(kSingleFrameWaitMs, &loop, &QEventLoop::quit);
    port->writeBytes(frame);
    loop.exec();
    port.reset();
    if (!failure.isEmpty()) {
        command.console.error(failure);
        command.keep(op, false, failure);
        return CliExit::Port;
    }
    command.console.line(what);
    command.keep(op, true);
    return CliExit::Ok;
}

CliExit runTestCall(const CliRequest &request, StopSignals &stop)
{
    CliConsole console;
    return runOnModule(request, console, stop, [&](ModuleCommand &command) {
        const QString message = request.text.isEmpty() ? kDefaultTestMessage : request.text;
        const CliExit exit = sendSingleFrame(command, QStringLiteral("test-call"), testCallFrame(request.code, request.text),
                                             QStringLiteral("sent a test call to %1 on %2: %3")
                                                 .arg(request.code, command.link.description(), quoted(message)));
        SimulatedLine *module = command.link.builtInModule();
        if (exit == CliExit::Ok && module && !module->module().testCalls().isEmpty()) {
            const ReceivedTestCall &call = module->module().testCalls().last();
            console.line(QStringLiteral("the simulated module shows the call to %1: %2").arg(call.code, quoted(call.message)));
        }
        return exit;
    });
}

CliExit runNoNetwork(const CliRequest &request, StopSignals &stop)
{
    CliConsole console;
    return runOnModule(request, console, stop, [&](ModuleCommand &command) {
        const CliExit exit = sendSingleFrame(command, QStringLiteral("no-network"), noNetworkFrame(),
                                             QStringLiteral("sent the no-network notice on %1").arg(command.link.description()));
        SimulatedLine *module = command.link.builtInModule();
        if (exit == CliExit::Ok && module && module->module().noNetworkNotices() > 0)
            console.line(QStringLiteral("the simulated module shows its fault: %1").arg(quoted(kNoNetworkText)));
        return exit;
    });
}

bool isPresent(const QString &device, const QList<FoundPort> &ports)
{
    return std::any_of(ports.begin(), ports.end(), [&](const FoundPort &p) { return p.device == device; });
}

QJsonObject portObject(const FoundPort &p)
{
    return QJsonObject{{"device", p.device},
                       {"description", jsonText(p.description)},
                       {"manufacturer", jsonText(p.manufacturer)},
                       {"serialNumber", jsonText(p.serialNumber)},
                       {"byId", jsonText(p.byIdPath)}};
}

CliExit runPorts(const CliRequest &request)
{
    CliConsole console(request.json);
    const QList<FoundPort> ports = foundPorts();
    const std::array<QString, kComPortCount> com = comDevices(ports);
    if (request.json) {
        QJsonArray boxes;
        for (int n = 1; n <= kComPortCount; ++n) {
            const QString &device = com[size_t(n - 1)];
            boxes.append(QJsonObject{{"box", comPortName(n)}, {"device", device}, {"present", isPresent(device, ports)}});
        }
        QJsonArray found;
        for (const FoundPort &p : ports)
            found.append(portObject(p));
        console.json(QJsonObject{{"com", boxes}, {"ports", found}});
        return CliExit::Ok;
    }
    for (int n = 1; n <= kComPortCount; ++n) {
        const QString &device = com[size_t(n - 1)];
        console.line(QStringLiteral("%1  %2%3").arg(comPortName(n), device,
                                                    isPresent(device, ports) ? QString() : QStringLiteral("  (not present)")));
    }
    console.line(QString());
    if (ports.isEmpty()) {
        console.line(kNoSerialPortText + QStringLiteral(", or see the README on connecting a module"));
        return CliExit::Ok;
    }
    console.line(QStringLiteral("Serial ports found (device, description, manufacturer, serial number, by-id name):"));
    console.line(portListing(ports));
    return CliExit::Ok;
}

CliExit runFind(const CliRequest &request, StopSignals &stop)
{
    CliConsole console(request.json);
    // The devices given, or else every port found.
    QStringList devices = request.files;
    if (devices.isEmpty()) {
        for (const FoundPort &port : foundPorts())
            devices.append(port.device);
    }
    if (devices.isEmpty()) {
        console.error(kNoSerialPortText + QStringLiteral(", or name the devices to ask (find DEV...)"));
        return CliExit::Module;
    }
    const QByteArray readRequest = readRequestFrame();
    console.line(QStringLiteral("find: sending the %1-byte read request (%2) to each of %3 port(s), one after the other")
                     .arg(readRequest.size())
                     .arg(QString::fromLatin1(readRequest.toHex(' ').toUpper()))
                     .arg(devices.size()));
    QStringList found;
    QJsonArray answers;
    for (const QString &device : devices) {
        CliRequest one;
        // COMn as --port takes it; anything else is a device path.
        one.port = portTarget(device).value_or(PortTarget{1, device});
        const CliExit exit = runOnModule(one, console, stop, [&](ModuleCommand &command) {
            const ReadOutcome read = command.readModule();
            QString answer;
            switch (read.kind) {
            case ReadOutcome::Accepted:
                console.line(QStringLiteral("%1: a KVR7314 answered, firmware %2").arg(device, read.update.values.firmwareVersion));
                found.append(device);
                answer = QStringLiteral("module");
                break;
            case ReadOutcome::NoData:
                console.line(QStringLiteral("%1: no answer").arg(device));
                answer = QStringLiteral("none");
                break;
            case ReadOutcome::Rejected:
                console.line(QStringLiteral("%1: something answered, but not with a KVR7314 dump").arg(device));
                answer = QStringLiteral("other");
                break;
            case ReadOutcome::PortFailed:
                console.line(QStringLiteral("%1: %2").arg(device, read.failure));
                answer = QStringLiteral("port-failed");
                break;
            case ReadOutcome::Interrupted:
                command.interrupted(read.interruptedBy, QStringLiteral("the search was not finished"));
                return interruptedExit(read.interruptedBy);
            }
            const bool module = read.kind == ReadOutcome::Accepted;
            answers.append(QJsonObject{{"device", device},
                                       {"answer", answer},
                                       {"firmware", module ? QJsonValue(read.update.values.firmwareVersion) : QJsonValue()},
                                       {"reason", module ? QJsonValue() : jsonText(read.failure)}});
            return CliExit::Ok;
        });
        if (exit != CliExit::Ok)
            return exit;
    }
    if (request.json)
        console.json(answers);
    if (found.isEmpty()) {
        console.error(QStringLiteral("no KVR7314 answered on any port"));
        return CliExit::Module;
    }
    console.line(QStringLiteral("found a KVR7314 on: %1").arg(found.join(QStringLiteral(", "))));
    return CliExit::Ok;
}

CliExit runSim(const CliRequest &request, StopSignals &stop)
{
    CliConsole console;
#ifdef Q_OS_WIN
    Q_UNUSED(request);
    Q_UNUSED(stop);
    console.error(QStringLiteral("sim puts a simulated module on a pseudo-terminal, which Windows does not have; "
                                 "the other commands take --sim for a simulated module of their own"));
    return CliExit::Usage;
#else
    PtyHost host;
    host.module().behaviour = request.simBehaviour;
    if (!host.open()) {
        console.error(QStringLiteral("no pseudo-terminal for the simulated module: ") + host.errorString());
        return CliExit::Port;
    }
    // The first line is the device alone, for scripts: dev=$(kvr7314-cli sim | head -n 1).
    console.line(host.devicePath());
    std::fputs(qPrintable(kCliErrorPrefix + QStringLiteral("simulated KVR7314 (firmware %1) on the device above; "
                                                           "stop it with Ctrl-C\n")
                                                .arg(host.module().behaviour.firmwareVersion)),
               stderr);
    QObject::connect(&host, &PtyHost::frameReceived, &host, [&console](const ReceivedFrame &frame) {
        const QString code = QStringLiteral("(%1)").arg(frame.code);
        // A frame without content (the read request) is its code alone.
        console.line(frame.content.isEmpty() ? traceNoteLine(frame.receivedAtMs / 1000.0, code)
                                             : traceLines(frame.receivedAtMs / 1000.0, code, frame.content));
    });
    // Stopping is how a simulated module ends: a normal end.
    QEventLoop loop;
    QObject::connect(&stop, &StopSignals::stopRequested, &loop, &QEventLoop::quit);
    if (stop.received() == 0)
        loop.exec();
    return CliExit::Ok;
#endif
}

} // namespace

CliExit runCliRequest(const CliRequest &request)
{
    StopSignals stop;
    switch (request.command) {
    case CliCommand::Write: return runWrite(request, stop);
    case CliCommand::Read: return runRead(request, stop);
    case CliCommand::TestCall: return runTestCall(request, stop);
    case CliCommand::NoNetwork: return runNoNetwork(request, stop);
    case CliCommand::Diff: return runDiff(request);
    case CliCommand::Ports: return runPorts(request);
    case CliCommand::Aliases: return runAliases(request);
    case CliCommand::History: return runHistory(request);
    case CliCommand::Find: return runFind(request, stop);
    case CliCommand::Sim: return runSim(request, stop);
    case CliCommand::Help:
    case CliCommand::Version:
    case CliCommand::Report: break;
    }
    return CliExit::Usage;
}
