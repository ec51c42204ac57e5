#pragma once
// What is kept of each operation on a module or a file: a line in the log,
// and for reads and writes a backup in the data folder. Only operations
// keep them. Keeping them never stops the work: what could not be kept is
// collected into the outcome, and the front end tells the user (the CLI on
// standard error, the window under its box's Details).

#include "files/backups.h"
#include "files/operationlog.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>

class Journal {
public:
    // `program`: the name the log gives ("kvr7314", "kvr7314-cli").
    explicit Journal(QString program, QString directory = dataDirectory());

    // One operation's record, from its start to its log line.
    class Record {
    public:
        LogEntry entry;

        // The port it talks to, and what the system knows of its adapter.
        void setPort(const QString &device, const QString &adapter, const QString &serialNumber);
        // Leaves a backup of `settings`; its path goes into the log line.
        void backUp(const ModuleSettings &settings, const QString &what);
        // Keeps the file a save is about to replace, if there is one.
        void keepReplaced(const QString &path);
        // Keeps the values a read is about to replace in the window.
        void keepReplaced(const ModuleSettings &settings, const QString &subject, const QString &what);
        // Writes the log line. What could not be kept, in this operation's
        // backups or in the log, with why.
        QList<FileReason> finish(bool ok, const QString &cause = {});

    private:
        friend class Journal;
        Record(const Journal &journal, const QString &name, const QDateTime &now);
        // The backup's path; a failure is kept among the problems.
        QString kept(const BackupOutcome &outcome);

        const Journal &m_journal;
        QDateTime m_now;
        QElapsedTimer m_clock;
        QList<FileReason> m_problems;
    };

    Record begin(const QString &operation, const QDateTime &now = QDateTime::currentDateTime()) const;
    // The data folder it keeps its log and backups in.
    const QString &directory() const { return m_directory; }

    // A backup of what the fleet's module `module` was read to hold, kept
    // without a log line of its own (a check's read, which a write then
    // names as what it replaced).
    BackupOutcome keepRead(const ModuleSettings &settings, const QString &module, const QDateTime &now) const;


private:
    QString m_program;
    QString m_directory;
};

// The problems of an operation in Dutch, one line each: "reservekopie: ...",
// "logboek ...: ...".
QString journalProblemsDutch(const QList<FileReason> &problems);

// A box's details with those problems after them, a blank line between.
QString withJournalProblems(const QString &details, const QString &problems);
