#pragma once
// The real dialogs and clock behind Prompts and Clock: modal QMessageBox,
// QFileDialog and QPrintDialog, and the system's date and time.

#include "app/prompts.h"

#include <QPointer>
#include <QSize>
#include <QWidget>

class QtPrompts : public Prompts {
public:
    static constexpr QSize kFileDialogSize{860, 520};
    static constexpr int kFileDialogSidebarWidth = 200;

    explicit QtPrompts(QWidget *dialogParent = nullptr) : m_parent(dialogParent) {}
    // The window the boxes and dialogs are centred on and modal to.
    void setDialogParent(QWidget *parent) { m_parent = parent; }

    void showMessage(const QString &title, BoxIcon icon, const QString &text,
                     const QString &details = {}) override;
    std::optional<QString> askSaveFile(const FileDialogSetup &setup) override;
    std::optional<QString> askOpenFile(const FileDialogSetup &setup) override;
    bool askPrinter(QPrinter &printer) override;
    std::optional<QString> askText(const QString &title, const QString &label, const QString &text) override;

private:
    std::optional<QString> askFile(const FileDialogSetup &setup, bool save);
    QPointer<QWidget> m_parent;
};

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// "desc|pattern|desc|pattern" -> Qt's "desc (pattern);;desc (pattern)".
// Patterns separated by ';' become space separated, as Qt expects.
QString qtNameFilters(const QString &filter);

// Message texts join their lines with CR alone or CR LF; a label breaks
// lines only at LF.
QString displayLineBreaks(const QString &text);
