// The real QSerialPort against the simulated module on a pseudo-terminal:
// what leaves the tool is what the module takes, and the faults of a real
// line (a port that cannot be opened, an adapter pulled out) are handled.

#include "app/windowoptions.h"
#include "link/frames.h"
#include "link/openfailure.h"
#include "link/programmingsession.h"
#include "link/qtserialport.h"
#include "operations/frameoperation.h"
#include "operations/writeoperation.h"
#include "support/fixtures.h"
#include "support/ptymodule.h"
#include "support/scriptedserver.h"
#include "support/windowharness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(FoundPort)
Q_DECLARE_METATYPE(OpenFacts)
Q_DECLARE_METATYPE(OpenCause)
Q_DECLARE_METATYPE(OperationOutcome)

namespace {

// A shown window whose ports open the given devices.
struct Window : WindowHarness {
    explicit Window(ComDeviceMapper comDevice) : WindowHarness(std::move(comDevice)) { window->show(); }
    bool buttonsBack() const { return buttonsEnabled(true) && !window->isBusy(); }
};

const QString kProgrammed = QStringLiteral("De KVR7314 is geprogrammeerd.\r\r");

// A device that cannot be opened: one that does not exist, or a pty that
// another port already holds (QSerialPort locks what it opens).
struct UnopenableDevice {
    explicit UnopenableDevice(bool held)
        : device(held ? pty.devicePath() : QStringLiteral("/dev/kvr7314-no-such-port")),
          held(held)
    {
        if (held)
            holding = holder.open(device);
    }
    bool ready() const { return pty.isOpen() && (!held || holding); }

    PtyModule pty;
    QString device;
    QtSerialPort holder;
    bool held;
    bool holding = false;
};

} // namespace

class TestLinkEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void bytesArriveIntact();
    void readsOneCharacterAtATime();
    void comMapping_data();
    void comMapping();
    void openFailureCauses_data();
    void openFailureCauses();
    void openFailures_data();
    void openFailures();
    void reopeningClosesThePreviousPort();
    void pulledAdapterFailsOnce_data();
    void pulledAdapterFailsOnce();
    void networkLineCauses_data();
    void networkLineCauses();
    void framesToADeviceServerOneAfterTheOther();

    void windowProgramsTheModule();
    void windowTestCallAndNotice();
    void windowComOptionLeadsToAnyDevice();
    void windowPortCannotBeOpened_data();
    void windowPortCannotBeOpened();
    void windowAdapterPulledMidRun();
    void windowAdapterPulledWhileIdle();
};

void TestLinkEndToEnd::bytesArriveIntact()
{
    PtyModule pty;
    QVERIFY(pty.isOpen());
    QtSerialPort port;
    QVERIFY2(port.open(pty.devicePath()), qPrintable(port.errorString()));
    port.writeBytes(testCallFrame(QStringLiteral("7"), QStringLiteral("Café")));
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
    QtSerialPort port;
    QVERIFY(port.open(pty.devicePath()));
    QCOMPARE(port.lastEvent(), PortEvent::None);
    QCOMPARE(port.readText(), QString());
    port.writeBytes(readRequestFrame());
    QVERIFY(QTest::qWaitFor([&] { return port.lastEvent() == PortEvent::Received; }, 2000));
    QVERIFY(QTest::qWaitFor([&] { return pty.pendingAnswer() == 0; }, 2000));
    QTest::qWait(20);
    QString received;
    for (QString c = port.readText(); !c.isEmpty(); c = port.readText()) {
        QCOMPARE(c.size(), 1);
        received += c;
    }
    QCOMPARE(received, QString(QStringLiteral("é") + QChar(0) + "ALIA"));
    QCOMPARE(port.lastEvent(), PortEvent::Received);
}

