// The info window Helpscherm: its fixed texts, one instance opened without
// an owner and without blocking, and its life after the main window closed.

#include "app/infowindow.h"
#include "support/windowharness.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

QList<InfoWindow *> openInfoWindows()
{
    QList<InfoWindow *> found;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *info = qobject_cast<InfoWindow *>(w); info && info->isVisible())
            found.append(info);
    }
    return found;
}

QStringList labelTexts(const QWidget *window)
{
    QStringList texts;
    for (const QLabel *label : window->findChildren<QLabel *>())
        texts.append(label->text());
    return texts;
}

} // namespace

class TestInfoWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void pageTexts();
    void helpGrid_data();
    void helpGrid();
    void closeButtonHasTheFocus();

    void oneInstanceWithoutOwner();
    void closedByItsButton();
    void staysWhenMainWindowCloses();
    void staysWhenMainWindowIsDeleted();
    void programEndsWithItsLastWindow_data();
    void programEndsWithItsLastWindow();

private:
    void pressInfo() { QTest::mouseClick(m_h->child<QPushButton>("CmdInfo"), Qt::LeftButton); }

    std::unique_ptr<WindowHarness> m_h;
};

void TestInfoWindow::init()
{
    m_h = std::make_unique<WindowHarness>();
    QVERIFY(m_h->show());
}

void TestInfoWindow::cleanup()
{
    m_h.reset();
    // Info windows have no owner: a test that leaves one open removes it here.
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<InfoWindow *>(w))
            delete w;
    }
}

void TestInfoWindow::pageTexts()
{
    InfoWindow info;
    QCOMPARE(info.objectName(), QString("Helpscherm"));
    QCOMPARE(info.windowTitle(), QString("Infopagina KVR 7314"));
    QCOMPARE(info.size(), QSize(965, 518));
    const QStringList texts = labelTexts(&info);
    for (const char *fixed : {"PROGRAMMEREN VAN DE KVR7314", "Flexontvanger:",
                              "kvr7314: Versie 1.09", "Laatste Update: 12 nov 2006"})
        QVERIFY2(texts.contains(QString(fixed)), fixed);
    auto *close = info.findChild<QPushButton *>("Cmd_Sluit");
    QVERIFY(close);
    QCOMPARE(close->text(), QString("dit venster sluiten"));
}

void TestInfoWindow::helpGrid_data()
{
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("text");
    auto row = [](const char *heading, const char *text) { QTest::newRow(heading) << QString(heading) << QString(text); };
    row("openen", "lees data voor de KVR7314 in vanuit een bestand.");
    row("opslaan", "sla de ingevulde data op. De bestanden worden opgeslagen als *.kvr");
    row("printen", "stuur de ingelezen / ingevulde data naar de printer");
    row("lezen", "lees het geheugen van de KVR7314");
    row("schrijven", "programmeer de ingevulde data in de KVR7314");
    row("infoscherm", "geeft dit scherm weer");
    row("afsluiten", "programma afsluiten");
    row("verstuur test", "geeft de mogelijkheid om de KVR snel te testen. Kies een CapCode en verstuur een bericht naar de KVR.");
    row("alias 1 tm 16", "vul hier de tekst in die voor de binnenkomende melding komt te staan (maximaal 25 karakters).");
    row("tekst LCD in rust", "de tekst die hier wordt ingevuld komt op het LCD te staan als er geen berichten zijn");
    row("koppeltekst tussen alias en melding", "de tekst die hier wordt ingevuld komt te staan tussen de ingevulde alias en de binnenkomende melding");
    row("tijden", "vul hier de tijden in voor het relais, het wissen van de tekst op de lichtkrant en het LCD en de achtergrondverlichting van het LCD. Een waarde van 9999 is altijd aan. Iedere nieuwe melding start alle tijden opnieuw.");
    row("kleuren", "kies voor de alias, koppeltekst en het bericht ieder een eigen kleur");
    row("snelheid", "dit is de snelheid waarmee het bericht over de lichtkrant loopt. 1 is langzaam / 5 is snel.");
    row("geen netwerk", "als de FLEX module enige tijd geen ontvangst heeft dan geeft de KVR hiervan een melding. Deze is hiermee te simuleren (werkt niet bij Pocsag).");
    row("type ontvanger", "kies FLEX voor P2000 / POCSAG voor KPN NAT.3");
}

