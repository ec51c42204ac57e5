#include "app/infowindow.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QColor kHeadingBlue(0x00, 0x00, 0xFF);
const QColor kDarkBlue(0x00, 0x00, 0x80);
const QColor kDarkRed(0x80, 0x00, 0x00);

// The page's own version and date; they do not follow the program version.
const QString kProgramFileName = QStringLiteral("kvr7314");
const QString kPageVersion = QStringLiteral("1.09");
const QString kPageDate = QStringLiteral("12 nov 2006");

QLabel *makeText(QWidget *parent, const QString &text, const QColor &colour = {}, bool bold = false)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (colour.isValid()) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
    }
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

// A heading in dark blue and its explanation under it.
QVBoxLayout *helpItem(QWidget *parent, const QString &heading, const QString &text)
{
    auto *item = new QVBoxLayout;
    item->setSpacing(0);
    item->addWidget(makeText(parent, heading, kDarkBlue, true));
    item->addWidget(makeText(parent, text));
    item->addStretch();
    return item;
}

QFrame *contactBlock(QWidget *parent, const QString &name, const QStringList &lines)
{
    auto *block = new QFrame(parent);
    block->setObjectName(name);
    block->setStyleSheet(QStringLiteral("QFrame#%1 { border: 2px solid %2; }").arg(name, kDarkRed.name()));
    auto *layout = new QVBoxLayout(block);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->setSpacing(0);
    for (int i = 0; i < lines.size(); ++i) {
        QLabel *line = makeText(block, lines[i], i == 0 ? kDarkBlue : QColor(), i == 0);
        line->setWordWrap(false);
        layout->addWidget(line);
    }
    return block;
}

QPixmap shieldPixmap()
{
    QPixmap pixmap(40, 36);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shield;
    shield.moveTo(4, 2);
    shield.lineTo(36, 2);
    shield.lineTo(36, 16);
    shield.cubicTo(36, 26, 28, 31, 20, 34);
    shield.cubicTo(12, 31, 4, 26, 4, 16);
    shield.closeSubpath();
    painter.setClipPath(shield);
    painter.fillRect(QRectF(0, 0, 20, 36), QColor(0xD0, 0x10, 0x10));
    painter.fillRect(QRectF(20, 0, 20, 36), QColor(0xFF, 0xD0, 0x00));
    painter.fillRect(QRectF(0, 12, 40, 5), QColor(0xFF, 0xD0, 0x00));
    painter.fillRect(QRectF(20, 12, 20, 5), QColor(0xD0, 0x10, 0x10));
    painter.setClipping(false);
    painter.setPen(QPen(QColor(0x40, 0x00, 0x00), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shield);
    return pixmap;
}

} // namespace

InfoWindow::InfoWindow(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Helpscherm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Infopagina ") + QStringLiteral("KVR 7314"));
    setFixedSize(965, 518);
    // A page of text on a fixed area: a compact body font keeps it all in view.
    QFont body = font();
    body.setPixelSize(11);
    setFont(body);

    // The close button first: first in the tab order, so it has the focus
    // when the window opens.
    QPushButton *closeButton = buildCloseButton();
    QGridLayout *grid = buildHelpGrid();
    grid->addLayout(buildContactBlocks(), 5, 1, 2, 1);
    grid->addLayout(buildAbout(closeButton), 5, 2, 2, 1, Qt::AlignBottom | Qt::AlignRight);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(10, 2, 10, 6);
    root->setSpacing(2);
    root->addWidget(buildHeading());
    root->addWidget(buildIntroduction());
    root->addWidget(makeText(this, QStringLiteral("Flexontvanger:"), kDarkBlue, true));
    root->addWidget(buildReceiverText());
    root->addLayout(grid, 1);
    closeButton->setFocus();
}

QPushButton *InfoWindow::buildCloseButton()
{
    auto *button = new QPushButton(QStringLiteral("dit venster sluiten"), this);
    button->setObjectName(QStringLiteral("Cmd_Sluit"));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, &QWidget::close);
    return button;
}

QLabel *InfoWindow::buildHeading()
{
    auto *heading = makeText(this, QStringLiteral("PROGRAMMEREN VAN DE KVR7314"), kHeadingBlue);
    QFont font = heading->font();
    font.setPointSize(24);
    heading->setFont(font);
    heading->setAlignment(Qt::AlignCenter);
    return heading;
}

QLabel *InfoWindow::buildIntroduction()
{
    return makeText(this, QStringLiteral(
        "De KVR7314 is een interface die samenwerkt met een RXM4F FLEX-ontvanger. Ontvangen meldingen verschijnen "
        "op een LED-lichtkrant en/of een LC-display met 4 regels van 40 karakters. Met dit programma kan de "
        "eindgebruiker eenvoudig alle variabele parameters wijzigen. Het programma werkt met modulefirmware vanaf "
        "versie 1.30. Houd de resetknop van de module 2 seconden ingedrukt om de firmwareversie te zien: de module "
        "toont dan zijn gegevens op de lichtkrant en/of het LCD en wist de tekst automatisch zodra de knop wordt "
        "losgelaten. Na het inlezen toont ook dit programma de ingelezen firmwareversie."));
}

