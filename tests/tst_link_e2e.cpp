// The real QSerialPort against the simulated module on a pseudo-terminal:
// what leaves the tool is what the module takes, and the faults of a real
// line (a port that cannot be opened, an adapter pulled out) are handled.

#include "link/frames.h"
#include "link/qtserialport.h"
#include "support/ptymodule.h"

#include <QSignalSpy>
#include <QtTest>

class TestLinkEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void bytesArriveIntact();
    void readsOneCharacterAtATime();
    void openFailures_data();
    void openFailures();
    void reopeningClosesThePreviousPort();
    void pulledAdapterFailsOnce_data();
    void pulledAdapterFailsOnce();
};

void TestLinkEndToEnd::bytesArriveIntact()
{
    PtyModule pty;
    QVERIFY(pty.isOpen());
    QtSerialPort port(pty.comDevice());
    QVERIFY2(port.open(1), qPrintable(port.errorString()));
    port.writeByte(0x01);
    port.writeText(QStringLiteral("(7)Café"));
    port.writeByte(0x04);
    port.writeBytes(noNetworkFrame());
    QVERIFY(pty.waitForFrames(2));
    QCOMPARE(pty.module().testCalls().size(), 1);
    QCOMPARE(pty.module().testCalls()[0].message, QStringLiteral("Café"));
    QCOMPARE(pty.module().noNetworkNotices(), 1);
}

void TestLinkEndToEnd::readsOneCharacterAtATime()
{
    PtyModule pty;
    QVERIFY(pty.isOpen());
    pty.module().behaviour.garbage = QByteArray("\xE9\x00", 2);
    pty.module().behaviour.cutAfter = 6;
    QtSerialPort port(pty.comDevice());
    QVERIFY(port.open(1));
    QCOMPARE(port.lastEvent(), 0);
    QCOMPARE(port.readText(), QString());
    port.writeBytes(readRequestFrame());
    QVERIFY(QTest::qWaitFor([&] { return port.lastEvent() == SerialPort::kEventReceive; }, 2000));
    QVERIFY(QTest::qWaitFor([&] { return pty.pendingAnswer() == 0; }, 2000));
    QTest::qWait(20);
    QString received;
    for (QString c = port.readText(); !c.isEmpty(); c = port.readText()) {
        QCOMPARE(c.size(), 1);
        received += c;
    }
    QCOMPARE(received, QString(QStringLiteral("é") + QChar(0) + "ALIA"));
    QCOMPARE(port.lastEvent(), SerialPort::kEventReceive);
}

void TestLinkEndToEnd::openFailures_data()
{
    QTest::addColumn<bool>("holdIt");
    QTest::newRow("missing device") << false;
    QTest::newRow("held by another port") << true;
}

void TestLinkEndToEnd::openFailures()
{
    QFETCH(bool, holdIt);
    PtyModule pty;
    QVERIFY(pty.isOpen());
    const QString device = holdIt ? pty.devicePath() : QStringLiteral("/dev/kvr7314-no-such-port");
    QtSerialPort holder(comDeviceTo(device));
    if (holdIt)
        QVERIFY(holder.open(1));

    QtSerialPort port(comDeviceTo(device));
    QVERIFY(!port.open(3));
    QVERIFY(!port.errorString().isEmpty());
    QSignalSpy failed(&port, &SerialPort::failed);
    port.writeBytes(noNetworkFrame());  // goes nowhere, quietly
    QTest::qWait(50);
    QCOMPARE(failed.size(), 0);
    QCOMPARE(pty.module().frames().size(), 0);
}

void TestLinkEndToEnd::reopeningClosesThePreviousPort()
{
    PtyModule pty;
    QVERIFY(pty.isOpen());
    auto first = std::make_unique<QtSerialPort>(pty.comDevice());
    QVERIFY(first->open(1));
    first.reset();
    QtSerialPort second(pty.comDevice());
    QVERIFY2(second.open(1), qPrintable(second.errorString()));
}

void TestLinkEndToEnd::pulledAdapterFailsOnce_data()
{
    QTest::addColumn<int>("writesAfter");
    QTest::newRow("writing on") << 20;
    QTest::newRow("idle line") << 0;
}

void TestLinkEndToEnd::pulledAdapterFailsOnce()
{
    QFETCH(int, writesAfter);
    PtyModule pty;
    QVERIFY(pty.isOpen());
    QtSerialPort port(pty.comDevice());
    QVERIFY(port.open(1));
    QSignalSpy failed(&port, &SerialPort::failed);
    port.writeBytes(noNetworkFrame());
    QVERIFY(pty.waitForFrames(1));

    // The line vanishes between two writes; writing on goes nowhere.
    pty.closeMaster();
    for (int i = 0; i < writesAfter; ++i) {
        port.writeBytes(noNetworkFrame());
        QTest::qWait(5);
    }
    QVERIFY(failed.size() > 0 || failed.wait(2000));
    QTest::qWait(100);
    QCOMPARE(failed.size(), 1);
    QVERIFY(!failed[0][0].toString().isEmpty());
}

QTEST_GUILESS_MAIN(TestLinkEndToEnd)
#include "tst_link_e2e.moc"