void TestInfoWindow::helpGrid()
{
    QFETCH(QString, heading);
    QFETCH(QString, text);
    InfoWindow info;
    const QStringList texts = labelTexts(&info);
    QCOMPARE(texts.count(heading), qsizetype(1));
    QCOMPARE(texts.count(text), qsizetype(1));
}

void TestInfoWindow::closeButtonHasTheFocus()
{
    pressInfo();
    InfoWindow *info = m_h->window->infoWindow();
    QVERIFY(info);
    QVERIFY(QTest::qWaitForWindowActive(info));
    QCOMPARE(info->focusWidget(), info->findChild<QPushButton *>("Cmd_Sluit"));
}

void TestInfoWindow::oneInstanceWithoutOwner()
{
    QVERIFY(!m_h->window->infoWindow());
    pressInfo();
    InfoWindow *first = m_h->window->infoWindow();
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QVERIFY(!first->parentWidget());
    // Shown without blocking: no modal window, the main window stays usable.
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(!first->isModal());
    QVERIFY(m_h->child<QPushButton>("CmdInfo")->isEnabled());

    pressInfo();
    QCOMPARE(m_h->window->infoWindow(), first);
    QCOMPARE(openInfoWindows().size(), qsizetype(1));

    // Pressed again while it is behind the main window: brought forward.
    m_h->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_h->window.get()));
    pressInfo();
    QVERIFY(QTest::qWaitForWindowActive(first));
    QCOMPARE(openInfoWindows().size(), qsizetype(1));
}

void TestInfoWindow::closedByItsButton()
{
    pressInfo();
    QPointer<InfoWindow> info = m_h->window->infoWindow();
    QTest::mouseClick(info->findChild<QPushButton *>("Cmd_Sluit"), Qt::LeftButton);
    QTRY_VERIFY(!info);                  // gone, not merely hidden
    QVERIFY(!m_h->window->infoWindow());    // and the main window does not hold on to it
    QVERIFY(m_h->window->isVisible());

    pressInfo();                         // a new one on the next press
    QVERIFY(m_h->window->infoWindow());
    QVERIFY(m_h->window->infoWindow()->isVisible());
}

void TestInfoWindow::staysWhenMainWindowCloses()
{
    pressInfo();
    QPointer<InfoWindow> info = m_h->window->infoWindow();
    QTest::mouseClick(m_h->child<QPushButton>("CmdAfsluiten"), Qt::LeftButton);
    QVERIFY(!m_h->window->isVisible());
    QTest::qWait(20);
    QVERIFY(info);
    QVERIFY(info->isVisible());
}

void TestInfoWindow::staysWhenMainWindowIsDeleted()
{
    pressInfo();
    QPointer<InfoWindow> info = m_h->window->infoWindow();
    m_h->window.reset();
    QVERIFY(info);
    QVERIFY(info->isVisible());
    QTest::mouseClick(info->findChild<QPushButton *>("Cmd_Sluit"), Qt::LeftButton);
    QTRY_VERIFY(!info);
}

void TestInfoWindow::programEndsWithItsLastWindow_data()
{
    QTest::addColumn<bool>("infoOpen");
    QTest::newRow("main window alone") << false;
    QTest::newRow("info window still open") << true;
}

void TestInfoWindow::programEndsWithItsLastWindow()
{
    // Runs the real event loop: it must end exactly when the last window
    // closes, and not when the main window closes while the info window is open.
    QFETCH(bool, infoOpen);
    QApplication::setQuitOnLastWindowClosed(true);
    if (infoOpen)
        pressInfo();
    QPointer<InfoWindow> info = m_h->window->infoWindow();

    bool mainClosed = false;
    bool stillRunningAfterMainClosed = false;
    bool infoClosed = false;
    QTimer::singleShot(0, this, [&] {
        QTest::mouseClick(m_h->child<QPushButton>("CmdAfsluiten"), Qt::LeftButton);
        mainClosed = true;
        if (!infoOpen)
            return;
        QTimer::singleShot(100, this, [&] {
            stillRunningAfterMainClosed = true;
            QTest::mouseClick(info->findChild<QPushButton *>("Cmd_Sluit"), Qt::LeftButton);
            infoClosed = true;
        });
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
    watchdog.start(5000);

    const int result = QCoreApplication::exec();
    QCOMPARE(result, 0);   // 99: the loop did not end when the last window closed
    QVERIFY(mainClosed);
    QCOMPARE(stillRunningAfterMainClosed, infoOpen);
    QCOMPARE(infoClosed, infoOpen);
}

QTEST_MAIN(TestInfoWindow)
#include "tst_infowindow.moc"
