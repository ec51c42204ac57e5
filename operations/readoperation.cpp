#include "operations/readoperation.h"

#include "files/backups.h"
#include "files/filemessages.h"
#include "files/safefile.h"
#include "link/linkmessages.h"
#include "readback/dumpcomparison.h"
#include "readback/readbackmessages.h"
#include "readback/readbackrun.h"

namespace {

// The settings a module's dump carries, on those of a fresh start with
// `receiver`: the dump does not carry the receiver type.
ModuleSettings settingsRead(const SettingsUpdate &update, ReceiverType receiver)
{
    ModuleSettings base = startupSettings();
    base.receiverType = receiver;
    return applyUpdate(base, update);
}

OperationOutcome fileFailed(const QString &line)
{
    OperationOutcome outcome;
    outcome.kind = OperationOutcome::Kind::FileFailed;
    outcome.exit = ExitCode::File;
    outcome.line = line;
    return outcome;
}

// An output that cannot be written refuses the read before the module is asked.
std::optional<OperationOutcome> unwritable(const QString &path)
{
    const std::optional<QString> reason = checkWritable(path);
    if (!reason)
        return std::nullopt;
    OperationOutcome refused = fileFailed(saveFailedLine(path, *reason));
    refused.kind = OperationOutcome::Kind::Refused;
    return refused;
}

} // namespace

// --- Every read ------------------------------------------------------------------------

ReadingOperation::ReadingOperation(ModuleAccess access, OperationContext context, ReadBackSession::Options options,
                                   QObject *parent)
    : Operation(std::move(context), parent),
      m_access(std::move(access)),
      m_options(options),
      m_session(new ReadBackSession(m_access.opener(), options, this))
{
    connect(m_session, &ReadBackSession::ledChanged, this, &Operation::ledChanged);
    connect(m_session, &ReadBackSession::received, this, [this](int characters) {
        // The first poll has decided that the module answers: the rest of
        // its dump waits in the port meanwhile.
        lookUpPortSoon();
        emit received(characters, false);
    });
    connect(m_session, &ReadBackSession::finished, this, &ReadingOperation::parsed);
    connect(m_session, &ReadBackSession::noData, this, [this] {
        OperationOutcome outcome;
        outcome.kind = OperationOutcome::Kind::NoData;
        outcome.exit = ExitCode::Module;
        outcome.line = oneLine(kNoDataText);
        outcome.box = OutcomeBox{kReadFailedTitle, BoxIcon::Information, kNoDataText, {}};
        endFailed(outcome);
    });
    connect(m_session, &ReadBackSession::failed, this, [this](const PortFailure &failure) {
        endFailed(portFailed(failure, m_access.address(), kReadPortFailureText));
    });
}

ReadingOperation::~ReadingOperation() = default;

void ReadingOperation::start()
{
    if (isRunning() || m_session->isRunning() || !passesCheck())
        return;
    say([this] { return announcement(); });
    const Words w = words();
    if (!w.operation.isEmpty())
        beginRecord(w.operation, &m_access);
    if (Journal::Record *op = record())
        op->entry.file = w.file;
    beforeRead();
    holdConnection(m_access);
    if (begin())
        m_session->startReadBack();
}

QString ReadingOperation::readingLine(const QString &what) const
{
    return m_options.endWhenComplete
        ? QStringLiteral("%1 (until its dump is complete, %2 s at most)").arg(what).arg(kParseDelayMs / 1000)
        : QStringLiteral("%1 (its dump is collected for %2 s)").arg(what).arg(kParseDelayMs / 1000);
}

void ReadingOperation::parsed(const DumpParse &parse)
{
    emit received(int(receivedText().size()), true);
    if (parse.accepted()) {
        accepted(*parse.update);
        return;
    }
    OperationOutcome outcome;
    outcome.kind = OperationOutcome::Kind::Rejected;
    outcome.exit = ExitCode::Module;
    outcome.line = oneLine(kFaultyDataText) + QStringLiteral(" (%1)").arg(parse.rejection);
    outcome.box = OutcomeBox{kReadFailedTitle, BoxIcon::Information, kFaultyDataText, {}};
    endFailed(outcome);
}

void ReadingOperation::endFailed(OperationOutcome outcome)
{
    afterFailedRead();
    const Words w = words();
    const QString cause = outcome.line;
    outcome.line = w.prefix + cause + w.suffix;
    conclude(outcome, cause);
}

void ReadingOperation::halt(const StopCause &cause)
{
    m_session->stop();
    afterFailedRead();
    conclude(stopped(cause, words().whenStopped), stopCauseText(cause));
}


