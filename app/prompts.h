#pragma once
// Everything that asks the user something or tells them something in a
// modal window goes through here, so tests answer from a script and never
// block on a modal window.

#include "operations/outcome.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

class QPrinter;

struct FileDialogSetup {
    QString filter;        // "description|pattern|description|pattern"
    QString fileName;      // the name the dialog starts with
    bool mustExist = false;  // open: the file and its folder must exist
    QStringList sidebar;   // folders the dialog offers beside its usual places
};

class Prompts {
public:
    virtual ~Prompts() = default;
    // A modal box with one OK button; returns when it is closed. `details`,
    // when given, is what the box's "Details" button shows: the cause behind
    // the box's own words, and what to do.
    virtual void showMessage(const QString &title, BoxIcon icon, const QString &text,
                             const QString &details = {}) = 0;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<QString> askSaveFile(const FileDialogSetup &setup) = 0;
    virtual std::optional<QString> askOpenFile(const FileDialogSetup &setup) = 0;
    // Lets the user pick a printer into `printer`; false when cancelled.
    virtual bool askPrinter(QPrinter &printer) = 0;
    // A line of text, starting from `text`; nothing when the user cancelled.
    virtual std::optional<QString> askText(const QString &title, const QString &label, const QString &text)
    {
        Q_UNUSED(title) Q_UNUSED(label) Q_UNUSED(text)
        return std::nullopt;
    }
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};
