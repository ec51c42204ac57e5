// kvr7314: configuration tool for the KVR7314 pager-decoder display module.
#include "app/applicationlook.h"
#include "app/mainwindow.h"
#include "app/qtprompts.h"
#include "app/windowoptions.h"

#include <QApplication>

#include <csignal>
#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

int main(int argc, char *argv[])
{
#ifdef SIGXFSZ
    // A save that reaches the file size limit must fail, and say so, rather
    // than kill the program with the user's unsaved settings.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // --help and --version answer without a display.
#ifdef Q_OS_WIN
    // A window program on Windows has no console of its own: write into
    // the one it was started from, if any.
    if (AttachConsole(ATTACH_PARENT_PROCESS))
        std::freopen("CONOUT$", "w", stdout);
#endif
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (const std::optional<QString> text = windowInformationRequest(arguments)) {
        std::fputs(text->toLocal8Bit().constData(), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    applyApplicationLook(app);
    QString error;
    bool fileError = false;
    const std::optional<WindowOptions> options = parseWindowOptions(QApplication::arguments(), &error, &fileError);
    if (!options) {
        std::fprintf(stderr, "kvr7314: %s (see kvr7314 --help)\n", error.toLocal8Bit().constData());
        return fileError ? 3 : 2;
    }
    // The info window may outlive the main window; the program ends when
    // the last of them closes.
    QApplication::setQuitOnLastWindowClosed(true);

    QtPrompts prompts;
    SystemClock clock;
    MainWindow window(WindowServices{&prompts, &clock, comDeviceMapper(*options), {}, {}});
    window.setTlsCredentials(options->tls);
    for (int n = 1; n <= kComPortCount; ++n) {
        if (const std::optional<NetworkAddress> &address = options->networkBehind[size_t(n - 1)])
            window.putNetworkAddressBehind(n, *address);
    }
    prompts.setDialogParent(&window);
    window.show();
    if (!options->file.isEmpty())
        window.openSettingsFile(options->file);
    return app.exec();
}
