#pragma once
// The fleet window's questions as real dialogs: a dialog of its own for a
// write, Qt's folder dialog, and a box with "Ja" and "Nee".

#include "fleetwindow/fleetquestions.h"

#include <QPointer>
#include <QWidget>

class QtFleetQuestions : public FleetQuestions {
public:
    explicit QtFleetQuestions(QWidget *parent = nullptr) : m_parent(parent) {}
    void setDialogParent(QWidget *parent) { m_parent = parent; }

    std::optional<WriteChoice> confirmWrite(const QString &question, int modules) override;
    std::optional<QString> askFolder(const QString &folder) override;
    bool askYesNo(const QString &question) override;

private:
    QPointer<QWidget> m_parent;
};
