#include "sim/simulatedline.h"

#include "settings/codec.h"

#include <QPointer>

// A serial port whose other end is the simulated module.
class SimulatedLinePort : public SerialPort {
public:
    explicit SimulatedLinePort(SimulatedLine *line) : m_line(line) {}
    ~SimulatedLinePort() override
    {
        if (m_line)
            m_line->detach(this);
    }

    bool open(const QString &) override
    {
        if (!m_line)
            return false;
        m_line->attach(this);
        return true;
    }
    QString errorString() const override { return m_line ? QString() : QStringLiteral("the simulated line is gone"); }
    QString deviceName() const override { return SimulatedLine::description(); }
    void writeBytes(const QByteArray &bytes) override
    {
        if (m_line && !hasFailed())
            m_line->takeFromTool(bytes);
    }
    PortEvent lastEvent() const override { return m_event; }
    QString readText() override { return cp1252::takeCharacter(m_incoming); }
    QString readWaiting() override { return cp1252::takeAll(m_incoming); }

    // The module hung up: the line is gone, as a pulled cable's.
    void hungUp() { reportFailure(QStringLiteral("the simulated module hung up"), true); }

    void arrive(QByteArrayView bytes)
    {
        m_incoming.append(bytes.data(), bytes.size());
        m_event = PortEvent::Received;
        emit dataArrived();
    }

private:
    QPointer<SimulatedLine> m_line;
    QByteArray m_incoming;
    PortEvent m_event = PortEvent::None;
};

SimulatedLine::~SimulatedLine()
{
    m_port = nullptr;
}

SerialPortFactory SimulatedLine::portFactory()
{
    return [line = QPointer<SimulatedLine>(this)]() -> std::unique_ptr<SerialPort> {
        return std::make_unique<SimulatedLinePort>(line.data());
    };
}

void SimulatedLine::hangUp()
{
    if (m_port)
        m_port->hungUp();
}

qsizetype SimulatedLine::deliver(QByteArrayView bytes)
{
    if (m_port)
        m_port->arrive(bytes);
    return bytes.size();
}

void SimulatedLine::detach(SimulatedLinePort *port)
{
    if (m_port == port)
        m_port = nullptr;
}
