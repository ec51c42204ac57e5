// kvr7314-cli: the KVR7314 configuration tool on the command line, for
// scripts and for machines without a display or without a module. See
// `kvr7314-cli --help`.

#include "cli/clicommandline.h"
#include "cli/clicommandtable.h"
#include "cli/clirun.h"
#include "cli/reportmodule.h"
#include "fleet/fleetsummary.h"
#include "link/portdirectory.h"
#include "link/portlist.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

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
        QString error = parse.error;
        if (parse.noModuleGiven) {
            QStringList devices;
            for (const FoundPort &port : PortDirectory::machine().ports())
                devices.append(port.device);
            // Before the "(see ... --help)" that ends the line.
            error.insert(error.lastIndexOf(QStringLiteral(" (see ")),
                         QStringLiteral(". Serial ports found: %1")
                             .arg(devices.isEmpty() ? QStringLiteral("none") : devices.join(QStringLiteral(", "))));
        }
        std::fputs((kCliErrorPrefix + error + u'\n').toLocal8Bit().constData(), stderr);
        // A monitoring system reads one line, and takes any other exit
        // code than 3 for the state of the modules.
        if (arguments.contains(QStringLiteral("--nagios"))) {
            const MonitoringCheck unknown = nagiosUnknown(error);
            std::fputs((unknown.line + u'\n').toUtf8().constData(), stdout);
            return unknown.exit;
        }
        return int(ExitCode::Usage);
    }
    const CliRequest &request = *parse.request;
    if (const auto *help = std::get_if<HelpRequest>(&request)) {
        std::fputs(cliHelpText(help->topic).toLocal8Bit().constData(), stdout);
        return int(ExitCode::Ok);
    }
    if (std::holds_alternative<VersionRequest>(request)) {
        std::fputs(cliVersionText().toLocal8Bit().constData(), stdout);
        return int(ExitCode::Ok);
    }
    if (const auto *report = std::get_if<ReportRequest>(&request))
        return runReportModule(argc, argv, *report);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(kCliProgram);
    return runCliRequest(request);
}
