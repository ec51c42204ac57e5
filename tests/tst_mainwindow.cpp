// The main window as the user meets it: its start-up state, the exclusive
// check-box groups, the receiver layouts, the standard values, the input
// limits and character set, and the busy state. Plus the two small pieces
// of logic in the Qt dialogs.

#include "app/qtprompts.h"
#include "settings/fieldtable.h"
#include "support/fixtures.h"
#include "support/windowharness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QClipboard>
#include <QMenu>
#include <QtTest>

#include <memory>

namespace {

QString aliasName(int n) { return QStringLiteral("Txt_Alias%1").arg(n, 2, 10, QLatin1Char('0')); }

// Types any text, one key event per character, as a keyboard layout that
// has the character would (QTest::keyClicks takes ASCII only).
void typeText(QWidget *widget, const QString &text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// A click on the box's indicator, where a user clicks it.
void clickBox(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startUpState();
    void timersAtStart_data();
    void timersAtStart();
    void controlTexts_data();
    void controlTexts();
    void portToolTipsNameTheirDevice();

    void groupRule_data();
    void groupRule();

    void receiverLayout_data();
    void receiverLayout();

    void standardValues_data();
    void standardValues();
    void standardBoxDoesNotFollowEdits();

    void typedTextIsLimited_data();
    void typedTextIsLimited();
    void textSetByCodeIsLimited();
    void charsetRefusal_data();
    void charsetRefusal();
    void pasteOfSeveralLinesFillsTheAliases_data();
    void pasteOfSeveralLinesFillsTheAliases();
    void pastedControlCharactersRefused_data();
    void pastedControlCharactersRefused();

    void settingsThroughTheControls();
    void updateKeepsWhatItDoesNotCarry();

    void busyState_data();
    void busyState();

    void monthName_data();
    void monthName();
    void monthNameIsTakenOnceAtStart();

    void afsluitenClosesAndStopsTimers();

    void nameFilters_data();
    void nameFilters();
    void messageLineBreaks_data();
    void messageLineBreaks();

private:
    QCheckBox *box(const QString &name) const { return m_h->child<QCheckBox>(name); }
    QLineEdit *edit(const QString &name) const { return m_h->child<QLineEdit>(name); }

    std::unique_ptr<WindowHarness> m_h;
};

void TestMainWindow::init()
{
    m_h = std::make_unique<WindowHarness>();
    QVERIFY(m_h->show());
}

void TestMainWindow::cleanup() { m_h.reset(); }

// --- Start-up ----------------------------------------------------------------------------

void TestMainWindow::startUpState()
{
    MainWindow &w = *m_h->window;
    QCOMPARE(w.objectName(), QString("frmKVR7314"));
    QCOMPARE(w.windowTitle(), "KVR7314 - Versie 1.09" + QString(161, ' ') + "Velto Software");
    QCOMPARE(w.size(), QSize(966, 518));
    QCOMPARE(MainWindow::programVersion(), QString("1.09"));
    QCOMPARE(w.comPort(), QString("1"));
    QCOMPARE(w.settings(), startupSettings());
    QVERIFY(!w.isBusy());

    // One box per group, the start-up choices.
    const QStringList startChoices = {"Chk_Kleur_Alias_GN", "Chk_Kleur_Bericht_GN", "Chk_Kleur_Koppel_RD",
                                      "Chk_Snelheid_5", "ChkCOM1", "ChkOntvanger_Flex"};
    for (QCheckBox *b : m_h->window->findChildren<QCheckBox *>())
        QVERIFY2(b->isChecked() == startChoices.contains(b->objectName()), qPrintable(b->objectName()));

    // FLEX layout.
    for (int n = 1; n <= 16; ++n) {
        QVERIFY(edit(aliasName(n))->isVisible());
        QVERIFY(m_h->child<QLabel>(QStringLiteral("LblAlias%1").arg(n))->isVisible());
    }
    QVERIFY(m_h->child<QLabel>("LblPocsag_aan")->isHidden());
    QVERIFY(m_h->child<QComboBox>("CbxCapcode")->isVisible());
    QVERIFY(m_h->child<QComboBox>("CbxRIC")->isHidden());

    // LEDs off, labels grey, version label hidden, version box empty.
    QVERIFY(m_h->child<QLabel>("imgLED_DataIN")->isHidden());
    QVERIFY(m_h->child<QLabel>("imgLED_DataUIT")->isHidden());
    QVERIFY(!m_h->child<QLabel>("lblDataIN")->isEnabled());
    QVERIFY(!m_h->child<QLabel>("lblDataUIT")->isEnabled());
    QVERIFY(m_h->child<QLabel>("lbl_Versie")->isHidden());
    QVERIFY(edit("Txt_Versie")->isVisible());
    QVERIFY(edit("Txt_Versie")->text().isEmpty());
    QVERIFY(!(edit("Txt_Versie")->focusPolicy() & Qt::TabFocus));
    QVERIFY(edit("txt_Inlezen")->isHidden());
    QVERIFY(m_h->buttonsEnabled(true));
    QCOMPARE(m_h->child<QComboBox>("CbxCapcode")->currentText(), QString("1"));
    QCOMPARE(m_h->child<QComboBox>("CbxRIC")->currentText(), QString("1D"));
}

void TestMainWindow::timersAtStart_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("precise");
    QTest::newRow("pacing") << "Tmr_Pauze" << 150 << true;
    QTest::newRow("polling") << "Tmr_Inlezen" << 1 << true;
    QTest::newRow("parse delay") << "Tmr_Verwerken_Data" << 12000 << true;
    QTest::newRow("read LED") << "Tmr_Knippertijd_LED" << 150 << false;
}

void TestMainWindow::timersAtStart()
{
    QFETCH(QString, name);
    const QTimer *timer = m_h->window->findChild<QTimer *>(name);
    QVERIFY(timer);
    QVERIFY(!timer->isActive());
    QTEST(timer->interval(), "interval");
    QFETCH(bool, precise);
    if (precise)
        QCOMPARE(timer->timerType(), Qt::PreciseTimer);
}

void TestMainWindow::controlTexts_data()
{
    // Captions and tooltips are the program's own texts, byte for byte.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    auto row = [](const char *name, const char *text, const char *tip = "") {
        QTest::newRow(name) << QString(name) << QString(text) << QString(tip);
    };
    row("CmdOpen", "openen", "open een bestaande configuratie voor de KVR7314 (*.kvr)");
    row("CmdSave", "opslaan", "sla de huidige configuratie op");
    row("CmdPrint", "printen", "print de huidige configuratie");
    row("CmdLeesModule", "lezen", "lees de data uit de KVR7314");
    row("CmdPRG_Module", "schrijven", "programmeer de ingevulde data naar de KVR7314");
    row("CmdTest_Bericht", "verstuur test", "verstuur een testoproep naar de KVR7314");
    row("CmdGeen_Netwerk", "geen netwerk", "simuleer dat er geen netwerk is");
    row("CmdInfo", "Infoscherm", "laat het informatiescherm zien");
    row("CmdAfsluiten", "Afsluiten", "sluit het programma af");
    row("Chk_Standaard_Timers", "standaard", "kies hiermee de standaard tijden");
    row("Chk_LCD_Standaard_Tekst", "standaard", "kies hiermee de standaard tekst");
    row("Chk_Standaard_Koppeltekst", "standaard", "kies hiermee de standaard tekst");
    row("Chk_Kleur_Alias_RD", "Rood");
    row("Chk_Kleur_Bericht_GN", "Groen");
    row("Chk_Kleur_Koppel_GL", "Geel");
    row("Chk_Snelheid_1", "1");
    row("Chk_Snelheid_5", "5");
    row("ChkCOM1", "COM 1");
    row("ChkCOM4", "COM 4");
    row("ChkOntvanger_Flex", "FLEX");
    row("ChkOntvanger_Pocsag", "POCSAG");
    row("LblAlias1", "1");
    row("LblAlias16", "16");
    row("LblPocsag_aan", "De ingestelde ontvanger is van het type Pocsag. In deze ontvanger kunnen in totaal 7 RI-Codes");
    row("LblCapcode", "capcode");
    row("LblRicode", "RIC");
    row("lbl_Versie", "ingelezen firmwareversie:");
    row("lblDataIN", "  lezen           KVR7314");
    row("lblDataUIT", "  schrijven        KVR7314");
    row("Timer_RelaisTijd", "0", "tijd dat het relais op moet komen na een melding");
    row("Timer_Wis_Lichtkrant", "0", "na de ingevulde tijd wordt de lichtkrant gewist");
    row("Timer_WisMelding_LCD", "0", "na de ingevulde tijd wordt het LCD gewist");
    row("Timer_Backlight", "0", "vul hier de tijd in dat de achtergrondverlichting moet blijven branden");
    row("Timer_Scroll_LCD", "000", "vul hier de tijd in dat het bericht op het LCD moet scrollen");
    row("Txt_Testbericht", "", "vul hier een vrije tekst in");
    row("CbxCapcode", "1", "kies een CapCode (1 t/m 16)");
    row("CbxRIC", "1D", "kies een CapCode (1 t/m 16)");
}

