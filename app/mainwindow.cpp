// The main window itself: its controls, the start-up sequence, the rule that
// keeps each check-box group exclusive, the FLEX/POCSAG layouts, the three
// "standaard" boxes and the busy state. The commands behind the buttons live
// in the other mainwindow_*.cpp files.

#include "app/mainwindow.h"

#include "app/infowindow.h"
#include "files/settingsfile.h"
#include "settings/codec.h"

#include <QCheckBox>
#include <QCloseEvent>
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

#include <algorithm>
#include <functional>
#include <limits>
#include <span>

namespace {

const QColor kFrameCaptionColour(0x80, 0x00, 0x00);   // dark red
const QColor kAliasNumberColour(0x00, 0x00, 0xFF);    // blue
const QColor kDarkBlue(0x00, 0x00, 0x80);
const QColor kVersionGreen(0x00, 0x80, 0x00);

// Every text must reach the module and the .kvr file unchanged, and both
// carry single Windows-1252 bytes: a character without such a byte is
// refused as it is typed or pasted. So is a control character (pasted, it
// cannot be typed): an EOT or SOH inside a text would cut the module's
// frame, and a CR would end the file's data line early, so the file could
// not be opened again.
class Cp1252Validator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        const bool hasControl = std::any_of(input.cbegin(), input.cend(),
                                            [](QChar c) { return c.unicode() < 0x20; });
        return !hasControl && cp1252::canEncode(input) ? Acceptable : Invalid;
    }
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

QLineEdit *makeEdit(QWidget *parent, const QString &name, const QString &toolTip = {})
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setValidator(new Cp1252Validator(edit));
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
    button->setAutoDefault(false);
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

QTimer *makeTimer(QObject *parent, const QString &name, int interval, Qt::TimerType type)
{
    auto *timer = new QTimer(parent);
    timer->setObjectName(name);
    timer->setInterval(interval);
    timer->setTimerType(type);
    return timer;
}

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

template <std::size_t N>
QString checkedCode(const std::array<QCheckBox *, N> &boxes, const std::array<CodeChoice, N> &table)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (boxes[i]->isChecked())
            return QString::fromLatin1(table[i].code);
    }
    return {};
}

int timerSlot(TimerField field)
{
    return int(std::find(kTimerFields.begin(), kTimerFields.end(), field) - kTimerFields.begin());
}

} // namespace

MainWindow::MainWindow(WindowServices services, QWidget *parent)
    : QWidget(parent), m_services(std::move(services))
{
    Q_ASSERT(m_services.prompts && m_services.clock);
    setObjectName(QStringLiteral("frmKVR7314"));
    buildLayout();
    connectGroupRule();
    runStartUp();
}

MainWindow::~MainWindow()
{
    // The info window has no owner and outlives this one; the timers stop here.
    for (QTimer *timer : findChildren<QTimer *>())
        timer->stop();
}

// --- Building the window -------------------------------------------------------

