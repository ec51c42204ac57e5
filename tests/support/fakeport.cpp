#include "support/fakeport.h"

#include "settings/codec.h"

void FakeLine::arrive(const QByteArray &bytes)
{
    incoming += bytes;
    event = PortEvent::Received;
}

bool FakeSerialPort::open(int comPort)
{
    ++m_line->openings;
    m_line->comPorts << comPort;
    return m_line->opens;
}

void FakeSerialPort::writeBytes(const QByteArray &bytes)
{
    if (++m_line->writes == m_line->failOnWrite) {
        for (int i = 0; i < m_line->failSignals; ++i)
            emit failed(QStringLiteral("gone"));
        return;
    }
    m_line->written += bytes;
}

QString FakeSerialPort::readText()
{
    return cp1252::takeCharacter(m_line->incoming);
}

SerialPortFactory fakePorts(const std::shared_ptr<FakeLine> &line)
{
    return [line] { return std::make_unique<FakeSerialPort>(line); };
}
