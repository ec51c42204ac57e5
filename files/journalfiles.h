#pragma once
// The data folder's side of keeping operations: each operation's backups
// and its log line, written for many operations at once so that they share
// their syncs. A batch's backups are written whole, then synced together
// once, then given their names; then every log line goes in one append,
// synced once. A backup that could not be kept leaves its log line without
// it and says why; a line that could not be appended says why too.

#include "files/operationlog.h"
#include "files/settingsfile.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// A backup one operation leaves.
struct BackupToKeep {
    enum class Role {
        Backup,     // what the operation read or wrote: the log's `backup`
        Replaced,   // what it replaced: the log's `replaced`
    };
    Role role = Role::Backup;
    std::optional<ModuleSettings> settings;   // settings, saved as a settings file would be
    QByteArray bytes;                         // or a file's bytes as they were
    QString subject;                          // the port, file or module it is about
    QString what;                             // gelezen, geschreven, ...
    QDateTime when;                           // its name's time
};

struct RecordToKeep {
    LogEntry entry;   // its backup and replaced are filled in as they are kept
    QList<BackupToKeep> backups;
};

struct RecordKept {
    QString backup;     // the path of its backup, if it was kept
    QString replaced;   // the path of what it replaced, if it was kept
    QList<FileReason> problems;
};

// Keeps the records in `directory`, in order; what each kept, by index.
QList<RecordKept> keepRecords(const QString &directory, const QList<RecordToKeep> &records);
