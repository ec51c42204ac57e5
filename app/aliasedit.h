#pragma once
// An alias box that takes a paste of several lines, as a column copied
// from a spreadsheet: it hands the lines to the window, which spreads them
// over this alias and the ones after it. A paste of one line is the box's
// own, as in any text box.

#include <QClipboard>
#include <QLineEdit>

#include <functional>

class AliasEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

    // Called with the pasted text when it holds more than one line.
    std::function<void(const QString &text)> onLinesPasted;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // True when the clipboard held several lines and they were handed on.
    bool pasteLines(QClipboard::Mode mode);
};
