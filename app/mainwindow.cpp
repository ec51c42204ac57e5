// The main window itself: the start-up sequence, the rule that keeps each
// check-box group exclusive, the FLEX/POCSAG layouts, the three "standaard"
// boxes, the settings through the controls and the busy state. The frames
// are built in mainwindow_layout.cpp; the commands behind the buttons live
// in the other mainwindow_*.cpp files.

#include "app/mainwindow.h"

#include "app/infowindow.h"
#include "files/aliaslist.h"
#include "files/backups.h"
#include "settings/fieldtable.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <span>

namespace {

// The group rule, for one group of plain check boxes. Whenever a box
// changes (a click, or code setting it, which Qt reports the same way):
//   1. a box that is now checked unchecks every other box, in group order;
//      each of those runs this rule for itself, nested;
//   2. a box left with no checked box beside it is checked again, so a click
//      on the checked box keeps it checked;
//   3. the box's effect runs. A box unchecked by another runs it too, but the
//      box that was checked finishes last, so its effect is the one that stays.
void bindGroupRule(std::span<QCheckBox *const> boxes, std::function<void(int index)> effect)
{
    const QList<QCheckBox *> group(boxes.begin(), boxes.end());
    for (int index = 0; index < group.size(); ++index) {
        QCheckBox *box = group[index];
        QObject::connect(box, &QCheckBox::toggled, box, [group, index, box, effect](bool checked) {
            if (checked) {
                for (QCheckBox *other : group) {
                    if (other != box && other->isChecked())
                        other->setChecked(false);
                }
            }
            const bool anotherChecked = std::any_of(group.begin(), group.end(), [box](QCheckBox *b) {
                return b != box && b->isChecked();
            });
            if (!anotherChecked)
                box->setChecked(true);
            if (effect)
                effect(index);
        });
    }
}

} // namespace

MainWindow::MainWindow(WindowServices services, QWidget *parent)
    : QWidget(parent),
      m_services(std::move(services)),
      m_dataDirectory(m_services.dataDirectory.isEmpty() ? dataDirectory() : m_services.dataDirectory)
{
    Q_ASSERT(m_services.prompts && m_services.clock);
    setObjectName(QStringLiteral("frmKVR7314"));
    buildLayout();
    setAcceptDrops(true);
    findFieldControls();
    connectGroupRule();
    connectCommands();
    runStartUp();
    createOperations();
}

MainWindow::~MainWindow()
{
    // The info window has no owner and outlives this one; the timers stop here.
    for (QTimer *timer : findChildren<QTimer *>())
        timer->stop();
}

void MainWindow::findFieldControls()
{
    for (const SettingsField &field : settingsFields()) {
        FieldControls controls{&field, nullptr, {}};
        if (field.isChoice()) {
            for (const CodeChoice &choice : choicesOf(field))
                controls.choices.append(findChild<QCheckBox *>(field.box + QLatin1String(choice.boxSuffix)));
            Q_ASSERT(!controls.choices.contains(nullptr));
        } else if (field.kind != FieldKind::Receiver) {
            controls.edit = findChild<QLineEdit *>(field.box);
            Q_ASSERT(controls.edit);
        }
        m_fieldControls.push_back(controls);
    }
}

const MainWindow::FieldControls &MainWindow::controlsOf(const SettingsField &field) const
{
    return *std::find_if(m_fieldControls.begin(), m_fieldControls.end(),
                         [&field](const FieldControls &c) { return c.field == &field; });
}

