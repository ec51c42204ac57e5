#pragma once
// What is kept of each operation on a module or a file: a line in the log,
// and for reads and writes a backup in the data folder. Only operations
// keep them. Keeping them never stops the work: what could not be kept is
// collected into the outcome, and the front end tells the user (the CLI on
// standard error, the window under its box's Details).
//
// A journal writes at once, on the caller's thread, when one operation
// runs at a time (the window, a command); for a fleet it writes on a thread
// beside the loop that paces every module's frames, and every record ready
// at one moment shares its syncs with the others (a group commit). Either
// way an operation learns what was kept before it ends.

#include "files/backups.h"
#include "files/journalfiles.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class JournalWriter;

class Journal {
public:
    enum class Writes {
        AtOnce,   // on the caller's thread, before finish() returns
        Beside,   // on a thread of its own, many records to a sync
    };

    // `program`: the name the log gives ("kvr7314", "kvr7314-cli").
    explicit Journal(QString program, QString directory = dataDirectory(), Writes writes = Writes::AtOnce);
    ~Journal();

    using Kept = RecordKept;

    // One operation's record, from its start to its log line.
    class Record {
    public:
        LogEntry entry;

        // The port it talks to, and what the system knows of its adapter.
        void setPort(const QString &device, const QString &adapter, const QString &serialNumber);
        // Leaves a backup of `settings`; the log line names it.
        void backUp(const ModuleSettings &settings, const QString &what);
        // Keeps the file a save is about to replace, if there is one: its
        // bytes are taken now.
        void keepReplaced(const QString &path);
        // Keeps the values a read or a write is about to replace (the
        // window's, a module's).
        void keepReplaced(const ModuleSettings &settings, const QString &what);
        // Writes the backups and the log line; `done` gets what was kept,
        // before finish() returns or later on `receiver`'s thread (never
        // when `receiver` is gone by then).
        void finish(bool ok, const QString &cause, QObject *receiver, std::function<void(const Kept &kept)> done);

    private:
        friend class Journal;
        Record(std::shared_ptr<JournalWriter> writer, const QString &name, const QDateTime &now);
        void keep(BackupToKeep::Role role, const ModuleSettings &settings, const QString &what);
        // What a backup of its settings is named after.
        QString subject() const;

        std::shared_ptr<JournalWriter> m_writer;
        QElapsedTimer m_clock;
        QList<BackupToKeep> m_backups;
        QList<FileReason> m_problems;   // found along the way
    };

    Record begin(const QString &operation, const QDateTime &now = QDateTime::currentDateTime()) const;
    // The data folder it keeps its log and backups in.
    const QString &directory() const { return m_directory; }

private:
    QString m_program;
    QString m_directory;
    std::shared_ptr<JournalWriter> m_writer;
};

// The problems of an operation in Dutch, one line each: "reservekopie: ...",
// "logboek ...: ...".
QString journalProblemsDutch(const QList<FileReason> &problems);

// A box's details with those problems after them, a blank line between.
QString withJournalProblems(const QString &details, const QString &problems);