// COM n is the n-th port the machine has: built-in UARTs in number order,
// then adapters in the order of their by-id names, which a replug keeps.
void TestLinkEndToEnd::comMapping_data()
{
    QTest::addColumn<QList<FoundPort>>("ports");
    QTest::addColumn<QStringList>("com");
    const auto uart = [](int n) { return FoundPort{QStringLiteral("/dev/ttyS%1").arg(n), {}, {}, {}, {}}; };
    const auto adapter = [](const char *device, const char *byId) {
        return FoundPort{QString::fromLatin1(device), "USB UART", "FTDI", "A1",
                         QStringLiteral("/dev/serial/by-id/") + QLatin1String(byId)};
    };
    const QStringList builtIn = {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"};
    QTest::newRow("no ports") << QList<FoundPort>{} << builtIn;
    QTest::newRow("one UART") << QList<FoundPort>{uart(0)} << builtIn;
    QTest::newRow("UARTs in number order") << QList<FoundPort>{uart(10), uart(2)}
                                           << QStringList{"/dev/ttyS2", "/dev/ttyS10", "/dev/ttyS2", "/dev/ttyS3"};
    QTest::newRow("laptop with one adapter") << QList<FoundPort>{adapter("/dev/ttyUSB0", "usb-FTDI_A1")}
                                             << QStringList{"/dev/ttyUSB0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"};
    QTest::newRow("UART before adapters") << QList<FoundPort>{adapter("/dev/ttyACM0", "usb-Arduino_C"), uart(0)}
                                          << QStringList{"/dev/ttyS0", "/dev/ttyACM0", "/dev/ttyS2", "/dev/ttyS3"};
    const QList<FoundPort> three = {adapter("/dev/ttyUSB0", "usb-Prolific_B"), adapter("/dev/ttyUSB1", "usb-FTDI_A"),
                                    adapter("/dev/ttyACM0", "usb-Arduino_C")};
    QTest::newRow("adapters by their by-id names")
        << three << QStringList{"/dev/ttyACM0", "/dev/ttyUSB1", "/dev/ttyUSB0", "/dev/ttyS3"};
    // The same two adapters plugged in the other way round: their /dev
    // names swap, their COM boxes do not.
    const QList<FoundPort> replugged = {adapter("/dev/ttyUSB1", "usb-Prolific_B"), adapter("/dev/ttyUSB0", "usb-FTDI_A")};
    QTest::newRow("replugged") << replugged << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS2", "/dev/ttyS3"};
}

void TestLinkEndToEnd::comMapping()
{
    QFETCH(QList<FoundPort>, ports);
    QFETCH(QStringList, com);
    const std::array<QString, kComPortCount> devices = comDevices(ports);
    QCOMPARE(QStringList(devices.begin(), devices.end()), com);
}

void TestLinkEndToEnd::openFailureCauses_data()
{
    QTest::addColumn<OpenFacts>("facts");
    QTest::addColumn<OpenCause>("cause");
    QTest::newRow("not found") << OpenFacts{true, false, "No such file or directory", 0, {}} << OpenCause::NotPresent;
    QTest::newRow("locked by another program")
        << OpenFacts{false, true, "Permission error while locking the device", 0, {}} << OpenCause::InUse;
    QTest::newRow("lock file names its holder") << OpenFacts{false, true, "", 0, "minicom (PID 4242)"} << OpenCause::InUse;
    QTest::newRow("held exclusively") << OpenFacts{false, true, "Device or resource busy", EBUSY, {}} << OpenCause::InUse;
    QTest::newRow("not in the dialout group") << OpenFacts{false, true, "Permission denied", EACCES, {}}
                                              << OpenCause::NoPermission;
    QTest::newRow("anything else") << OpenFacts{false, false, "Input/output error", 0, {}} << OpenCause::Other;
}

void TestLinkEndToEnd::openFailureCauses()
{
    QFETCH(OpenFacts, facts);
    QTEST(classifyOpenFailure(facts), "cause");
}

void TestLinkEndToEnd::networkLineCauses_data()
{
    // How a device server, or the network on the way, fails a module's
    // line, and what the tool makes of it: an opening refused with its
    // cause, or a write that ends failed however far it got.
    using B = ScriptedServer::Behaviour;
    QTest::addColumn<int>("behaviour");   // -1: nothing listens
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<OpenCause>("cause");   // an opening's; Other: the opening works, the write fails
    QTest::addColumn<QString>("says");
    QTest::newRow("refused") << -1 << "rfc2217" << OpenCause::Refused << "refused the connection";
    QTest::newRow("reset at once") << int(B::ResetsAtOnce) << "rfc2217" << OpenCause::Closed << "closed the connection at once";
    QTest::newRow("another client holds it") << int(B::InUse) << "tcp" << OpenCause::InUse << "Port already in use";
    QTest::newRow("silent") << int(B::Silent) << "rfc2217" << OpenCause::NotRfc2217 << "did not finish the RFC 2217 negotiation";
    QTest::newRow("flood") << int(B::Floods) << "rfc2217" << OpenCause::NotRfc2217 << "more than 200 telnet commands";
    QTest::newRow("no RFC 2217") << int(B::RefusesRfc2217) << "rfc2217" << OpenCause::NotRfc2217 << "refused COM-PORT-OPTION";
    QTest::newRow("TLS refused") << int(B::Silent) << "rfc2217+tls" << OpenCause::Tls << "TLS handshake";
    QTest::newRow("reset while writing") << int(B::ResetsLater) << "rfc2217" << OpenCause::Other
                                         << "of 26 steps reached the device server";
    QTest::newRow("steps never confirmed") << int(B::NoConfirmation) << "rfc2217" << OpenCause::Other
                                           << "did not confirm";
}

void TestLinkEndToEnd::networkLineCauses()
{
    QFETCH(int, behaviour);
    QFETCH(QString, scheme);
    QFETCH(OpenCause, cause);
    QFETCH(QString, says);
    ScriptedServer server(ScriptedServer::Behaviour(std::max(0, behaviour)));
    const QString address = server.address(scheme);
    if (behaviour < 0)
        server.close();   // its port stays free: nothing listens there

    HeldSettings settings;
    WriteOperation write(ModuleAccess::at(*PortAddress::parse(address)), settings, OperationContext{});
    QSignalSpy finished(&write, &Operation::finished);
    write.start();
    QVERIFY(finished.wait(20000));
    const OperationOutcome outcome = finished.first().first().value<OperationOutcome>();
    QCOMPARE(outcome.exit, ExitCode::Port);
    QCOMPARE(outcome.kind, cause == OpenCause::Other ? OperationOutcome::Kind::LineFailed : OperationOutcome::Kind::CannotOpen);
    QVERIFY2(outcome.line.contains(says), qPrintable(outcome.line));
    if (cause != OpenCause::Other) {
        QVERIFY(server.received().isEmpty());   // nothing of the module's reached it
        return;
    }
    // The same write again, with nothing listening: it sent no step,
    // whatever the run before it sent.
    server.close();
    finished.clear();
    write.start();
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.first().first().value<OperationOutcome>().stepsSent, 0);
}

