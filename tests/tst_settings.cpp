#include "settings/codec.h"
#include "settings/modulesettings.h"

#include <QtTest>

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void startupValues();
    void timerNormalisation_data();
    void timerNormalisation();
    void padTimer_data();
    void padTimer();
    void codec_data();
    void codec();
    void everyByteSurvivesDecodeAndEncode();
    void unknownCodesKeepTheChoice();
    void limitsBindLoadedTexts();
};

void TestSettings::startupValues()
{
    const ModuleSettings s = startupSettings();
    QCOMPARE(s.receiverType, ReceiverType::Flex);
    QCOMPARE(s.aliasColour, QString("183"));
    QCOMPARE(s.messageColour, QString("183"));
    QCOMPARE(s.couplingColour, QString("176"));
    QCOMPARE(s.scrollSpeed, QString("192"));
    QCOMPARE(s.relayTime, QString("0"));
    QCOMPARE(s.backlightTime, QString("0"));
    QCOMPARE(s.scrollTime, QString("000"));
    QVERIFY(s.idleText.isEmpty() && s.couplingText.isEmpty() && s.firmwareVersion.isEmpty());
}

void TestSettings::timerNormalisation_data()
{
    QTest::addColumn<QString>("seconds");
    QTest::addColumn<QString>("scroll");
    QTest::addColumn<QString>("secondsAfter");
    QTest::addColumn<QString>("scrollAfter");
    QTest::newRow("empty") << "" << "" << "0" << "350";
    QTest::newRow("one zero") << "5" << "0" << "5" << "350";
    QTest::newRow("two zeros") << "0" << "00" << "0" << "350";
    QTest::newRow("three zeros") << "0" << "000" << "0" << "350";
    QTest::newRow("four zeros") << "0" << "0000" << "0" << "350";
    QTest::newRow("a one stays") << "12" << "1" << "12" << "1";
    QTest::newRow("spaces are not zeros") << " " << " 0" << " " << " 0";
    QTest::newRow("five zeros are not a zero form") << "0" << "00000" << "0" << "00000";
}

void TestSettings::timerNormalisation()
{
    QFETCH(QString, seconds);
    QFETCH(QString, scroll);
    ModuleSettings s;
    for (QString ModuleSettings::*timer : {&ModuleSettings::relayTime, &ModuleSettings::signClearTime,
                                           &ModuleSettings::lcdClearTime, &ModuleSettings::backlightTime})
        s.*timer = seconds;
    s.scrollTime = scroll;
    normaliseTimers(s);
    QTEST(s.relayTime, "secondsAfter");
    QTEST(s.backlightTime, "secondsAfter");
    QTEST(s.scrollTime, "scrollAfter");
}

void TestSettings::padTimer_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("padded");
    QTest::newRow("one") << "5" << "0005";
    QTest::newRow("two") << "12" << "0012";
    QTest::newRow("three") << "123" << "0123";
    QTest::newRow("four") << "9999" << "9999";
    QTest::newRow("empty stays empty") << "" << "";
    QTest::newRow("not checked for digits") << "1a" << "001a";
    QTest::newRow("longer stays") << "12345" << "12345";
}

void TestSettings::padTimer()
{
    QFETCH(QString, text);
    QTEST(::padTimer(text), "padded");
}

void TestSettings::codec_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << "Kazerne 1" << QByteArray("Kazerne 1");
    QTest::newRow("e acute") << QString::fromUtf8("caf\u00e9") << QByteArray("caf\xe9");
    QTest::newRow("euro") << QString::fromUtf8("\u20ac5") << QByteArray("\x80" "5");
    QTest::newRow("degree and middle dot") << QString::fromUtf8("\u00b0\u00b7") << QByteArray("\xb0\xb7");
    QTest::newRow("nul byte") << QString(QChar(0)) << QByteArray(1, '\0');
}

void TestSettings::codec()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(cp1252::encode(text), bytes);
    QCOMPARE(cp1252::decode(bytes), text);
    QVERIFY(cp1252::canEncode(text));
}

void TestSettings::everyByteSurvivesDecodeAndEncode()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    QCOMPARE(cp1252::encode(cp1252::decode(all)), all);
    QVERIFY(!cp1252::canEncode(QString::fromUtf8("\u0141")));  // Polish L with stroke
    QVERIFY(!cp1252::canEncode(QString::fromUtf8("\u4e2d")));
    QCOMPARE(cp1252::encode(QString::fromUtf8("a\u4e2db")), QByteArray("a?b"));
}

void TestSettings::unknownCodesKeepTheChoice()
{
    SettingsUpdate update{startupSettings(), false, false};
    update.values.aliasColour = "999";
    update.values.couplingColour = "181";
    update.values.scrollSpeed = "19";
    update.values.receiverType = ReceiverType::Pocsag;
    update.values.firmwareVersion = "9.99";
    ModuleSettings before = startupSettings();
    before.aliasColour = "176";
    const ModuleSettings after = applyUpdate(before, update);
    QCOMPARE(after.aliasColour, QString("176"));
    QCOMPARE(after.couplingColour, QString("181"));
    QCOMPARE(after.scrollSpeed, QString("192"));
    QCOMPARE(after.receiverType, ReceiverType::Flex);  // the update does not carry it
    QCOMPARE(after.firmwareVersion, QString());
}

void TestSettings::limitsBindLoadedTexts()
{
    SettingsUpdate update{startupSettings(), true, true};
    update.values.aliases[0] = QString(30, 'x');
    update.values.idleText = QString(26, 'y');
    update.values.scrollTime = "12345";
    const ModuleSettings after = applyUpdate(startupSettings(), update);
    QCOMPARE(after.aliases[0], QString(25, 'x'));
    QCOMPARE(after.idleText, QString(25, 'y'));
    QCOMPARE(after.scrollTime, QString("1234"));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
