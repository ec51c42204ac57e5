#pragma once
// Prompts and Clock for tests: every box is recorded and returns at once,
// dialogs answer from a script, and the clock shows a fixed moment.

#include "app/prompts.h"
#include "fleetwindow/fleetquestions.h"

#include <QList>
#include <QStringList>

#include <functional>
#include <optional>

struct RecordedBox {
    QString title;
    BoxIcon icon;
    QString text;
    QString details;
};

struct RecordedDialog {
    enum Kind { Save, Open, Print, Text } kind;
    FileDialogSetup setup;
};

class ScriptedPrompts : public Prompts {
public:
    void showMessage(const QString &title, BoxIcon icon, const QString &text,
                     const QString &details = {}) override;
    std::optional<QString> askSaveFile(const FileDialogSetup &setup) override;
    std::optional<QString> askOpenFile(const FileDialogSetup &setup) override;
    bool askPrinter(QPrinter &printer) override;
    std::optional<QString> askText(const QString &title, const QString &label, const QString &text) override;

    QList<RecordedBox> boxes;
    QList<RecordedDialog> dialogs;

    // Answers for the next dialogs, taken front first; an empty optional
    // cancels. With no answer left the dialog is cancelled.
    QList<std::optional<QString>> fileAnswers;
    // The same for the text dialogs.
    QList<std::optional<QString>> textAnswers;
    // Called for the print dialog; returns false to cancel. By default the
    // printer is kept as the caller set it up and the dialog accepted.
    std::function<bool(QPrinter &)> printAnswer;

    // Called inside showMessage, while the "box" is open (to check what the
    // window looks like at that moment, as a user would see it).
    std::function<void(const RecordedBox &)> onBox;
};

// The fleet window's questions, answered from a script and recorded.
class ScriptedFleetQuestions : public FleetQuestions {
public:
    std::optional<WriteChoice> confirmWrite(const QString &question, int modules) override;
    std::optional<QString> askFolder(const QString &folder) override;
    bool askYesNo(const QString &question) override;

    QStringList asked;   // every question, in order
    // The answers to the next writes, taken front first; nothing is "Nee",
    // and with no answer left it is "Nee" too.
    QList<std::optional<WriteChoice>> writeAnswers;
    QList<std::optional<QString>> folderAnswers;
    QList<bool> yesNoAnswers;
};

class FixedClock : public Clock {
public:
    explicit FixedClock(QDateTime moment = QDateTime(QDate(2006, 11, 12), QTime(14, 5, 9)))
        : moment(moment) {}
    QDateTime now() const override { return moment; }
    QDateTime moment;
};
