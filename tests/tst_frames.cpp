// The bytes on the serial line are the contract with the module: every
// frame is checked byte for byte, and the simulated module must read back
// exactly what the tool meant to send.

#include "link/frames.h"
#include "link/telnet.h"
#include "settings/codec.h"
#include "sim/framedecoder.h"
#include "sim/simulatedmodule.h"
#include "support/fixtures.h"

#include <QtTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

ModuleSettings normalisedStartup()
{
    ModuleSettings s = startupSettings();
    normaliseTimers(s);
    return s;
}

QByteArray allSteps(const ModuleSettings &settings)
{
    QByteArray bytes;
    for (int step = 1; step <= kProgrammingStepCount; ++step)
        bytes += programmingStepFrame(step, settings);
    return bytes;
}

} // namespace

class TestFrames : public QObject {
    Q_OBJECT
private slots:
    void telnetReceiver_data();
    void telnetReceiver();
    void rfc2217Negotiation_data();
    void rfc2217Negotiation();
    void workedFrames_data();
    void workedFrames();
    void defaultProgrammingSequence_data();
    void defaultProgrammingSequence();
    void timerPadding_data();
    void timerPadding();
    void aliasValue_data();
    void aliasValue();
    void colourAndSpeedBytes_data();
    void colourAndSpeedBytes();
    void windows1252Text();
    void settingsAsSentLeavesTheWindowValues();

    void decoderResynchronises_data();
    void decoderResynchronises();
    void moduleHoldsWhatWasSent_data();
    void moduleHoldsWhatWasSent();
    void moduleRecordsTestCallsAndNotices();
    void moduleRejectsMalformedSteps_data();
    void moduleRejectsMalformedSteps();
    void readRequestAnswerFaults();
};

void TestFrames::workedFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");

    const ModuleSettings start = startupSettings();
    QTest::newRow("step 1, start-up colour and speed")
        << programmingStepFrame(1, start)
        << hex("01 28 35 31 29 00 FF FF 00 0B 00 FF 01 30 31 02 EF B0 EF B7 EF C0 04");
    QTest::newRow("step 2") << programmingStepFrame(2, start) << hex("01 28 35 32 29 FF FF 00 04");
    QTest::newRow("step 3, alias 1 empty")
        << programmingStepFrame(3, start)
        << hex("01 28 35 33 29 43 41 50 43 4F 44 45 20 30 31 04");
    ModuleSettings relay = start;
    relay.relayTime = "10";
    QTest::newRow("step 19, relay 10")
        << programmingStepFrame(19, relay) << hex("01 28 36 39 29 30 30 31 30 04");
    QTest::newRow("step 24") << programmingStepFrame(24, start) << hex("01 28 37 34 29 20 04");
    ModuleSettings coupling = start;
    coupling.couplingColour = "176";
    coupling.couplingText = " >>> ";
    coupling.messageColour = "183";
    QTest::newRow("step 26, coupling text")
        << programmingStepFrame(26, coupling)
        << hex("01 28 37 36 29 EF B0 EF B0 20 3E 3E 3E 20 EF B0 EF B7 04");
    QTest::newRow("step 25, empty idle text") << programmingStepFrame(25, start) << hex("01 28 37 35 29 04");
    QTest::newRow("step 26, empty coupling text")
        << programmingStepFrame(26, start) << hex("01 28 37 36 29 EF B0 EF B0 EF B0 EF B7 04");

    QTest::newRow("test call FLEX 3 TEST")
        << testCallFrame("3", "TEST") << hex("01 28 33 29 54 45 53 54 04");
    QTest::newRow("test call FLEX 12, empty message")
        << testCallFrame("12", "")
        << hex("01 28 31 32 29") + QByteArray("TESTOPROEP NAAR DE KVR7314") + hex("04");
    QTest::newRow("test call POCSAG 2D A") << testCallFrame("2D", "A") << hex("01 28 32 44 29 41 04");
    QTest::newRow("test call, message of one space")
        << testCallFrame("1", " ") << hex("01 28 31 29 20 04");
    QTest::newRow("test call, long message sent in full")
        << testCallFrame("7D", QString(40, 'x')) << hex("01 28 37 44 29") + QByteArray(40, 'x') + hex("04");
    QTest::newRow("no-network notice")
        << noNetworkFrame()
        << hex("01 28 31 37 29 53 54 4F 52 49 4E 47 3A 20 47 45 45 4E 20 4E 45 54 57 45 52 4B 04");
    QTest::newRow("read request") << readRequestFrame() << hex("01 28 39 39 29 04");
}

void TestFrames::workedFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