void MainWindow::buildLayout()
{
    setFixedSize(966, 518);
    // Frame captions sit on the frame's top line, in dark red.
    setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid #a0a0a0; border-radius: 3px; margin-top: 8px; padding-top: 4px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 8px;"
        " padding: 0 2px; color: %1; }").arg(kFrameCaptionColour.name()));

    // " aliastekst ": rows 1-8 on the left, 9-16 on the right.
    auto *aliasFrame = makeFrame(this, QStringLiteral("Frame_Aliastekst"), QStringLiteral(" aliastekst "));
    auto *aliasGrid = tight(new QGridLayout(aliasFrame));
    aliasGrid->setHorizontalSpacing(4);
    for (int i = 0; i < kAliasCount; ++i) {
        auto *label = makeLabel(aliasFrame, QString::number(i + 1), QStringLiteral("LblAlias%1").arg(i + 1));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setMinimumWidth(16);
        setTextColour(label, kAliasNumberColour);
        auto *edit = makeEdit(aliasFrame, QStringLiteral("Txt_Alias%1").arg(i + 1, 2, 10, QLatin1Char('0')));
        edit->setMaxLength(kTextLimit);
        const int row = i % 8;
        const int column = (i / 8) * 2;
        aliasGrid->addWidget(label, row, column);
        aliasGrid->addWidget(edit, row, column + 1);
        if (i >= kPocsagAliasCount) {
            keepPlaceWhenHidden(label);
            keepPlaceWhenHidden(edit);
        }
        m_aliasLabels[i] = label;
        m_aliasEdits[i] = edit;
    }
    aliasGrid->setColumnStretch(1, 1);
    aliasGrid->setColumnStretch(3, 1);
    m_lblPocsagAan = makeLabel(aliasFrame,
        QStringLiteral("De ingestelde ontvanger is van het type Pocsag. In deze ontvanger kunnen in totaal 7 RI-Codes"),
        QStringLiteral("LblPocsag_aan"));
    m_lblPocsagAan->setWordWrap(true);
    setTextColour(m_lblPocsagAan, kDarkBlue);
    m_lblPocsagAan->hide();
    aliasGrid->addWidget(m_lblPocsagAan, 7, 0, 1, 4);

    // " tekst LCD in rust " and " koppeltekst tussen alias en de melding ".
    auto *idleFrame = makeFrame(this, QStringLiteral("Frame_LCD_Rust"), QStringLiteral(" tekst LCD in rust "));
    auto *idleBox = tight(new QVBoxLayout(idleFrame));
    m_chkLcdStandaardTekst = makeCheck(idleFrame, QStringLiteral("Chk_LCD_Standaard_Tekst"),
                                       QStringLiteral("standaard"), QStringLiteral("kies hiermee de standaard tekst"));
    m_txtLcdRust = makeEdit(idleFrame, QStringLiteral("Txt_LCD_Rust"));
    m_txtLcdRust->setMaxLength(kTextLimit);
    idleBox->addWidget(m_chkLcdStandaardTekst);
    idleBox->addWidget(m_txtLcdRust);

    auto *couplingFrame = makeFrame(this, QStringLiteral("Frame_Koppeltekst"),
                                    QStringLiteral(" koppeltekst tussen alias en de melding"));
    auto *couplingBox = tight(new QVBoxLayout(couplingFrame));
    m_chkStandaardKoppeltekst = makeCheck(couplingFrame, QStringLiteral("Chk_Standaard_Koppeltekst"),
                                          QStringLiteral("standaard"), QStringLiteral("kies hiermee de standaard tekst"));
    m_txtKoppeltekst = makeEdit(couplingFrame, QStringLiteral("Txt_Koppeltekst"));
    m_txtKoppeltekst->setMaxLength(kTextLimit);
    couplingBox->addWidget(m_chkStandaardKoppeltekst);
    couplingBox->addWidget(m_txtKoppeltekst);

    // " tijden ": five timers in kTimerFields order, "standaard", firmware line.
    auto *timerFrame = makeFrame(this, QStringLiteral("Frame_Tijden"), QStringLiteral(" tijden "));
    auto *timerGrid = tight(new QGridLayout(timerFrame));
    struct TimerRow { const char *caption; const char *name; const char *unit; const char *toolTip; const char *design; };
    static constexpr std::array<TimerRow, 5> timerRows = {{
        {"relaisuitgang", "Timer_RelaisTijd", "Sec.", "tijd dat het relais op moet komen na een melding", "0"},
        {"wis de melding op de lichtkrant", "Timer_Wis_Lichtkrant", "Sec.", "na de ingevulde tijd wordt de lichtkrant gewist", "0"},
        {"wis de melding op het LCD", "Timer_WisMelding_LCD", "Sec.", "na de ingevulde tijd wordt het LCD gewist", "0"},
        {"achtergrondverlichting LCD", "Timer_Backlight", "Sec.", "vul hier de tijd in dat de achtergrondverlichting moet blijven branden", "0"},
        {"scrollen regel 3 en 4 LCD", "Timer_Scroll_LCD", "mSec.", "vul hier de tijd in dat het bericht op het LCD moet scrollen", "000"},
    }};
    for (int row = 0; row < int(timerRows.size()); ++row) {
        const TimerRow &t = timerRows[row];
        auto *caption = makeLabel(timerFrame, QString::fromLatin1(t.caption));
        setTextColour(caption, kAliasNumberColour);
        auto *edit = makeEdit(timerFrame, QString::fromLatin1(t.name), QString::fromLatin1(t.toolTip));
        edit->setMaxLength(kTimerLimit);
        edit->setAlignment(Qt::AlignCenter);
        edit->setFixedWidth(48);
        edit->setText(QString::fromLatin1(t.design));
        auto *unit = makeLabel(timerFrame, QString::fromLatin1(t.unit));
        setTextColour(unit, kAliasNumberColour);
        timerGrid->addWidget(caption, row, 0);
        timerGrid->addWidget(edit, row, 1);
        timerGrid->addWidget(unit, row, 2);
        m_timerEdits[row] = edit;
    }
    m_chkStandaardTimers = makeCheck(timerFrame, QStringLiteral("Chk_Standaard_Timers"),
                                     QStringLiteral("standaard"), QStringLiteral("kies hiermee de standaard tijden"));
    timerGrid->addWidget(m_chkStandaardTimers, 5, 0);
    m_lblVersie = makeLabel(timerFrame, QStringLiteral("ingelezen firmwareversie:"), QStringLiteral("lbl_Versie"));
    m_lblVersie->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextColour(m_lblVersie, kVersionGreen);
    keepPlaceWhenHidden(m_lblVersie);
    m_lblVersie->hide();
    m_txtVersie = makeEdit(timerFrame, QStringLiteral("Txt_Versie"));
    m_txtVersie->setReadOnly(true);
    m_txtVersie->setFocusPolicy(Qt::ClickFocus);   // not in the tab order
    m_txtVersie->setAlignment(Qt::AlignCenter);
    m_txtVersie->setFixedWidth(48);
    {
        QPalette palette = m_txtVersie->palette();
        palette.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
        palette.setColor(QPalette::Text, kVersionGreen);
        m_txtVersie->setPalette(palette);
        QFont bold = m_txtVersie->font();
        bold.setBold(true);
        m_txtVersie->setFont(bold);
    }
    keepPlaceWhenHidden(m_txtVersie);
    timerGrid->addWidget(m_lblVersie, 6, 0);
    timerGrid->addWidget(m_txtVersie, 6, 1);
    timerGrid->setColumnStretch(0, 1);

    // The three colour groups and the speed group.
    auto colourFrame = [this](const QString &frameName, const QString &caption, const QString &prefix,
                              std::array<QCheckBox *, 3> &boxes) {
        auto *frame = makeFrame(this, frameName, caption);
        auto *row = tight(new QHBoxLayout(frame));
        static constexpr std::array<const char *, 3> suffixes = {"RD", "GN", "GL"};
        for (int i = 0; i < 3; ++i) {
            boxes[i] = makeCheck(frame, prefix + QLatin1String(suffixes[i]),
                                 QString::fromLatin1(kColourChoices[i].caption));
            row->addWidget(boxes[i]);
        }
        return frame;
    };
    auto *aliasColourFrame = colourFrame(QStringLiteral("Frame_Kleur_Alias"), QStringLiteral(" kleur alias 1 t/m 16"),
                                         QStringLiteral("Chk_Kleur_Alias_"), m_chkKleurAlias);
    auto *messageColourFrame = colourFrame(QStringLiteral("Frame_Kleur_Bericht"), QStringLiteral(" kleur van de melding "),
                                           QStringLiteral("Chk_Kleur_Bericht_"), m_chkKleurBericht);
    auto *couplingColourFrame = colourFrame(QStringLiteral("Frame_Kleur_Koppel"), QStringLiteral(" kleur koppeltekst "),
                                            QStringLiteral("Chk_Kleur_Koppel_"), m_chkKleurKoppel);
    auto *speedFrame = makeFrame(this, QStringLiteral("Frame_Snelheid"), QStringLiteral("loopsnelheid lichtkrant"));
    auto *speedRow = tight(new QHBoxLayout(speedFrame));
    for (int i = 0; i < int(kSpeedChoices.size()); ++i) {
        m_chkSnelheid[i] = makeCheck(speedFrame, QStringLiteral("Chk_Snelheid_%1").arg(i + 1),
                                     QString::fromLatin1(kSpeedChoices[i].caption));
        speedRow->addWidget(m_chkSnelheid[i]);
    }

    // " kies communicatiepoort ": each box says which device it opens here.
    auto *portFrame = makeFrame(this, QStringLiteral("Frame_Compoort"), QStringLiteral(" kies communicatiepoort "));
    portFrame->setMinimumWidth(180);   // room for its caption
    auto *portGrid = tight(new QGridLayout(portFrame));
    for (int i = 0; i < int(m_chkCom.size()); ++i) {
        const int port = i + 1;
        const QString device = m_services.comDevice ? m_services.comDevice(port) : defaultComDevice(port);
        m_chkCom[i] = makeCheck(portFrame, QStringLiteral("ChkCOM%1").arg(port), QStringLiteral("COM %1").arg(port),
                                QStringLiteral("COM %1 opent %2").arg(port).arg(device));
        portGrid->addWidget(m_chkCom[i], i / 2, i % 2);
    }

    // " verstuur een testbericht naar de KVR7314 ": the capcode and RIC
    // choosers share one place, as do their labels; the layout shows one.
    auto *testFrame = makeFrame(this, QStringLiteral("Frame_Testbericht"),
                                QStringLiteral(" verstuur een testbericht naar de KVR7314 "));
    auto *testGrid = tight(new QGridLayout(testFrame));
    const QString codeToolTip = QStringLiteral("kies een CapCode (1 t/m 16)");
    m_cbxCapcode = new QComboBox(testFrame);
    m_cbxCapcode->setObjectName(QStringLiteral("CbxCapcode"));
    for (int i = 1; i <= kAliasCount; ++i)
        m_cbxCapcode->addItem(QString::number(i));
    m_cbxRic = new QComboBox(testFrame);
    m_cbxRic->setObjectName(QStringLiteral("CbxRIC"));
    for (int i = 1; i <= kPocsagAliasCount; ++i)
        m_cbxRic->addItem(QStringLiteral("%1D").arg(i));
    for (QComboBox *combo : {m_cbxCapcode, m_cbxRic}) {
        // The code goes out as typed, so the box also takes a typed code.
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->lineEdit()->setValidator(new Cp1252Validator(combo));
        combo->setCurrentIndex(0);
        combo->setToolTip(codeToolTip);
        combo->setFixedWidth(56);
        testGrid->addWidget(combo, 0, 0);
    }
    m_lblCapcode = makeLabel(testFrame, QStringLiteral("capcode"), QStringLiteral("LblCapcode"));
    m_lblRicode = makeLabel(testFrame, QStringLiteral("RIC"), QStringLiteral("LblRicode"));
    m_lblRicode->hide();
    m_cbxRic->hide();
    testGrid->addWidget(m_lblCapcode, 1, 0);
    testGrid->addWidget(m_lblRicode, 1, 0);
    m_txtTestbericht = makeEdit(testFrame, QStringLiteral("Txt_Testbericht"), QStringLiteral("vul hier een vrije tekst in"));
    m_txtTestbericht->setMaxLength(std::numeric_limits<int>::max());
    testGrid->addWidget(m_txtTestbericht, 0, 1);
    testGrid->addWidget(makeLabel(testFrame, QStringLiteral("vul hierboven de te versturen tekst in")), 1, 1);
    m_cmdTestBericht = makeButton(testFrame, QStringLiteral("CmdTest_Bericht"), QStringLiteral("verstuur test"),
                                  QStringLiteral("verstuur een testoproep naar de KVR7314"));
    m_cmdGeenNetwerk = makeButton(testFrame, QStringLiteral("CmdGeen_Netwerk"), QStringLiteral("geen netwerk"),
                                  QStringLiteral("simuleer dat er geen netwerk is"));
    keepPlaceWhenHidden(m_cmdGeenNetwerk);
    auto *testButtons = new QHBoxLayout;
    testButtons->addWidget(m_cmdTestBericht);
    testButtons->addWidget(m_cmdGeenNetwerk);
    testGrid->addLayout(testButtons, 2, 0, 1, 2);
    testGrid->setColumnStretch(1, 1);

    // " type ontvanger ".
    auto *receiverFrame = makeFrame(this, QStringLiteral("Frame_Ontvanger"), QStringLiteral(" type ontvanger "));
    auto *receiverGrid = tight(new QGridLayout(receiverFrame));
    m_chkOntvangerFlex = makeCheck(receiverFrame, QStringLiteral("ChkOntvanger_Flex"), QStringLiteral("FLEX"));
    m_chkOntvangerPocsag = makeCheck(receiverFrame, QStringLiteral("ChkOntvanger_Pocsag"), QStringLiteral("POCSAG"));
    receiverGrid->addWidget(m_chkOntvangerFlex, 0, 0);
    receiverGrid->addWidget(makeLabel(receiverFrame, QStringLiteral("(P2000)")), 0, 1);
    receiverGrid->addWidget(m_chkOntvangerPocsag, 1, 0);
    receiverGrid->addWidget(makeLabel(receiverFrame, QStringLiteral("(KPN NAT3)")), 1, 1);

    // The logo.
    auto *logo = new QWidget(this);
    logo->setObjectName(QStringLiteral("Logo"));
    auto *logoBox = new QVBoxLayout(logo);
    auto *logoName = makeLabel(logo, QStringLiteral("K V R   7 3 1 4"), QStringLiteral("LblLogo"));
    QFont logoFont = logoName->font();
    logoFont.setBold(true);
    logoFont.setPointSizeF(logoFont.pointSizeF() * 1.6);
    logoName->setFont(logoFont);
    logoName->setAlignment(Qt::AlignCenter);
    setTextColour(logoName, kAliasNumberColour);
    auto *logoMaker = makeLabel(logo, QStringLiteral("Velto electronics / DORAN"), QStringLiteral("LblLogoMaker"));
    logoMaker->setAlignment(Qt::AlignCenter);
    setTextColour(logoMaker, kDarkBlue);
    logoBox->addStretch();
    logoBox->addWidget(logoName);
    logoBox->addWidget(logoMaker);
    logoBox->addStretch();

    // Bottom row: " Bestand ", "Programmeren", " Communicatie ", Info/Afsluiten.
    auto *fileFrame = makeFrame(this, QStringLiteral("Frame_Bestand"), QStringLiteral(" Bestand "));
    auto *fileRow = tight(new QHBoxLayout(fileFrame));
    m_cmdOpen = makeButton(fileFrame, QStringLiteral("CmdOpen"), QStringLiteral("openen"),
                           QStringLiteral("open een bestaande configuratie voor de KVR7314 (*.kvr)"));
    m_cmdSave = makeButton(fileFrame, QStringLiteral("CmdSave"), QStringLiteral("opslaan"),
                           QStringLiteral("sla de huidige configuratie op"));
    m_cmdPrint = makeButton(fileFrame, QStringLiteral("CmdPrint"), QStringLiteral("printen"),
                            QStringLiteral("print de huidige configuratie"));
    fileRow->addWidget(m_cmdOpen);
    fileRow->addWidget(m_cmdSave);
    fileRow->addWidget(m_cmdPrint);

    auto *programFrame = makeFrame(this, QStringLiteral("Frame_Programmeren"), QStringLiteral("Programmeren"));
    auto *programRow = tight(new QHBoxLayout(programFrame));
    m_cmdLeesModule = makeButton(programFrame, QStringLiteral("CmdLeesModule"), QStringLiteral("lezen"),
                                 QStringLiteral("lees de data uit de KVR7314"));
    m_cmdPrgModule = makeButton(programFrame, QStringLiteral("CmdPRG_Module"), QStringLiteral("schrijven"),
                                QStringLiteral("programmeer de ingevulde data naar de KVR7314"));
    programRow->addWidget(m_cmdLeesModule);
    programRow->addWidget(m_cmdPrgModule);

    auto *linkFrame = makeFrame(this, QStringLiteral("Frame_Communicatie"), QStringLiteral(" Communicatie "));
    auto *linkRow = tight(new QHBoxLayout(linkFrame));
    const QPixmap led = ledPixmap();
    auto ledPair = [&](const QString &imageName, const QString &labelName, const QString &text,
                       QLabel *&image, QLabel *&label) {
        image = new QLabel(linkFrame);
        image->setObjectName(imageName);
        image->setPixmap(led);
        image->setFixedSize(led.size());
        keepPlaceWhenHidden(image);
        label = makeLabel(linkFrame, text, labelName);
        label->setWordWrap(true);   // narrow: the command word above the product name
        label->setFixedWidth(64);
        label->setEnabled(false);
        linkRow->addWidget(image);
        linkRow->addWidget(label);
    };
    ledPair(QStringLiteral("imgLED_DataIN"), QStringLiteral("lblDataIN"),
            QStringLiteral("  lezen           KVR7314"), m_imgLedDataIn, m_lblDataIn);
    ledPair(QStringLiteral("imgLED_DataUIT"), QStringLiteral("lblDataUIT"),
            QStringLiteral("  schrijven        KVR7314"), m_imgLedDataUit, m_lblDataUit);

    m_cmdInfo = makeButton(this, QStringLiteral("CmdInfo"), QStringLiteral("Infoscherm"),
                           QStringLiteral("laat het informatiescherm zien"));
    m_cmdAfsluiten = makeButton(this, QStringLiteral("CmdAfsluiten"), QStringLiteral("Afsluiten"),
                                QStringLiteral("sluit het programma af"));

    // The receive buffer of the read-back run: never shown. No validator:
    // it holds whatever the module sends, control characters included.
    m_txtInlezen = new QLineEdit(this);
    m_txtInlezen->setObjectName(QStringLiteral("txt_Inlezen"));
    m_txtInlezen->setMaxLength(std::numeric_limits<int>::max());
    m_txtInlezen->hide();

    // The grid of frames.
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(6, 4, 6, 6);
    root->setSpacing(2);

    auto *top = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    left->addWidget(aliasFrame, 1);
    auto *textsRow = new QHBoxLayout;
    textsRow->addWidget(idleFrame);
    textsRow->addWidget(couplingFrame);
    left->addLayout(textsRow);
    auto *right = new QVBoxLayout;
    right->addWidget(timerFrame, 1);
    auto *choices = new QGridLayout;
    choices->addWidget(aliasColourFrame, 0, 0);
    choices->addWidget(messageColourFrame, 0, 1);
    choices->addWidget(couplingColourFrame, 1, 0);
    choices->addWidget(speedFrame, 1, 1);
    right->addLayout(choices);
    top->addLayout(left, 55);
    top->addLayout(right, 45);
    root->addLayout(top, 1);

    auto *fourth = new QHBoxLayout;
    fourth->addWidget(portFrame);
    fourth->addWidget(testFrame, 1);
    fourth->addWidget(receiverFrame);
    fourth->addWidget(logo);
    root->addLayout(fourth);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(fileFrame);
    bottom->addWidget(programFrame);
    bottom->addWidget(linkFrame);
    bottom->addStretch();
    auto *closeButtons = new QHBoxLayout;
    closeButtons->addWidget(m_cmdInfo);
    closeButtons->addWidget(m_cmdAfsluiten);
    bottom->addLayout(closeButtons);
    root->addLayout(bottom);

    // The four timers, all stopped; no code changes their intervals.
    m_tmrPauze = makeTimer(this, QStringLiteral("Tmr_Pauze"), ProgrammingRun::kTickIntervalMs, Qt::PreciseTimer);
    m_tmrInlezen = makeTimer(this, QStringLiteral("Tmr_Inlezen"), kPollIntervalMs, Qt::PreciseTimer);
    m_tmrVerwerkenData = makeTimer(this, QStringLiteral("Tmr_Verwerken_Data"), kParseDelayMs, Qt::PreciseTimer);
    m_tmrKnippertijdLed = makeTimer(this, QStringLiteral("Tmr_Knippertijd_LED"), 150, Qt::CoarseTimer);
    connect(m_tmrPauze, &QTimer::timeout, this, &MainWindow::programmingTick);
    connect(m_tmrInlezen, &QTimer::timeout, this, &MainWindow::pollReceive);
    connect(m_tmrVerwerkenData, &QTimer::timeout, this, &MainWindow::finishReadBack);
    connect(m_tmrKnippertijdLed, &QTimer::timeout, this, &MainWindow::blinkDataLed);

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

