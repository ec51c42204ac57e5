// The window's frames and their controls, one builder per frame, from the
// top left row by row; buildLayout puts them into their grid.

#include "app/mainwindow.h"

#include "app/aliasedit.h"

#include "link/portdirectory.h"
#include "link/portlist.h"
#include "settings/fieldtable.h"
#include "settings/textrule.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadialGradient>
#include <QValidator>
#include <QVBoxLayout>

#include <limits>

namespace {

const QColor kFrameCaptionColour(0x80, 0x00, 0x00);   // dark red
const QColor kAliasNumberColour(0x00, 0x00, 0xFF);    // blue
const QColor kDarkBlue(0x00, 0x00, 0x80);
const QColor kVersionGreen(0x00, 0x80, 0x00);

// Every box takes only what the text rule allows, as it is typed or
// pasted: single Windows-1252 bytes and no control characters, so the text
// reaches the module and the .kvr file unchanged.
class SettingsTextValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override { return isAllowedText(input) ? Acceptable : Invalid; }
};

QPixmap ledPixmap()
{
    QPixmap pixmap(10, 10);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(3.5, 3.5), 6.0);
    glow.setColorAt(0.0, QColor(0xFF, 0xD0, 0xD0));
    glow.setColorAt(0.4, QColor(0xFF, 0x20, 0x20));
    glow.setColorAt(1.0, QColor(0x90, 0x00, 0x00));
    painter.setBrush(glow);
    painter.setPen(QPen(QColor(0x50, 0x00, 0x00), 0.8));
    painter.drawEllipse(QRectF(0.5, 0.5, 9.0, 9.0));
    return pixmap;
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

// Hidden controls keep their place, so the frames do not shift when the
// receiver layout changes or a data LED blinks.
void keepPlaceWhenHidden(QWidget *widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

QLabel *makeLabel(QWidget *parent, const QString &text, const QString &name = {})
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    if (!name.isEmpty())
        label->setObjectName(name);
    return label;
}

template <typename Edit = QLineEdit>
Edit *makeEdit(QWidget *parent, const QString &name, const QString &toolTip = {})
{
    auto *edit = new Edit(parent);
    edit->setObjectName(name);
    edit->setValidator(new SettingsTextValidator(edit));
    if (!toolTip.isEmpty())
        edit->setToolTip(toolTip);
    return edit;
}

QCheckBox *makeCheck(QWidget *parent, const QString &name, const QString &caption,
                     const QString &toolTip = {})
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    if (!toolTip.isEmpty())
        box->setToolTip(toolTip);
    return box;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption,
                        const QString &toolTip)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setToolTip(toolTip);
    // Enter on a focused button presses it, as Space does.
    button->setAutoDefault(true);
    return button;
}

QGroupBox *makeFrame(QWidget *parent, const QString &name, const QString &caption)
{
    auto *frame = new QGroupBox(caption, parent);
    frame->setObjectName(name);
    return frame;
}

template <typename Layout>
Layout *tight(Layout *layout)
{
    layout->setContentsMargins(6, 2, 6, 4);
    layout->setSpacing(3);
    return layout;
}

// A "standaard" box above the text box of `field`, in a frame of their own.
QGroupBox *standardTextFrame(QWidget *parent, const QString &frameName, const QString &caption,
                             const SettingsField &field)
{
    auto *frame = makeFrame(parent, frameName, caption);
    auto *column = tight(new QVBoxLayout(frame));
    QCheckBox *box = makeCheck(frame, field.standard.box, QStringLiteral("standaard"), QStringLiteral("kies hiermee de standaard tekst"));
    QLineEdit *edit = makeEdit(frame, field.box);
    edit->setMaxLength(field.boxLength());
    // A screen reader tells the two "standaard" boxes apart by these.
    box->setAccessibleName(QStringLiteral("standaard ") + field.dutchName.front().toLower() + field.dutchName.mid(1));
    edit->setAccessibleName(field.dutchName);
    column->addWidget(box);
    column->addWidget(edit);
    return frame;
}

} // namespace