void TestFrames::defaultProgrammingSequence_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("1") << 1 << hex("00 FF FF 00 0B 00 FF 01 30 31 02 EF B0 EF B7 EF C0");
    QTest::newRow("2") << 2 << hex("FF FF 00");
    for (int n = 1; n <= kAliasCount; ++n)
        QTest::addRow("%d", n + 2) << n + 2 << QByteArray("CAPCODE ") + QByteArray::number(n).rightJustified(2, '0');
    for (int step = 19; step <= 22; ++step)
        QTest::addRow("%d", step) << step << QByteArray("0000");
    QTest::newRow("23") << 23 << hex("30 33 35 30");
    QTest::newRow("24") << 24 << QByteArray(" ");
    QTest::newRow("25") << 25 << QByteArray();
    QTest::newRow("26") << 26 << hex("EF B0 EF B0 EF B0 EF B7");
}

void TestFrames::defaultProgrammingSequence()
{
    QFETCH(int, step);
    QFETCH(QByteArray, content);
    const QByteArray code = QByteArray::number(50 + step);
    QCOMPARE(programmingStepFrame(step, normalisedStartup()),
             "\x01(" + code + ")" + content + "\x04");
}

void TestFrames::timerPadding_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("sent");

    QTest::newRow("relay 5") << 19 << "5" << QByteArray("0005");
    QTest::newRow("sign 12") << 20 << "12" << QByteArray("0012");
    QTest::newRow("lcd 123") << 21 << "123" << QByteArray("0123");
    QTest::newRow("backlight 9999") << 22 << "9999" << QByteArray("9999");
    QTest::newRow("scroll 350") << 23 << "350" << QByteArray("0350");
    QTest::newRow("not checked for digits") << 19 << "1a" << QByteArray("001a");
    QTest::newRow("emptied during a run") << 22 << "" << QByteArray();
    QTest::newRow("longer text unchanged") << 23 << "12345" << QByteArray("12345");
}

void TestFrames::timerPadding()
{
    QFETCH(int, step);
    QFETCH(QString, text);
    QFETCH(QByteArray, sent);
    // Steps 19..23 carry the timers in their order.
    const auto timerOfStep = [](int step) { return kTimers[size_t(step - 19)]; };
    ModuleSettings s = startupSettings();
    s.*timerOfStep(step) = text;
    QCOMPARE(programmingStepContent(step, s), sent);
    // Every other timer step is untouched by this field.
    for (int other = 19; other <= 23; ++other) {
        if (other != step)
            QCOMPARE(programmingStepContent(other, s), cp1252::encode(padTimer(startupSettings().*timerOfStep(other))));
    }
}

void TestFrames::aliasValue_data()
{
    QTest::addColumn<ReceiverType>("receiver");
    QTest::addColumn<int>("alias");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("sent");

    QTest::newRow("empty 1") << ReceiverType::Flex << 1 << "" << QByteArray("CAPCODE 01");
    QTest::newRow("empty 16") << ReceiverType::Flex << 16 << "" << QByteArray("CAPCODE 16");
    QTest::newRow("one space is not empty") << ReceiverType::Flex << 5 << " " << QByteArray(" ");
    QTest::newRow("text as it is") << ReceiverType::Flex << 2 << "BRANDWEER WEST" << QByteArray("BRANDWEER WEST");
    QTest::newRow("POCSAG still sends alias 8") << ReceiverType::Pocsag << 8 << "" << QByteArray("CAPCODE 08");
    QTest::newRow("POCSAG keeps a hidden text") << ReceiverType::Pocsag << 12 << "POST 12" << QByteArray("POST 12");
}

void TestFrames::aliasValue()
{
    QFETCH(ReceiverType, receiver);
    QFETCH(int, alias);
    QFETCH(QString, text);
    QFETCH(QByteArray, sent);
    ModuleSettings s = startupSettings();
    s.receiverType = receiver;
    for (auto &a : s.aliases)
        a = "other";
    s.aliases[size_t(alias - 1)] = text;
    const int step = alias + 2;
    QCOMPARE(programmingStepFrame(step, s), "\x01(" + QByteArray::number(50 + step) + ")" + sent + "\x04");
    QCOMPARE(s.aliases[size_t(alias - 1)], text);
}

void TestFrames::colourAndSpeedBytes_data()
{
    QTest::addColumn<int>("choice");
    for (int i = 0; i < 5; ++i)
        QTest::addRow("%d", i) << i;
}

