// kvr7314-cli report FILE.kvr -o REPORT.pdf: the settings of FILE printed
// as the window's "printen" does, into a PDF, without a display.

#include "cli/cliconsole.h"
#include "cli/clicommandtable.h"
#include "cli/filecommands.h"
#include "cli/reportmodule.h"
#include "files/report.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <optional>

namespace {

ExitCode printReportOf(const ReportRequest &request)
{
    CliConsole console;
    ModuleSettings settings;
    if (ExitCode exit = ExitCode::Ok; !openSettings(request.file, console, &settings, &exit))
        return exit;
    const QDateTime now = QDateTime::currentDateTime();
    const QList<ReportLine> lines = reportLines(settings, kProgramVersion, dutchMonthName(now.date().month()), now);
    if (const std::optional<PrintFailure> failure = printReportToPdf(request.output, lines)) {
        console.error(request.output + QStringLiteral(": ") + printFailureText(*failure));
        return ExitCode::File;
    }
    console.line(QStringLiteral("printed the report of %1 to %2").arg(request.file, request.output));
    return ExitCode::Ok;
}

} // namespace

extern "C" Q_DECL_EXPORT int kvr7314RunReport(int argc, char **argv, const ReportRequest &request)
{
#ifndef Q_OS_WIN
    // A PDF needs fonts, not a screen: the same output with or without a
    // display, unless the user chose a platform himself. (Windows always
    // has its own platform, and its fonts with it.)
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    // The platform wants a private runtime directory and warns on a session
    // that has none (ssh, containers, cron): give it one for this run.
    std::optional<QTemporaryDir> runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        runtimeDir.emplace(QDir::tempPath() + QStringLiteral("/kvr7314-cli-runtime-XXXXXX"));
        if (runtimeDir->isValid())
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir->path()));
    }
    int exitCode = 0;
    {
        QGuiApplication app(argc, argv);
        QCoreApplication::setApplicationName(kCliProgram);
        exitCode = int(printReportOf(request));
    }
    return exitCode;
}