// A second test call while the first is still on its way to a device
// server (its connection opening): each goes once, in order, and the
// connection closes once the port is let go.
void TestLinkEndToEnd::framesToADeviceServerOneAfterTheOther()
{
    ScriptedServer server(ScriptedServer::Behaviour::Negotiates);
    FrameOperation frames(ModuleAccess::at(*PortAddress::parse(server.address())), OperationContext{});
    QSignalSpy finished(&frames, &Operation::finished);
    frames.setTestCall(QStringLiteral("7"), QStringLiteral("een"));
    frames.start();
    frames.setTestCall(QStringLiteral("8"), QStringLiteral("twee"));
    frames.start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 10000);
    for (const QList<QVariant> &f : finished)
        QVERIFY(f.first().value<OperationOutcome>().ok());
    QCOMPARE(server.received(), testCallFrame(QStringLiteral("7"), QStringLiteral("een"))
                                    + testCallFrame(QStringLiteral("8"), QStringLiteral("twee")));
    frames.releasePort();
    QTRY_COMPARE_WITH_TIMEOUT(server.connectedClients(), 0, 5000);
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
    UnopenableDevice unopenable(holdIt);
    QVERIFY(unopenable.ready());
    PtyModule &pty = unopenable.pty;
    const QString device = unopenable.device;

    QtSerialPort port;
    QVERIFY(!port.open(device));
    QVERIFY(!port.errorString().isEmpty());
    QCOMPARE(port.openCause(), holdIt ? OpenCause::InUse : OpenCause::NotPresent);
    if (holdIt)   // QSerialPort's lock file names this very program
        QCOMPARE(port.holder(), QStringLiteral("tst_link_e2e (PID %1)").arg(QCoreApplication::applicationPid()));
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
    auto first = std::make_unique<QtSerialPort>();
    QVERIFY(first->open(pty.devicePath()));
    // Replaced straight after a write, before the event loop ran: the frame
    // still reaches the line.
    first->writeBytes(testCallFrame("1", "EERSTE"));
    first.reset();
    QtSerialPort second;
    QVERIFY2(second.open(pty.devicePath()), qPrintable(second.errorString()));
    second.writeBytes(testCallFrame("2", "TWEEDE"));
    QVERIFY(pty.waitForFrames(2));
    QCOMPARE(pty.module().testCalls().size(), 2);
    QCOMPARE(pty.module().testCalls()[0].message, QString("EERSTE"));
    QCOMPARE(pty.module().testCalls()[1].message, QString("TWEEDE"));
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
    QtSerialPort port;
    QVERIFY(port.open(pty.devicePath()));
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

