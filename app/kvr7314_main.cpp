// kvr7314: configuration tool for the KVR7314 pager-decoder display module.
#include "app/mainwindow.h"
#include "app/qtprompts.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The info window may outlive the main window; the program ends when
    // the last of them closes.
    QApplication::setQuitOnLastWindowClosed(true);

    QtPrompts prompts;
    SystemClock clock;
    MainWindow window(WindowServices{&prompts, &clock, {}, {}});
    prompts.setDialogParent(&window);
    window.show();
    return app.exec();
}
