// In the test guest (tests/tst_vm): the real window, offscreen, on the COM
// boxes of the guest's own ports: ticks COM box N and presses "verstuur
// test", as a technician would. A box it shows goes to standard error and
// makes the exit code 1. With DEVICE, that box leads there, as --comN
// DEVICE makes it (a module behind a device server, in scripts/ser2net.sh).
//
//   vm_window_call N [DEVICE]

#include "app/mainwindow.h"
#include "app/qtprompts.h"
#include "link/frames.h"
#include "support/scriptedprompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3)
        return 2;
    ScriptedPrompts prompts;
    SystemClock clock;
    const QString device = argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString();
    const std::optional<NetworkAddress> server = NetworkAddress::parse(device);
    ComDeviceMapper comDevice;
    if (!device.isEmpty() && !server)
        comDevice = [device](int) { return device; };
    MainWindow window(WindowServices{&prompts, &clock, comDevice, {}, {}});
    if (server)
        window.putNetworkAddressBehind(QString::fromLocal8Bit(argv[1]).toInt(), *server);
    window.show();
    window.findChild<QCheckBox *>(QStringLiteral("ChkCOM%1").arg(QString::fromLocal8Bit(argv[1])))->click();
    window.findChild<QPushButton *>(QStringLiteral("CmdTest_Bericht"))->click();
    // The frame leaves and its log line is written; a device server is
    // connected to first.
    QTimer::singleShot(2 * kSingleFrameWaitMs + (device.isEmpty() ? 0 : 1000), &app, &QCoreApplication::quit);
    app.exec();
    for (const RecordedBox &box : prompts.boxes)
        std::fprintf(stderr, "%s\n%s\n", qPrintable(box.text), qPrintable(box.details));
    return prompts.boxes.isEmpty() ? 0 : 1;
}
