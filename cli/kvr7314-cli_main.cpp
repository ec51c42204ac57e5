// kvr7314-cli: the KVR7314 configuration tool on the command line, for
// scripts and for machines without a display or without a module. See
// `kvr7314-cli --help`.

#include "cli/clicommands.h"
#include "cli/clicommandline.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

int main(int argc, char *argv[])
{
#ifdef SIGXFSZ
    // A file that reaches the size limit must fail its write, which is
    // reported, rather than kill the program with a half-written file.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    const CliParse parse = parseCliArguments(arguments);
    if (!parse.request) {
        std::fprintf(stderr, "kvr7314-cli: %s\n", parse.error.toLocal8Bit().constData());
        return int(CliExit::Usage);
    }
    const CliRequest &request = *parse.request;
    if (request.command == CliCommand::Help) {
        std::fputs(cliHelpText(request.helpTopic).toLocal8Bit().constData(), stdout);
        return int(CliExit::Ok);
    }

    std::optional<QTemporaryDir> runtimeDir;   // outlives the application
    std::unique_ptr<QCoreApplication> app;
    if (needsGuiApplication(request)) {
        // A PDF needs fonts, not a screen: the same output with or without
        // a display, unless the user chose a platform himself.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // The platform wants a private runtime directory and warns on a
        // session that has none (ssh, containers, cron): give it one for
        // this run.
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            runtimeDir.emplace(QDir::tempPath() + QStringLiteral("/kvr7314-cli-runtime-XXXXXX"));
            if (runtimeDir->isValid())
                qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir->path()));
        }
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("kvr7314-cli"));
    return int(runCliRequest(request));
}