void TestMainWindow::controlTexts()
{
    QFETCH(QString, name);
    QWidget *widget = m_h->child<QWidget>(name);
    QString text;
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        text = button->text();
    else if (auto *label = qobject_cast<QLabel *>(widget))
        text = label->text();
    else if (auto *lineEdit = qobject_cast<QLineEdit *>(widget))
        text = lineEdit->text();
    else if (auto *combo = qobject_cast<QComboBox *>(widget))
        text = combo->currentText();
    QTEST(text, "text");
    QFETCH(QString, toolTip);
    if (!toolTip.isEmpty())
        QCOMPARE(widget->toolTip(), toolTip);
}

void TestMainWindow::portToolTipsNameTheirDevice()
{
    WindowHarness h([](int port) { return QStringLiteral("/dev/pts/%1").arg(40 + port); });
    QVERIFY(h.show());
    QVERIFY(h.child<QCheckBox>("ChkCOM1")->toolTip().contains("/dev/pts/41"));
    QVERIFY(h.child<QCheckBox>("ChkCOM4")->toolTip().contains("/dev/pts/44"));

    // A box's context menu puts a network address behind it, and takes it away.
    auto *com2 = h.child<QCheckBox>("ChkCOM2");
    const auto choose = [com2](int action) {
        QTimer::singleShot(0, [action] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            menu->actions().at(action)->trigger();
            menu->close();
        });
        emit com2->customContextMenuRequested(QPoint(2, 2));
    };
    h.prompts.textAnswers = {QStringLiteral("rfc2217://ser2net.lan:4001"), QStringLiteral("rfc2217://ser2net.lan")};
    choose(0);
    QCOMPARE(com2->toolTip(), QStringLiteral("rfc2217://ser2net.lan:4001 – netwerkpoort, RFC 2217 (de lijn wordt door "
                                             "dit programma ingesteld)"));
    choose(0);   // malformed: refused with the forms taken, the address kept
    QCOMPARE(h.prompts.boxes.size(), 1);
    QVERIFY(h.prompts.boxes.last().details.contains("rfc2217://HOST:PORT"));
    QVERIFY(com2->toolTip().startsWith("rfc2217://ser2net.lan:4001"));
    choose(1);
    QVERIFY(com2->toolTip().contains("/dev/pts/42"));
}

