#include "files/backups.h"

#include "files/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <tuple>

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd_HH-mm-ss");
const QString kExtension = QStringLiteral(".kvr");

// time_subject_what.kvr, the time first so the names sort by it.
const QRegularExpression &backupPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d)_(.*)_([a-z-]+)(-\\d+)?\\.kvr$"));
    return pattern;
}

std::optional<BackupFile> backupFile(const QFileInfo &info)
{
    const QRegularExpressionMatch match = backupPattern().match(info.fileName());
    if (!match.hasMatch())
        return std::nullopt;
    const QDateTime time = QDateTime::fromString(match.captured(1), kTimeFormat);
    if (!time.isValid())
        return std::nullopt;
    return BackupFile{info.filePath(), time, match.captured(2), match.captured(3)};
}

int sameSecondNumber(const QString &fileName)
{
    const QString suffix = backupPattern().match(fileName).captured(4);
    return suffix.isEmpty() ? 1 : suffix.mid(1).toInt();
}

// A free name in `directory`: the plain one, or with "-2", "-3" ... before
// the extension when two backups of one kind fall in the same second.
QString freePath(const QString &directory, const QDateTime &when, const QString &subject, const QString &what)
{
    const QString name = backupFileName(when, subject, what);
    QString path = QDir(directory).filePath(name);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QDir(directory).filePath(name.chopped(kExtension.size()) + QStringLiteral("-%1").arg(n) + kExtension);
    return path;
}

std::optional<FileReason> makeDirectory(const QString &directory)
{
    if (QDir().mkpath(directory))
        return std::nullopt;
    return FileReason{QStringLiteral("the data folder %1 cannot be made").arg(directory),
                      QStringLiteral("de map %1 kan niet worden gemaakt").arg(directory)};
}

// A failed backup says which file it was about, so the technician can look.
FileReason at(const QString &path, const FileReason &reason)
{
    return {QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason.english,
            QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason.dutch};
}

} // namespace

QString dataDirectory()
{
    const QString given = qEnvironmentVariable("KVR7314_DATA_DIR");
    if (!given.isEmpty())
        return given;
#ifdef Q_OS_WIN
    // Roaming, with the technician's account; every program of the tool
    // shares it, whatever its own name.
    const QString base = qEnvironmentVariable("APPDATA");
    if (!base.isEmpty())
        return QDir(base).filePath(QStringLiteral("kvr7314"));
#endif
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(QStringLiteral("kvr7314"));
}

QString logPath(const QString &directory)
{
    return QDir(directory).filePath(QStringLiteral("kvr7314-log.jsonl"));
}

QString backupFileName(const QDateTime &when, const QString &subject, const QString &what)
{
    return when.toString(kTimeFormat) + u'_' + subject + u'_' + what + kExtension;
}

QString backupSubject(const QString &deviceOrFile)
{
    QString subject = deviceOrFile;
    if (subject.contains(QLatin1String("://")))
        subject.replace(QLatin1String("://"), QLatin1String("-"));   // a device server's port: rfc2217-HOST-PORT
    else if (subject.startsWith(QLatin1String("/dev/")))
        subject = subject.mid(5);
    else if (subject.endsWith(kExtension, Qt::CaseInsensitive) || subject.contains(u'/') || subject.contains(u'\\'))
        subject = QFileInfo(QString(subject).replace(u'\\', u'/')).completeBaseName();
    return fileSafeName(subject);
}

QString fileSafeName(QString name)
{
    // Only what every file system takes in a name: "Kazerne Zuidbroek é"
    // keeps its letters as "Kazerne-Zuidbroek-e".
    static const QRegularExpression marks(QStringLiteral("\\p{M}+"));
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9.-]+"));
    name = name.normalized(QString::NormalizationForm_D);
    name.remove(marks);
    name.replace(unsafe, QStringLiteral("-"));
    // "--sim" names the simulated module built into kvr7314-cli.
    while (name.startsWith(u'-'))
        name.remove(0, 1);
    // The name around it takes some 40 characters; file systems take 255.
    name.truncate(kMaxBackupSubject);
    return name.isEmpty() ? QStringLiteral("module") : name;
}

QList<BackupFile> listBackups(const QString &directory)
{
    struct Found {
        BackupFile backup;
        int sameSecond;    // the n of "-n": the nth backup of its kind in that second
        QDateTime modified;
    };
    QList<Found> found;
    const QFileInfoList files = QDir(directory).entryInfoList({QStringLiteral("*.kvr")}, QDir::Files);
    for (const QFileInfo &info : files) {
        if (const auto backup = backupFile(info))
            found.append({*backup, sameSecondNumber(info.fileName()), info.lastModified()});
    }
    // Names alone put "x.kvr" after "x-2.kvr"; within one second the file
    // written last says which is newer.
    std::sort(found.begin(), found.end(), [](const Found &a, const Found &b) {
        return std::tie(a.backup.time, a.sameSecond, a.modified, a.backup.path)
             > std::tie(b.backup.time, b.sameSecond, b.modified, b.backup.path);
    });
    QList<BackupFile> backups;
    for (const Found &f : found)
        backups.append(f.backup);
    return backups;
}

BackupOutcome saveBackup(const QString &directory, const ModuleSettings &settings, const QString &subject,
                         const QString &what, const QDateTime &now)
{
    if (const auto failure = makeDirectory(directory))
        return {QString(), failure};
    const QString path = freePath(directory, now, subject, what);
    const SaveOutcome saved = writeSettingsFile(path, settings, now);
    if (!saved)
        return {QString(), at(path, saved.reason)};
    pruneBackups(directory, now);
    return {path, std::nullopt};
}

BackupOutcome keepReplacedFile(const QString &directory, const QString &path, const QDateTime &now)
{
    if (const auto failure = makeDirectory(directory))
        return {QString(), failure};
    QFile old(path);
    if (!old.open(QIODevice::ReadOnly))
        return {QString(), at(path, FileReason::system(old.errorString()))};
    const QByteArray bytes = old.read(kMaxSettingsFileSize + 1);
    const QString backup = freePath(directory, now, backupSubject(path), kReplacedBackup);
    if (const auto error = writeWholeFile(backup, bytes))
        return {QString(), at(backup, FileReason::system(*error))};
    pruneBackups(directory, now);
    return {backup, std::nullopt};
}

void pruneBackups(const QString &directory, const QDateTime &now)
{
    const QList<BackupFile> backups = listBackups(directory);
    const QDateTime cutOff = now.addDays(-kBackupDaysKept);
    for (qsizetype i = kBackupsAlwaysKept; i < backups.size(); ++i) {
        if (backups[i].time < cutOff)
            QFile::remove(backups[i].path);
    }
}