void MainWindow::connectGroupRule()
{
    // Colours and speed need no effect of their own: settings() reads the
    // code from whichever box is checked.
    bindGroupRule(m_chkKleurAlias, {});
    bindGroupRule(m_chkKleurBericht, {});
    bindGroupRule(m_chkKleurKoppel, {});
    bindGroupRule(m_chkSnelheid, {});
    bindGroupRule(m_chkCom, [this](int index) { m_comPort = QString::number(index + 1); });
    const std::array<QCheckBox *, 2> receiverBoxes = {m_chkOntvangerFlex, m_chkOntvangerPocsag};
    bindGroupRule(receiverBoxes, [this](int index) {
        applyReceiverLayout(index == 0 ? ReceiverType::Flex : ReceiverType::Pocsag);
    });

    // The "standaard" boxes fill their fields when checked and put the
    // cleared values back when unchecked; later edits do not touch them.
    connect(m_chkLcdStandaardTekst, &QCheckBox::toggled, this, [this](bool on) {
        m_txtLcdRust->setText(on ? kStandardIdleText.checked : kStandardIdleText.cleared);
    });
    connect(m_chkStandaardKoppeltekst, &QCheckBox::toggled, this, [this](bool on) {
        m_txtKoppeltekst->setText(on ? kStandardCouplingText.checked : kStandardCouplingText.cleared);
    });
    connect(m_chkStandaardTimers, &QCheckBox::toggled, this, [this](bool on) {
        const auto &values = on ? kStandardTimersChecked : kStandardTimersCleared;
        for (std::size_t i = 0; i < m_timerEdits.size(); ++i)
            m_timerEdits[i]->setText(values[i]);
    });
}