void MainWindow::buildLayout()
{
    setFixedSize(966, 518);
    // Frame captions sit on the frame's top line, in dark red.
    setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid #a0a0a0; border-radius: 3px; margin-top: 8px; padding-top: 4px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 8px;"
        " padding: 0 2px; color: %1; }").arg(kFrameCaptionColour.name()));

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(6, 4, 6, 6);
    root->setSpacing(2);

    // Top: aliases with the two text frames under them; timers with the
    // colour and speed groups under them.
    auto *left = new QVBoxLayout;
    left->addWidget(buildAliasFrame(), 1);
    auto *textsRow = new QHBoxLayout;
    textsRow->addWidget(buildIdleTextFrame());
    textsRow->addWidget(buildCouplingTextFrame());
    left->addLayout(textsRow);
    auto *right = new QVBoxLayout;
    right->addWidget(buildTimerFrame(), 1);
    auto *choices = new QGridLayout;
    choices->addWidget(buildChoiceFrame(QStringLiteral("Frame_Kleur_Alias"), QStringLiteral(" kleur alias 1 t/m 16"),
                                        settingsField(&ModuleSettings::aliasColour)), 0, 0);
    choices->addWidget(buildChoiceFrame(QStringLiteral("Frame_Kleur_Bericht"), QStringLiteral(" kleur van de melding "),
                                        settingsField(&ModuleSettings::messageColour)), 0, 1);
    choices->addWidget(buildChoiceFrame(QStringLiteral("Frame_Kleur_Koppel"), QStringLiteral(" kleur koppeltekst "),
                                        settingsField(&ModuleSettings::couplingColour)), 1, 0);
    choices->addWidget(buildChoiceFrame(QStringLiteral("Frame_Snelheid"), QStringLiteral("loopsnelheid lichtkrant"),
                                        settingsField(&ModuleSettings::scrollSpeed)), 1, 1);
    right->addLayout(choices);
    auto *top = new QHBoxLayout;
    top->addLayout(left, 55);
    top->addLayout(right, 45);
    root->addLayout(top, 1);

    auto *fourth = new QHBoxLayout;
    fourth->addWidget(buildPortFrame());
    fourth->addWidget(buildTestCallFrame(), 1);
    fourth->addWidget(buildReceiverFrame());
    fourth->addWidget(buildLogo());
    root->addLayout(fourth);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(buildFileFrame());
    bottom->addWidget(buildProgramFrame());
    bottom->addWidget(buildLinkFrame());
    bottom->addStretch();
    buildCloseButtons();
    auto *closeButtons = new QHBoxLayout;
    closeButtons->addWidget(m_cmdInfo);
    closeButtons->addWidget(m_cmdAfsluiten);
    bottom->addLayout(closeButtons);
    root->addLayout(bottom);

    setReadingOrder();

    // The receive buffer of the read-back run: never shown. No validator:
    // it holds whatever the module sends, control characters included.
    m_txtInlezen = new QLineEdit(this);
    m_txtInlezen->setObjectName(QStringLiteral("txt_Inlezen"));
    m_txtInlezen->setMaxLength(std::numeric_limits<int>::max());
    m_txtInlezen->hide();
}