void TestFrames::colourAndSpeedBytes()
{
    QFETCH(int, choice);
    static const quint8 speedBytes[] = {0xC7, 0xC5, 0xC3, 0xC1, 0xC0};
    static const quint8 colourBytes[] = {0xB0, 0xB7, 0xB5};
    ModuleSettings s = startupSettings();
    s.scrollSpeed = kSpeedChoices[size_t(choice)].code;
    const QByteArray step1 = programmingStepContent(1, s);
    QCOMPARE(quint8(step1.at(step1.size() - 1)), speedBytes[choice]);
    if (choice < 3) {
        s.aliasColour = s.couplingColour = kColourChoices[size_t(choice)].code;
        s.messageColour = kColourChoices[size_t((choice + 1) % 3)].code;
        QCOMPARE(quint8(programmingStepContent(1, s).at(14)), colourBytes[choice]);
        const QByteArray step26 = programmingStepContent(26, s);
        QCOMPARE(step26.left(3), hex("EF B0 EF"));
        QCOMPARE(quint8(step26.at(3)), colourBytes[choice]);
        QCOMPARE(quint8(step26.at(7)), colourBytes[(choice + 1) % 3]);
    }
}

void TestFrames::windows1252Text()
{
    ModuleSettings s = startupSettings();
    s.aliases[0] = QStringLiteral("Café");
    s.idleText = QStringLiteral("€ é");
    s.couplingText = QStringLiteral("ë");
    QCOMPARE(programmingStepContent(3, s), hex("43 61 66 E9"));
    QCOMPARE(programmingStepContent(25, s), hex("80 20 E9"));
    QCOMPARE(programmingStepContent(26, s), hex("EF B0 EF B0 EB EF B0 EF B7"));
    QCOMPARE(testCallFrame("1", QStringLiteral("é")), hex("01 28 31 29 E9 04"));
}

void TestFrames::settingsAsSentLeavesTheWindowValues()
{
    ModuleSettings s = normalisedStartup();
    s.aliases[3] = " ";
    s.relayTime = "7";
    const ModuleSettings sent = settingsAsSent(s);
    QCOMPARE(sent.aliases[0], QString("CAPCODE 01"));
    QCOMPARE(sent.aliases[3], QString(" "));
    QCOMPARE(sent.relayTime, QString("0007"));
    QCOMPARE(sent.scrollTime, QString("0350"));
    QCOMPARE(sent.idleText, s.idleText);
}

// --- The simulated module -------------------------------------------------------

void TestFrames::decoderResynchronises_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QList<QByteArray>>("contents");

    const QByteArray step1 = programmingStepFrame(1, startupSettings());
    QTest::newRow("step 1 holds 0x01 in its content")
        << step1 << QStringList{"51"} << QList<QByteArray>{step1.mid(5, step1.size() - 6)};
    QTest::newRow("noise before a frame")
        << QByteArray("xyz\x04)(") + noNetworkFrame() << QStringList{"17"}
        << QList<QByteArray>{"STORING: GEEN NETWERK"};
    QTest::newRow("frame cut off by the next")
        << QByteArray("\x01(53)CAPC") + testCallFrame("3", "A") << QStringList{"3"}
        << QList<QByteArray>{"A"};
    QTest::newRow("SOH not followed by (")
        << QByteArray("\x01x") + readRequestFrame() << QStringList{"99"} << QList<QByteArray>{QByteArray()};
    QTest::newRow("malformed code")
        << QByteArray("\x01(5 1)x\x04") + readRequestFrame() << QStringList{"99"} << QList<QByteArray>{QByteArray()};
    QTest::newRow("empty code") << QByteArray("\x01()x\x04") << QStringList{} << QList<QByteArray>{};
    QTest::newRow("SOH then EOT inside content")
        << QByteArray("\x01(7)a\x01\x04") << QStringList{"7"} << QList<QByteArray>{QByteArray("a\x01")};
    QTest::newRow("two frames back to back")
        << testCallFrame("1D", "x") + testCallFrame("16", "y") << QStringList{"1D", "16"}
        << QList<QByteArray>{"x", "y"};
}

void TestFrames::decoderResynchronises()
{
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, codes);
    QFETCH(QList<QByteArray>, contents);

    // Whole, and one byte at a time: the split must not matter.
    for (int chunk : {int(stream.size()), 1}) {
        FrameDecoder decoder;
        QList<DecodedFrame> frames;
        for (qsizetype at = 0; at < stream.size(); at += chunk)
            frames += decoder.feed(stream.mid(at, chunk));
        QStringList gotCodes;
        QList<QByteArray> gotContents;
        for (const DecodedFrame &f : frames) {
            gotCodes << f.code;
            gotContents << f.content;
        }
        QCOMPARE(gotCodes, codes);
        QCOMPARE(gotContents, contents);
    }
}

