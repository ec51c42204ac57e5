#include "support/fakeport.h"

#include "settings/codec.h"

void FakeLine::arrive(const QByteArray &bytes)
{
    incoming += bytes;
    event = SerialPort::kEventReceive;
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
    if (m_line->incoming.isEmpty())
        return {};
    const char c = m_line->incoming.front();
    m_line->incoming.remove(0, 1);
    return QString(cp1252::decodeByte(static_cast<unsigned char>(c)));
}

SerialPortFactory fakePorts(const std::shared_ptr<FakeLine> &line)
{
    return [line] { return std::make_unique<FakeSerialPort>(line); };
}
