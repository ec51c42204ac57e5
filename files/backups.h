#pragma once
// The data folder of the tool: a backup of the settings after every read of
// a module and of every write, of the window's values before a read replaces
// them, and of a file before a save replaces it; and the log of operations.
// Backups are settings files like any other: "openen" and `write FILE`
// take them back.

#include "files/settingsfile.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// KVR7314_DATA_DIR when it is set; else Qt's application data location of
// kvr7314 (~/.local/share/kvr7314 on Linux, %APPDATA%\kvr7314 on Windows).
QString dataDirectory();

// The log of operations in `directory`.
QString logPath(const QString &directory);

// What a backup holds, as the last part of its name says.
inline const QString kReadBackup = QStringLiteral("gelezen");            // what a read found in the module
inline const QString kWrittenBackup = QStringLiteral("geschreven");      // what a write sent
inline const QString kPartlyWrittenBackup = QStringLiteral("deels-geschreven");   // a write that stopped early
inline const QString kBeforeReadBackup = QStringLiteral("voor-lezen");   // the window's values a read replaced
inline const QString kReplacedBackup = QStringLiteral("vervangen");      // a file a save replaced

// "2026-12-09_10-41-07_ttyUSB0_gelezen.kvr": names sort by time and say
// what happened, and to which port or file. The second of two of one kind in
// the same second is "..._gelezen-2.kvr", the third "-3", and so on.
QString backupFileName(const QDateTime &when, const QString &subject, const QString &what, int sameSecond = 1);

// A device or file as a backup's name gives it: "/dev/ttyUSB0" -> "ttyUSB0",
// "/dev/pts/5" -> "pts-5", "C:\KVR\kazerne.kvr" -> "kazerne".
// Letters lose their accents, other characters become "-", and a long name
// is cut so that the backup's name stays within what file systems take.
inline constexpr int kMaxBackupSubject = 60;
QString backupSubject(const QString &deviceOrFile);
// Any name (a module's) as a file's name may hold it: "Kazerne Noord é"
// -> "Kazerne-Noord-e".
QString fileSafeName(QString name);

struct BackupFile {
    QString path;
    QDateTime time;    // from its name
    QString subject;
    QString what;

    bool operator==(const BackupFile &) const = default;
};

// The backups in `directory`, newest first. Other files are not listed.
QList<BackupFile> listBackups(const QString &directory);

// Backups older than a year go, but never the newest 50: judged by their
// names, which begin with the time, without examining a file.
inline constexpr int kBackupDaysKept = 365;
inline constexpr int kBackupsAlwaysKept = 50;
void pruneBackups(const QString &directory, const QDateTime &now);
// The same at most once a day, for every program that keeps its record in
// `directory` (a stamp in the folder says when it last happened).
void pruneBackupsOncePerDay(const QString &directory, const QDateTime &now);