void MainWindow::runStartUp()
{
    setWindowTitle(QStringLiteral("KVR7314 - Versie ") + programVersion() + QString(161, QLatin1Char(' '))
                   + QStringLiteral("Velto Software"));
    selectBox(m_chkKleurAlias[1]);
    selectBox(m_chkKleurBericht[1]);
    selectBox(m_chkKleurKoppel[0]);
    selectBox(m_chkSnelheid[4]);
    selectBox(m_chkCom[0]);
    m_imgLedDataUit->hide();
    m_imgLedDataIn->hide();
    selectBox(m_chkOntvangerFlex);
    // Taken once: a program running past midnight at the month's end keeps it.
    m_monthName = monthNameFor(m_services.clock->now().date().month());
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
    for (int i = 0; i < kAliasCount; ++i)
        s.aliases[i] = m_aliasEdits[i]->text();
    s.couplingText = m_txtKoppeltekst->text();
    s.idleText = m_txtLcdRust->text();
    s.aliasColour = checkedCode(m_chkKleurAlias, kColourChoices);
    s.messageColour = checkedCode(m_chkKleurBericht, kColourChoices);
    s.couplingColour = checkedCode(m_chkKleurKoppel, kColourChoices);
    s.scrollSpeed = checkedCode(m_chkSnelheid, kSpeedChoices);
    for (std::size_t i = 0; i < kTimerFields.size(); ++i)
        s.timer(kTimerFields[i]) = m_timerEdits[i]->text();
    s.firmwareVersion = m_txtVersie->text();
    return s;
}

