#include "cli/modulecommands.h"

#include "cli/clicommandtable.h"
#include "cli/filecommands.h"
#include "cli/modulelink.h"
#include "cli/stopsignals.h"
#include "link/frames.h"
#include "link/portdirectory.h"
#include "link/portlist.h"
#include "operations/frameoperation.h"
#include "operations/programoperation.h"
#include "operations/readoperation.h"
#include "operations/writeoperation.h"
#include "settings/fieldtable.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

ReadBackSession::Options readOptions(bool fullWait)
{
    return ReadBackSession::Options::quick(fullWait);
}

// A command on the module --port or --sim names: the link prepared (the
// built-in module started, the trace opened) before its first operation,
// and at the end a trace that could not be written turned into an error
// of its own.
class ModuleCommand : public CommandRun {
public:
    ModuleCommand(const ModuleChoice &module, StopSignals &stop, bool dataOnStandardOutput = false)
        : CommandRun(stop, dataOnStandardOutput), m_link(module), m_context(OperationContext::keptBy(kCliProgram))
    {
    }
    // The operations go before the link their ports write their trace to,
    // and before the settings they hold.
    ~ModuleCommand() override { qDeleteAll(findChildren<Operation *>(Qt::FindDirectChildrenOnly)); }

protected:
    // False, with the error said and the run ended, when the link cannot be.
    bool prepare()
    {
        QString error;
        ExitCode exit = ExitCode::Ok;
        if (!m_link.prepare(&error, &exit)) {
            m_console.error(error);
            CommandRun::end(exit);
            return false;
        }
        if (m_link.isBuiltIn())
            m_console.line(m_link.builtInNotice());
        return true;
    }

    // Ends the run with an operation's outcome, said.
    void endWith(const OperationOutcome &outcome)
    {
        report(outcome);
        end(outcome.exit);
    }

    // A refusal before the module is asked: said, and the run ended.
    bool refused(const std::optional<OperationOutcome> &outcome)
    {
        if (!outcome)
            return false;
        m_console.error(outcome->line);
        CommandRun::end(outcome->exit);
        return true;
    }

    // A lost trace is never reported as success.
    void end(ExitCode exit) override
    {
        if (const auto failure = m_link.traceFailure()) {
            m_console.error(*failure);
            if (exit == ExitCode::Ok)
                exit = ExitCode::File;
        }
        CommandRun::end(exit);
    }

    void stopping(int signalNumber) override
    {
        m_link.note(QStringLiteral("stopped by ") + stopSignalName(signalNumber));
    }

    ModuleLink m_link;
    OperationContext m_context;
    HeldSettings m_settings;   // what a write sends, where a read puts what it read
};

// --- write --------------------------------------------------------------------------------

class WriteCommand : public ModuleCommand {
public:
    WriteCommand(const WriteRequest &request, StopSignals &stop) : ModuleCommand(request.module, stop), m_request(request)
    {
    }

    void start() override
    {
        ModuleSettings settings;
        if (ExitCode exit = ExitCode::Ok; !openSettings(m_request.file, m_console, &settings, &exit)) {
            CommandRun::end(exit);
            return;
        }
        m_settings = HeldSettings(settings);
        ProgramOperation::Options options;
        options.write = {m_request.file, m_request.verify, readOptions(m_request.fullWait), {}, {}};
        if (!m_request.backup.isEmpty()) {
            options.before = ProgramOperation::Before::Read;
            options.backupFile = m_request.backup;
        }
        auto *write = new ProgramOperation(m_link.access(), m_settings, m_context, options, this);
        // Found out before the module is asked, not after its read.
        if (refused(write->check()) || !prepare())
            return;
        run(write, [this](const OperationOutcome &outcome) { endWith(outcome); });
    }

private:
    WriteRequest m_request;
};

// --- read ----------------------------------------------------------------------------------