void TestFrames::moduleHoldsWhatWasSent_data()
{
    QTest::addColumn<ModuleSettings>("settings");

    QTest::newRow("start-up values") << normalisedStartup();
    ModuleSettings full = normalisedStartup();
    for (int n = 0; n < kAliasCount; ++n)
        full.aliases[size_t(n)] = QStringLiteral("ALIAS %1 é").arg(n + 1);
    full.aliases[6] = " ";
    full.couplingText = QString(25, u'>');
    full.idleText = "GEEN MELDING";
    setCodes(full, "181", "183", "176", "199");
    setTimers(full, {"10", "30", "60", "9999", "1a"});
    QTest::newRow("every field set") << full;
}

void TestFrames::moduleHoldsWhatWasSent()
{
    QFETCH(ModuleSettings, settings);
    SimulatedModule module;
    ModuleSettings before = module.stored();
    before.aliasColour = "0";  // something the steps must overwrite
    module.setStored(before);

    QVERIFY(module.receive(allSteps(settings), 1234).isEmpty());
    QCOMPARE(module.frames().size(), kProgrammingStepCount);
    QCOMPARE(module.rejectedFrames(), 0);
    QCOMPARE(module.frames().last().receivedAtMs, qint64(1234));

    ModuleSettings expected = settingsAsSent(settings);
    expected.receiverType = module.stored().receiverType;
    expected.firmwareVersion = module.stored().firmwareVersion;
    QCOMPARE(module.stored(), expected);
}

void TestFrames::moduleRecordsTestCallsAndNotices()
{
    SimulatedModule module;
    const ModuleSettings before = module.stored();
    module.receive(testCallFrame("16", "") + noNetworkFrame() + testCallFrame("7D", "é"), 5);
    QCOMPARE(module.testCalls().size(), 2);
    QCOMPARE(module.testCalls()[0].code, QString("16"));
    QCOMPARE(module.testCalls()[0].message, QString("TESTOPROEP NAAR DE KVR7314"));
    QCOMPARE(module.testCalls()[1].code, QString("7D"));
    QCOMPARE(module.testCalls()[1].message, QStringLiteral("é"));
    QCOMPARE(module.noNetworkNotices(), 1);
    QCOMPARE(module.rejectedFrames(), 0);
    QCOMPARE(module.stored(), before);
}

void TestFrames::moduleRejectsMalformedSteps_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("step 1 too short") << moduleFrame("51", hex("00 FF FF 00 0B 00 FF 01 30 31 02 EF B0 EF"));
    QTest::newRow("step 1 wrong opening") << moduleFrame("51", hex("00 FF FF 00 0B 00 FF 01 30 32 02 EF B0 EF B7 EF C0"));
    QTest::newRow("step 26 without selectors") << moduleFrame("76", " >>> ");
    QTest::newRow("step 2 wrong content") << moduleFrame("52", "x");
    QTest::newRow("unknown code") << moduleFrame("88", "x");
    QTest::newRow("capcode out of range") << moduleFrame("0", "x");
}

void TestFrames::moduleRejectsMalformedSteps()
{
    QFETCH(QByteArray, frame);
    SimulatedModule module;
    const ModuleSettings before = module.stored();
    module.receive(frame, 0);
    QCOMPARE(module.frames().size(), 1);
    QCOMPARE(module.rejectedFrames(), 1);
    QCOMPARE(module.stored(), before);
    QVERIFY(module.testCalls().isEmpty());
}

void TestFrames::readRequestAnswerFaults()
{
    SimulatedModule module;
    const QByteArray dump = module.receive(readRequestFrame(), 0);
    QVERIFY(dump.size() > 100);
    QCOMPARE(module.readRequests(), 1);

    module.behaviour.garbage = QByteArray("\xff\x00zz", 4);
    module.behaviour.cutAfter = 50;
    const QByteArray noisy = module.receive(readRequestFrame(), 0);
    QCOMPARE(noisy, (QByteArray("\xff\x00zz", 4) + dump).left(50));

    module.behaviour.answers = false;
    QVERIFY(module.receive(readRequestFrame(), 0).isEmpty());
    QCOMPARE(module.readRequests(), 3);
}

