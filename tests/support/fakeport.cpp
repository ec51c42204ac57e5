#include "support/fakeport.h"

#include "link/portaddress.h"

#include "settings/codec.h"

void FakeLine::arrive(const QByteArray &bytes)
{
    incoming += bytes;
    event = PortEvent::Received;
}

bool FakeSerialPort::open(const QString &device)
{
    ++m_line->openings;
    m_line->devices << device;
    m_device = device;
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
    m_line->writtenAtMs << m_line->clock.elapsed();
}

void FakeSerialPort::confirmWritten(const Confirmed &done)
{
    if (m_line->acknowledgedWrites.value_or(m_line->writes) >= m_line->writes)
        done(std::nullopt);
    else
        done(QStringLiteral("not confirmed"));
}

QString FakeSerialPort::readText()
{
    return cp1252::takeCharacter(m_line->incoming);
}

SerialPortFactory fakePorts(const std::shared_ptr<FakeLine> &line)
{
    return [line] { return std::make_unique<FakeSerialPort>(line); };
}

QString fakeDevice(int comPort)
{
    return QStringLiteral("/dev/fake%1").arg(comPort);
}

PortOpener fakeOpener(const std::shared_ptr<FakeLine> &line, std::function<int()> comPort)
{
    return [line, comPort](const PortOpened &done) {
        openDeviceThen(std::make_unique<FakeSerialPort>(line), fakeDevice(comPort()), done);
    };
}
