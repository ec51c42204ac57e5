#include "support/scriptedprompts.h"

void ScriptedPrompts::showMessage(const QString &title, BoxIcon icon, const QString &text, const QString &details)
{
    boxes.append(RecordedBox{title, icon, text, details});
    if (onBox)
        onBox(boxes.last());
}

static std::optional<QString> takeAnswer(QList<std::optional<QString>> &answers)
{
    if (answers.isEmpty())
        return std::nullopt;
    return answers.takeFirst();
}

std::optional<QString> ScriptedPrompts::askSaveFile(const FileDialogSetup &setup)
{
    dialogs.append(RecordedDialog{RecordedDialog::Save, setup});
    return takeAnswer(fileAnswers);
}

std::optional<QString> ScriptedPrompts::askOpenFile(const FileDialogSetup &setup)
{
    dialogs.append(RecordedDialog{RecordedDialog::Open, setup});
    return takeAnswer(fileAnswers);
}

std::optional<QString> ScriptedPrompts::askText(const QString &title, const QString &label, const QString &text)
{
    dialogs.append(RecordedDialog{RecordedDialog::Text, FileDialogSetup{title + u'|' + label, text, false, {}}});
    return takeAnswer(textAnswers);
}

bool ScriptedPrompts::askPrinter(QPrinter &printer)
{
    dialogs.append(RecordedDialog{RecordedDialog::Print, FileDialogSetup{}});
    return printAnswer ? printAnswer(printer) : true;
}

std::optional<WriteChoice> ScriptedFleetQuestions::confirmWrite(const QString &question, int)
{
    asked.append(question);
    return writeAnswers.isEmpty() ? std::nullopt : writeAnswers.takeFirst();
}

std::optional<QString> ScriptedFleetQuestions::askFolder(const QString &folder)
{
    asked.append(QStringLiteral("folder from ") + folder);
    return takeAnswer(folderAnswers);
}

bool ScriptedFleetQuestions::askYesNo(const QString &question)
{
    asked.append(question);
    return !yesNoAnswers.isEmpty() && yesNoAnswers.takeFirst();
}
