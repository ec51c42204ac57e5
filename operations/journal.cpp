#include "operations/journal.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

Journal::Journal(QString program, QString directory) : m_program(std::move(program)), m_directory(std::move(directory))
{
}

Journal::Record Journal::begin(const QString &operation, const QDateTime &now) const
{
    return Record(*this, operation, now);
}

BackupOutcome Journal::keepRead(const ModuleSettings &settings, const QString &module, const QDateTime &now) const
{
    return saveBackup(m_directory, settings, fileSafeName(module), kReadBackup, now);
}

Journal::Record::Record(const Journal &journal, const QString &name, const QDateTime &now)
    : m_journal(journal), m_now(now)
{
    entry.time = now;
    entry.operation = name;
    entry.program = journal.m_program;
    entry.version = kProgramVersion;
    m_clock.start();
}

void Journal::Record::setPort(const QString &device, const QString &adapter, const QString &serialNumber)
{
    entry.port = device;
    entry.adapter = adapter;
    entry.serialNumber = serialNumber;
}

QString Journal::Record::kept(const BackupOutcome &outcome)
{
    if (outcome.failure)
        m_problems.append({QStringLiteral("backup: ") + outcome.failure->english,
                           QStringLiteral("reservekopie: ") + outcome.failure->dutch});
    return outcome.path;
}

void Journal::Record::backUp(const ModuleSettings &settings, const QString &what)
{
    // A module of a fleet is known by its name; else by its port, or the file.
    const QString subject = !entry.module.isEmpty() ? fileSafeName(entry.module)
                                                    : backupSubject(entry.port.isEmpty() ? entry.file : entry.port);
    entry.backup = kept(saveBackup(m_journal.m_directory, settings, subject, what, m_now));
}

void Journal::Record::keepReplaced(const QString &path)
{
    // Only a file is kept: a device written to (/dev/stdout) is not one.
    if (QFileInfo(path).isFile())
        entry.replaced = kept(keepReplacedFile(m_journal.m_directory, path, m_now));
}

void Journal::Record::keepReplaced(const ModuleSettings &settings, const QString &subject, const QString &what)
{
    entry.replaced = kept(saveBackup(m_journal.m_directory, settings, backupSubject(subject), what, m_now));
}

QList<FileReason> Journal::Record::finish(bool ok, const QString &cause)
{
    entry.ok = ok;
    entry.cause = ok ? QString() : cause;
    // The log is read from anywhere, later: "kazerne.kvr" alone would not
    // say which one.
    if (!entry.file.isEmpty())
        entry.file = QDir::toNativeSeparators(QFileInfo(entry.file).absoluteFilePath());
    entry.durationMs = m_clock.elapsed();
    const QString log = logPath(m_journal.m_directory);
    QDir().mkpath(m_journal.m_directory);
    if (const auto error = appendToLog(log, entry))
        m_problems.append({QStringLiteral("log %1: %2").arg(log, *error),
                           QStringLiteral("logboek %1: %2").arg(log, *error)});
    return m_problems;
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
