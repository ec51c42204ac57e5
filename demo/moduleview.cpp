#include "demo/moduleview.h"

#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// The sign's LEDs, in the order of kColourChoices (red, green, yellow).
constexpr std::array<const char *, 3> kLedColours = {"#ff3b30", "#35e83a", "#ffd21a"};
constexpr const char *kUnknownLedColour = "#9e9e9e";

const char *ledColour(const QString &colourCode)
{
    const std::optional<int> index = colourIndex(colourCode);
    return index ? kLedColours[size_t(*index)] : kUnknownLedColour;
}

QString lcdStyle(bool backlightOn)
{
    return QStringLiteral("QFrame#lcd { background: %1; border: 5px solid #263238; border-radius: 4px; }"
                          "QLabel { color: %2; }")
        .arg(backlightOn ? QStringLiteral("#b6e35a") : QStringLiteral("#56643f"),
             backlightOn ? QStringLiteral("#14210a") : QStringLiteral("#222a18"));
}

// The view is refreshed ten times a second: a style sheet is set only when
// it changes, because setting one restyles the widget and its children.
void setStyleSheetOnChange(QWidget *widget, const QString &styleSheet)
{
    if (widget->styleSheet() != styleSheet)
        widget->setStyleSheet(styleSheet);
}

void showLamp(QLabel *lamp, const QString &name, bool on)
{
    lamp->setText(QStringLiteral("\u25CF %1: %2").arg(name, on ? QStringLiteral("aan") : QStringLiteral("uit")));
    setStyleSheetOnChange(lamp, on ? QStringLiteral("color: #e65100; font-weight: bold;") : QStringLiteral("color: #757575;"));
}

} // namespace

ModuleView::ModuleView(const QString &devicePath, QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Gesimuleerde KVR7314"));
    // The view is a picture; a screen reader reads its description, which
    // follows what the module shows.
    setAccessibleName(QStringLiteral("Weergave van de gesimuleerde KVR7314"));
    auto *root = new QVBoxLayout(this);

    auto *intro = new QLabel(QStringLiteral("Gesimuleerde KVR7314 op %1.\nCOM 1 t/m 4 leiden allemaal naar deze module.")
                                 .arg(devicePath),
                             this);
    root->addWidget(intro);

    auto *lcdBox = new QGroupBox(QStringLiteral("LCD"), this);
    auto *lcdBoxLayout = new QVBoxLayout(lcdBox);
    m_lcd = new QFrame(lcdBox);
    m_lcd->setObjectName(QStringLiteral("lcd"));
    auto *lcdLayout = new QVBoxLayout(m_lcd);
    lcdLayout->setContentsMargins(12, 10, 12, 10);
    lcdLayout->setSpacing(2);
    QFont lcdFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    lcdFont.setPointSize(11);
    for (size_t i = 0; i < m_lcdLines.size(); ++i) {
        m_lcdLines[i] = new QLabel(m_lcd);
        m_lcdLines[i]->setObjectName(QStringLiteral("lcdLine%1").arg(i + 1));
        m_lcdLines[i]->setFont(lcdFont);
        m_lcdLines[i]->setTextFormat(Qt::PlainText);
        lcdLayout->addWidget(m_lcdLines[i]);
    }
    lcdBoxLayout->addWidget(m_lcd);
    root->addWidget(lcdBox);

    auto *signBox = new QGroupBox(QStringLiteral("Lichtkrant"), this);
    auto *signLayout = new QVBoxLayout(signBox);
    m_sign = new QLabel(signBox);
    m_sign->setObjectName(QStringLiteral("sign"));
    m_sign->setTextFormat(Qt::RichText);
    m_sign->setWordWrap(true);   // the real sign scrolls; here the whole text stays in view
    m_sign->setMinimumHeight(56);
    m_sign->setMargin(8);
    m_sign->setStyleSheet(QStringLiteral("background: #111111; border-radius: 3px;"));
    QFont signFont = lcdFont;
    signFont.setPointSize(14);
    signFont.setBold(true);
    m_sign->setFont(signFont);
    signLayout->addWidget(m_sign);
    root->addWidget(signBox);

    auto *lamps = new QHBoxLayout;
    m_relay = new QLabel(this);
    m_relay->setObjectName(QStringLiteral("relay"));
    m_backlight = new QLabel(this);
    m_backlight->setObjectName(QStringLiteral("backlight"));
    lamps->addWidget(m_relay);
    lamps->addWidget(m_backlight);
    lamps->addStretch();
    root->addLayout(lamps);

    m_times = new QLabel(this);
    m_times->setObjectName(QStringLiteral("times"));
    m_times->setWordWrap(true);
    root->addWidget(m_times);
    root->addStretch();

    auto *hint = new QLabel(QStringLiteral("Probeer: \"verstuur test\" en \"geen netwerk\" verschijnen hier meteen. "
                                           "\"schrijven\" zet de instellingen in deze module (8 s), "
                                           "\"lezen\" haalt ze terug (12 s)."),
                            this);
    hint->setWordWrap(true);
    root->addWidget(hint);
}

void ModuleView::showModule(const ModuleDisplay &display, const ModuleSettings &stored)
{
    for (size_t i = 0; i < m_lcdLines.size(); ++i)
        m_lcdLines[i]->setText(display.lcdLines[i].leftJustified(kLcdLineWidth, QLatin1Char(' ')));
    setStyleSheetOnChange(m_lcd, lcdStyle(display.backlightOn));
    m_sign->setText(signHtml(display.sign));
    showLamp(m_relay, QStringLiteral("Relais"), display.relayOn);
    showLamp(m_backlight, QStringLiteral("Verlichting LCD"), display.backlightOn);
    m_times->setText(QStringLiteral("Tijden in de module: relais %1 s, lichtkrant %2 s, LCD %3 s, verlichting %4 s, "
                                    "scrollen %5 ms (9999 is altijd aan).")
                         .arg(stored.relayTime, stored.signClearTime, stored.lcdClearTime, stored.backlightTime,
                              stored.scrollTime));
    setAccessibleDescription(describe(display));
}

QString ModuleView::describe(const ModuleDisplay &display)
{
    QStringList lcd;
    for (const QString &line : display.lcdLines) {
        if (!line.trimmed().isEmpty())
            lcd.append(line.trimmed());
    }
    QString sign;
    for (const SignSegment &segment : display.sign)
        sign += segment.text;
    const auto onOff = [](bool on) { return on ? QStringLiteral("aan") : QStringLiteral("uit"); };
    return QStringLiteral("LCD: %1. Lichtkrant: %2. Relais %3, verlichting LCD %4.")
        .arg(lcd.isEmpty() ? QStringLiteral("leeg") : lcd.join(QStringLiteral(" / ")),
             sign.trimmed().isEmpty() ? QStringLiteral("leeg") : sign.trimmed(), onOff(display.relayOn),
             onOff(display.backlightOn));
}

QString ModuleView::signHtml(const QList<SignSegment> &sign)
{
    QString html = QStringLiteral("<div style=\"white-space: pre-wrap;\">");
    for (const SignSegment &segment : sign) {
        html += QStringLiteral("<span style=\"color: %1;\">%2</span>")
                    .arg(QLatin1String(ledColour(segment.colourCode)), segment.text.toHtmlEscaped());
    }
    return html + QStringLiteral("</div>");
}