// --- Group rule ----------------------------------------------------------------------------

void TestMainWindow::groupRule_data()
{
    // Each row acts on one box and names the box of its group that must be
    // the only checked one afterwards, and the field the group stands for.
    QTest::addColumn<QStringList>("group");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("how");   // "click", "check", "uncheck"
    QTest::addColumn<QString>("expectChecked");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expectValue");

    const QStringList alias = {"Chk_Kleur_Alias_RD", "Chk_Kleur_Alias_GN", "Chk_Kleur_Alias_GL"};
    const QStringList message = {"Chk_Kleur_Bericht_RD", "Chk_Kleur_Bericht_GN", "Chk_Kleur_Bericht_GL"};
    const QStringList coupling = {"Chk_Kleur_Koppel_RD", "Chk_Kleur_Koppel_GN", "Chk_Kleur_Koppel_GL"};
    const QStringList speed = {"Chk_Snelheid_1", "Chk_Snelheid_2", "Chk_Snelheid_3", "Chk_Snelheid_4", "Chk_Snelheid_5"};
    const QStringList port = {"ChkCOM1", "ChkCOM2", "ChkCOM3", "ChkCOM4"};
    const QStringList receiver = {"ChkOntvanger_Flex", "ChkOntvanger_Pocsag"};

    for (const QString how : {"click", "check"}) {
        auto row = [&](const char *what, const QStringList &group, const char *target, const char *field,
                       const char *value) {
            QTest::addRow("%s by %s", what, qPrintable(how))
                << group << QString(target) << how << QString(target) << QString(field) << QString(value);
        };
        row("alias red", alias, "Chk_Kleur_Alias_RD", "aliasColour", "176");
        row("alias yellow", alias, "Chk_Kleur_Alias_GL", "aliasColour", "181");
        row("alias green again", alias, "Chk_Kleur_Alias_GN", "aliasColour", "183");
        row("message yellow", message, "Chk_Kleur_Bericht_GL", "messageColour", "181");
        row("message green again", message, "Chk_Kleur_Bericht_GN", "messageColour", "183");
        row("coupling green", coupling, "Chk_Kleur_Koppel_GN", "couplingColour", "183");
        row("coupling red again", coupling, "Chk_Kleur_Koppel_RD", "couplingColour", "176");
        row("speed 1", speed, "Chk_Snelheid_1", "scrollSpeed", "199");
        row("speed 2", speed, "Chk_Snelheid_2", "scrollSpeed", "197");
        row("speed 3", speed, "Chk_Snelheid_3", "scrollSpeed", "195");
        row("speed 4", speed, "Chk_Snelheid_4", "scrollSpeed", "193");
        row("speed 5 again", speed, "Chk_Snelheid_5", "scrollSpeed", "192");
        row("COM 3", port, "ChkCOM3", "comPort", "3");
        row("COM 4", port, "ChkCOM4", "comPort", "4");
        row("COM 1 again", port, "ChkCOM1", "comPort", "1");
        row("POCSAG", receiver, "ChkOntvanger_Pocsag", "receiverType", "POCSAG");
        row("FLEX again", receiver, "ChkOntvanger_Flex", "receiverType", "FLEX");
    }
    // Code that clears the checked box is undone just as a click is.
    QTest::newRow("alias green unchecked by code")
        << alias << "Chk_Kleur_Alias_GN" << "uncheck" << "Chk_Kleur_Alias_GN" << "aliasColour" << "183";
    QTest::newRow("COM 1 unchecked by code")
        << port << "ChkCOM1" << "uncheck" << "ChkCOM1" << "comPort" << "1";
    QTest::newRow("FLEX unchecked by code")
        << receiver << "ChkOntvanger_Flex" << "uncheck" << "ChkOntvanger_Flex" << "receiverType" << "FLEX";
}

