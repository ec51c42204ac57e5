#include "cli/modulelink.h"

#include "cli/clicommandtable.h"
#include "link/tracingserialport.h"

#include <QDateTime>

ModuleLink::ModuleLink(ModuleChoice choice) : m_choice(std::move(choice))
{
    m_clock.start();
    // The negotiation with a device server goes into the trace as notes.
    m_connection->setNoteSink([this](const QString &text) { note(text); });
    m_connection->hold();
}

ModuleLink::~ModuleLink()
{
    m_connection->release();
}

bool ModuleLink::prepare(QString *error, ExitCode *exit)
{
    if (isBuiltIn())
        m_builtIn = std::make_unique<SimulatedLine>();
    if (m_choice.port && m_choice.port->isNetwork()) {
        const std::optional<TlsCredentials> tls = TlsCredentials::load(m_choice.tls, error);
        if (!tls) {
            *exit = ExitCode::File;
            return false;
        }
        m_connection->setTls(*tls);
    }
    if (m_choice.trace.isEmpty())
        return true;
    m_trace.setFileName(m_choice.trace);
    // Unbuffered: every line is on the disk as it happens, and a write
    // that fails (a full disk, /dev/full) is seen at once.
    if (!m_trace.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text | QIODevice::Unbuffered)) {
        *error = QStringLiteral("%1: cannot write the trace: %2").arg(m_choice.trace, m_trace.errorString());
        *exit = ExitCode::File;
        return false;
    }
    m_trace.write(QStringLiteral("%1 trace, %2, port %3\n")
                      .arg(kCliProgram)
                      .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs), access().description())
                      .toUtf8());
    // A trace that cannot be written (a full disk, /dev/full) stops the
    // command before anything reaches the module, not after.
    if (const auto failure = traceFailure()) {
        *error = *failure;
        *exit = ExitCode::File;
        return false;
    }
    m_clock.restart();
    return true;
}

PortAddress ModuleLink::address() const
{
    return m_choice.port.value_or(PortAddress::device(SimulatedLine::description()));
}

QString ModuleLink::builtInNotice() const
{
    return QStringLiteral("--sim: using the built-in simulated KVR7314, on %1").arg(address().description({}));
}

ModuleAccess ModuleLink::access()
{
    ModuleAccess access = ModuleAccess::at(address());
    access.connection = m_connection;
    access.newPort = [this]() -> std::unique_ptr<SerialPort> {
        std::unique_ptr<SerialPort> port
            = m_builtIn ? m_builtIn->portFactory()() : newPortFor(address().target({}), m_connection);
        if (m_trace.isOpen())
            port = std::make_unique<TracingSerialPort>(std::move(port), &m_trace, m_clock);
        return port;
    };
    if (isBuiltIn())
        access.loggedName = QStringLiteral("--sim");
    return access;
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
    return QStringLiteral("%1: the trace could not be written: %2").arg(m_choice.trace, m_trace.errorString());
}
