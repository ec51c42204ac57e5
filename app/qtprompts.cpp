#include "app/qtprompts.h"

#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>
#include <QUrl>
#include <QMessageBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QSplitter>

QString qtNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters.append(parts[i] + QStringLiteral(" (") + patterns.simplified() + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

QString displayLineBreaks(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

void QtPrompts::showMessage(const QString &title, BoxIcon icon, const QString &text, const QString &details)
{
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    switch (icon) {
    case BoxIcon::None: boxIcon = QMessageBox::NoIcon; break;
    case BoxIcon::Information: boxIcon = QMessageBox::Information; break;
    case BoxIcon::Error: boxIcon = QMessageBox::Critical; break;
    }
    QMessageBox box(boxIcon, title, displayLineBreaks(text), QMessageBox::Ok, m_parent);
    box.setTextFormat(Qt::PlainText);
    if (!details.isEmpty())
        box.setDetailedText(displayLineBreaks(details));
    box.exec();
}

std::optional<QString> QtPrompts::askFile(const FileDialogSetup &setup, bool save)
{
    QFileDialog dialog(m_parent);
    // Large enough that the name, size, type and date columns can be read.
    dialog.resize(kFileDialogSize);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(setup.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // An existing file is overwritten without a question, and the name is
    // taken as typed: no extension is added.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    // The descriptions already name their patterns ("... (*.kvr)").
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    if (!setup.filter.isEmpty())
        dialog.setNameFilters(qtNameFilters(setup.filter).split(QStringLiteral(";;")));
    if (!setup.fileName.isEmpty())
        dialog.selectFile(setup.fileName);
    // The places are given whole each time: Qt keeps the last dialog's list
    // in its settings, and adding to that would add them again every time.
    QList<QUrl> places{QUrl(QStringLiteral("file:")), QUrl::fromLocalFile(QDir::homePath())};
    for (const QString &folder : setup.sidebar) {
        if (const QUrl place = QUrl::fromLocalFile(folder); !places.contains(place))
            places.append(place);
    }
    dialog.setSidebarUrls(places);
    // Wide enough for "kvr7314" and "examples" under their folders' names.
    if (auto *splitter = dialog.findChild<QSplitter *>(QStringLiteral("splitter")))
        splitter->setSizes({kFileDialogSidebarWidth, kFileDialogSize.width() - kFileDialogSidebarWidth});
    // Qt's own dialog: the name takes the room, size, type and date get what
    // they need to be read whole.
    for (QTreeView *view : dialog.findChildren<QTreeView *>()) {
        QHeaderView *header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtPrompts::askSaveFile(const FileDialogSetup &setup) { return askFile(setup, true); }
std::optional<QString> QtPrompts::askOpenFile(const FileDialogSetup &setup) { return askFile(setup, false); }

bool QtPrompts::askPrinter(QPrinter &printer)
{
    QPrintDialog dialog(&printer, m_parent);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<QString> QtPrompts::askText(const QString &title, const QString &label, const QString &text)
{
    bool accepted = false;
    const QString answer = QInputDialog::getText(m_parent, title, label, QLineEdit::Normal, text, &accepted);
    return accepted ? std::optional(answer) : std::nullopt;
}