void TestMainWindow::groupRule()
{
    QFETCH(QStringList, group);
    QFETCH(QString, target);
    QFETCH(QString, how);
    QFETCH(QString, field);

    auto value = [this](const QString &f) -> QString {
        const ModuleSettings s = m_h->window->settings();
        if (f == "aliasColour") return s.aliasColour;
        if (f == "messageColour") return s.messageColour;
        if (f == "couplingColour") return s.couplingColour;
        if (f == "scrollSpeed") return s.scrollSpeed;
        if (f == "comPort") return m_h->window->comPort();
        return s.receiverType == ReceiverType::Flex ? "FLEX" : "POCSAG";
    };
    const QStringList allFields = {"aliasColour", "messageColour", "couplingColour", "scrollSpeed",
                                   "comPort", "receiverType"};
    QMap<QString, QString> before;
    for (const QString &f : allFields)
        before[f] = value(f);

    // Twice: the second time the target is already the checked box, so a
    // click on the checked box is covered by every row.
    for (int round = 0; round < 2; ++round) {
        QCheckBox *b = box(target);
        if (how == "click")
            clickBox(b);
        else
            b->setChecked(how == "check");

        QFETCH(QString, expectChecked);
        for (const QString &name : group)
            QCOMPARE(box(name)->isChecked(), name == expectChecked);
        QTEST(value(field), "expectValue");
        for (const QString &f : allFields) {
            if (f != field)
                QCOMPARE(value(f), before[f]);   // the other groups are left alone
        }
    }
}

// --- Receiver layouts ----------------------------------------------------------------------

void TestMainWindow::receiverLayout_data()
{
    QTest::addColumn<bool>("byClick");
    QTest::newRow("by click") << true;
    QTest::newRow("by code") << false;
}

void TestMainWindow::receiverLayout()
{
    QFETCH(bool, byClick);
    for (int n = 1; n <= 16; ++n)
        edit(aliasName(n))->setText(QStringLiteral("alias %1").arg(n));
    auto choose = [&](const QString &name) {
        if (byClick)
            clickBox(box(name));
        else
            box(name)->setChecked(true);
    };
    auto checkLayout = [&](bool flex) {
        for (int n = 8; n <= 16; ++n) {
            QCOMPARE(edit(aliasName(n))->isVisible(), flex);
            QCOMPARE(m_h->child<QLabel>(QStringLiteral("LblAlias%1").arg(n))->isVisible(), flex);
        }
        for (int n = 1; n <= 7; ++n)
            QVERIFY(edit(aliasName(n))->isVisible());
        QCOMPARE(m_h->child<QLabel>("LblPocsag_aan")->isVisible(), !flex);
        QCOMPARE(m_h->child<QPushButton>("CmdGeen_Netwerk")->isVisible(), flex);
        QCOMPARE(m_h->child<QLabel>("LblCapcode")->isVisible(), flex);
        QCOMPARE(m_h->child<QLabel>("LblRicode")->isVisible(), !flex);
        QCOMPARE(m_h->child<QComboBox>("CbxCapcode")->isVisible(), flex);
        QCOMPARE(m_h->child<QComboBox>("CbxRIC")->isVisible(), !flex);
    };

    choose("ChkOntvanger_Pocsag");
    checkLayout(false);
    // Hidden aliases are still part of the settings.
    QCOMPARE(m_h->window->settings().aliases[15], QString("alias 16"));
    QCOMPARE(m_h->window->settings().receiverType, ReceiverType::Pocsag);

    choose("ChkOntvanger_Flex");
    checkLayout(true);
    for (int n = 8; n <= 16; ++n)
        QCOMPARE(edit(aliasName(n))->text(), QStringLiteral("alias %1").arg(n));
}