class ReadCommand : public ModuleCommand {
public:
    // Standard output carries the file (no -o) or the JSON; messages then go
    // to standard error.
    ReadCommand(const ReadRequest &request, StopSignals &stop)
        : ModuleCommand(request.module, stop, request.output.isEmpty() || request.json), m_request(request)
    {
        ModuleSettings base = startupSettings();
        base.receiverType = request.receiver;   // the module does not report it
        m_settings = HeldSettings(base);
    }

    void start() override
    {
        ReadOperation::Options options;
        options.read = readOptions(m_request.fullWait);
        options.file = m_request.output;
        options.target = !m_request.output.isEmpty() ? ReadOperation::Target::File
                       : m_request.json             ? ReadOperation::Target::None
                                                    : ReadOperation::Target::StandardOutput;
        auto *read = new ReadOperation(m_link.access(), m_settings, m_context, options, this);
        // Found out before the module is asked, not after the 12 s of the read.
        if (refused(read->check()) || !prepare())
            return;
        run(read, [this](const OperationOutcome &outcome) {
            if (outcome.settings && m_request.json)
                m_console.json(settingsObject(*outcome.settings));
            endWith(outcome);
        });
    }

private:
    ReadRequest m_request;
};

// --- test-call, no-network ----------------------------------------------------------------

class FrameCommand : public ModuleCommand {
public:
    FrameCommand(const ModuleChoice &module, StopSignals &stop) : ModuleCommand(module, stop) {}

    void start() override
    {
        if (!prepare())
            return;
        auto *frame = new FrameOperation(m_link.access(), m_context, this);
        setFrame(*frame);
        run(frame, [this](const OperationOutcome &outcome) {
            report(outcome);
            if (SimulatedLine *module = m_link.builtInModule(); module && outcome.ok())
                sayWhatTheModuleShows(module->module());
            end(outcome.exit);
        });
    }

protected:
    virtual void setFrame(FrameOperation &frame) = 0;
    virtual void sayWhatTheModuleShows(const SimulatedModule &module) = 0;
};

class TestCallCommand : public FrameCommand {
public:
    TestCallCommand(const TestCallRequest &request, StopSignals &stop) : FrameCommand(request.module, stop), m_request(request)
    {
    }

protected:
    void setFrame(FrameOperation &frame) override { frame.setTestCall(m_request.code, m_request.text); }
    void sayWhatTheModuleShows(const SimulatedModule &module) override
    {
        if (module.testCalls().isEmpty())
            return;
        const ReceivedTestCall &call = module.testCalls().last();
        m_console.line(QStringLiteral("the simulated module shows the call to %1: %2").arg(call.code, quoted(call.message)));
    }

private:
    TestCallRequest m_request;
};

class NoNetworkCommand : public FrameCommand {
public:
    NoNetworkCommand(const NoNetworkRequest &request, StopSignals &stop) : FrameCommand(request.module, stop) {}

protected:
    void setFrame(FrameOperation &frame) override { frame.setNoNetworkNotice(); }
    void sayWhatTheModuleShows(const SimulatedModule &module) override
    {
        if (module.noNetworkNotices() > 0)
            m_console.line(QStringLiteral("the simulated module shows its fault: %1").arg(quoted(kNoNetworkText)));
    }
};

// --- find -----------------------------------------------------------------------------------

class FindCommand : public CommandRun {
public:
    FindCommand(const FindRequest &request, StopSignals &stop) : CommandRun(stop, request.json), m_request(request) {}

