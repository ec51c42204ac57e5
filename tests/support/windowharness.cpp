#include "support/windowharness.h"

#include <QLabel>
#include <QTimer>

const QStringList kCommandButtons = {"CmdOpen", "CmdSave", "CmdPrint", "CmdPRG_Module", "CmdLeesModule",
                                     "CmdTest_Bericht", "CmdGeen_Netwerk", "CmdInfo", "CmdAfsluiten"};
const QStringList kReadBackTimers = {"Tmr_Inlezen", "Tmr_Verwerken_Data", "Tmr_Knippertijd_LED"};

WindowHarness::WindowHarness(ComDeviceMapper realPortsTo)
{
    WindowServices services{&prompts, &clock, std::move(realPortsTo), {}, {}};
    if (!services.comDevice) {
        services.comDevice = fakeDevice;
        services.portFactory = fakePorts(line);
    }
    // A test that does not choose the data folder leaves nothing in the
    // technician's own.
    if (qEnvironmentVariableIsEmpty("KVR7314_DATA_DIR"))
        services.dataDirectory = data.path();
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
