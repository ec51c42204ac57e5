#include "support/windowharness.h"

#include "settings/codec.h"

#include <QLabel>
#include <QTimer>

const QStringList kCommandButtons = {"CmdOpen", "CmdSave", "CmdPrint", "CmdPRG_Module", "CmdLeesModule",
                                     "CmdTest_Bericht", "CmdGeen_Netwerk", "CmdInfo", "CmdAfsluiten"};
const QStringList kReadBackTimers = {"Tmr_Inlezen", "Tmr_Verwerken_Data", "Tmr_Knippertijd_LED"};

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

WindowHarness::WindowHarness(ComDeviceMapper realPortsTo)
{
    WindowServices services{&prompts, &clock, std::move(realPortsTo), {}};
    if (!services.comDevice)
        services.portFactory = [line = line] { return std::make_unique<FakeSerialPort>(line); };
    window = std::make_unique<MainWindow>(services);
}

bool WindowHarness::show()
{
    window->show();
    return QTest::qWaitForWindowExposed(window.get());
}

bool WindowHarness::buttonsEnabled(bool enabled) const
{
    for (const QString &name : kCommandButtons) {
        if (child<QPushButton>(name)->isEnabled() != enabled)
            return false;
    }
    return true;
}

bool WindowHarness::timerRunning(const QString &name) const { return child<QTimer>(name)->isActive(); }

bool WindowHarness::anyReadBackTimerRunning() const
{
    for (const QString &name : kReadBackTimers) {
        if (timerRunning(name))
            return true;
    }
    return false;
}

bool WindowHarness::readLedShown() const { return !child<QLabel>("imgLED_DataIN")->isHidden(); }

bool WindowHarness::writeLedShown() const { return !child<QLabel>("imgLED_DataUIT")->isHidden(); }

bool WindowHarness::waitForBoxes(int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return prompts.boxes.size() >= count; }, timeoutMs);
}