// --- "lezen", kvr7314-cli read --------------------------------------------------------------

ReadOperation::ReadOperation(ModuleAccess access, SettingsHolder &holder, OperationContext context, Options options,
                             QObject *parent)
    : ReadingOperation(std::move(access), std::move(context), options.read, parent),
      m_holder(holder),
      m_options(std::move(options))
{
}

std::optional<OperationOutcome> ReadOperation::refusal() const
{
    if (m_options.target != Target::File)
        return std::nullopt;
    return unwritable(m_options.file);
}

ReadingOperation::Words ReadOperation::words() const
{
    return {QStringLiteral("read"), m_options.target == Target::File ? m_options.file : QString(), {}, {},
            QStringLiteral("the read was not finished; nothing was saved")};
}

QString ReadOperation::announcement() const
{
    return readingLine(QStringLiteral("reading the module on %1").arg(access().description()));
}

void ReadOperation::beforeRead()
{
    m_before = m_holder.settings();
    for (int i = 0; i < kAliasCount; ++i)
        m_holder.setFieldText(aliasField(i), QString());
}

void ReadOperation::afterFailedRead()
{
    for (int i = 0; i < kAliasCount; ++i)
        m_holder.setFieldText(aliasField(i), m_before.aliases[size_t(i)]);
}

void ReadOperation::accepted(const SettingsUpdate &update)
{
    Journal::Record *op = completeRecord();
    // Values other than those last opened, saved, read or written would be
    // lost: they are kept first.
    if (op && m_holder.known && !settingsDifferences(m_before, *m_holder.known).isEmpty())
        op->keepReplaced(m_before, kBeforeReadBackup);
    m_holder.showSettings(applyUpdate(m_holder.settings(), update));
    const ModuleSettings values = m_holder.settings();
    m_holder.known = values;
    if (op) {
        op->entry.firmware = values.firmwareVersion;
        op->backUp(values, kReadBackup);
    }
    emit said(oneLine(kReadDoneText) + QStringLiteral(" (firmware %1)").arg(values.firmwareVersion));
    save(values);
}

void ReadOperation::save(const ModuleSettings &settings)
{
    OperationOutcome outcome;
    outcome.settings = settings;
    switch (m_options.target) {
    case Target::None:
        outcome.box = OutcomeBox{kReadDoneTitle, BoxIcon::Information, kReadDoneText, {}};
        break;
    case Target::File: {
        if (Journal::Record *op = record())
            op->keepReplaced(m_options.file);
        if (const SaveOutcome saved = writeSettingsFile(m_options.file, settings, now()); !saved) {
            OperationOutcome failed = fileFailed(saveFailedLine(m_options.file, saved.reason.english));
            failed.settings = settings;   // read all the same
            conclude(failed, saved.reason.english);
            return;
        }
        outcome.line = QStringLiteral("saved to %1").arg(m_options.file);
        break;
    }
    case Target::StandardOutput: {
        if (const auto refused = unsaveableSettings(settings)) {
            conclude(fileFailed(saveFailedLine(QStringLiteral("-"), refused->english)), refused->english);
            return;
        }
        const QDateTime at = now();
        outcome.data = settingsFileBytes(settings, kProgramVersion, dutchMonthName(at.date().month()), at,
                                         QStringLiteral("-"));
        break;
    }
    }
    conclude(outcome);
}

// --- write --backup -----------------------------------------------------------------------

BackupOperation::BackupOperation(ModuleAccess access, OperationContext context, ReadBackSession::Options options,
                                 QString file, ReceiverType receiver, QObject *parent)
    : ReadingOperation(std::move(access), std::move(context), options, parent),
      m_file(std::move(file)),
      m_receiver(receiver)
{
}

std::optional<OperationOutcome> BackupOperation::refusal() const
{
    if (m_file.isEmpty())
        return std::nullopt;
    return unwritable(m_file);
}

ReadingOperation::Words BackupOperation::words() const
{
    return {QStringLiteral("read"), m_file, QStringLiteral("backup: "), QStringLiteral("; nothing was written"),
            QStringLiteral("nothing was written; the module was not changed")};
}

QString BackupOperation::announcement() const
{
    return readingLine(QStringLiteral("backup: reading the module before writing"));
}

