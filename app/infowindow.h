#pragma once
// Helpscherm: the static help page of the program. It holds no data and
// changes nothing; the main window opens it without an owner, so it can
// stay open after the main window has closed. Closing it deletes it.

#include <QWidget>

class InfoWindow : public QWidget {
    Q_OBJECT
public:
    explicit InfoWindow(QWidget *parent = nullptr);
};
