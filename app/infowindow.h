#pragma once
// Helpscherm: the static help page of the program. It holds no data and
// changes nothing; the main window opens it without an owner, so it can
// stay open after the main window has closed. Closing it deletes it.

#include <QWidget>

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;

class InfoWindow : public QWidget {
    Q_OBJECT
public:
    explicit InfoWindow(QWidget *parent = nullptr);

private:
    // The page from top to bottom: heading, introduction, the receiver
    // paragraph, the help grid with the contact blocks and, bottom right,
    // the version, the date and the close button.
    QPushButton *buildCloseButton();
    QLabel *buildHeading();
    QLabel *buildIntroduction();
    QLabel *buildReceiverText();
    QGridLayout *buildHelpGrid();
    QHBoxLayout *buildContactBlocks();
    QGridLayout *buildAbout(QPushButton *closeButton);
};
