#include "cli/modulelink.h"

#include "link/qtserialport.h"
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
    if (!m_target) {
        m_builtIn = std::make_unique<PtyHost>();
        if (!m_builtIn->open()) {
            *error = QStringLiteral("cannot start the built-in simulated module: ") + m_builtIn->errorString();
            *exit = CliExit::Port;
            return false;
        }
    }
    if (!m_tracePath.isEmpty()) {
        m_trace.setFileName(m_tracePath);
        if (!m_trace.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            *error = QStringLiteral("%1: cannot write the trace: %2").arg(m_tracePath, m_trace.errorString());
            *exit = CliExit::File;
            return false;
        }
        m_trace.write(QStringLiteral("kvr7314-cli trace, %1, port %2\n")
                          .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs), description())
                          .toUtf8());
        m_clock.restart();
    }
    return true;
}

QString ModuleLink::description() const
{
    if (!m_target)
        return m_builtIn ? m_builtIn->devicePath() : QStringLiteral("the built-in simulated module");
    if (m_target->device == defaultComDevice(m_target->comPort))
        return QStringLiteral("COM %1 (%2)").arg(m_target->comPort).arg(m_target->device);
    return m_target->device;
}

QString ModuleLink::builtInNotice() const
{
    return QStringLiteral("No --port given: using the built-in simulated KVR7314 on %1").arg(description());
}

std::unique_ptr<SerialPort> ModuleLink::open(QString *error)
{
    const QString device = m_target ? m_target->device : m_builtIn->devicePath();
    const int comPort = m_target ? m_target->comPort : 1;
    std::unique_ptr<SerialPort> port =
        std::make_unique<QtSerialPort>([device](int) { return device; });
    if (m_trace.isOpen())
        port = std::make_unique<TracingSerialPort>(std::move(port), &m_trace, m_clock);
    if (!port->open(comPort)) {
        *error = QStringLiteral("cannot open the port %1: %2").arg(description(), port->errorString());
        return nullptr;
    }
    return port;
}
