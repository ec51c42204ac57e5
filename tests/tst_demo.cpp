// The demo: the real main window on a simulated module. Every COM box must
// lead to that module, the view must follow what the module takes, and the
// module's example settings must come through a read-back.

#include "demo/demo.h"
#include "support/windowharness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

struct Started {
    Started()
    {
        ok = demo.start();
        if (ok)
            demo.show();
    }
    void click(const char *button) { control<QPushButton>(demo.window(), QString::fromLatin1(button))->click(); }
    QString lcdLine(int n) { return control<QLabel>(demo.view(), QStringLiteral("lcdLine%1").arg(n))->text(); }
    QString viewText(const char *name) { return control<QLabel>(demo.view(), QString::fromLatin1(name))->text(); }
    bool waitForFrames(int count)
    {
        return QTest::qWaitFor([&] { return demo.host().module().frames().size() >= count; }, 5000);
    }

    ScriptedPrompts prompts;
    FixedClock clock;
    Demo demo{prompts, clock};
    bool ok = false;
};

} // namespace

class TestDemo : public QObject {
    Q_OBJECT
private slots:
    void everyComBoxReachesTheModule_data();
    void everyComBoxReachesTheModule();
    void viewStartsIdle();
    void viewFollowsCallsAndNotices();
    void viewFollowsTheClock();
    void readBackShowsTheModulesSettings();
    void closingTheWindowClosesTheView();
};

void TestDemo::everyComBoxReachesTheModule_data()
{
    QTest::addColumn<int>("port");
    for (int port = 1; port <= 4; ++port)
        QTest::addRow("COM %d", port) << port;
}

void TestDemo::everyComBoxReachesTheModule()
{
    QFETCH(int, port);
    Started s;
    QVERIFY(s.ok);
    control<QCheckBox>(s.demo.window(), QStringLiteral("ChkCOM%1").arg(port))->click();
    QCOMPARE(s.demo.window()->comPort(), QString::number(port));
    control<QLineEdit>(s.demo.window(), QStringLiteral("Txt_Testbericht"))->setText(QStringLiteral("Proef %1").arg(port));

    s.click("CmdTest_Bericht");
    QVERIFY(s.waitForFrames(1));
    const auto &calls = s.demo.host().module().testCalls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].code, QStringLiteral("1"));
    QCOMPARE(calls[0].message, QStringLiteral("Proef %1").arg(port));
    QVERIFY(s.prompts.boxes.isEmpty());
}

void TestDemo::viewStartsIdle()
{
    Started s;
    QVERIFY(s.ok);
    QCOMPARE(s.lcdLine(1).trimmed(), QStringLiteral("GEEN MELDING"));
    QCOMPARE(s.lcdLine(1).size(), kLcdLineWidth);
    QVERIFY(s.viewText("relay").endsWith(QStringLiteral("uit")));
    QVERIFY(s.viewText("backlight").endsWith(QStringLiteral("uit")));
    QVERIFY(!s.viewText("sign").contains(QStringLiteral("<span")));
}

void TestDemo::viewFollowsCallsAndNotices()
{
    Started s;
    QVERIFY(s.ok);
    control<QComboBox>(s.demo.window(), QStringLiteral("CbxCapcode"))->setCurrentText(QStringLiteral("3"));
    control<QLineEdit>(s.demo.window(), QStringLiteral("Txt_Testbericht"))->setText(QStringLiteral("Reanimatie <A&B>"));
    s.click("CmdTest_Bericht");
    QVERIFY(s.waitForFrames(1));

    QTRY_COMPARE(s.lcdLine(1).trimmed(), QStringLiteral("Ambulance post 3"));
    QCOMPARE(s.lcdLine(3).trimmed(), QStringLiteral("Reanimatie <A&B>"));
    QVERIFY(s.viewText("sign").contains(QStringLiteral("Reanimatie &lt;A&amp;B&gt;")));
    QVERIFY(s.viewText("relay").endsWith(QStringLiteral("aan")));
    QVERIFY(s.viewText("backlight").endsWith(QStringLiteral("aan")));

    s.click("CmdGeen_Netwerk");
    QVERIFY(s.waitForFrames(2));
    QTRY_COMPARE(s.lcdLine(3).trimmed(), QStringLiteral("STORING: GEEN NETWERK"));
    QCOMPARE(s.lcdLine(1).trimmed(), QString());
    QVERIFY(s.viewText("relay").endsWith(QStringLiteral("uit")));
}

void TestDemo::viewFollowsTheClock()
{
    Started s;
    QVERIFY(s.ok);
    ModuleSettings held = s.demo.host().module().stored();
    held.relayTime = QStringLiteral("0001");
    s.demo.host().module().setStored(held);
    s.click("CmdTest_Bericht");
    QVERIFY(s.waitForFrames(1));
    QTRY_VERIFY(s.viewText("relay").endsWith(QStringLiteral("aan")));

    // No frame comes any more: only the view's own refresh can turn it off.
    QTRY_VERIFY_WITH_TIMEOUT(s.viewText("relay").endsWith(QStringLiteral("uit")), 2000);
    QVERIFY(s.viewText("backlight").endsWith(QStringLiteral("aan")));
}

void TestDemo::readBackShowsTheModulesSettings()
{
    Started s;
    QVERIFY(s.ok);
    s.click("CmdLeesModule");
    QVERIFY(QTest::qWaitFor([&] { return !s.prompts.boxes.isEmpty(); }, 20000));
    QCOMPARE(s.prompts.boxes[0].text, QStringLiteral("De data uit de KVR7314 is ingelezen.\r\r\r"));

    ModuleSettings expected = demoModuleSettings();
    expected.firmwareVersion = s.demo.host().module().behaviour.firmwareVersion;
    expected.scrollTime = expected.scrollTime.right(3);   // the module keeps three digits
    QCOMPARE(s.demo.window()->settings(), expected);
}

void TestDemo::closingTheWindowClosesTheView()
{
    Started s;
    QVERIFY(s.ok);
    QVERIFY(s.demo.view()->isVisible());
    s.click("CmdAfsluiten");
    QVERIFY(!s.demo.window()->isVisible());
    QVERIFY(!s.demo.view()->isVisible());
}

QTEST_MAIN(TestDemo)
#include "tst_demo.moc"
