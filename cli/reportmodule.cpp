#include "cli/reportmodule.h"

#include "cli/clicommandtable.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// The folder of the running program, found before any application object
// exists (the module makes the one it needs).
QString executableDirectory()
{
#ifdef Q_OS_WIN
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
    return QFileInfo(QString::fromWCharArray(path, int(length))).absolutePath();
#else
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', 0, -2);
#endif
}

} // namespace

int runReportModule(int argc, char **argv, const ReportRequest &request)
{
    const QString here = executableDirectory();
    // Beside the program in the build tree and on Windows; in its library
    // folder once installed.
    const QStringList places = {here, QDir(here).filePath(QStringLiteral(KVR_REPORT_MODULE_FROM_BINDIR))};
    QString why;
    for (const QString &place : places) {
        QLibrary module(QDir(place).filePath(QStringLiteral("kvr7314-report")));
        if (!module.load()) {
            why = module.errorString();
            continue;
        }
        if (const auto entry = reinterpret_cast<ReportEntryPoint>(module.resolve(kReportEntryPointName)))
            return entry(argc, argv, request);
        why = module.errorString();
    }
    std::fputs((kCliErrorPrefix + QStringLiteral("the report module kvr7314-report cannot be loaded: ") + why + u'\n')
                   .toLocal8Bit()
                   .constData(),
               stderr);
    return int(ExitCode::File);
}
