// In the test guest (tests/tst_vm): the real window, offscreen, on the COM
// boxes of the guest's own ports: ticks COM box N and presses "verstuur
// test", as a technician would. A box it shows goes to standard error and
// makes the exit code 1.
//
//   vm_window_call N

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
    if (argc != 2)
        return 2;
    ScriptedPrompts prompts;
    SystemClock clock;
    MainWindow window(WindowServices{&prompts, &clock, {}, {}, {}});
    window.show();
    window.findChild<QCheckBox *>(QStringLiteral("ChkCOM%1").arg(QString::fromLocal8Bit(argv[1])))->click();
    window.findChild<QPushButton *>(QStringLiteral("CmdTest_Bericht"))->click();
    // The frame leaves and its log line is written.
    QTimer::singleShot(2 * kSingleFrameWaitMs, &app, &QCoreApplication::quit);
    app.exec();
    for (const RecordedBox &box : prompts.boxes)
        std::fprintf(stderr, "%s\n%s\n", qPrintable(box.text), qPrintable(box.details));
    return prompts.boxes.isEmpty() ? 0 : 1;
}