void MainWindow::connectGroupRule()
{
    // Colours and speed need no effect of their own: settings() reads the
    // code from whichever box is checked.
    for (const FieldControls &controls : m_fieldControls) {
        if (controls.field->isChoice())
            bindGroupRule(std::span(controls.choices.constData(), size_t(controls.choices.size())), {});
    }
    bindGroupRule(m_chkCom, [this](int index) { m_comPort = QString::number(index + 1); });
    const std::array<QCheckBox *, 2> receiverBoxes = {m_chkOntvangerFlex, m_chkOntvangerPocsag};
    bindGroupRule(receiverBoxes, [this](int index) {
        applyReceiverLayout(index == 0 ? ReceiverType::Flex : ReceiverType::Pocsag);
    });

    // The "standaard" boxes fill their fields when checked and put the
    // cleared values back when unchecked; later edits do not touch them.
    QStringList standardBoxes;
    for (const SettingsField &field : settingsFields()) {
        if (!field.standard.box.isEmpty() && !standardBoxes.contains(field.standard.box))
            standardBoxes.append(field.standard.box);
    }
    for (const QString &name : standardBoxes) {
        connect(findChild<QCheckBox *>(name), &QCheckBox::toggled, this, [this, name](bool on) {
            for (const FieldControls &controls : m_fieldControls) {
                const StandardValue &standard = controls.field->standard;
                if (standard.box == name)
                    controls.edit->setText(on ? standard.checked : standard.cleared);
            }
        });
    }
}

void MainWindow::runStartUp()
{
    setWindowTitle(QStringLiteral("KVR7314 - Versie ") + programVersion() + QString(161, QLatin1Char(' '))
                   + QStringLiteral("Velto Software"));
    // The colours, speed and timers of a fresh start go in as any loaded
    // settings do, before the port and, last, the receiver type.
    const ModuleSettings startup = startupSettings();
    showValues(startup);
    selectBox(m_chkCom[0]);
    m_imgLedDataUit->hide();
    m_imgLedDataIn->hide();
    selectReceiver(startup.receiverType);
    known = settings();
    // Taken once: a program running past midnight at the month's end keeps it.
    m_monthName = dutchMonthName(m_services.clock->now().date().month());
}

// --- Group rule and layouts -------------------------------------------------------

void MainWindow::selectBox(QCheckBox *box)
{
    // Checking a box runs the group rule at once, exactly as a click does.
    box->setChecked(true);
}

void MainWindow::applyReceiverLayout(ReceiverType type)
{
    const bool flex = type == ReceiverType::Flex;
    for (int i = kPocsagAliasCount; i < kAliasCount; ++i) {
        m_aliasEdits[i]->setVisible(flex);
        m_aliasLabels[i]->setVisible(flex);
    }
    m_lblPocsagAan->setVisible(!flex);
    m_cmdGeenNetwerk->setVisible(flex);
    m_lblCapcode->setVisible(flex);
    m_lblRicode->setVisible(!flex);
    m_cbxCapcode->setVisible(flex);
    m_cbxRic->setVisible(!flex);
}

// --- Settings through the controls -------------------------------------------------

ModuleSettings MainWindow::settings() const
{
    ModuleSettings s;
    s.receiverType = m_chkOntvangerFlex->isChecked() ? ReceiverType::Flex : ReceiverType::Pocsag;
    for (const FieldControls &controls : m_fieldControls) {
        const SettingsField &field = *controls.field;
        if (controls.edit) {
            field.in(s) = controls.edit->text();
        } else if (field.isChoice()) {
            const auto checked = std::find_if(controls.choices.begin(), controls.choices.end(),
                                              [](QCheckBox *box) { return box->isChecked(); });
            if (checked != controls.choices.end())
                field.in(s) = QString::fromLatin1(choicesOf(field)[size_t(checked - controls.choices.begin())].code);
        }
    }
    return s;
}

void MainWindow::showSettings(const ModuleSettings &s)
{
    selectReceiver(s.receiverType);
    showValues(s);
}

void MainWindow::selectReceiver(ReceiverType type)
{
    selectBox(type == ReceiverType::Flex ? m_chkOntvangerFlex : m_chkOntvangerPocsag);
}