QLabel *InfoWindow::buildReceiverText()
{
    return makeText(this, QStringLiteral(
        "De FLEX-ontvanger kan met maximaal 16 capcodes worden geprogrammeerd, met aparte software en een programmer "
        "van de fabrikant, via een verloopkabel op de 3-polige programmeerstekker van de module. Een compleet "
        "PDF-document met alle details is beschikbaar, en ook een voordelige programmer voor wie die van de "
        "fabrikant niet heeft."));
}

// The help grid, three columns read row by row.
QGridLayout *InfoWindow::buildHelpGrid()
{
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(4);
    struct Help { int row; int column; int rowSpan; const char *heading; const char *text; };
    static constexpr Help help[] = {
        {0, 0, 1, "openen", "lees data voor de KVR7314 in vanuit een bestand."},
        {0, 1, 1, "opslaan", "sla de ingevulde data op. De bestanden worden opgeslagen als *.kvr"},
        {0, 2, 1, "printen", "stuur de ingelezen / ingevulde data naar de printer"},
        {1, 0, 1, "lezen", "lees het geheugen van de KVR7314"},
        {1, 1, 1, "schrijven", "programmeer de ingevulde data in de KVR7314"},
        {1, 2, 1, "infoscherm", "geeft dit scherm weer"},
        {2, 0, 1, "afsluiten", "programma afsluiten"},
        {2, 1, 1, "verstuur test", "geeft de mogelijkheid om de KVR snel te testen. Kies een CapCode en verstuur een bericht naar de KVR."},
        {2, 2, 1, "alias 1 tm 16", "vul hier de tekst in die voor de binnenkomende melding komt te staan (maximaal 25 karakters)."},
        {3, 0, 1, "tekst LCD in rust", "de tekst die hier wordt ingevuld komt op het LCD te staan als er geen berichten zijn"},
        {3, 1, 1, "koppeltekst tussen alias en melding", "de tekst die hier wordt ingevuld komt te staan tussen de ingevulde alias en de binnenkomende melding"},
        {3, 2, 2, "tijden", "vul hier de tijden in voor het relais, het wissen van de tekst op de lichtkrant en het LCD en de achtergrondverlichting van het LCD. Een waarde van 9999 is altijd aan. Iedere nieuwe melding start alle tijden opnieuw."},
        {4, 0, 1, "kleuren", "kies voor de alias, koppeltekst en het bericht ieder een eigen kleur"},
        {4, 1, 1, "snelheid", "dit is de snelheid waarmee het bericht over de lichtkrant loopt. 1 is langzaam / 5 is snel."},
        {5, 0, 1, "geen netwerk", "als de FLEX module enige tijd geen ontvangst heeft dan geeft de KVR hiervan een melding. Deze is hiermee te simuleren (werkt niet bij Pocsag)."},
        {6, 0, 1, "type ontvanger", "kies FLEX voor P2000 / POCSAG voor KPN NAT.3"},
    };
    for (const Help &h : help)
        grid->addLayout(helpItem(this, QString::fromUtf8(h.heading), QString::fromUtf8(h.text)),
                        h.row, h.column, h.rowSpan, 1);
    for (int column = 0; column < 3; ++column)
        grid->setColumnStretch(column, 1);
    return grid;
}

// The maker's contact blocks.
QHBoxLayout *InfoWindow::buildContactBlocks()
{
    auto *contacts = new QHBoxLayout;
    contacts->setSpacing(8);
    contacts->addWidget(contactBlock(this, QStringLiteral("Contact_Velto"), {
        QStringLiteral("Velto electronics"),
        QStringLiteral("Voorbeeldstraat 17"),
        QStringLiteral("1234 AB  Voorbeeldstad"),
        QStringLiteral("info@velto.example.nl"),
    }));
    contacts->addWidget(contactBlock(this, QStringLiteral("Contact_Doran"), {
        QStringLiteral("DORAN programmers"),
        QStringLiteral("Postbus 321"),
        QStringLiteral("5678 CD  Ergensdorp"),
        QStringLiteral("service@doran.example.nl"),
    }));
    return contacts;
}

// Bottom right: file name, version, date, the close button and the shield.
QGridLayout *InfoWindow::buildAbout(QPushButton *closeButton)
{
    auto *about = new QGridLayout;
    about->setSpacing(2);
    auto *version = makeText(this, kProgramFileName + QStringLiteral(": Versie ") + kPageVersion);
    version->setObjectName(QStringLiteral("LblVersie"));
    version->setWordWrap(false);
    auto *update = makeText(this, QStringLiteral("Laatste Update") + QStringLiteral(": ") + kPageDate);
    update->setObjectName(QStringLiteral("LblUpdate"));
    update->setWordWrap(false);
    auto *shield = new QLabel(this);
    shield->setObjectName(QStringLiteral("imgSchild"));
    shield->setPixmap(shieldPixmap());
    shield->setFixedSize(40, 36);
    about->addWidget(version, 0, 0);
    about->addWidget(update, 1, 0);
    about->addWidget(shield, 0, 1, 2, 1, Qt::AlignCenter);
    about->addWidget(closeButton, 2, 0, 1, 2);
    about->setRowStretch(3, 1);
    return about;
}
