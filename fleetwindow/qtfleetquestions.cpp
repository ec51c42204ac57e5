#include "fleetwindow/qtfleetquestions.h"

#include "operations/outcome.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// A count of modules, where 0 means "none" (the canary) or "all" (at once).
QSpinBox *modulesBox(const QString &name, const QString &zero, int most, QWidget *parent)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(0, std::max(0, most));
    box->setSpecialValueText(zero);
    return box;
}

} // namespace

std::optional<WriteChoice> QtFleetQuestions::confirmWrite(const QString &question, int modules)
{
    QDialog dialog(m_parent);
    dialog.setObjectName(QStringLiteral("dlgSchrijvenBevestigen"));
    dialog.setWindowTitle(kDefaultBoxTitle);
    auto *layout = new QVBoxLayout(&dialog);
    auto *label = new QLabel(question, &dialog);
    label->setObjectName(QStringLiteral("lblVraag"));
    layout->addWidget(label);

    auto *form = new QFormLayout;
    QSpinBox *canary = modulesBox(QStringLiteral("spnKanarie"), QStringLiteral("geen"), modules, &dialog);
    canary->setAccessibleName(QStringLiteral("Eerst (kanarie)"));
    canary->setToolTip(QStringLiteral("Zoveel modules eerst; de andere pas als die allemaal in orde zijn."));
    QSpinBox *jobs = modulesBox(QStringLiteral("spnTegelijk"), QStringLiteral("alle"), modules, &dialog);
    jobs->setAccessibleName(QStringLiteral("Tegelijk"));
    form->addRow(QStringLiteral("&Eerst (kanarie):"), canary);
    form->addRow(QStringLiteral("&Tegelijk:"), jobs);
    layout->addLayout(form);

    auto *buttons = new QDialogButtonBox(&dialog);
    QPushButton *yes = buttons->addButton(QStringLiteral("Ja"), QDialogButtonBox::AcceptRole);
    QPushButton *no = buttons->addButton(QStringLiteral("Nee"), QDialogButtonBox::RejectRole);
    yes->setObjectName(QStringLiteral("CmdJa"));
    no->setObjectName(QStringLiteral("CmdNee"));
    for (QPushButton *button : {yes, no})
        button->setAccessibleName(button->text());
    // Writing is what the dialog asks for; "Nee" is the safe default.
    no->setDefault(true);
    no->setFocus();
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return WriteChoice{canary->value(), jobs->value()};
}

std::optional<QString> QtFleetQuestions::askFolder(const QString &folder)
{
    const QString chosen = QFileDialog::getExistingDirectory(m_parent, QStringLiteral("Map om in te lezen"), folder);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

bool QtFleetQuestions::askYesNo(const QString &question)
{
    QMessageBox box(QMessageBox::Question, kDefaultBoxTitle, question, QMessageBox::NoButton, m_parent);
    QPushButton *yes = box.addButton(QStringLiteral("Ja"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("Nee"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.exec();
    return box.clickedButton() == yes;
}
