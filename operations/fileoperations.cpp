#include "operations/fileoperations.h"

#include "files/filemessages.h"

// --- opslaan ----------------------------------------------------------------------------

SaveOperation::SaveOperation(SettingsHolder &holder, OperationContext context, QString monthName, QObject *parent)
    : FileOperation(holder, std::move(context), parent), m_monthName(std::move(monthName))
{
}

void SaveOperation::start()
{
    beginRecord(QStringLiteral("save"));
    begin();
    if (Journal::Record *op = record()) {
        op->entry.file = m_path;
        // A save dialog replaces a file without asking: the old one is kept.
        op->keepReplaced(m_path);
    }
    const ModuleSettings values = m_holder.settings();
    const QDateTime at = now();
    const QString month = m_monthName.isEmpty() ? dutchMonthName(at.date().month()) : m_monthName;
    const SaveOutcome saved = writeSettingsFile(m_path, values, kProgramVersion, month, at);
    OperationOutcome outcome;
    if (saved) {
        m_holder.known = values;
        outcome.settings = values;
        conclude(outcome);
        return;
    }
    outcome.kind = OperationOutcome::Kind::FileFailed;
    outcome.exit = ExitCode::File;
    outcome.line = saveFailedLine(m_path, saved.reason.english);
    // Settings that would not open again as they are (a text holding a key
    // of the file) are refused with the field named in the box itself; a
    // failure of the disk or the folder keeps the box's words and gives the
    // system's reason under "Details".
    outcome.box = saved.refused
        ? OutcomeBox{kDefaultBoxTitle, BoxIcon::None, kSaveFailedText + QStringLiteral("\r\n") + saved.reason.dutch, {}}
        : OutcomeBox{kDefaultBoxTitle, BoxIcon::None, kSaveFailedText, saved.reason.dutch};
    conclude(outcome, saved.reason.english);
}

// --- openen ------------------------------------------------------------------------------

void OpenOperation::start()
{
    beginRecord(QStringLiteral("open"));
    begin();
    if (Journal::Record *op = record())
        op->entry.file = m_path;
    // The whole file is decoded before anything in the holder changes, so
    // a file that fails anywhere leaves it exactly as it was.
    const SettingsFileOutcome file = readSettingsFile(m_path);
    OperationOutcome outcome;
    switch (file.kind) {
    case SettingsFileOutcome::Loaded:
        m_holder.showSettings(applyUpdate(m_holder.settings(), file.update));
        m_holder.known = m_holder.settings();
        outcome.settings = m_holder.known;
        conclude(outcome);
        return;
    case SettingsFileOutcome::WrongProduct: {
        const QString text = wrongProductText(file.product);
        outcome.line = m_path + QStringLiteral(": ") + oneLine(text);
        outcome.box = OutcomeBox{kWrongProductTitle, BoxIcon::Information, text, {}};
        outcome.kind = OperationOutcome::Kind::Refused;
        outcome.exit = ExitCode::File;
        conclude(outcome, oneLine(text));
        return;
    }
    case SettingsFileOutcome::Failed:
        outcome.line = m_path + QStringLiteral(": ") + oneLine(nothingLoadedText())
            + QStringLiteral(" (%1)").arg(file.reason.english);
        outcome.box = OutcomeBox{kNothingLoadedTitle, BoxIcon::Information, nothingLoadedText(), file.reason.dutch};
        outcome.kind = OperationOutcome::Kind::FileFailed;
        outcome.exit = ExitCode::File;
        conclude(outcome, file.reason.english);
        return;
    }
}

OperationOutcome openSettingsFile(const QString &path, ModuleSettings *settings)
{
    HeldSettings held;
    OpenOperation open(held, OperationContext{});
    open.setFile(path);
    open.start();
    *settings = held.settings();
    return open.outcome();
}