void TestLinkEndToEnd::windowProgramsTheModule()
{
    PtyModule pty;
    QVERIFY(pty.isOpen());
    Window w(pty.comDevice());
    ModuleSettings wanted = w.window->settings();
    wanted.aliases[0] = QStringLiteral("Brandweer Zuid é");
    wanted.aliases[6] = QStringLiteral(" ");
    wanted.aliases[15] = QString(25, u'X');
    wanted.couplingText = QStringLiteral(" >>> ");
    wanted.idleText = QStringLiteral("GEEN MELDING");
    setCodes(wanted, "181", "183", "176", "195");
    setTimers(wanted, {"10", "30", "60", "9999", "0"});
    w.window->showSettings(wanted);

    QElapsedTimer clock;
    clock.start();
    w.click("CmdPRG_Module");
    QVERIFY(QTest::qWaitFor([&] { return !w.prompts.boxes.isEmpty(); }, 12000));
    const qint64 runMs = clock.elapsed();
    QCOMPARE(w.prompts.boxes.size(), 1);
    QCOMPARE(w.prompts.boxes[0].text, kProgrammed);
    QVERIFY2(runMs >= 8000 && runMs < 9500, qPrintable(QString::number(runMs)));
    QVERIFY(w.buttonsBack());

    QCOMPARE(pty.module().frames().size(), kProgrammingStepCount);
    QCOMPARE(pty.module().rejectedFrames(), 0);
    ModuleSettings held = settingsAsSent(w.window->settings());
    held.receiverType = pty.module().stored().receiverType;
    held.firmwareVersion = pty.module().stored().firmwareVersion;
    QCOMPARE(pty.module().stored(), held);
    QCOMPARE(pty.module().stored().scrollTime, QString("0350"));
    QCOMPARE(pty.module().stored().aliases[0], QStringLiteral("Brandweer Zuid é"));
    QCOMPARE(pty.module().stored().aliases[1], QString("CAPCODE 02"));
    // Frames were paced by the run, not sent in a burst.
    const auto &frames = pty.module().frames();
    const qint64 spread = frames.last().receivedAtMs - frames.first().receivedAtMs;
    QVERIFY2(spread > 25 * 300 - 200 && spread < 25 * 300 + 500, qPrintable(QString::number(spread)));
}

void TestLinkEndToEnd::windowTestCallAndNotice()
{
    PtyModule pty;
    QVERIFY(pty.isOpen());
    Window w(pty.comDevice());
    w.child<QLineEdit>("Txt_Testbericht")->setText(QStringLiteral("Oefening één"));
    w.child<QComboBox>("CbxCapcode")->setCurrentText("12");
    w.click("CmdTest_Bericht");
    w.click("CmdGeen_Netwerk");
    w.child<QCheckBox>("ChkOntvanger_Pocsag")->click();
    w.child<QComboBox>("CbxRIC")->setCurrentText("3D");
    w.child<QLineEdit>("Txt_Testbericht")->clear();
    w.click("CmdTest_Bericht");
    QVERIFY(pty.waitForFrames(3));
    QTest::qWait(50);

    const auto &calls = pty.module().testCalls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0].code, QString("12"));
    QCOMPARE(calls[0].message, QStringLiteral("Oefening één"));
    QCOMPARE(calls[1].code, QString("3D"));
    QCOMPARE(calls[1].message, QString("TESTOPROEP NAAR DE KVR7314"));
    QCOMPARE(pty.module().noNetworkNotices(), 1);
    QCOMPARE(pty.module().frames()[1].content, QByteArray("STORING: GEEN NETWERK"));
    QCOMPARE(pty.module().rejectedFrames(), 0);
    QVERIFY(w.prompts.boxes.isEmpty());
}

void TestLinkEndToEnd::windowPortCannotBeOpened_data() { openFailures_data(); }

// kvr7314 --com2 DEVICE: the box leads to any device, here a
// pseudo-terminal standing in for a USB adapter.
void TestLinkEndToEnd::windowComOptionLeadsToAnyDevice()
{
    PtyModule pty;
    QVERIFY(pty.isOpen());
    QString error;
    const auto options = parseWindowOptions({"kvr7314", "--com2", pty.devicePath()}, &error);
    QVERIFY2(options, qPrintable(error));
    Window w(comDeviceMapper(*options));
    QVERIFY(w.child<QCheckBox>("ChkCOM2")->toolTip().startsWith(pty.devicePath()));
    w.child<QCheckBox>("ChkCOM2")->click();
    w.click("CmdTest_Bericht");
    QVERIFY(pty.waitForFrames(1));
    QCOMPARE(pty.module().testCalls().size(), 1);
    QVERIFY(w.prompts.boxes.isEmpty());
}