void MainWindow::showValues(const ModuleSettings &s)
{
    for (const FieldControls &controls : m_fieldControls) {
        const SettingsField &field = *controls.field;
        if (controls.edit) {
            setFieldText(field, field.in(s));
        } else if (field.isChoice()) {
            // By its box, as a click would; an unknown code keeps the choice.
            if (const auto i = choiceIndex(field, field.in(s)))
                selectBox(controls.choices[*i]);
        }
    }
}

void MainWindow::pasteAliasLines(int index, const QString &text)
{
    QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();   // the line end a spreadsheet puts after its last cell
    const int boxes = (m_chkOntvangerFlex->isChecked() ? kAliasCount : kPocsagAliasCount) - index;
    const auto refuse = [this](const QString &why) {
        m_services.prompts->showMessage(kDefaultBoxTitle, BoxIcon::Information,
                                        QStringLiteral("Er is niets geplakt.\r") + why);
    };
    if (lines.size() > boxes) {
        refuse(QStringLiteral("Er zijn %1 regels geplakt, maar vanaf alias %2 zijn er %3 aliassen.")
                   .arg(lines.size()).arg(index + 1).arg(boxes));
        return;
    }
    QStringList texts;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // Two columns, number and text, as a spreadsheet copies them.
        const QString alias = lines[i].contains(u'\t') ? lines[i].section(u'\t', 1) : lines[i];
        const QString where = QStringLiteral("Regel %1 (alias %2)").arg(i + 1).arg(index + i + 1);
        if (const auto problem = aliasTextProblem(alias, where, where)) {
            refuse(problem->dutch + u'.');
            return;
        }
        texts.append(alias);
    }
    for (qsizetype i = 0; i < texts.size(); ++i)
        m_aliasEdits[size_t(index + i)]->setText(texts[i]);
}

void MainWindow::applyUpdate(const SettingsUpdate &update)
{
    // The rule of what an update changes lives in ::applyUpdate; fields it
    // keeps are put back as they are, which changes nothing.
    showSettings(::applyUpdate(settings(), update));
}

void MainWindow::setFieldText(const SettingsField &field, const QString &text)
{
    controlsOf(field).edit->setText(field.limited(text));
}

// --- Busy state ------------------------------------------------------------------------

void MainWindow::enterBusy(BusyKind kind)
{
    m_busy = kind;
    for (QPushButton *button : {m_cmdOpen, m_cmdSave, m_cmdPrint, m_cmdPrgModule, m_cmdLeesModule,
                                m_cmdTestBericht, m_cmdGeenNetwerk, m_cmdInfo, m_cmdAfsluiten})
        button->setEnabled(false);
    if (kind == BusyKind::Writing) {
        m_lblDataUit->setEnabled(true);
    } else {
        m_lblDataIn->setEnabled(true);
        m_lblVersie->hide();
        m_txtVersie->hide();
    }
}

void MainWindow::leaveBusy()
{
    m_busy.reset();
    for (QPushButton *button : {m_cmdOpen, m_cmdSave, m_cmdPrint, m_cmdPrgModule, m_cmdLeesModule,
                                m_cmdTestBericht, m_cmdGeenNetwerk, m_cmdInfo, m_cmdAfsluiten})
        button->setEnabled(true);
}

// --- Info window and closing ---------------------------------------------------------------

void MainWindow::showInfoWindow()
{
    // One instance, without an owner: it stays open when this window closes,
    // and it deletes itself when closed, which clears m_infoWindow.
    if (!m_infoWindow) {
        m_infoWindow = new InfoWindow;
    } else if (m_infoWindow->isVisible()) {
        m_infoWindow->raise();
    }
    m_infoWindow->show();
    m_infoWindow->activateWindow();
}

InfoWindow *MainWindow::infoWindow() const { return m_infoWindow.data(); }

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The timers stop with the window; nothing is asked and nothing saved.
    for (QTimer *timer : findChildren<QTimer *>())
        timer->stop();
    event->accept();
}
