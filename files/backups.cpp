#include "files/backups.h"

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

// time_subject_what(-n).kvr, the time first so the names sort by it.
const QRegularExpression &backupPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d)_(.*)_([a-z-]+)(-\\d+)?\\.kvr$"));
    return pattern;
}

// The backups in `directory` as their names give them, in no order.
struct Named {
    BackupFile backup;
    int sameSecond;    // the n of "-n": the nth backup of its kind in that second
};

QList<Named> namedBackups(const QString &directory)
{
    const QDir dir(directory);
    QList<Named> named;
    for (const QString &name : dir.entryList({QStringLiteral("*.kvr")}, QDir::Files)) {
        const QRegularExpressionMatch match = backupPattern().match(name);
        const QDateTime time = match.hasMatch() ? QDateTime::fromString(match.captured(1), kTimeFormat) : QDateTime();
        if (!time.isValid())
            continue;
        const QString suffix = match.captured(4);
        named.append({BackupFile{dir.filePath(name), time, match.captured(2), match.captured(3)},
                      suffix.isEmpty() ? 1 : suffix.mid(1).toInt()});
    }
    return named;
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

QString backupFileName(const QDateTime &when, const QString &subject, const QString &what, int sameSecond)
{
    const QString number = sameSecond > 1 ? QStringLiteral("-%1").arg(sameSecond) : QString();
    return when.toString(kTimeFormat) + u'_' + subject + u'_' + what + number + kExtension;
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
        int sameSecond;
        QDateTime modified;
    };
    QList<Found> found;
    for (const Named &n : namedBackups(directory))
        found.append({n.backup, n.sameSecond, QFileInfo(n.backup.path).lastModified()});
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

void pruneBackups(const QString &directory, const QDateTime &now)
{
    // By the names alone, which begin with the time: no file is examined.
    QList<Named> backups = namedBackups(directory);
    std::sort(backups.begin(), backups.end(), [](const Named &a, const Named &b) {
        return std::tie(a.backup.time, a.sameSecond) > std::tie(b.backup.time, b.sameSecond);
    });
    const QDateTime cutOff = now.addDays(-kBackupDaysKept);
    for (qsizetype i = kBackupsAlwaysKept; i < backups.size(); ++i) {
        if (backups[i].backup.time < cutOff)
            QFile::remove(backups[i].backup.path);
    }
    // A backup being written has a temporary name until it is on the disk;
    // one a day old was left by a program that stopped halfway.
    for (const QString &name : QDir(directory).entryList({QStringLiteral("*.kvr.tmp")}, QDir::Files)) {
        const QRegularExpressionMatch match = backupPattern().match(name.chopped(4));
        if (match.hasMatch() && QDateTime::fromString(match.captured(1), kTimeFormat) < now.addDays(-1))
            QFile::remove(QDir(directory).filePath(name));
    }
}

void pruneBackupsOncePerDay(const QString &directory, const QDateTime &now)
{
    // The day of the last pruning, in the folder, so every program of the
    // tool prunes once a day at most. Journals on threads of their own may
    // call this at once: the stamp is all they share.
    const QDate today = now.date();
    QFile stamp(QDir(directory).filePath(QStringLiteral("kvr7314-pruned")));
    if (stamp.open(QIODevice::ReadOnly) && QDate::fromString(QString::fromLatin1(stamp.readAll().trimmed()), Qt::ISODate) == today)
        return;
    stamp.close();
    pruneBackups(directory, now);
    if (stamp.open(QIODevice::WriteOnly | QIODevice::Truncate))
        stamp.write(today.toString(Qt::ISODate).toLatin1() + '\n');
}
