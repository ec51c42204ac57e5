// In the test guest (tests/tst_vm): the real window, offscreen, on the COM
// boxes of the guest's own ports: ticks COM box N and presses "verstuur
// test", as a technician would. A box it shows goes to standard error and
// makes the exit code 1. With DEVICE, that box leads there, as --comN
// DEVICE makes it (a module behind a device server, in scripts/ser2net.sh).
// With --write it presses "schrijven" instead and waits for the run's box:
// the exit code is 0 only when that box says the module was programmed.
//
//   vm_window_call N [DEVICE] [--write]

#include "app/mainwindow.h"
#include "app/qtprompts.h"
#include "link/frames.h"
#include "link/linkmessages.h"
#include "support/scriptedprompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool write = arguments.removeAll(QStringLiteral("--write")) > 0;
    if (arguments.size() != 1 && arguments.size() != 2)
        return 2;
    ScriptedPrompts prompts;
    SystemClock clock;
    const QString device = arguments.value(1);
    const std::optional<NetworkAddress> server = NetworkAddress::parse(device);
    ComDeviceMapper comDevice;
    if (!device.isEmpty() && !server)
        comDevice = [device](int) { return device; };
    MainWindow window(WindowServices{&prompts, &clock, comDevice, {}, {}});
    if (server)
        window.putNetworkAddressBehind(arguments[0].toInt(), *server);
    window.show();
    window.findChild<QCheckBox *>(QStringLiteral("ChkCOM%1").arg(arguments[0]))->click();
    if (write) {
        window.findChild<QPushButton *>(QStringLiteral("CmdPRG_Module"))->click();
        // The run's box ends it: 8 s of steps, a device server's
        // confirmation and connection, and a margin.
        auto *watch = new QTimer(&app);
        QObject::connect(watch, &QTimer::timeout, &app, [&] {
            if (!prompts.boxes.isEmpty())
                app.quit();
        });
        watch->start(50);
        QTimer::singleShot(30000, &app, &QCoreApplication::quit);
    } else {
        window.findChild<QPushButton *>(QStringLiteral("CmdTest_Bericht"))->click();
        // The frame leaves and its log line is written; a device server is
        // connected to first.
        QTimer::singleShot(2 * kSingleFrameWaitMs + (device.isEmpty() ? 0 : 1000), &app, &QCoreApplication::quit);
    }
    app.exec();
    for (const RecordedBox &box : prompts.boxes)
        std::fprintf(stderr, "%s\n%s\n", qPrintable(box.text), qPrintable(box.details));
    if (write)
        return prompts.boxes.size() == 1 && prompts.boxes[0].text == kProgrammedText ? 0 : 1;
    return prompts.boxes.isEmpty() ? 0 : 1;
}