void TestLinkEndToEnd::windowPortCannotBeOpened()
{
    QFETCH(bool, holdIt);
    UnopenableDevice unopenable(holdIt);
    QVERIFY(unopenable.ready());
    PtyModule &pty = unopenable.pty;
    const QString device = unopenable.device;

    Window w(comDeviceTo(device));
    w.child<QLineEdit>("Txt_Alias04")->setText(QStringLiteral("NIET KWIJT"));
    const ModuleSettings before = w.window->settings();
    w.click("CmdPRG_Module");
    QVERIFY(QTest::qWaitFor([&] { return !w.prompts.boxes.isEmpty(); }, 2000));
    QTest::qWait(600);  // no further tick, no second box

    QCOMPARE(w.prompts.boxes.size(), 1);
    const RecordedBox box = w.prompts.boxes[0];
    QCOMPARE(box.title, QString("Communicatiefout!"));
    QCOMPARE(box.icon, BoxIcon::Error);
    QCOMPARE(box.text, QString("Er is een fout opgetreden bij openen van de compoort !\r"
                               "Mogelijk wordt de compoort door een ander programma\r"
                               "gebruikt, of is de ingestelde compoort niet aanwezig.\r\r"
                               "De ingestelde compoort = COM 1\r\r"
                               "Start het programma opnieuw op en selecteer een andere com-poort.\r "));
    // The box keeps its words; its details name the device, the cause and what to do.
    QVERIFY(box.details.startsWith("Poort: " + device + "\n"));
    QVERIFY2(box.details.contains(holdIt ? "in gebruik door een ander programma: tst_link_e2e (PID"
                                         : "niet aanwezig"),
             qPrintable(box.details));
    QVERIFY(w.window->isVisible());
    QVERIFY(w.buttonsBack());
    QCOMPARE(w.window->settings().aliases[3], QStringLiteral("NIET KWIJT"));
    ModuleSettings after = w.window->settings();
    normaliseTimers(after);
    ModuleSettings normalisedBefore = before;
    normaliseTimers(normalisedBefore);
    QCOMPARE(after, normalisedBefore);
    QCOMPARE(pty.module().frames().size(), 0);

    // The test call fails the same way and sends nothing.
    w.click("CmdTest_Bericht");
    QCOMPARE(w.prompts.boxes.size(), 2);
    QCOMPARE(w.prompts.boxes[1].text, box.text);
    QTest::qWait(50);
    QCOMPARE(pty.module().frames().size(), 0);
}

void TestLinkEndToEnd::windowAdapterPulledMidRun()
{
    PtyModule pty;
    QVERIFY(pty.isOpen());
    Window w(pty.comDevice());
    w.click("CmdPRG_Module");
    QVERIFY(pty.waitForFrames(5, 4000));
    pty.closeMaster();
    QVERIFY(QTest::qWaitFor([&] { return !w.prompts.boxes.isEmpty(); }, 2000));
    QVERIFY(!w.timerRunning("Tmr_Pauze"));
    QVERIFY(w.buttonsBack());
    QVERIFY(!w.writeLedShown());

    // Long past the end of a whole run: still that one box, never the success box.
    QTest::qWait(1000);
    QCOMPARE(w.prompts.boxes.size(), 1);
    QCOMPARE(w.prompts.boxes[0].title, QString("Communicatiefout!"));
    QCOMPARE(w.prompts.boxes[0].icon, BoxIcon::Error);
    QVERIFY(w.prompts.boxes[0].text.contains("schrijven naar de KVR7314"));
    for (int i = 0; i < 10; ++i)
        w.window->programmingSession().programmingTick();
    QCOMPARE(w.prompts.boxes.size(), 1);
}

void TestLinkEndToEnd::windowAdapterPulledWhileIdle()
{
    PtyModule pty;
    QVERIFY(pty.isOpen());
    Window w(pty.comDevice());
    w.click("CmdTest_Bericht");
    QVERIFY(pty.waitForFrames(1));

    // The call had left the port when the line went: nothing the user asked
    // for failed, so no box tells them writing failed.
    pty.closeMaster();
    QTest::qWait(500);
    QVERIFY(w.prompts.boxes.isEmpty());
    QVERIFY(w.buttonsBack());

    // The next call does fail, and says so once.
    w.click("CmdTest_Bericht");
    QVERIFY(QTest::qWaitFor([&] { return !w.prompts.boxes.isEmpty(); }, 2000));
    QTest::qWait(200);
    QCOMPARE(w.prompts.boxes.size(), 1);
    QCOMPARE(w.prompts.boxes[0].title, QString("Communicatiefout!"));
    QCOMPARE(pty.module().testCalls().size(), 1);
}

QTEST_MAIN(TestLinkEndToEnd)
#include "tst_link_e2e.moc"
