// kvr7314-demo: the configuration tool against a simulated KVR7314, for
// trying it without a module. The main window is the real one; beside it a
// view shows what the module would display.
//
//   kvr7314-demo                  the two windows
//   kvr7314-demo --picture FILE   renders them offscreen after a test call
//                                 into FILE (the README's picture)

#include "app/applicationlook.h"
#include "app/qtprompts.h"
#include "demo/demo.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>
#include <cstring>

namespace {

bool savePicture(Demo &demo, const QString &path)
{
    // As after "lezen": the window shows what the module holds.
    demo.window()->showSettings(demo.host().module().stored());
    demo.show();
    demo.window()->findChild<QLineEdit *>(QStringLiteral("Txt_Testbericht"))
        ->setText(QStringLiteral("P 1 BDH-02 Woningbrand Dorpsstraat 12 Noorddorp 071131"));
    demo.window()->findChild<QPushButton *>(QStringLiteral("CmdTest_Bericht"))->click();

    const QDeadlineTimer deadline(5000);
    while (!lastCall(demo.host().module()) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (!lastCall(demo.host().module())) {
        std::fprintf(stderr, "kvr7314-demo: the simulated module took no test call\n");
        return false;
    }
    demo.refresh();
    if (demo.picture().save(path))
        return true;
    std::fprintf(stderr, "kvr7314-demo: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-v") == 0)) {
        std::printf("kvr7314-demo %s\n", qPrintable(kProgramVersion));
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("Usage: kvr7314-demo [--picture FILE | FILE.kvr]\n\n"
                    "The kvr7314 window on a simulated KVR7314, beside a view of what the module\n"
                    "shows, to try the tool without a module. All four COM boxes lead to the\n"
                    "simulated module. FILE.kvr is opened at the start as \"openen\" would open it.\n"
                    "Its backups and log go to the demo/ sub-folder of the data folder, apart from\n"
                    "those of the modules a technician touched.\n\n"
                    "  --picture FILE   render both windows offscreen after a test call into FILE\n"
                    "                   (PNG)\n"
                    "  -h, --help       this text\n"
                    "  -v, --version    the program's version\n");
        return 0;
    }
    const bool picture = argc == 3 && std::strcmp(argv[1], "--picture") == 0;
    if (picture)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    applyApplicationLook(app);
    // One argument that is no option: a settings file to open at the start.
    const bool file = argc == 2 && argv[1][0] != '-';
    if (argc != 1 && !picture && !file) {
        std::fprintf(stderr, "usage: kvr7314-demo [--picture FILE | FILE.kvr]\n");
        return 2;
    }

    QtPrompts prompts;
    SystemClock clock;
    Demo demo(prompts, clock);
    if (!demo.start()) {
        std::fprintf(stderr, "kvr7314-demo: no simulated module: %s\n", qPrintable(demo.errorString()));
        return 1;
    }
    prompts.setDialogParent(demo.window());
    if (picture)
        return savePicture(demo, QString::fromLocal8Bit(argv[2])) ? 0 : 1;

    demo.show();
    if (file)
        demo.window()->openSettingsFile(QString::fromLocal8Bit(argv[1]));
    return app.exec();
}