// --- Standard values --------------------------------------------------------------------------

void TestMainWindow::standardValues_data()
{
    QTest::addColumn<QString>("boxName");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("checkedValues");
    QTest::addColumn<QStringList>("clearedValues");
    QTest::newRow("idle text") << "Chk_LCD_Standaard_Tekst" << QStringList{"Txt_LCD_Rust"}
                               << QStringList{"GEEN MELDING"} << QStringList{" "};
    QTest::newRow("coupling text") << "Chk_Standaard_Koppeltekst" << QStringList{"Txt_Koppeltekst"}
                                   << QStringList{" >>> "} << QStringList{"  "};
    QTest::newRow("timers")
        << "Chk_Standaard_Timers"
        << QStringList{"Timer_RelaisTijd", "Timer_Wis_Lichtkrant", "Timer_WisMelding_LCD", "Timer_Backlight", "Timer_Scroll_LCD"}
        << QStringList{"10", "30", "60", "9999", "350"} << QStringList{"0", "0", "0", "0", "000"};
}

void TestMainWindow::standardValues()
{
    QFETCH(QString, boxName);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, checkedValues);
    QFETCH(QStringList, clearedValues);
    QCheckBox *b = box(boxName);
    QVERIFY(!b->isChecked());

    for (const QString &f : fields)
        edit(f)->setText("77");
    clickBox(b);
    QVERIFY(b->isChecked());
    for (int i = 0; i < fields.size(); ++i)
        QCOMPARE(edit(fields[i])->text(), checkedValues[i]);

    // Clearing puts the cleared values, not what was there before.
    clickBox(b);
    QVERIFY(!b->isChecked());
    for (int i = 0; i < fields.size(); ++i)
        QCOMPARE(edit(fields[i])->text(), clearedValues[i]);

    // The same from code.
    b->setChecked(true);
    for (int i = 0; i < fields.size(); ++i)
        QCOMPARE(edit(fields[i])->text(), checkedValues[i]);
}

void TestMainWindow::standardBoxDoesNotFollowEdits()
{
    box("Chk_Standaard_Timers")->setChecked(true);
    QLineEdit *relay = edit("Timer_RelaisTijd");
    relay->clear();
    QTest::keyClicks(relay, "5");
    QVERIFY(box("Chk_Standaard_Timers")->isChecked());
    QCOMPARE(m_h->window->settings().relayTime, QString("5"));
}

// --- Input limits and character set -----------------------------------------------------------

void TestMainWindow::typedTextIsLimited_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("limit");   // -1: none
    QTest::newRow("alias 1") << aliasName(1) << 25;
    QTest::newRow("alias 16") << aliasName(16) << 25;
    QTest::newRow("coupling text") << "Txt_Koppeltekst" << 25;
    QTest::newRow("idle text") << "Txt_LCD_Rust" << 25;
    QTest::newRow("relay time") << "Timer_RelaisTijd" << 4;
    QTest::newRow("sign clear time") << "Timer_Wis_Lichtkrant" << 4;
    QTest::newRow("LCD clear time") << "Timer_WisMelding_LCD" << 4;
    QTest::newRow("backlight time") << "Timer_Backlight" << 4;
    QTest::newRow("scroll time") << "Timer_Scroll_LCD" << 4;
    QTest::newRow("test message") << "Txt_Testbericht" << -1;
}

void TestMainWindow::typedTextIsLimited()
{
    QFETCH(QString, name);
    QFETCH(int, limit);
    QLineEdit *e = edit(name);
    e->clear();
    const QString typed = QString("abcdefghij").repeated(4);   // 40 characters
    QTest::keyClicks(e, typed);
    QCOMPARE(e->text(), limit < 0 ? typed : typed.left(limit));
}