// " aliastekst ": rows 1-8 on the left, 9-16 on the right.
QGroupBox *MainWindow::buildAliasFrame()
{
    auto *frame = makeFrame(this, QStringLiteral("Frame_Aliastekst"), QStringLiteral(" aliastekst "));
    auto *grid = tight(new QGridLayout(frame));
    grid->setHorizontalSpacing(4);
    for (int i = 0; i < kAliasCount; ++i) {
        auto *label = makeLabel(frame, QString::number(i + 1), QStringLiteral("LblAlias%1").arg(i + 1));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setMinimumWidth(16);
        setTextColour(label, kAliasNumberColour);
        const SettingsField &field = aliasField(i);
        auto *edit = makeEdit<AliasEdit>(frame, field.box);
        edit->setMaxLength(field.boxLength());
        edit->setAccessibleName(field.dutchName);   // its label is the bare number
        edit->onLinesPasted = [this, i](const QString &text) { pasteAliasLines(i, text); };
        const int row = i % 8;
        const int column = (i / 8) * 2;
        grid->addWidget(label, row, column);
        grid->addWidget(edit, row, column + 1);
        if (i >= kPocsagAliasCount) {
            keepPlaceWhenHidden(label);
            keepPlaceWhenHidden(edit);
        }
        m_aliasLabels[i] = label;
        m_aliasEdits[i] = edit;
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    m_lblPocsagAan = makeLabel(frame,
        QStringLiteral("De ingestelde ontvanger is van het type Pocsag. In deze ontvanger kunnen in totaal 7 RI-Codes"),
        QStringLiteral("LblPocsag_aan"));
    m_lblPocsagAan->setWordWrap(true);
    setTextColour(m_lblPocsagAan, kDarkBlue);
    m_lblPocsagAan->hide();
    grid->addWidget(m_lblPocsagAan, 7, 0, 1, 4);
    return frame;
}

QGroupBox *MainWindow::buildIdleTextFrame()
{
    return standardTextFrame(this, QStringLiteral("Frame_LCD_Rust"), QStringLiteral(" tekst LCD in rust "),
                             settingsField(&ModuleSettings::idleText));
}

QGroupBox *MainWindow::buildCouplingTextFrame()
{
    return standardTextFrame(this, QStringLiteral("Frame_Koppeltekst"),
                             QStringLiteral(" koppeltekst tussen alias en de melding"),
                             settingsField(&ModuleSettings::couplingText));
}

// " tijden ": the timers, "standaard", firmware line. The boxes start
// empty; start-up puts the start-up values into them.
QGroupBox *MainWindow::buildTimerFrame()
{
    auto *frame = makeFrame(this, QStringLiteral("Frame_Tijden"), QStringLiteral(" tijden "));
    auto *grid = tight(new QGridLayout(frame));
    const QList<const SettingsField *> timers = fieldsOfKind(FieldKind::Timer);
    for (int row = 0; row < int(timers.size()); ++row) {
        const SettingsField &t = *timers[row];
        auto *caption = makeLabel(frame, t.caption);
        setTextColour(caption, kAliasNumberColour);
        auto *edit = makeEdit(frame, t.box, t.toolTip);
        edit->setMaxLength(t.boxLength());
        caption->setBuddy(edit);
        edit->setAlignment(Qt::AlignCenter);
        edit->setFixedWidth(48);
        auto *unit = makeLabel(frame, unitCaption(t.unit));
        setTextColour(unit, kAliasNumberColour);
        grid->addWidget(caption, row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(unit, row, 2);
    }
    const int below = int(timers.size());
    QCheckBox *standard = makeCheck(frame, timers.front()->standard.box,
                                     QStringLiteral("standaard"), QStringLiteral("kies hiermee de standaard tijden"));
    standard->setAccessibleName(QStringLiteral("standaard tijden"));
    grid->addWidget(standard, below, 0);

    m_lblVersie = makeLabel(frame, QStringLiteral("ingelezen firmwareversie:"), QStringLiteral("lbl_Versie"));
    m_lblVersie->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextColour(m_lblVersie, kVersionGreen);
    keepPlaceWhenHidden(m_lblVersie);
    m_lblVersie->hide();
    m_txtVersie = makeEdit(frame, settingsField(&ModuleSettings::firmwareVersion).box);
    m_txtVersie->setReadOnly(true);
    m_txtVersie->setFocusPolicy(Qt::ClickFocus);   // not in the tab order
    m_lblVersie->setBuddy(m_txtVersie);
    m_txtVersie->setAlignment(Qt::AlignCenter);
    m_txtVersie->setFixedWidth(48);
    QPalette palette = m_txtVersie->palette();
    palette.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
    palette.setColor(QPalette::Text, kVersionGreen);
    m_txtVersie->setPalette(palette);
    QFont bold = m_txtVersie->font();
    bold.setBold(true);
    m_txtVersie->setFont(bold);
    keepPlaceWhenHidden(m_txtVersie);
    grid->addWidget(m_lblVersie, below + 1, 0);
    grid->addWidget(m_txtVersie, below + 1, 1);
    grid->setColumnStretch(0, 1);
    return frame;
}

// A colour group ("Rood", "Groen", "Geel") or the speed group ("1" .. "5"):
// one check box per code, named after the field's box and the code's suffix.
QGroupBox *MainWindow::buildChoiceFrame(const QString &name, const QString &caption, const SettingsField &field)
{
    auto *frame = makeFrame(this, name, caption);
    auto *row = tight(new QHBoxLayout(frame));
    for (const CodeChoice &choice : choicesOf(field)) {
        QCheckBox *box = makeCheck(frame, field.box + QLatin1String(choice.boxSuffix), QString::fromLatin1(choice.caption));
        // "Rood" alone would not say which of the three groups.
        box->setAccessibleName(field.dutchName + QStringLiteral(": ") + box->text().toLower());
        row->addWidget(box);
    }
    return frame;
}

// " kies communicatiepoort ": each box's tooltip names the device it opens,
// as the system knows it at the moment the tooltip shows (eventFilter).
QGroupBox *MainWindow::buildPortFrame()
{
    auto *frame = makeFrame(this, QStringLiteral("Frame_Compoort"), QStringLiteral(" kies communicatiepoort "));
    frame->setMinimumWidth(180);   // room for its caption
    auto *grid = tight(new QGridLayout(frame));
    const QList<FoundPort> ports = PortDirectory::machine().ports();
    for (int i = 0; i < int(m_chkCom.size()); ++i) {
        const int port = i + 1;
        m_chkCom[i] = makeCheck(frame, QStringLiteral("ChkCOM%1").arg(port), comPortName(port),
                                comToolTip(port, ports));
        m_chkCom[i]->installEventFilter(this);
        // Right click or the menu key: a network address behind this box.
        m_chkCom[i]->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(m_chkCom[i], &QWidget::customContextMenuRequested, this, [this, i, port](const QPoint &at) {
            showComMenu(port, m_chkCom[i]->mapToGlobal(at));
        });
        grid->addWidget(m_chkCom[i], i / 2, i % 2);
    }
    return frame;
}

// " verstuur een testbericht naar de KVR7314 ": the capcode and RIC
// choosers share one place, as do their labels; the layout shows one.
QGroupBox *MainWindow::buildTestCallFrame()
{
    auto *frame = makeFrame(this, QStringLiteral("Frame_Testbericht"),
                            QStringLiteral(" verstuur een testbericht naar de KVR7314 "));
    auto *grid = tight(new QGridLayout(frame));
    m_cbxCapcode = new QComboBox(frame);
    m_cbxCapcode->setObjectName(QStringLiteral("CbxCapcode"));
    for (int i = 1; i <= kAliasCount; ++i)
        m_cbxCapcode->addItem(QString::number(i));
    m_cbxRic = new QComboBox(frame);
    m_cbxRic->setObjectName(QStringLiteral("CbxRIC"));
    for (int i = 1; i <= kPocsagAliasCount; ++i)
        m_cbxRic->addItem(QStringLiteral("%1D").arg(i));
    for (QComboBox *combo : {m_cbxCapcode, m_cbxRic}) {
        // The code goes out as typed, so the box also takes a typed code.
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->lineEdit()->setValidator(new SettingsTextValidator(combo));
        combo->setCurrentIndex(0);
        combo->setToolTip(QStringLiteral("kies een CapCode (1 t/m 16)"));
        combo->setFixedWidth(56);
        grid->addWidget(combo, 0, 0);
    }
    m_lblCapcode = makeLabel(frame, QStringLiteral("capcode"), QStringLiteral("LblCapcode"));
    m_lblRicode = makeLabel(frame, QStringLiteral("RIC"), QStringLiteral("LblRicode"));
    m_lblCapcode->setBuddy(m_cbxCapcode);
    m_lblRicode->setBuddy(m_cbxRic);
    // Named by their labels, not by the code they show.
    for (QComboBox *combo : {m_cbxCapcode, m_cbxRic}) {
        const QString name = combo == m_cbxCapcode ? m_lblCapcode->text() : m_lblRicode->text();
        combo->setAccessibleName(name);
        combo->lineEdit()->setAccessibleName(name);
    }
    m_lblRicode->hide();
    m_cbxRic->hide();
    grid->addWidget(m_lblCapcode, 1, 0);
    grid->addWidget(m_lblRicode, 1, 0);

    m_txtTestbericht = makeEdit(frame, QStringLiteral("Txt_Testbericht"), QStringLiteral("vul hier een vrije tekst in"));
    m_txtTestbericht->setMaxLength(std::numeric_limits<int>::max());
    m_txtTestbericht->setAccessibleName(QStringLiteral("testbericht"));
    grid->addWidget(m_txtTestbericht, 0, 1);
    grid->addWidget(makeLabel(frame, QStringLiteral("vul hierboven de te versturen tekst in")), 1, 1);

    m_cmdTestBericht = makeButton(frame, QStringLiteral("CmdTest_Bericht"), QStringLiteral("verstuur test"),
                                  QStringLiteral("verstuur een testoproep naar de KVR7314"));
    m_cmdGeenNetwerk = makeButton(frame, QStringLiteral("CmdGeen_Netwerk"), QStringLiteral("geen netwerk"),
                                  QStringLiteral("simuleer dat er geen netwerk is"));
    keepPlaceWhenHidden(m_cmdGeenNetwerk);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdTestBericht);
    buttons->addWidget(m_cmdGeenNetwerk);
    grid->addLayout(buttons, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    return frame;
}

QGroupBox *MainWindow::buildReceiverFrame()
{
    auto *frame = makeFrame(this, QStringLiteral("Frame_Ontvanger"), QStringLiteral(" type ontvanger "));
    auto *grid = tight(new QGridLayout(frame));
    m_chkOntvangerFlex = makeCheck(frame, QStringLiteral("ChkOntvanger_Flex"), QStringLiteral("FLEX"));
    m_chkOntvangerPocsag = makeCheck(frame, QStringLiteral("ChkOntvanger_Pocsag"), QStringLiteral("POCSAG"));
    grid->addWidget(m_chkOntvangerFlex, 0, 0);
    grid->addWidget(makeLabel(frame, QStringLiteral("(P2000)")), 0, 1);
    grid->addWidget(m_chkOntvangerPocsag, 1, 0);
    grid->addWidget(makeLabel(frame, QStringLiteral("(KPN NAT3)")), 1, 1);
    return frame;
}

QWidget *MainWindow::buildLogo()
{
    auto *logo = new QWidget(this);
    logo->setObjectName(QStringLiteral("Logo"));
    auto *column = new QVBoxLayout(logo);
    auto *name = makeLabel(logo, QStringLiteral("K V R   7 3 1 4"), QStringLiteral("LblLogo"));
    QFont font = name->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.6);
    name->setFont(font);
    name->setAlignment(Qt::AlignCenter);
    setTextColour(name, kAliasNumberColour);
    auto *maker = makeLabel(logo, QStringLiteral("Velto electronics / DORAN"), QStringLiteral("LblLogoMaker"));
    maker->setAlignment(Qt::AlignCenter);
    setTextColour(maker, kDarkBlue);
    column->addStretch();
    column->addWidget(name);
    column->addWidget(maker);
    column->addStretch();
    return logo;
}

QGroupBox *MainWindow::buildFileFrame()
{
    auto *frame = makeFrame(this, QStringLiteral("Frame_Bestand"), QStringLiteral(" Bestand "));
    auto *row = tight(new QHBoxLayout(frame));
    m_cmdOpen = makeButton(frame, QStringLiteral("CmdOpen"), QStringLiteral("openen"),
                           QStringLiteral("open een bestaande configuratie voor de KVR7314 (*.kvr)"));
    m_cmdSave = makeButton(frame, QStringLiteral("CmdSave"), QStringLiteral("opslaan"),
                           QStringLiteral("sla de huidige configuratie op"));
    m_cmdPrint = makeButton(frame, QStringLiteral("CmdPrint"), QStringLiteral("printen"),
                            QStringLiteral("print de huidige configuratie"));
    row->addWidget(m_cmdOpen);
    row->addWidget(m_cmdSave);
    row->addWidget(m_cmdPrint);
    return frame;
}

QGroupBox *MainWindow::buildProgramFrame()
{
    auto *frame = makeFrame(this, QStringLiteral("Frame_Programmeren"), QStringLiteral("Programmeren"));
    auto *row = tight(new QHBoxLayout(frame));
    m_cmdLeesModule = makeButton(frame, QStringLiteral("CmdLeesModule"), QStringLiteral("lezen"),
                                 QStringLiteral("lees de data uit de KVR7314"));
    m_cmdPrgModule = makeButton(frame, QStringLiteral("CmdPRG_Module"), QStringLiteral("schrijven"),
                                QStringLiteral("programmeer de ingevulde data naar de KVR7314"));
    row->addWidget(m_cmdLeesModule);
    row->addWidget(m_cmdPrgModule);
    return frame;
}

// " Communicatie ": the two data LEDs with their narrow labels, the command
// word above the product name.
QGroupBox *MainWindow::buildLinkFrame()
{
    auto *frame = makeFrame(this, QStringLiteral("Frame_Communicatie"), QStringLiteral(" Communicatie "));
    auto *row = tight(new QHBoxLayout(frame));
    const QPixmap led = ledPixmap();
    const auto ledPair = [&](const QString &imageName, const QString &labelName, const QString &text,
                             QLabel *&image, QLabel *&label) {
        image = new QLabel(frame);
        image->setObjectName(imageName);
        image->setPixmap(led);
        image->setFixedSize(led.size());
        keepPlaceWhenHidden(image);
        label = makeLabel(frame, text, labelName);
        label->setWordWrap(true);
        label->setFixedWidth(64);
        label->setEnabled(false);
        row->addWidget(image);
        row->addWidget(label);
    };
    ledPair(QStringLiteral("imgLED_DataIN"), QStringLiteral("lblDataIN"),
            QStringLiteral("  lezen           KVR7314"), m_imgLedDataIn, m_lblDataIn);
    ledPair(QStringLiteral("imgLED_DataUIT"), QStringLiteral("lblDataUIT"),
            QStringLiteral("  schrijven        KVR7314"), m_imgLedDataUit, m_lblDataUit);
    return frame;
}

void MainWindow::buildCloseButtons()
{
    m_cmdInfo = makeButton(this, QStringLiteral("CmdInfo"), QStringLiteral("Infoscherm"),
                           QStringLiteral("laat het informatiescherm zien"));
    m_cmdAfsluiten = makeButton(this, QStringLiteral("CmdAfsluiten"), QStringLiteral("Afsluiten"),
                                QStringLiteral("sluit het programma af"));
}

void MainWindow::setReadingOrder()
{
    // Tab goes through the frames as they are read, row by row and left to
    // right, and through each frame's controls in their order; a control
    // hidden by the receiver layout is passed over.
    static const char *const frames[] = {
        "Frame_Aliastekst", "Frame_Tijden", "Frame_Kleur_Alias", "Frame_Kleur_Bericht", "Frame_Kleur_Koppel",
        "Frame_Snelheid", "Frame_LCD_Rust", "Frame_Koppeltekst", "Frame_Compoort", "Frame_Testbericht",
        "Frame_Ontvanger", "Frame_Bestand", "Frame_Programmeren",
    };
    QList<QWidget *> order;
    for (const char *name : frames) {
        for (QWidget *w : findChild<QGroupBox *>(QLatin1String(name))->findChildren<QWidget *>()) {
            // A combo box's own text box is reached through the combo box,
            // its popup list is a window of its own.
            if ((w->focusPolicy() & Qt::TabFocus) && !qobject_cast<QComboBox *>(w->parentWidget())
                && w->window() == this)
                order.append(w);
        }
    }
    order << m_cmdInfo << m_cmdAfsluiten;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void MainWindow::connectCommands()
{
    connect(m_cmdOpen, &QPushButton::clicked, this, &MainWindow::openSettings);
    connect(m_cmdSave, &QPushButton::clicked, this, &MainWindow::saveSettings);
    connect(m_cmdPrint, &QPushButton::clicked, this, &MainWindow::printReport);
    connect(m_cmdLeesModule, &QPushButton::clicked, this, &MainWindow::startReadBack);
    connect(m_cmdPrgModule, &QPushButton::clicked, this, &MainWindow::startProgramming);
    connect(m_cmdTestBericht, &QPushButton::clicked, this, &MainWindow::sendTestCall);
    connect(m_cmdGeenNetwerk, &QPushButton::clicked, this, &MainWindow::sendNoNetworkNotice);
    connect(m_cmdInfo, &QPushButton::clicked, this, &MainWindow::showInfoWindow);
    connect(m_cmdAfsluiten, &QPushButton::clicked, this, &QWidget::close);
}