void BackupOperation::accepted(const SettingsUpdate &update)
{
    const ModuleSettings held = settingsRead(update, m_receiver);
    Journal::Record *op = completeRecord();
    if (op) {
        op->entry.firmware = held.firmwareVersion;
        op->backUp(held, kReadBackup);
    }
    OperationOutcome outcome;
    outcome.settings = held;
    if (m_file.isEmpty()) {
        outcome.line = QStringLiteral("backup: kept what the module held (firmware %1)").arg(held.firmwareVersion);
        conclude(outcome);
        return;
    }
    if (op)
        op->keepReplaced(m_file);
    if (const SaveOutcome saved = writeSettingsFile(m_file, held, now()); !saved) {
        conclude(fileFailed(saveFailedLine(m_file, saved.reason.english) + words().suffix), saved.reason.english);
        return;
    }
    outcome.line = QStringLiteral("backup: saved what the module held (firmware %1) to %2")
                       .arg(held.firmwareVersion, m_file);
    conclude(outcome);
}

// --- write --verify --------------------------------------------------------------------------

VerifyOperation::VerifyOperation(ModuleAccess access, OperationContext context, ModuleSettings written, QString file,
                                 ReadBackSession::Options options, QObject *parent)
    : ReadingOperation(std::move(access), std::move(context), options, parent),
      m_written(std::move(written)),
      m_file(std::move(file))
{
}

ReadingOperation::Words VerifyOperation::words() const
{
    return {QStringLiteral("verify"), m_file, QStringLiteral("verify: "), {},
            QStringLiteral("the module was written, but not verified")};
}

QString VerifyOperation::announcement() const
{
    return readingLine(QStringLiteral("verify: reading the module back"));
}

void VerifyOperation::accepted(const SettingsUpdate &update)
{
    if (Journal::Record *op = completeRecord()) {
        op->entry.firmware = update.values.firmwareVersion;
        op->backUp(settingsRead(update, m_written.receiverType), kReadBackup);
    }
    OperationOutcome outcome;
    outcome.settings = update.values;
    const QList<FieldDifference> differences = moduleDifferences(m_written, update.values);
    outcome.differences = differences;
    if (differences.isEmpty()) {
        outcome.line = QStringLiteral("verify: the module holds every value of %1 (firmware %2)")
                           .arg(m_file, update.values.firmwareVersion);
        conclude(outcome);
        return;
    }
    for (const FieldDifference &d : differences)
        emit said(QStringLiteral("  %1: written %2, module holds %3").arg(d.field, quoted(d.expected), quoted(d.found)));
    const QString differ =
        QStringLiteral("%1 value(s) in the module differ from %2").arg(differences.size()).arg(m_file);
    outcome.kind = OperationOutcome::Kind::Differs;
    outcome.exit = ExitCode::Differences;
    outcome.line = QStringLiteral("verify: ") + differ;
    conclude(outcome, differ);
}

// --- fleet plan ------------------------------------------------------------------------------------

CheckOperation::CheckOperation(ModuleAccess access, ModuleSettings settings, QString file,
                               ReadBackSession::Options options, QObject *parent)
    : ReadingOperation(std::move(access), OperationContext{}, options, parent),
      m_settings(std::move(settings)),
      m_file(std::move(file))
{
}

ReadingOperation::Words CheckOperation::words() const
{
    // A check may run every few minutes: it keeps nothing, no log line.
    return {{}, {}, {}, {}, QStringLiteral("the module was not read to the end; it was not changed")};
}

QString CheckOperation::announcement() const
{
    return readingLine(QStringLiteral("checking the module on %1 against %2").arg(access().description(), m_file));
}

void CheckOperation::accepted(const SettingsUpdate &update)
{
    OperationOutcome outcome;
    outcome.settings = settingsRead(update, m_settings.receiverType);
    outcome.differences = fileDifferences(m_settings, update.values);
    if (outcome.differences.isEmpty()) {
        outcome.line = QStringLiteral("in sync: the module holds every value of %1 (firmware %2)")
                           .arg(m_file, update.values.firmwareVersion);
        conclude(outcome);
        return;
    }
    outcome.kind = OperationOutcome::Kind::Differs;
    outcome.exit = ExitCode::Differences;
    outcome.line = QStringLiteral("%1 value(s) in the module differ from %2").arg(outcome.differences.size()).arg(m_file);
    conclude(outcome, outcome.line);
}

// --- find ---------------------------------------------------------------------------------------

ReadingOperation::Words FindOperation::words() const
{
    return {{}, {}, {}, {}, QStringLiteral("the search was not finished")};
}

void FindOperation::accepted(const SettingsUpdate &update)
{
    OperationOutcome outcome;
    outcome.settings = update.values;
    conclude(outcome);
}