    void start() override
    {
        // The devices given, or else every port found.
        m_devices = m_request.devices;
        if (m_devices.isEmpty()) {
            for (const FoundPort &port : PortDirectory::machine().ports())
                m_devices.append(port.device);
        }
        if (m_devices.isEmpty()) {
            m_console.error(kNoSerialPortText + QStringLiteral(", or name the devices to ask (find DEV...)"));
            end(ExitCode::Module);
            return;
        }
        QString error;
        const std::optional<TlsCredentials> tls = TlsCredentials::load(m_request.tls, &error);
        if (!tls) {
            m_console.error(error);
            end(ExitCode::File);
            return;
        }
        m_tls = *tls;
        const QByteArray request = readRequestFrame();
        m_console.line(QStringLiteral("find: sending the %1-byte read request (%2) to each of %3 port(s), one after the other")
                           .arg(request.size())
                           .arg(QString::fromLatin1(request.toHex(' ').toUpper()))
                           .arg(m_devices.size()));
        askNext();
    }

private:
    void askNext()
    {
        if (m_asked == m_devices.size()) {
            finish();
            return;
        }
        const QString device = m_devices[m_asked++];
        // COMn as --port takes it; anything else is a device path.
        const PortAddress address = PortAddress::parse(device).value_or(PortAddress::device(device));
        // Nothing is kept of a search: no log line, no backup.
        auto *find = new FindOperation(ModuleAccess::at(address, m_tls), OperationContext{}, readOptions(false), this);
        run(find, [this, find, device](const OperationOutcome &outcome) {
            find->deleteLater();
            if (outcome.kind == OperationOutcome::Kind::Stopped) {
                m_console.error(outcome.line);
                end(outcome.exit);
                return;
            }
            answered(device, outcome);
            askNext();
        });
    }

    void answered(const QString &device, const OperationOutcome &outcome)
    {
        QString answer;
        switch (outcome.kind) {
        case OperationOutcome::Kind::Done:
            m_console.line(QStringLiteral("%1: a KVR7314 answered, firmware %2").arg(device, outcome.settings->firmwareVersion));
            m_found.append(device);
            answer = QStringLiteral("module");
            break;
        case OperationOutcome::Kind::NoData:
            m_console.line(QStringLiteral("%1: no answer").arg(device));
            answer = QStringLiteral("none");
            break;
        case OperationOutcome::Kind::Rejected:
            m_console.line(QStringLiteral("%1: something answered, but not with a KVR7314 dump").arg(device));
            answer = QStringLiteral("other");
            break;
        default:
            m_console.line(QStringLiteral("%1: %2").arg(device, outcome.line));
            answer = QStringLiteral("port-failed");
            break;
        }
        const bool module = outcome.ok();
        m_answers.append(QJsonObject{{"device", device},
                                     {"answer", answer},
                                     {"firmware", module ? QJsonValue(outcome.settings->firmwareVersion) : QJsonValue()},
                                     {"reason", module ? QJsonValue() : jsonText(outcome.line)}});
    }

    void finish()
    {
        if (m_request.json)
            m_console.json(m_answers);
        if (m_found.isEmpty()) {
            m_console.error(QStringLiteral("no KVR7314 answered on any port"));
            end(ExitCode::Module);
            return;
        }
        m_console.line(QStringLiteral("found a KVR7314 on: %1").arg(m_found.join(QStringLiteral(", "))));
        end(ExitCode::Ok);
    }

    FindRequest m_request;
    TlsCredentials m_tls;
    QStringList m_devices;
    qsizetype m_asked = 0;
    QStringList m_found;
    QJsonArray m_answers;
};

} // namespace

std::unique_ptr<CommandRun> writeCommand(const WriteRequest &request, StopSignals &stop)
{
    return std::make_unique<WriteCommand>(request, stop);
}

std::unique_ptr<CommandRun> readCommand(const ReadRequest &request, StopSignals &stop)
{
    return std::make_unique<ReadCommand>(request, stop);
}

std::unique_ptr<CommandRun> testCallCommand(const TestCallRequest &request, StopSignals &stop)
{
    return std::make_unique<TestCallCommand>(request, stop);
}

std::unique_ptr<CommandRun> noNetworkCommand(const NoNetworkRequest &request, StopSignals &stop)
{
    return std::make_unique<NoNetworkCommand>(request, stop);
}

std::unique_ptr<CommandRun> findCommand(const FindRequest &request, StopSignals &stop)
{
    return std::make_unique<FindCommand>(request, stop);
}
