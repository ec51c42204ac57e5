#include "files/journalfiles.h"

#include "files/backups.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// A failed backup says which file it was about, so the technician can look.
FileReason at(const QString &path, const FileReason &reason)
{
    return {QStringLiteral("backup: ") + QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason.english,
            QStringLiteral("reservekopie: ") + QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason.dutch};
}

// A free name for a backup: the plain one, or with "-2", "-3" ... when two
// of one kind fall in the same second, here or already in the folder.
QString freePath(const QString &directory, const BackupToKeep &backup, QSet<QString> &taken)
{
    QString path;
    for (int n = 1;; ++n) {
        path = QDir(directory).filePath(backupFileName(backup.when, backup.subject, backup.what, n));
        if (!taken.contains(path) && !QFileInfo::exists(path))
            break;
    }
    taken.insert(path);
    return path;
}

// The bytes of a backup at `path`: a settings file, or the file it copies.
std::optional<QByteArray> bytesOf(const BackupToKeep &backup, const QString &path, FileReason *refused)
{
    if (!backup.settings)
        return backup.bytes;
    if (const auto reason = unsaveableSettings(*backup.settings)) {
        *refused = *reason;
        return std::nullopt;
    }
    return settingsFileBytes(*backup.settings, kProgramVersion, dutchMonthName(backup.when.date().month()), backup.when,
                             path);
}

// Written whole beside its final name; synced with all the others.
struct Pending {
    int record;
    BackupToKeep::Role role;
    QString temporary;
    QString path;
};

bool writeTemporary(const QString &temporary, const QByteArray &bytes, QString *error)
{
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush()) {
        *error = file.errorString();
        file.remove();
        return false;
    }
#ifdef Q_OS_WIN
    // Windows has no sync of a whole file system: each file on its own.
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle())))) {
        *error = QStringLiteral("the backup could not be synced to the disk");
        file.remove();
        return false;
    }
#endif
    return true;
}

// One sync for every backup of the batch, on the file system they are on.
bool syncFolder(const QString &directory)
{
#ifdef Q_OS_WIN
    Q_UNUSED(directory);
    return true;
#else
    const int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::syncfs(fd) == 0;
    ::close(fd);
    return synced;
#endif
}

} // namespace

QList<RecordKept> keepRecords(const QString &directory, const QList<RecordToKeep> &records)
{
    QList<RecordKept> kept(records.size());
    const bool folder = QDir().mkpath(directory);
    QList<Pending> pending;
    QSet<QString> taken;
    for (int r = 0; r < records.size(); ++r) {
        for (const BackupToKeep &backup : records[r].backups) {
            if (!folder) {
                kept[r].problems.append({QStringLiteral("backup: the data folder %1 cannot be made").arg(directory),
                                         QStringLiteral("reservekopie: de map %1 kan niet worden gemaakt").arg(directory)});
                continue;
            }
            const QString path = freePath(directory, backup, taken);
            FileReason refused;
            const std::optional<QByteArray> bytes = bytesOf(backup, path, &refused);
            if (!bytes) {
                kept[r].problems.append(at(path, refused));
                continue;
            }
            const QString temporary = path + QStringLiteral(".tmp");
            QString error;
            if (!writeTemporary(temporary, *bytes, &error)) {
                kept[r].problems.append(at(path, FileReason::system(error)));
                continue;
            }
            pending.append({r, backup.role, temporary, path});
        }
    }
    // Once on the disk, each backup takes its name: a crash leaves a whole
    // backup or none, never an empty one under a backup's name.
    const bool synced = pending.isEmpty() || syncFolder(directory);
    for (const Pending &p : pending) {
        if (!synced || !QFile::rename(p.temporary, p.path)) {
            QFile::remove(p.temporary);
            kept[p.record].problems.append(at(p.path, FileReason::system(synced ? QStringLiteral("the backup could not be named")
                                                                                : QStringLiteral("the backups could not be synced to the disk"))));
            continue;
        }
        (p.role == BackupToKeep::Role::Backup ? kept[p.record].backup : kept[p.record].replaced) = p.path;
    }

    QList<LogEntry> entries;
    for (int r = 0; r < records.size(); ++r) {
        LogEntry entry = records[r].entry;
        if (!kept[r].backup.isEmpty())
            entry.backup = kept[r].backup;
        if (!kept[r].replaced.isEmpty())
            entry.replaced = kept[r].replaced;
        entries.append(entry);
    }
    const QString log = logPath(directory);
    if (const auto error = appendToLog(log, entries)) {
        for (RecordKept &k : kept)
            k.problems.append({QStringLiteral("log %1: %2").arg(log, *error), QStringLiteral("logboek %1: %2").arg(log, *error)});
    }
    pruneBackupsOncePerDay(directory, QDateTime::currentDateTime());
    return kept;
}