void TestMainWindow::textSetByCodeIsLimited()
{
    const QString thirty = QString("0123456789").repeated(3);
    SettingsUpdate update;
    update.values = m_h->window->settings();
    update.values.aliases[0] = thirty;
    update.values.aliases[15] = thirty;
    update.values.couplingText = thirty;
    update.values.idleText = thirty;
    update.values.scrollTime = "12345";
    m_h->window->applyUpdate(update);
    const ModuleSettings s = m_h->window->settings();
    QCOMPARE(s.aliases[0], thirty.left(25));
    QCOMPARE(s.aliases[15], thirty.left(25));
    QCOMPARE(s.couplingText, thirty.left(25));
    QCOMPARE(s.idleText, thirty.left(25));
    QCOMPARE(s.scrollTime, QString("1234"));

    m_h->window->setFieldText(settingsField(&ModuleSettings::backlightTime), "99999");
    QCOMPARE(m_h->window->settings().backlightTime, QString("9999"));
    m_h->window->setFieldText(settingsField(&ModuleSettings::relayTime), "0007");
    QCOMPARE(m_h->window->settings().relayTime, QString("0007"));
}

void TestMainWindow::charsetRefusal_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    const QString greek = QString::fromUtf8("Ω");
    const QString polish = QString::fromUtf8("ł");
    // Windows-1252 has é, €, ™ and Ž; it has no Greek or Polish ł.
    QTest::newRow("alias: greek") << aliasName(3) << "a" + greek + "b" << "ab";
    QTest::newRow("alias: 1252 letters") << aliasName(3) << QString::fromUtf8("é€™Ž") << QString::fromUtf8("é€™Ž");
    QTest::newRow("coupling: polish") << "Txt_Koppeltekst" << polish + ">" << ">";
    QTest::newRow("idle: greek") << "Txt_LCD_Rust" << greek << "";
    QTest::newRow("timer: greek") << "Timer_Backlight" << "9" + greek + "9" << "99";
    QTest::newRow("test message: polish") << "Txt_Testbericht" << "x" + polish + "y" << "xy";
}

void TestMainWindow::pasteOfSeveralLinesFillsTheAliases_data()
{
    QTest::addColumn<bool>("pocsag");
    QTest::addColumn<int>("into");            // the alias box pasted into, 1..16
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("aliases");  // 1..16 afterwards; empty: unchanged
    QTest::addColumn<QString>("says");         // the box's words; empty: no box

    QStringList before;
    for (int n = 1; n <= kAliasCount; ++n)
        before << QStringLiteral("oud %1").arg(n);
    const auto with = [&](int from, const QStringList &texts) {
        QStringList a = before;
        for (int i = 0; i < texts.size(); ++i)
            a[from - 1 + i] = texts[i];
        return a;
    };
    QTest::newRow("one line, as in any box") << false << 3 << "Post" << with(3, {"oud 3Post"}) << "";
    QTest::newRow("a column of texts") << false << 5 << "Noord\r\nZuid\r\nOost\r\n"
                                       << with(5, {"Noord", "Zuid", "Oost"}) << "";
    QTest::newRow("two columns from a spreadsheet")
        << false << 1 << "1\tBrandweer\n2\tAmbulance 07\n" << with(1, {"Brandweer", "Ambulance 07"}) << "";
    QTest::newRow("on to alias 16") << false << 15 << "a\nb" << with(15, {"a", "b"}) << "";
    QTest::newRow("past alias 16") << false << 15 << "a\nb\nc" << QStringList() << "vanaf alias 15 zijn er 2 aliassen";
    QTest::newRow("POCSAG holds seven") << true << 6 << "a\nb\nc" << QStringList() << "vanaf alias 6 zijn er 2 aliassen";
    QTest::newRow("a line too long") << false << 1 << "kort\n" + QString(26, 'x') << QStringList()
                                     << "Regel 2 (alias 2) heeft 26 tekens";
    QTest::newRow("three columns") << false << 1 << "1\ta\tb\n2\tc" << QStringList()
                                   << "Regel 1 (alias 1) bevat het teken U+0009";
    QTest::newRow("outside Windows-1252") << false << 2 << "goed\n\u65e5" << QStringList()
                                          << "Regel 2 (alias 3) bevat het teken U+65E5";
}

void TestMainWindow::pasteOfSeveralLinesFillsTheAliases()
{
    QFETCH(bool, pocsag);
    QFETCH(int, into);
    QFETCH(QString, clipboard);
    QFETCH(QStringList, aliases);
    QFETCH(QString, says);
    ModuleSettings s = m_h->window->settings();
    for (int n = 1; n <= kAliasCount; ++n)
        s.aliases[size_t(n - 1)] = QStringLiteral("oud %1").arg(n);
    s.receiverType = pocsag ? ReceiverType::Pocsag : ReceiverType::Flex;
    m_h->window->showSettings(s);

    QGuiApplication::clipboard()->setText(clipboard);
    QLineEdit *e = edit(aliasName(into));
    e->setFocus();
    e->end(false);
    QTest::keySequence(e, QKeySequence::Paste);

    const ModuleSettings after = m_h->window->settings();
    const QStringList now(after.aliases.begin(), after.aliases.end());
    if (says.isEmpty()) {
        QVERIFY(m_h->prompts.boxes.isEmpty());
        QCOMPARE(now, aliases);
    } else {
        QCOMPARE(now, QStringList(s.aliases.begin(), s.aliases.end()));   // nothing changed
        QCOMPARE(m_h->prompts.boxes.size(), 1);
        QVERIFY2(m_h->prompts.boxes[0].text.contains(says), qPrintable(m_h->prompts.boxes[0].text));
    }
}

