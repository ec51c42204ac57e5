// Writes the sample files of the repository with the tool's own writer and
// report printer, so they always match what the program produces:
//
//   kvr7314-example flex   FILE    a FLEX settings file
//   kvr7314-example pocsag FILE    a POCSAG settings file
//   kvr7314-example report PDF     the FLEX settings as a printed report
//
// The date and time are the moment of running, as when a user saves.

#include "files/report.h"
#include "files/settingsfile.h"
#include "settings/examplesettings.h"

#include <QGuiApplication>

#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: kvr7314-example flex|pocsag FILE | report PDF\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return usage();
    const QString &kind = args[1];
    const QString &path = args[2];
    const QDateTime now = QDateTime::currentDateTime();
    const QString month = dutchMonthName(now.date().month());

    if (kind == u"flex" || kind == u"pocsag") {
        const ModuleSettings settings = kind == u"flex" ? flexExample() : pocsagExample();
        if (const SaveOutcome saved = writeSettingsFile(path, settings, kProgramVersion, month, now); !saved) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(saved.reason.english));
            return 1;
        }
        return 0;
    }
    if (kind == u"report") {
        const auto failure = printReportToPdf(path, reportLines(flexExample(), kProgramVersion, month, now));
        if (failure) {
            std::fprintf(stderr, "%s\n", qPrintable(printFailureText(*failure)));
            return 1;
        }
        return 0;
    }
    return usage();
}
