#include "cli/filecommands.h"

#include "cli/clicommandtable.h"
#include "cli/cliconsole.h"
#include "files/aliaslist.h"
#include "files/backups.h"
#include "files/safefile.h"
#include "link/portlist.h"
#include "operations/fileoperations.h"
#include "operations/history.h"
#include "readback/dumpcomparison.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace {

QString padded(const QString &text, int width)
{
    return text.leftJustified(width);
}

} // namespace

bool openSettings(const QString &path, CliConsole &console, ModuleSettings *settings, ExitCode *exit)
{
    const OperationOutcome outcome = openSettingsFile(path, settings);
    if (outcome.ok())
        return true;
    console.error(outcome.line);
    *exit = outcome.exit;
    return false;
}

ExitCode runDiff(const DiffRequest &request)
{
    CliConsole console(request.json);
    ModuleSettings a;
    ModuleSettings b;
    ExitCode exit = ExitCode::Ok;
    if (!openSettings(request.a, console, &a, &exit) || !openSettings(request.b, console, &b, &exit))
        return exit;
    const QList<FieldDifference> differences = request.asModule ? heldDifferences(a, b) : settingsDifferences(a, b);
    exit = differences.isEmpty() ? ExitCode::Ok : ExitCode::Differences;
    if (request.json) {
        QJsonArray list;
        for (const FieldDifference &d : differences)
            list.append(QJsonObject{{"key", d.key}, {"name", d.field}, {"a", d.expected}, {"b", d.found}});
        console.json(QJsonObject{{"a", request.a}, {"b", request.b},
                                       {"asModule", request.asModule}, {"differences", list}});
        return exit;
    }
    if (differences.isEmpty()) {
        console.line(QStringLiteral("%1 and %2 hold the same values%3")
                         .arg(request.a, request.b,
                              request.asModule ? QStringLiteral(" as a module holds them") : QString()));
        return exit;
    }
    // Side by side: field, A's value, B's value.
    int valueWidth = int(request.a.size());
    for (const FieldDifference &d : differences)
        valueWidth = std::max(valueWidth, int(quoted(d.expected).size()));
    console.line(padded(QString(), 18) + padded(request.a, valueWidth) + QStringLiteral("  ") + request.b);
    for (const FieldDifference &d : differences)
        console.line(padded(d.field, 18) + padded(quoted(d.expected), valueWidth) + QStringLiteral("  ") + quoted(d.found));
    return exit;
}

namespace {

// The list's bytes: a regular file of a settings file's size at most.
std::optional<QByteArray> readListFile(const QString &path, QString *error)
{
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxSettingsFileSize) {
        *error = info.exists() ? QStringLiteral("not a list of aliases (not a regular file, or over 1 MiB)")
                               : QStringLiteral("no such file");
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    return file.read(kMaxSettingsFileSize);
}

} // namespace

ExitCode runAliases(const AliasesRequest &request)
{
    const bool toStandardOutput = request.output.isEmpty();
    CliConsole console(toStandardOutput);
    ModuleSettings settings;
    if (ExitCode exit = ExitCode::Ok; !openSettings(request.file, console, &settings, &exit))
        return exit;
    if (!request.import) {
        const QByteArray list = aliasListBytes(settings);
        if (toStandardOutput) {
            console.data(list);
            return ExitCode::Ok;
        }
        if (const auto error = writeWholeFile(request.output, list)) {
            console.error(request.output + QStringLiteral(": ") + *error);
            return ExitCode::File;
        }
        console.line(QStringLiteral("wrote the %1 aliases of %2 to %3").arg(kAliasCount).arg(request.file, request.output));
        return ExitCode::Ok;
    }

    const QString &listPath = request.list;
    QString error;
    const std::optional<QByteArray> bytes = readListFile(listPath, &error);
    if (!bytes) {
        console.error(listPath + QStringLiteral(": ") + error);
        return ExitCode::File;
    }
    const AliasListRead list = readAliasList(*bytes);
    if (list.failure) {
        console.error(listPath + QStringLiteral(": nothing was written: ") + list.failure->english);
        return ExitCode::File;
    }
    HeldSettings updated(withAliases(settings, list.rows));
    SaveOperation save(updated, OperationContext::keptBy(kCliProgram));
    save.setFile(request.output);
    save.start();
    const OperationOutcome &saved = save.outcome();
    for (const FileReason &problem : saved.problems)
        console.error(problem.english);
    if (!saved.ok()) {
        console.error(saved.line);
        return saved.exit;
    }
    console.line(QStringLiteral("took %1 alias(es) of %2 into %3").arg(list.rows.size()).arg(listPath, request.output));
    return ExitCode::Ok;
}

ExitCode runHistory(const HistoryRequest &request)
{
    CliConsole console(request.json);
    const QString directory = dataDirectory();
    const QString timeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    if (request.backups) {
        QList<BackupFile> backups = listBackups(directory);
        // A fleet's module's backups carry its file-safe name.
        if (!request.module.isEmpty())
            backups.removeIf([&](const BackupFile &b) { return !ofModule(b.subject, fileSafeName(request.module)); });
        if (request.json) {
            QJsonArray list;
            for (const BackupFile &b : backups)
                list.append(QJsonObject{{"path", b.path}, {"time", b.time.toOffsetFromUtc(b.time.offsetFromUtc()).toString(Qt::ISODate)},
                                        {"subject", b.subject}, {"what", b.what}});
            console.json(list);
            return ExitCode::Ok;
        }
        if (backups.isEmpty())
            console.line(QStringLiteral("no backups in %1").arg(directory));
        else
            console.line(padded(QStringLiteral("time"), 21) + padded(QStringLiteral("what"), 18) + QStringLiteral("backup"));
        for (const BackupFile &b : backups)
            console.line(padded(b.time.toString(timeFormat), 21) + padded(b.what, 18) + b.path);
        return ExitCode::Ok;
    }

    QString error;
    const QList<LogEntry> log = readLog(logPath(directory), &error);
    if (!error.isEmpty()) {
        console.error(QStringLiteral("%1: the log cannot be read: %2").arg(logPath(directory), error));
        return ExitCode::File;
    }
    const QList<LogEntry> entries = historyEntries(log, {request.port, request.module, request.since});
    if (request.json) {
        QJsonArray list;
        for (const LogEntry &e : entries)
            list.append(logObject(e));
        console.json(list);
        return ExitCode::Ok;
    }
    if (entries.isEmpty()) {
        console.line(QStringLiteral("no operations in the log %1").arg(logPath(directory)));
        return ExitCode::Ok;
    }
    for (const QString &line : historyTable(entries))
        console.line(line);
    return ExitCode::Ok;
}