void TestMainWindow::pastedControlCharactersRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pasted");
    // EOT or SOH would cut a module frame; CR or LF would end the .kvr data line.
    QTest::newRow("alias: EOT") << aliasName(2) << QString("ab\x04" "cd");
    QTest::newRow("coupling: SOH") << "Txt_Koppeltekst" << QString("\x01(51)");
    QTest::newRow("idle: CR LF") << "Txt_LCD_Rust" << QString("RUST\r\nX");
    QTest::newRow("test message: LF") << "Txt_Testbericht" << QString("een\ntwee");
}

void TestMainWindow::pastedControlCharactersRefused()
{
    QFETCH(QString, name);
    QFETCH(QString, pasted);
    QLineEdit *e = edit(name);
    e->setText(QStringLiteral("oud"));
    e->selectAll();
    e->insert(pasted);   // what a paste does
    QCOMPARE(e->text(), QString("oud"));
}

void TestMainWindow::charsetRefusal()
{
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QLineEdit *e = edit(name);
    e->clear();
    typeText(e, typed);
    QTEST(e->text(), "kept");
}

// --- Settings through the controls ---------------------------------------------------------------

void TestMainWindow::settingsThroughTheControls()
{
    ModuleSettings s = startupSettings();
    s.receiverType = ReceiverType::Pocsag;
    setAliases(s, QStringLiteral("Alias %1"));
    s.couplingText = " - ";
    s.idleText = "RUST";
    setCodes(s, "181", "183", "176", "195");
    setTimers(s, {"1", "22", "333", "4444", "0350"});
    s.firmwareVersion = "1.32";
    m_h->window->showSettings(s);
    QCOMPARE(m_h->window->settings(), s);
    QVERIFY(box("Chk_Kleur_Alias_GL")->isChecked());
    QVERIFY(box("Chk_Snelheid_3")->isChecked());
    QVERIFY(edit(aliasName(9))->isHidden());   // the POCSAG layout came along
}

void TestMainWindow::updateKeepsWhatItDoesNotCarry()
{
    m_h->window->showSettings([] {
        ModuleSettings s = startupSettings();
        s.firmwareVersion = "1.30";
        return s;
    }());
    SettingsUpdate update;
    update.values = m_h->window->settings();
    update.values.aliasColour = "999";            // no such colour: keeps green
    update.values.scrollSpeed = "";               // keeps speed 5
    update.values.messageColour = "176";
    update.values.receiverType = ReceiverType::Pocsag;   // not carried
    update.values.firmwareVersion = "9.99";              // not carried
    m_h->window->applyUpdate(update);
    const ModuleSettings s = m_h->window->settings();
    QCOMPARE(s.aliasColour, QString("183"));
    QCOMPARE(s.scrollSpeed, QString("192"));
    QCOMPARE(s.messageColour, QString("176"));
    QCOMPARE(s.receiverType, ReceiverType::Flex);
    QCOMPARE(s.firmwareVersion, QString("1.30"));

    update.setsReceiverType = true;
    update.setsFirmwareVersion = true;
    m_h->window->applyUpdate(update);
    QCOMPARE(m_h->window->settings().receiverType, ReceiverType::Pocsag);
    QCOMPARE(m_h->window->settings().firmwareVersion, QString("9.99"));
}

// --- Busy state ---------------------------------------------------------------------------------

void TestMainWindow::busyState_data()
{
    QTest::addColumn<BusyKind>("kind");
    QTest::newRow("writing") << BusyKind::Writing;
    QTest::newRow("reading") << BusyKind::Reading;
}

