#include "app/aliasedit.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>

#include <memory>

bool AliasEdit::pasteLines(QClipboard::Mode mode)
{
    const QString text = QGuiApplication::clipboard()->text(mode);
    if (!onLinesPasted || !(text.contains(u'\n') || text.contains(u'\r')))
        return false;
    onLinesPasted(text);
    return true;
}

void AliasEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Paste) && pasteLines(QClipboard::Clipboard))
        return;
    QLineEdit::keyPressEvent(event);
}

void AliasEdit::contextMenuEvent(QContextMenuEvent *event)
{
    const std::unique_ptr<QMenu> menu(createStandardContextMenu());
    for (QAction *action : menu->actions()) {
        if (action->objectName() != u"edit-paste")
            continue;
        disconnect(action, &QAction::triggered, nullptr, nullptr);
        connect(action, &QAction::triggered, this, [this] {
            if (!pasteLines(QClipboard::Clipboard))
                paste();
        });
    }
    menu->exec(event->globalPos());
}

void AliasEdit::mouseReleaseEvent(QMouseEvent *event)
{
    // X11's middle-button paste of the selection.
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()
        && pasteLines(QClipboard::Selection))
        return;
    QLineEdit::mouseReleaseEvent(event);
}