void MainWindow::showSettings(const ModuleSettings &s)
{
    // Receiver first, so a POCSAG file switches the layout before its texts
    // appear; then texts, timers, colours, speed and last the version.
    selectBox(s.receiverType == ReceiverType::Flex ? m_chkOntvangerFlex : m_chkOntvangerPocsag);
    for (int i = 0; i < kAliasCount; ++i)
        m_aliasEdits[i]->setText(limitText(s.aliases[i]));
    m_txtKoppeltekst->setText(limitText(s.couplingText));
    m_txtLcdRust->setText(limitText(s.idleText));
    for (TimerField field : kTimerFields)
        setTimerText(field, s.timer(field));
    if (const auto i = colourIndex(s.aliasColour))
        selectBox(m_chkKleurAlias[*i]);
    if (const auto i = colourIndex(s.couplingColour))
        selectBox(m_chkKleurKoppel[*i]);
    if (const auto i = colourIndex(s.messageColour))
        selectBox(m_chkKleurBericht[*i]);
    if (const auto i = speedIndex(s.scrollSpeed))
        selectBox(m_chkSnelheid[*i]);
    m_txtVersie->setText(s.firmwareVersion);
}

void MainWindow::applyUpdate(const SettingsUpdate &update)
{
    // The rule of what an update changes lives in ::applyUpdate; fields it
    // keeps are put back as they are, which changes nothing.
    showSettings(::applyUpdate(settings(), update));
}

void MainWindow::setTimerText(TimerField field, const QString &text)
{
    m_timerEdits[timerSlot(field)]->setText(limitTimer(text));
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

// --- Window state ------------------------------------------------------------------------

QString MainWindow::monthNameFor(int month)
{
    return dutchMonthName(month);
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