void TestMainWindow::busyState()
{
    QFETCH(BusyKind, kind);
    const bool reading = kind == BusyKind::Reading;
    m_h->window->enterBusy(kind);
    QVERIFY(m_h->window->isBusy());
    QVERIFY(m_h->buttonsEnabled(false));
    QCOMPARE(m_h->child<QLabel>("lblDataIN")->isEnabled(), reading);
    QCOMPARE(m_h->child<QLabel>("lblDataUIT")->isEnabled(), !reading);
    QCOMPARE(m_h->child<QLabel>("lbl_Versie")->isHidden(), true);
    QCOMPARE(edit("Txt_Versie")->isHidden(), reading);

    // Nothing else is disabled: the user can still type and choose.
    for (QWidget *w : m_h->window->findChildren<QWidget *>()) {
        if (qobject_cast<QLineEdit *>(w) || qobject_cast<QCheckBox *>(w) || qobject_cast<QComboBox *>(w))
            QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    }
    QTest::keyClicks(edit(aliasName(2)), "tijdens");
    QCOMPARE(edit(aliasName(2))->text(), QString("tijdens"));
    clickBox(box("ChkCOM2"));
    QCOMPARE(m_h->window->comPort(), QString("2"));

    m_h->window->leaveBusy();
    QVERIFY(!m_h->window->isBusy());
    QVERIFY(m_h->buttonsEnabled(true));
}

// --- Month name --------------------------------------------------------------------------------------

void TestMainWindow::monthName_data()
{
    QTest::addColumn<int>("month");
    QTest::addColumn<QString>("name");
    const char *names[] = {" januari ", " februari ", " maart ", " april ", " mei ", " juni ", " juli ",
                           " augustus ", " september ", " oktober ", " november ", " december "};
    for (int m = 1; m <= 12; ++m)
        QTest::addRow("%02d", m) << m << QString(names[m - 1]);
}

void TestMainWindow::monthName()
{
    QFETCH(int, month);
    // The last day of the month, a second before midnight: the edge where
    // a wrong day/month order would show.
    FixedClock clock(QDateTime(QDate(2024, month, 1).addMonths(1).addDays(-1), QTime(23, 59, 59)));
    MainWindow window(WindowServices{&m_h->prompts, &clock, {}, {}, {}});
    QTEST(window.monthName(), "name");
    QTEST(dutchMonthName(month), "name");
}

void TestMainWindow::monthNameIsTakenOnceAtStart()
{
    FixedClock clock(QDateTime(QDate(2006, 1, 31), QTime(23, 59, 59)));
    MainWindow window(WindowServices{&m_h->prompts, &clock, {}, {}, {}});
    clock.moment = QDateTime(QDate(2006, 2, 1), QTime(0, 0, 1));
    QCOMPARE(window.monthName(), QString(" januari "));
}

// --- Closing -------------------------------------------------------------------------------------------

void TestMainWindow::afsluitenClosesAndStopsTimers()
{
    // The four of the runs, the read-back's first poll and quiet timer, and
    // the time a test call's frame has to leave.
    const QList<QTimer *> timers = m_h->window->findChildren<QTimer *>();
    QCOMPARE(timers.size(), qsizetype(7));
    for (QTimer *t : timers)
        t->start(60000);
    QTest::mouseClick(m_h->child<QPushButton>("CmdAfsluiten"), Qt::LeftButton);
    QVERIFY(!m_h->window->isVisible());
    for (QTimer *t : timers)
        QVERIFY2(!t->isActive(), qPrintable(t->objectName()));
    QVERIFY(m_h->prompts.boxes.isEmpty());   // nothing is asked
}

// --- The Qt dialogs' own logic -----------------------------------------------------------------------------

void TestMainWindow::nameFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("qt");
    QTest::newRow("save filter") << "KVR 7314 databestand|*.kvr| Alle bestanden (*.*)|*.*"
                                 << "KVR 7314 databestand (*.kvr);; Alle bestanden (*.*) (*.*)";
    QTest::newRow("open filter, pattern with a space") << "KVR 7314 bestand (*.KVR)|*.kvr | Alle bestanden (*.*)|*.*"
                                                      << "KVR 7314 bestand (*.KVR) (*.kvr);; Alle bestanden (*.*) (*.*)";
    QTest::newRow("several patterns") << "Teksten|*.txt;*.kvr" << "Teksten (*.txt *.kvr)";
    QTest::newRow("description without pattern is dropped") << "a|*.a|b" << "a (*.a)";
    QTest::newRow("empty") << "" << "";
}

void TestMainWindow::nameFilters()
{
    QFETCH(QString, filter);
    QTEST(qtNameFilters(filter), "qt");
}

void TestMainWindow::messageLineBreaks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("CR alone") << "een\rtwee\r\rdrie" << "een\ntwee\n\ndrie";
    QTest::newRow("CR LF") << "een\r\ntwee\r\n" << "een\ntwee\n";
    QTest::newRow("spaces kept") << "  a  \r  b  " << "  a  \n  b  ";
}

void TestMainWindow::messageLineBreaks()
{
    QFETCH(QString, text);
    QTEST(displayLineBreaks(text), "shown");
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
