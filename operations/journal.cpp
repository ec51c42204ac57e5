#include "operations/journal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QMutex>
#include <QPointer>
#include <QStringList>
#include <QThread>

// Writes the records handed to it, at once or on a thread of its own.
class JournalWriter : public QObject {
public:
    using Done = std::function<void(const RecordKept &)>;

    JournalWriter(QString directory, Journal::Writes writes) : m_directory(std::move(directory)), m_writes(writes)
    {
        if (m_writes != Journal::Writes::Beside)
            return;
        m_thread.setObjectName(QStringLiteral("journal"));
        moveToThread(&m_thread);
        m_thread.start();
    }

    ~JournalWriter() override
    {
        if (m_writes != Journal::Writes::Beside)
            return;
        // What is queued is kept before the program goes on without it.
        QMetaObject::invokeMethod(this, &JournalWriter::writeQueued, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    void keep(RecordToKeep record, QObject *receiver, Done done)
    {
        if (m_writes == Journal::Writes::AtOnce) {
            const QList<RecordKept> kept = keepRecords(m_directory, {record});
            done(kept.first());
            return;
        }
        QMutexLocker lock(&m_mutex);
        m_queue.append({std::move(record), receiver, std::move(done)});
        // One wake-up for all that come before it is handled.
        if (!std::exchange(m_woken, true))
            QMetaObject::invokeMethod(this, &JournalWriter::writeQueued, Qt::QueuedConnection);
    }

private:
    struct Queued {
        RecordToKeep record;
        QPointer<QObject> receiver;
        Done done;
    };

    // Every record ready now, with one sync for their backups and one for
    // their log lines; each caller told on its own thread.
    void writeQueued()
    {
        QList<Queued> batch;
        {
            QMutexLocker lock(&m_mutex);
            batch = std::exchange(m_queue, {});
            m_woken = false;
        }
        if (batch.isEmpty())
            return;
        QList<RecordToKeep> records;
        for (const Queued &q : batch)
            records.append(q.record);
        const QList<RecordKept> kept = keepRecords(m_directory, records);
        for (qsizetype i = 0; i < batch.size(); ++i) {
            QObject *receiver = batch[i].receiver;
            if (!receiver)
                continue;
            QMetaObject::invokeMethod(receiver, [done = batch[i].done, kept = kept[i]] { done(kept); }, Qt::QueuedConnection);
        }
    }

    QString m_directory;
    Journal::Writes m_writes;
    QThread m_thread;
    QMutex m_mutex;
    QList<Queued> m_queue;
    bool m_woken = false;
};

Journal::Journal(QString program, QString directory, Writes writes)
    : m_program(std::move(program)),
      m_directory(std::move(directory)),
      m_writer(std::make_shared<JournalWriter>(m_directory, writes))
{
}

Journal::~Journal() = default;

Journal::Record Journal::begin(const QString &operation, const QDateTime &now) const
{
    Record record(m_writer, operation, now);
    record.entry.program = m_program;
    return record;
}

Journal::Record::Record(std::shared_ptr<JournalWriter> writer, const QString &name, const QDateTime &now)
    : m_writer(std::move(writer))
{
    entry.time = now;
    entry.operation = name;
    entry.version = kProgramVersion;
    m_clock.start();
}

void Journal::Record::setPort(const QString &device, const QString &adapter, const QString &serialNumber)
{
    entry.port = device;
    entry.adapter = adapter;
    entry.serialNumber = serialNumber;
}

void Journal::Record::keep(BackupToKeep::Role role, const ModuleSettings &settings, const QString &what)
{
    // Named once the record is finished: by then its port is known.
    m_backups.append({role, settings, {}, {}, what, entry.time});
}

void Journal::Record::backUp(const ModuleSettings &settings, const QString &what)
{
    keep(BackupToKeep::Role::Backup, settings, what);
}

void Journal::Record::keepReplaced(const QString &path)
{
    // Only a file is kept: a device written to (/dev/stdout) is not one.
    if (!QFileInfo(path).isFile())
        return;
    QFile old(path);
    if (!old.open(QIODevice::ReadOnly)) {
        m_problems.append({QStringLiteral("backup: %1: %2").arg(QDir::toNativeSeparators(path), old.errorString()),
                           QStringLiteral("reservekopie: %1: %2").arg(QDir::toNativeSeparators(path), old.errorString())});
        return;
    }
    m_backups.append({BackupToKeep::Role::Replaced, std::nullopt, old.read(kMaxSettingsFileSize + 1), backupSubject(path),
                      kReplacedBackup, entry.time});
}

void Journal::Record::keepReplaced(const ModuleSettings &settings, const QString &what)
{
    keep(BackupToKeep::Role::Replaced, settings, what);
}

QString Journal::Record::subject() const
{
    // A module of a fleet is known by its name; else by its port, or the file.
    if (!entry.module.isEmpty())
        return fileSafeName(entry.module);
    return backupSubject(entry.port.isEmpty() ? entry.file : entry.port);
}

void Journal::Record::finish(bool ok, const QString &cause, QObject *receiver, std::function<void(const Kept &)> done)
{
    for (BackupToKeep &backup : m_backups) {
        if (backup.subject.isEmpty())
            backup.subject = subject();
    }
    entry.ok = ok;
    entry.cause = ok ? QString() : cause;
    // The log is read from anywhere, later: "kazerne.kvr" alone would not
    // say which one.
    if (!entry.file.isEmpty())
        entry.file = QDir::toNativeSeparators(QFileInfo(entry.file).absoluteFilePath());
    entry.durationMs = m_clock.elapsed();
    RecordToKeep record{entry, m_backups};
    m_writer->keep(std::move(record), receiver, [problems = m_problems, done = std::move(done)](const Kept &kept) {
        Kept all = kept;
        all.problems = problems + kept.problems;
        done(all);
    });
}

QString journalProblemsDutch(const QList<FileReason> &problems)
{
    QStringList lines;
    for (const FileReason &p : problems)
        lines.append(p.dutch);
    return lines.join(u'\n');
}

QString withJournalProblems(const QString &details, const QString &problems)
{
    if (problems.isEmpty())
        return details;
    return details.isEmpty() ? problems : details + QStringLiteral("\n\n") + problems;
}
