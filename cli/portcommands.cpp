#include "cli/portcommands.h"

#include "cli/clicommandtable.h"
#include "cli/filecommands.h"
#include "cli/stopsignals.h"
#include "link/portdirectory.h"
#include "link/portlist.h"
#include "link/tracingserialport.h"
#ifndef Q_OS_WIN
#include "sim/ptyhost.h"
#endif

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace {

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

#ifndef Q_OS_WIN
// A simulated module on a pseudo-terminal until a stop signal: stopping is
// how it ends, a normal end.
class SimCommand : public CommandRun {
public:
    SimCommand(const SimRequest &request, StopSignals &stop) : CommandRun(stop), m_request(request)
    {
        connect(&m_stop, &StopSignals::stopRequested, this, [this] { end(ExitCode::Ok); });
    }

    void start() override
    {
        m_host.module().behaviour = m_request.behaviour;
        if (!m_request.holds.isEmpty()) {
            ModuleSettings held;
            ExitCode exit = ExitCode::Ok;
            if (!openSettings(m_request.holds, m_console, &held, &exit)) {
                end(exit);
                return;
            }
            m_host.module().holdWritten(held);
        }
        if (!m_host.open()) {
            m_console.error(QStringLiteral("no pseudo-terminal for the simulated module: ") + m_host.errorString());
            end(ExitCode::Port);
            return;
        }
        // The first line is the device alone, for scripts: dev=$(kvr7314-cli sim | head -n 1).
        m_console.line(m_host.devicePath());
        std::fputs(qPrintable(kCliErrorPrefix + QStringLiteral("simulated KVR7314 (firmware %1) on the device above; "
                                                               "stop it with Ctrl-C\n")
                                                    .arg(m_host.module().behaviour.firmwareVersion)),
                   stderr);
        connect(&m_host, &PtyHost::frameReceived, this, [this](const ReceivedFrame &frame) {
            const QString code = QStringLiteral("(%1)").arg(frame.code);
            // A frame without content (the read request) is its code alone.
            m_console.line(frame.content.isEmpty() ? traceNoteLine(frame.receivedAtMs / 1000.0, code)
                                                   : traceLines(frame.receivedAtMs / 1000.0, code, frame.content));
        });
        connect(&m_host, &PtyHost::hungUp, this, [this] {
            m_console.line(QStringLiteral("hung up after %1 frames").arg(m_host.module().behaviour.hangUpAfter));
        });
        if (m_stop.received() != 0)
            end(ExitCode::Ok);
    }

private:
    SimRequest m_request;
    PtyHost m_host;
};
#else
class SimCommand : public CommandRun {
public:
    SimCommand(const SimRequest &, StopSignals &stop) : CommandRun(stop) {}

    void start() override
    {
        m_console.error(QStringLiteral("sim puts a simulated module on a pseudo-terminal, which Windows does not have; "
                                       "the other commands take --sim for a simulated module of their own"));
        end(ExitCode::Usage);
    }
};
#endif

} // namespace

ExitCode runPorts(const PortsRequest &request)
{
    CliConsole console(request.json);
    const QList<FoundPort> ports = PortDirectory::machine().ports();
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
        return ExitCode::Ok;
    }
    for (int n = 1; n <= kComPortCount; ++n) {
        const QString &device = com[size_t(n - 1)];
        console.line(QStringLiteral("%1  %2%3").arg(comPortName(n), device,
                                                    isPresent(device, ports) ? QString() : QStringLiteral("  (not present)")));
    }
    console.line(QString());
    if (ports.isEmpty()) {
        console.line(kNoSerialPortText + QStringLiteral(", or see the README on connecting a module"));
        return ExitCode::Ok;
    }
    console.line(QStringLiteral("Serial ports found (device, description, manufacturer, serial number, by-id name):"));
    console.line(portListing(ports));
    return ExitCode::Ok;
}

std::unique_ptr<CommandRun> simCommand(const SimRequest &request, StopSignals &stop)
{
    return std::make_unique<SimCommand>(request, stop);
}
