#include "cli/modulelink.h"

#include "link/openfailure.h"
#include "link/portlist.h"
#include "link/systemserialport.h"
#include "link/tracingserialport.h"

#include <QDateTime>

ModuleLink::ModuleLink(std::optional<PortTarget> target, QString tracePath)
    : m_target(std::move(target)), m_tracePath(std::move(tracePath))
{
    m_clock.start();
}

ModuleLink::~ModuleLink() = default;

bool ModuleLink::prepare(QString *error, CliExit *exit)
{
    if (!m_target)
        m_builtIn = std::make_unique<SimulatedLine>();
    if (!m_tracePath.isEmpty()) {
        m_trace.setFileName(m_tracePath);
        // Unbuffered: every line is on the disk as it happens, and a write
        // that fails (a full disk, /dev/full) is seen at once.
        if (!m_trace.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text | QIODevice::Unbuffered)) {
            *error = QStringLiteral("%1: cannot write the trace: %2").arg(m_tracePath, m_trace.errorString());
            *exit = CliExit::File;
            return false;
        }
        m_trace.write(QStringLiteral("%1 trace, %2, port %3\n")
                          .arg(kCliProgram)
                          .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs), description())
                          .toUtf8());
        // A trace that cannot be written (a full disk, /dev/full) stops the
        // command before anything reaches the module, not after.
        if (const auto failure = traceFailure()) {
            *error = *failure;
            *exit = CliExit::File;
            return false;
        }
        m_clock.restart();
    }
    return true;
}

QString ModuleLink::device() const
{
    if (!m_target)
        return SimulatedLine::description();
    if (m_target->device.isEmpty())
        return machineComDevice(m_target->comPort);
    return m_target->device;
}

QString ModuleLink::description() const
{
    if (!m_target)
        return SimulatedLine::description();
    if (m_target->device.isEmpty())
        return QStringLiteral("%1 (%2)").arg(comPortName(m_target->comPort), device());
    return m_target->device;
}

QString ModuleLink::builtInNotice() const
{
    return QStringLiteral("--sim: using the built-in simulated KVR7314, on %1").arg(description());
}

PortAccess ModuleLink::portAccess()
{
    const auto newPort = [this]() -> std::unique_ptr<SerialPort> {
        std::unique_ptr<SerialPort> port = m_builtIn ? m_builtIn->portFactory()() : makeSystemSerialPort(device());
        if (m_trace.isOpen())
            port = std::make_unique<TracingSerialPort>(std::move(port), &m_trace, m_clock);
        return port;
    };
    return {newPort, [this] { return m_target ? m_target->comPort : 1; }};
}

std::unique_ptr<SerialPort> ModuleLink::open(QString *error)
{
    PortFailure failure;
    std::unique_ptr<SerialPort> port = openPort(portAccess(), &failure);
    if (!port)
        *error = openFailureLine(failure);
    return port;
}

void ModuleLink::note(const QString &text)
{
    if (m_trace.isOpen())
        m_trace.write((traceNoteLine(m_clock.nsecsElapsed() / 1e9, text) + u'\n').toUtf8());
}

std::optional<QString> ModuleLink::traceFailure() const
{
    if (!m_trace.isOpen() || m_trace.error() == QFileDevice::NoError)
        return std::nullopt;
    return QStringLiteral("%1: the trace could not be written: %2").arg(m_tracePath, m_trace.errorString());
}

QString ModuleLink::openFailureLine(const PortFailure &failure) const
{
    return ::openFailureLine(failure, foundPorts());
}