// What a device server sends, in pieces as they arrive: the module's bytes
// must come out whole (a doubled 0xFF as one), commands apart.
void TestFrames::telnetReceiver_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("commands");
    QTest::newRow("plain data") << QList<QByteArray>{hex("41 4C 49")} << hex("41 4C 49") << 0;
    QTest::newRow("doubled FF is one byte") << QList<QByteArray>{hex("01 FF FF 02")} << hex("01 FF 02") << 0;
    QTest::newRow("doubled FF split over two pieces") << QList<QByteArray>{hex("01 FF"), hex("FF 02")} << hex("01 FF 02") << 0;
    QTest::newRow("option between data") << QList<QByteArray>{hex("41 FF FB 01 42")} << hex("41 42") << 1;
    QTest::newRow("subnegotiation split, FF inside")
        << QList<QByteArray>{hex("FF FA 2C 65 FF"), hex("FF FF F0 43")} << hex("43") << 1;
    QTest::newRow("NOP alone") << QList<QByteArray>{hex("FF F1 44")} << hex("44") << 1;
}

void TestFrames::telnetReceiver()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QByteArray, data);
    QFETCH(int, commands);
    telnet::Receiver receiver;
    QByteArray taken;
    QList<telnet::Receiver::Command> found;
    for (const QByteArray &piece : pieces)
        receiver.take(piece, &taken, &found);
    QCOMPARE(taken, data);
    QCOMPARE(found.size(), commands);
}

// A server's answers to the negotiation, and where they leave the line.
void TestFrames::rfc2217Negotiation_data()
{
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("cause");
    QTest::addColumn<QByteArray>("replyHolds");
    const QByteArray agrees = hex("FF FD 00 FF FB 00 FF FD 2C");
    const QByteArray acks = hex("FF FA 2C 65 00 00 4B 00 FF F0  FF FA 2C 66 08 FF F0  FF FA 2C 67 01 FF F0"
                                "FF FA 2C 68 01 FF F0  FF FA 2C 70 01 FF F0");
    const auto ready = int(Rfc2217Client::State::Ready);
    const auto failed = int(Rfc2217Client::State::Failed);
    const auto negotiating = int(Rfc2217Client::State::Negotiating);
    // The flow control's acknowledgement may be missing (ser2net on a pty).
    QTest::newRow("ser2net: no flow-control answer") << agrees + acks << ready << 0 << hex("FF FA 2C 01 00 00 4B 00 FF F0");
    QTest::newRow("flow control acknowledged") << agrees + hex("FF FA 2C 69 01 FF F0") + acks << ready << 0 << QByteArray();
    QTest::newRow("flow control set otherwise")
        << agrees + hex("FF FA 2C 69 02 FF F0") + acks << failed << int(OpenCause::LineRefused) << QByteArray();
    QTest::newRow("sredird: baud rate as an 8-byte long")
        << agrees + hex("FF FA 2C 65 00 00 4B 00 00 00 00 00 FF F0") + acks << ready << 0 << QByteArray();
    QTest::newRow("an 8-byte baud rate that is not 19200")
        << agrees + hex("FF FA 2C 65 00 00 4B 00 00 00 00 01 FF F0") << failed << int(OpenCause::LineRefused) << QByteArray();
    QTest::newRow("baud rate set otherwise")
        << agrees + hex("FF FA 2C 65 00 00 25 80 FF F0") << failed << int(OpenCause::LineRefused) << QByteArray();
    QTest::newRow("no COM-PORT-OPTION") << hex("FF FE 2C") << failed << int(OpenCause::NotRfc2217) << QByteArray();
    QTest::newRow("refuses BINARY") << hex("FF FC 00") << failed << int(OpenCause::NotRfc2217) << QByteArray();
    // Unwanted options are refused once each, however often asked.
    QTest::newRow("ECHO refused once") << hex("FF FB 01 FF FB 01 FF FB 01") << negotiating << 0 << hex("FF FE 01");
    QTest::newRow("a flood of requests")
        << hex("FF FD 05").repeated(Rfc2217Client::kCommandLimit + 1) << failed << int(OpenCause::NotRfc2217) << QByteArray();
}

void TestFrames::rfc2217Negotiation()
{
    QFETCH(QByteArray, server);
    QFETCH(int, state);
    QFETCH(int, cause);
    QFETCH(QByteArray, replyHolds);
    Rfc2217Client client;
    QVERIFY(client.start().contains(hex("FF FB 2C")));
    telnet::Receiver receiver;
    QByteArray data;
    QList<telnet::Receiver::Command> commands;
    receiver.take(server, &data, &commands);
    QByteArray replies;
    for (const auto &command : commands)
        replies += client.handle(command);
    QCOMPARE(int(client.state()), state);
    if (state == int(Rfc2217Client::State::Failed))
        QCOMPARE(int(client.failureCause()), cause);
    QVERIFY2(replies.contains(replyHolds), replies.toHex(' ').constData());
    if (!replyHolds.isEmpty())
        QCOMPARE(replies.count(replyHolds), 1);
}

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
