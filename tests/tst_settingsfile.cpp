// The .kvr file on bytes: what the writer produces, and what the reader
// makes of saved, edited, foreign and broken files.

#include "files/aliaslist.h"
#include "files/fleetlist.h"
#include "files/backups.h"
#include "files/journalfiles.h"
#include "files/operationlog.h"
#include "files/settingsfile.h"
#include "settings/codec.h"
#include "support/fixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <atomic>
#include <csignal>
#include <thread>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#endif
#endif

namespace {

using Kind = SettingsFileOutcome::Kind;

const QString kMonth = QStringLiteral(" november ");
const QDateTime kSavedAt(QDate(2006, 11, 12), QTime(14, 5, 9));

ModuleSettings exampleSettings()
{
    ModuleSettings s;
    s.receiverType = ReceiverType::Flex;
    s.aliases[0] = QStringLiteral("Kazerne");
    s.couplingText = QStringLiteral("++");
    s.idleText = QStringLiteral("RUST");
    setCodes(s, "183", "176", "183", "192");
    setTimers(s, {"10", "30", "60", "9999", "350"});
    return s;
}

// Settings that differ from every saved row in every field, so that a field
// the reader forgets shows up as a difference.
ModuleSettings otherSettings(ReceiverType receiver)
{
    ModuleSettings s;
    s.receiverType = receiver;
    for (int i = 0; i < kAliasCount; ++i)
        s.aliases[i] = QStringLiteral("oud %1").arg(i);
    s.couplingText = QStringLiteral("oude koppel");
    s.idleText = QStringLiteral("oude rust");
    s.aliasColour = s.couplingColour = s.messageColour = QStringLiteral("181");
    s.scrollSpeed = QStringLiteral("195");
    s.relayTime = s.signClearTime = s.lcdClearTime = s.backlightTime = s.scrollTime = QStringLiteral("77");
    s.firmwareVersion = QStringLiteral("3.10");
    return s;
}

QByteArray savedFile(const ModuleSettings &s)
{
    return settingsFileBytes(s, QStringLiteral("1.09"), kMonth, kSavedAt, QStringLiteral("/data/kvr/test.kvr"));
}

QByteArray withLineEnd(const QByteArray &line) { return line + "\r\n"; }

// A data line with the example's pairs in their places and `marker` in front.
QByteArray exampleWithMarker(const QByteArray &marker) { return marker + kExampleLine.mid(10); }

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    // Writing
    void exactFileBytes_data();
    void exactFileBytes();
    void savedMoment_data();
    void savedMoment();
    void textsAreWindows1252();

    // Save then open
    void roundTrip_data();
    void roundTrip();

    // Reading
    void lastLine_data();
    void lastLine();
    void outcomes_data();
    void outcomes();
    void values_data();
    void values();
    void unknownCodesKeepTheChoice();
    void positionLimits_data();
    void positionLimits();
    void largeInputsAreFast_data();
    void largeInputsAreFast();

    // Files on disk
    void writeAndReadFile();
    void unreadableFilesFail_data();
    void unreadableFilesFail();
    void unsaveableSettingsAreRefused_data();
    void unsaveableSettingsAreRefused();
    void failedSaveCreatesNothing_data();
    void failedSaveCreatesNothing();
    void savingReplacesTheWholeFile();
    void failedWriteKeepsTheOldFile();
    void examplesComeFromTheWriter_data();
    void examplesComeFromTheWriter();

    // Alias lists from spreadsheets
    void aliasListsAsSpreadsheetsWriteThem_data();
    void aliasListsAsSpreadsheetsWriteThem();
    void fleetLists_data();
    void fleetLists();

    // The data folder: the log of operations and the backups
    void logSurvivesATornLine();
    void twoWritersNeverMixTheirLines();
    void oldBackupsGoButNeverTheNewest();
    void backupNames_data();
    void backupNames();
    void backupsOfOneSecondNewestFirst();
};

// --- Writing ---------------------------------------------------------------------

void TestSettingsFile::exactFileBytes_data()
{
    QTest::addColumn<int>("receiver");
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QByteArray>("firmwareLine");
    QTest::addColumn<QByteArray>("receiverLine");
    QTest::addColumn<QByteArray>("dataLine");

    QTest::newRow("FLEX, no module read")
        << int(ReceiverType::Flex) << ""
        << QByteArray("Versie KVR firmware: 0.00 (de data is niet vanuit een KVR ingelezen)")
        << QByteArray("Type ontvanger     : FLEX (RXM4F)") << kExampleLine;
    QTest::newRow("POCSAG, version read")
        << int(ReceiverType::Pocsag) << "2.05"
        << QByteArray("Versie KVR firmware: 2.05")
        << QByteArray("Type ontvanger     : POCSAG (RXM4P) ") << exampleWithMarker("kvrPocData");
}

void TestSettingsFile::exactFileBytes()
{
    QFETCH(int, receiver);
    QFETCH(QString, firmware);
    QFETCH(QByteArray, firmwareLine);
    QFETCH(QByteArray, receiverLine);
    QFETCH(QByteArray, dataLine);

    ModuleSettings s = exampleSettings();
    s.receiverType = ReceiverType(receiver);
    s.firmwareVersion = firmware;
    const QByteArray expected =
        "KVR7314 - INSTELLINGEN\r\n"
        "======================\r\n"
        " \r\n"
        "Bestand gemaakt op : 12 november 2006 | 14:05:09\r\n"
        "Bestandsnaam       : C:\\KVR\\kazerne 12.kvr\r\n"
        "Versie prg software: 1.09\r\n"
        + firmwareLine + "\r\n"
        + receiverLine + "\r\n"
        " \r\n"
        "LET OP: voor een goede werking in dit bestand geen wijzigingen aanbrengen!\r\n"
        " \r\n"
        + dataLine + "\r\n";
    QCOMPARE(settingsFileBytes(s, QStringLiteral("1.09"), kMonth, kSavedAt, QStringLiteral("C:\\KVR\\kazerne 12.kvr")),
             expected);
}

void TestSettingsFile::savedMoment_data()
{
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QString>("monthName");
    QTest::addColumn<QString>("text");
    QTest::newRow("example") << kSavedAt << " november " << "12 november 2006 | 14:05:09";
    QTest::newRow("leading zeros") << QDateTime(QDate(2024, 1, 5), QTime(1, 2, 3)) << " januari "
                                   << "05 januari 2024 | 01:02:03";
    QTest::newRow("midnight") << QDateTime(QDate(2023, 12, 31), QTime(0, 0, 0)) << " december "
                              << "31 december 2023 | 00:00:00";
    // The month is the one set at start-up, not looked up again.
    QTest::newRow("program started the month before")
        << QDateTime(QDate(2024, 1, 1), QTime(23, 59, 59)) << " december " << "01 december 2024 | 23:59:59";
}

void TestSettingsFile::savedMoment()
{
    QFETCH(QDateTime, moment);
    QFETCH(QString, monthName);
    QTEST(savedMomentText(monthName, moment), "text");
}

void TestSettingsFile::textsAreWindows1252()
{
    ModuleSettings s = exampleSettings();
    s.aliases[0] = QStringLiteral("Caf\u00e9 \u20ac5");
    const QByteArray bytes = savedFile(s);
    QVERIFY(bytes.contains("ALIAS01:Caf\xe9 \x80" "5ALIAS02:"));
}

// --- Save then open ----------------------------------------------------------------

void TestSettingsFile::roundTrip_data()
{
    QTest::addColumn<ModuleSettings>("saved");

    QTest::newRow("example") << exampleSettings();

    ModuleSettings pocsag = exampleSettings();
    pocsag.receiverType = ReceiverType::Pocsag;
    for (int i = 0; i < kAliasCount; ++i)
        pocsag.aliases[i] = QStringLiteral("RIC %1").arg(i + 1);  // all sixteen, used or not
    QTest::newRow("POCSAG keeps all sixteen aliases") << pocsag;

    ModuleSettings spaces = exampleSettings();
    spaces.aliases[0] = QStringLiteral("  voor en achter  ");
    spaces.aliases[7] = QStringLiteral(" ");
    spaces.aliases[15] = QStringLiteral("1234567890123456789012345");
    spaces.couplingText = QStringLiteral(" >>> ");
    spaces.idleText = QStringLiteral("  ");
    QTest::newRow("spaces and full length") << spaces;

    ModuleSettings accents = exampleSettings();
    accents.aliases[1] = QStringLiteral("Br\u00fbl\u00e9e \u20ac");
    accents.idleText = QStringLiteral("\u00ab\u00e9\u00bb \u2122");
    QTest::newRow("Windows-1252 characters") << accents;

    ModuleSettings colours = exampleSettings();
    setCodes(colours, "181", "183", "176", "199");
    QTest::newRow("every colour and slowest speed") << colours;

    const QStringList timerTexts = {"", "5", "12", "123", "1234"};
    for (const QString &t : timerTexts) {
        ModuleSettings timers = exampleSettings();
        for (QString ModuleSettings::*timer : kTimers)
            timers.*timer = t;
        QTest::newRow(qPrintable(QStringLiteral("timers of %1 digits").arg(t.size()))) << timers;
    }

    ModuleSettings empty = exampleSettings();
    empty.aliases[0].clear();
    empty.couplingText.clear();
    empty.idleText.clear();
    QTest::newRow("all texts empty") << empty;
}

void TestSettingsFile::roundTrip()
{
    QFETCH(ModuleSettings, saved);
    const SettingsFileOutcome outcome = decodeSettingsFile(savedFile(saved));
    QCOMPARE(outcome.kind, Kind::Loaded);
    QVERIFY(outcome.update.setsReceiverType);
    QVERIFY(!outcome.update.setsFirmwareVersion);

    const ReceiverType otherReceiver =
        saved.receiverType == ReceiverType::Flex ? ReceiverType::Pocsag : ReceiverType::Flex;
    const ModuleSettings before = otherSettings(otherReceiver);
    ModuleSettings expected = saved;
    expected.firmwareVersion = before.firmwareVersion;  // opening a file never changes it
    QCOMPARE(applyUpdate(before, outcome.update), expected);
}

// --- Reading -------------------------------------------------------------------------

void TestSettingsFile::lastLine_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("empty file") << QByteArray() << QByteArray();
    QTest::newRow("one line without end") << QByteArray("abc") << QByteArray("abc");
    QTest::newRow("one line with CR LF") << QByteArray("abc\r\n") << QByteArray("abc");
    QTest::newRow("last of two") << QByteArray("h\r\nabc\r\n") << QByteArray("abc");
    QTest::newRow("last without end") << QByteArray("h\r\nabc") << QByteArray("abc");
    QTest::newRow("CR alone ends lines") << QByteArray("h\rabc\r") << QByteArray("abc");
    QTest::newRow("lone LF ends a line too") << QByteArray("a\nb\r\n") << QByteArray("b");
    QTest::newRow("LF line ends throughout") << QByteArray("h\nabc\n") << QByteArray("abc");
    QTest::newRow("LF after a CR LF is an empty line") << QByteArray("h\r\n\nabc\r\n") << QByteArray("abc");
    QTest::newRow("empty line after") << QByteArray("abc\r\n\r\n") << QByteArray();
    QTest::newRow("empty line ended by CR") << QByteArray("abc\r\r") << QByteArray();
    QTest::newRow("CR then CR LF") << QByteArray("abc\r\r\n") << QByteArray();
    QTest::newRow("LF line after") << QByteArray("abc\r\n\n") << QByteArray();
    QTest::newRow("only a line end") << QByteArray("\r\n") << QByteArray();
}

void TestSettingsFile::lastLine()
{
    QFETCH(QByteArray, bytes);
    QTEST(::lastLine(bytes).toByteArray(), "line");
}

void TestSettingsFile::outcomes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("product");   // for a wrong product
    QTest::addColumn<int>("receiver");  // for a loaded file

    const int ksq = int(SiblingProduct::KSQ7314);
    const int kdw = int(SiblingProduct::KDW7314);
    const int flex = int(ReceiverType::Flex);
    const int pocsag = int(ReceiverType::Pocsag);
    const QByteArray saved = savedFile(exampleSettings());
    const QByteArray header = saved.left(saved.indexOf("kvrFlxData"));

    QTest::newRow("saved file") << saved << int(Kind::Loaded) << 0 << flex;
    QTest::newRow("POCSAG marker") << withLineEnd(exampleWithMarker("kvrPocData")) << int(Kind::Loaded) << 0 << pocsag;
    QTest::newRow("header removed") << withLineEnd(kExampleLine) << int(Kind::Loaded) << 0 << flex;
    QTest::newRow("no line end at all") << kExampleLine << int(Kind::Loaded) << 0 << flex;
    QTest::newRow("ended by CR alone") << kExampleLine + "\r" << int(Kind::Loaded) << 0 << flex;
    QTest::newRow("header edited")
        << "Kazerne Noord\r\nkvrPocData ksqFlxData\nALIAS01:\r\n" + withLineEnd(kExampleLine)
        << int(Kind::Loaded) << 0 << flex;

    QTest::newRow("empty file") << QByteArray() << int(Kind::Failed) << 0 << 0;
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(char((i * 7919) % 256));
    QTest::newRow("binary file") << binary << int(Kind::Failed) << 0 << 0;
    QTest::newRow("text file") << QByteArray("Boodschappen:\r\nbrood\r\nmelk\r\n") << int(Kind::Failed) << 0 << 0;
    QTest::newRow("empty line after the data line") << saved + "\r\n" << int(Kind::Failed) << 0 << 0;
    QTest::newRow("other line after the data line") << saved + "einde\r\n" << int(Kind::Failed) << 0 << 0;
    QTest::newRow("lone LF after the data line") << saved + "\n" << int(Kind::Failed) << 0 << 0;
    QTest::newRow("data line broken by CR")
        << header + kExampleLine.left(100) + "\r" + kExampleLine.mid(100) + "\r\n" << int(Kind::Failed) << 0 << 0;
    QTest::newRow("no marker") << withLineEnd(kExampleLine.mid(10)) << int(Kind::Failed) << 0 << 0;
    QTest::newRow("marker in other case") << withLineEnd(exampleWithMarker("KVRFLXDATA")) << int(Kind::Failed) << 0 << 0;
    QTest::newRow("key in other case") << withLineEnd(QByteArray(kExampleLine).replace("SNELHEID:", "Snelheid:"))
                                       << int(Kind::Failed) << 0 << 0;
    QTest::newRow("key missing") << withLineEnd(QByteArray(kExampleLine).replace("TIJD_WISLK:", "TIJD_WISLK"))
                                 << int(Kind::Failed) << 0 << 0;
    // A text that holds a later key moves that key in front of an earlier one.
    QTest::newRow("negative length")
        << withLineEnd(QByteArray(kExampleLine).replace("Kazerne", "KOPPELTEKST:")) << int(Kind::Failed) << 0 << 0;

    QTest::newRow("KSQ POCSAG") << withLineEnd(exampleWithMarker("ksqPocData")) << int(Kind::WrongProduct) << ksq << 0;
    QTest::newRow("KSQ FLEX") << withLineEnd(exampleWithMarker("ksqFlxData")) << int(Kind::WrongProduct) << ksq << 0;
    QTest::newRow("KDW POCSAG") << withLineEnd(exampleWithMarker("kdwPocData")) << int(Kind::WrongProduct) << kdw << 0;
    QTest::newRow("KDW FLEX") << withLineEnd(exampleWithMarker("kdwFlxData")) << int(Kind::WrongProduct) << kdw << 0;
    // Keys are looked for before the marker.
    QTest::newRow("sibling file lacking a key")
        << withLineEnd(exampleWithMarker("kdwFlxData").replace("KLEUR_BERICHT:", "KLEUR-BERICHT:"))
        << int(Kind::Failed) << 0 << 0;
    // The lowest marker decides, whichever product it names.
    QTest::newRow("sibling marker inside a text")
        << withLineEnd(QByteArray(kExampleLine).replace("Kazerne", "kdwFlxData")) << int(Kind::Loaded) << 0 << flex;
    QTest::newRow("kvr marker inside a sibling's text")
        << withLineEnd(exampleWithMarker("ksqFlxData").replace("Kazerne", "kvrPocData")) << int(Kind::WrongProduct)
        << ksq << 0;
    QTest::newRow("other marker inside a text")
        << withLineEnd(QByteArray(kExampleLine).replace("LCDRUST:RUST", "LCDRUST:kvrPocData")) << int(Kind::Loaded) << 0 << flex;
    QTest::newRow("marker at the end of the line")
        << withLineEnd(kExampleLine.mid(10) + "kvrPocData") << int(Kind::Loaded) << 0 << pocsag;
}

void TestSettingsFile::outcomes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, kind);
    const SettingsFileOutcome outcome = decodeSettingsFile(bytes);
    QCOMPARE(int(outcome.kind), kind);
    if (kind == Kind::WrongProduct)
        QTEST(int(outcome.product), "product");
    if (kind == Kind::Loaded)
        QTEST(int(outcome.update.values.receiverType), "receiver");
}

// One value of a loaded line, as decoded (before it reaches the window).
void TestSettingsFile::values_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");

    const auto replaced = [](const char *from, const QByteArray &to) {
        return QByteArray(kExampleLine).replace(from, to);
    };
    QTest::newRow("key directly followed by the next") << kExampleLine << "alias02" << "";
    QTest::newRow("first alias") << kExampleLine << "alias01" << "Kazerne";
    QTest::newRow("last alias runs to the coupling text")
        << replaced("ALIAS16:", "ALIAS16:zestien") << "alias16" << "zestien";
    QTest::newRow("not trimmed") << replaced("Kazerne", "  Kaz  ") << "alias01" << "  Kaz  ";
    QTest::newRow("Windows-1252 byte") << replaced("LCDRUST:RUST", "LCDRUST:R\x80ST") << "idle" << QStringLiteral("R\u20acST");
    QTest::newRow("longer than the field is taken whole")
        << replaced("Kazerne", QByteArray(40, 'x')) << "alias01" << QString(40, 'x');
    QTest::newRow("code is three characters") << replaced("SNELHEID:192", "SNELHEID:1920") << "speed" << "192";
    QTest::newRow("code cut short by the line end")
        << replaced("KLEUR_ALIAS:183", "") + "KLEUR_ALIAS:18" << "aliasColour" << "18";
    QTest::newRow("scroll time runs to the end of the line")
        << replaced("SCROLLENLCD:350", "SCROLLENLCD:35 0 x") << "scroll" << "35 0 x";
    QTest::newRow("empty scroll time") << replaced("SCROLLENLCD:350", "SCROLLENLCD:") << "scroll" << "";
    // A text holding a key is found before the real one.
    QTest::newRow("alias holding a key shifts a code")
        << replaced("Kazerne", "SNELHEID:") << "speed" << "ALI";
    QTest::newRow("timer holding the next key ends early")
        << replaced("TIJD_RELAIS:10", "TIJD_RELAIS:1TIJD_WISLK:0") << "relay" << "1";
    QTest::newRow("the next text starts at the early key")
        << replaced("TIJD_RELAIS:10", "TIJD_RELAIS:1TIJD_WISLK:0") << "signClear" << "0TIJD_WISLK:30";
}

void TestSettingsFile::values()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, field);
    const SettingsFileOutcome outcome = decodeSettingsFile(withLineEnd(line));
    QCOMPARE(outcome.kind, Kind::Loaded);
    const ModuleSettings &v = outcome.update.values;
    const QMap<QString, QString> fields = {
        {"alias01", v.aliases[0]}, {"alias02", v.aliases[1]}, {"alias16", v.aliases[15]},
        {"idle", v.idleText}, {"speed", v.scrollSpeed}, {"aliasColour", v.aliasColour},
        {"scroll", v.scrollTime}, {"relay", v.relayTime}, {"signClear", v.signClearTime},
    };
    QVERIFY(fields.contains(field));
    QTEST(fields.value(field), "value");
}

void TestSettingsFile::unknownCodesKeepTheChoice()
{
    QByteArray line = kExampleLine;
    line.replace("KLEUR_ALIAS:183", "KLEUR_ALIAS:999").replace("SNELHEID:192", "SNELHEID:19 ");
    const SettingsFileOutcome outcome = decodeSettingsFile(withLineEnd(line));
    QCOMPARE(outcome.kind, Kind::Loaded);

    const ModuleSettings before = otherSettings(ReceiverType::Pocsag);
    const ModuleSettings after = applyUpdate(before, outcome.update);
    QCOMPARE(after.aliasColour, before.aliasColour);
    QCOMPARE(after.scrollSpeed, before.scrollSpeed);
    // Everything else is still taken.
    QCOMPARE(after.couplingColour, QString("176"));
    QCOMPARE(after.messageColour, QString("183"));
    QCOMPARE(after.aliases[0], QString("Kazerne"));
    QCOMPARE(after.scrollTime, QString("350"));
    QCOMPARE(after.receiverType, ReceiverType::Flex);
}

void TestSettingsFile::positionLimits_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("kind");

    // Pads the backlight time so that "TIJD_SCROLLENLCD:" starts at `position`.
    const auto scrollKeyAt = [](int position) {
        const int at = int(kExampleLine.indexOf("TIJD_SCROLLENLCD:"));
        QByteArray line = kExampleLine;
        line.insert(at, QByteArray(position - 1 - at, '9'));
        Q_ASSERT(line.indexOf("TIJD_SCROLLENLCD:") + 1 == position);
        return line;
    };
    // The marker after every pair, at `position`.
    const auto markerAt = [](int position) {
        QByteArray line = kExampleLine.mid(10);
        line.append(QByteArray(position - 1 - line.size(), ' ')).append("kvrPocData");
        return line;
    };

    // The scroll time starts at the key's position + 17, which must stay a 16-bit position.
    QTest::newRow("scroll time starting at 32767") << scrollKeyAt(32750) << int(Kind::Loaded);
    QTest::newRow("scroll time starting at 32768") << scrollKeyAt(32751) << int(Kind::Failed);
    QTest::newRow("marker at 32767") << markerAt(32767) << int(Kind::Loaded);
    QTest::newRow("marker at 32768") << markerAt(32768) << int(Kind::Failed);
    QTest::newRow("40 000 characters, keys early")
        << QByteArray(kExampleLine).append(QByteArray(40000 - kExampleLine.size(), '7')) << int(Kind::Loaded);
    QTest::newRow("40 000 characters, keys late")
        << QByteArray(kExampleLine).replace("++", QByteArray(40000 - kExampleLine.size(), '+')) << int(Kind::Failed);
    QTest::newRow("long text before keys within reach")
        << QByteArray(kExampleLine).replace("LCDRUST:RUST", "LCDRUST:" + QByteArray(30000, 'R')) << int(Kind::Loaded);
}

void TestSettingsFile::positionLimits()
{
    QFETCH(QByteArray, line);
    QTEST(int(decodeSettingsFile(withLineEnd(line)).kind), "kind");
}

// Megabytes of data, with the data line last or no line ends at all: the
// decoder stays fast (the reader refuses such files before reading them).
void TestSettingsFile::largeInputsAreFast_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("kind");

    constexpr int megabytes = 6;
    QByteArray manyLines;
    const QByteArray headerLine = QByteArray(78, 'h') + "\r\n";
    while (manyLines.size() < megabytes * 1024 * 1024)
        manyLines += headerLine;
    QTest::newRow("many header lines") << manyLines + withLineEnd(kExampleLine) << int(Kind::Loaded);
    QTest::newRow("one long data line")
        << withLineEnd(kExampleLine + QByteArray(megabytes * 1024 * 1024, '0')) << int(Kind::Loaded);
    QTest::newRow("one long line without keys") << QByteArray(megabytes * 1024 * 1024, 'A') << int(Kind::Failed);
    QByteArray keysEverywhere;
    while (keysEverywhere.size() < megabytes * 1024 * 1024)
        keysEverywhere += "ALIAS0ALIAS01TIJD_SCROLLENLCDkvrFlxDat";
    QTest::newRow("near misses everywhere") << keysEverywhere << int(Kind::Failed);
}

void TestSettingsFile::largeInputsAreFast()
{
    QFETCH(QByteArray, bytes);
    QElapsedTimer clock;
    clock.start();
    const SettingsFileOutcome outcome = decodeSettingsFile(bytes);
    const qint64 elapsed = clock.elapsed();
    QTEST(int(outcome.kind), "kind");
    QVERIFY2(elapsed < 1000, qPrintable(QStringLiteral("took %1 ms").arg(elapsed)));
    if (outcome.kind == Kind::Loaded)
        QVERIFY(applyUpdate(exampleSettings(), outcome.update).scrollTime.startsWith(QLatin1String("350")));
}

// --- Files on disk -------------------------------------------------------------------

void TestSettingsFile::writeAndReadFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("kazerne");  // no extension is added
    ModuleSettings s = exampleSettings();
    s.aliases[3] = QStringLiteral("\u20ac \u00e9");
    QVERIFY(writeSettingsFile(path, s, QStringLiteral("1.09"), kMonth, kSavedAt));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kazerne"});
    QCOMPARE(readFile(path), settingsFileBytes(s, QStringLiteral("1.09"), kMonth, kSavedAt, path));

    const SettingsFileOutcome outcome = readSettingsFile(path);
    QCOMPARE(outcome.kind, Kind::Loaded);
    QCOMPARE(outcome.update.values.aliases[3], s.aliases[3]);

    // After an editor, a mail program or git made its line ends LF, it
    // opens with the same values: the scroll time "350", no LF after it.
    const QString lf = dir.filePath("kazerne-lf");
    writeFile(lf, readFile(path).replace("\r\n", "\n"));
    const SettingsFileOutcome fromLf = readSettingsFile(lf);
    QCOMPARE(fromLf.kind, Kind::Loaded);
    QCOMPARE(fromLf.update.values, outcome.update.values);
    QCOMPARE(fromLf.update.values.scrollTime, QString("350"));
}

// Whatever a path leads to, opening it ends at once, without reading what
// cannot be a settings file, and says why.
void TestSettingsFile::unreadableFilesFail_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing file") << "bestaat-niet.kvr" << "no such file";
    QTest::newRow("folder") << "map.kvr" << "not a regular file";
    QTest::newRow("missing folder") << "geen-map/x.kvr" << "no such file";
#ifdef Q_OS_UNIX
    QTest::newRow("endless device") << "/dev/zero" << "not a regular file";
    QTest::newRow("random device") << "/dev/urandom" << "not a regular file";
    QTest::newRow("pipe without a writer") << "pijp.kvr" << "not a regular file";
#endif
    QTest::newRow("larger than 1 MiB") << "groot.kvr" << "larger than 1 MiB, so not a settings file";
    QTest::newRow("EOT SOH in alias 1") << "injectie.kvr" << "alias 01 holds U+0004 at position 3";
}

void TestSettingsFile::unreadableFilesFail()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("map.kvr"));
#ifdef Q_OS_UNIX
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("pijp.kvr")).constData(), 0600), 0);
#endif
    writeFile(dir.filePath("groot.kvr"), QByteArray(kMaxSettingsFileSize - 200, 'h') + "\r\n" + withLineEnd(kExampleLine));
    writeFile(dir.filePath("injectie.kvr"),
              withLineEnd(QByteArray(kExampleLine).replace("ALIAS01:Kazerne", "ALIAS01:AB\x04\x01(3D)INJECTED\x04")));

    QElapsedTimer clock;
    clock.start();
    const SettingsFileOutcome outcome = readSettingsFile(path.startsWith('/') ? path : dir.filePath(path));
    QCOMPARE(outcome.kind, Kind::Failed);
    QCOMPARE(outcome.reason.english, reason);
    QVERIFY(!outcome.reason.dutch.isEmpty());
    QVERIFY(clock.elapsed() < 1000);
}

// What is saved opens as saved: a text that would move the data line's keys
// (or break it) is refused before anything is written, naming the field.
void TestSettingsFile::unsaveableSettingsAreRefused_data()
{
    QTest::addColumn<ModuleSettings>("settings");
    QTest::addColumn<QString>("reason");   // Dutch, as the window's box shows it; empty: saved

    ModuleSettings s = exampleSettings();
    s.aliases[2] = "XTIJD_RELAIS:77";
    QTest::newRow("a key in alias 3") << s << "Alias 3 bevat \"TIJD_RELAIS:\", een sleutel van het bestand; pas de tekst aan.";
    s = exampleSettings();
    s.idleText = "KLEUR_ALIAS:176";
    QTest::newRow("a key in the idle text")
        << s << "Tekst LCD in rust bevat \"KLEUR_ALIAS:\", een sleutel van het bestand; pas de tekst aan.";
    s = exampleSettings();
    s.aliases[2] = "twee\rregels";
    QTest::newRow("a CR in alias 3") << s << "Alias 3 bevat het teken U+000D op positie 5";
    s = exampleSettings();
    s.aliases[0] = "kdwFlxData";
    QTest::newRow("a marker after the real one changes nothing") << s << "";
    s.aliases[1] = "ALIAS1: TIJD_RELAIS";
    QTest::newRow("near misses are texts") << s << "";
}

void TestSettingsFile::unsaveableSettingsAreRefused()
{
    QFETCH(ModuleSettings, settings);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath("x.kvr");
    const SaveOutcome saved = writeSettingsFile(path, settings, QStringLiteral("1.09"), kMonth, kSavedAt);
    QCOMPARE(saved.reason.dutch, reason);
    QCOMPARE(bool(saved), reason.isEmpty());
    QCOMPARE(QFile::exists(path), reason.isEmpty());
    if (saved)
        QCOMPARE(applyUpdate(startupSettings(), readSettingsFile(path).update), settings);
}

void TestSettingsFile::failedSaveCreatesNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("folder does not exist") << "geen-map/x.kvr";
    QTest::newRow("name of a folder") << "map.kvr";
    QTest::newRow("empty name") << "";
}

void TestSettingsFile::failedSaveCreatesNothing()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("map.kvr"));
    const QString path = name.isEmpty() ? QString() : dir.filePath(name);
    QVERIFY(!writeSettingsFile(path, exampleSettings(), QStringLiteral("1.09"), kMonth, kSavedAt));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"map.kvr"});
    QVERIFY(QDir(dir.filePath("map.kvr")).isEmpty());
}

void TestSettingsFile::savingReplacesTheWholeFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("oud.kvr");
    writeFile(path, QByteArray(100000, 'o'));
    QVERIFY(writeSettingsFile(path, exampleSettings(), QStringLiteral("1.09"), kMonth, kSavedAt));
    QCOMPARE(readFile(path), settingsFileBytes(exampleSettings(), QStringLiteral("1.09"), kMonth, kSavedAt, path));
}

// A disk that fills up part-way: the old file stays as it was and no
// partial file is left beside it.
void TestSettingsFile::failedWriteKeepsTheOldFile()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    const QString path = dir.filePath("kazerne.kvr");
    const QByteArray old = "oude inhoud\r\n";
    writeFile(path, old);

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 200;  // the file is longer than this
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = bool(writeSettingsFile(path, exampleSettings(), QStringLiteral("1.09"), kMonth, kSavedAt));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!written);
    QCOMPARE(readFile(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"kazerne.kvr"});
#else
    QSKIP("needs a file size limit");
#endif
}

void TestSettingsFile::examplesComeFromTheWriter_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("receiver");
    QTest::newRow("FLEX") << "flex.kvr" << int(ReceiverType::Flex);
    QTest::newRow("POCSAG") << "pocsag.kvr" << int(ReceiverType::Pocsag);
}

// The sample files load, and they are byte for byte what the writer makes
// of their settings, date and path.
void TestSettingsFile::examplesComeFromTheWriter()
{
    QFETCH(QString, name);
    QVERIFY(!qEnvironmentVariable("KVR_SOURCE_DIR").isEmpty());
    const QByteArray bytes = readFile(examplePath(name));
    const SettingsFileOutcome outcome = decodeSettingsFile(bytes);
    QCOMPARE(outcome.kind, Kind::Loaded);
    QTEST(int(outcome.update.values.receiverType), "receiver");
    const ModuleSettings settings = applyUpdate(startupSettings(), outcome.update);

    const QList<QByteArray> lines = bytes.split('\n');
    QVERIFY(lines.size() >= 5);
    const QRegularExpression dateLine(
        QStringLiteral(R"(^Bestand gemaakt op : (\d\d)( \w+ )(\d{4}) \| (\d\d:\d\d:\d\d)\r$)"));
    const QRegularExpressionMatch date = dateLine.match(QString::fromLatin1(lines[3]));
    QVERIFY2(date.hasMatch(), lines[3].constData());
    const QDateTime savedAt(QDate(date.captured(3).toInt(), 1, date.captured(1).toInt()),
                            QTime::fromString(date.captured(4), QStringLiteral("HH:mm:ss")));
    const QString path = QString::fromLatin1(lines[4].mid(21).chopped(1));
    QCOMPARE(bytes, settingsFileBytes(settings, QStringLiteral("1.09"), date.captured(2), savedAt, path));
}

QTEST_GUILESS_MAIN(TestSettingsFile)
// --- Alias lists -------------------------------------------------------------

namespace {

// Sixteen aliases as a technician's list has them: accents, a comma, a
// semicolon, quotes, leading zeros and spaces, an empty one.
QStringList spreadsheetAliases()
{
    QStringList aliases;
    for (int n = 1; n <= kAliasCount; ++n)
        aliases.append(QStringLiteral("Post %1").arg(n));
    aliases[0] = QStringLiteral("Post 1; hal, oost");   // both other separators in the first row
    aliases[1] = QStringLiteral("Brug \u00e9\u00e9n");
    aliases[2] = QStringLiteral("Noord, oost");
    aliases[3] = QStringLiteral("A; B");
    aliases[4] = QStringLiteral("\"Hal\" 4");
    aliases[5] = QStringLiteral("0071");
    aliases[6] = QStringLiteral("  Midden  ");
    aliases[7] = QString();
    aliases[8] = QStringLiteral("\u20ac 1234567890123456789012");
    return aliases;
}

// One field as a spreadsheet writes it: quoted where the separator, a
// quote or outer spaces would be lost otherwise.
QString spreadsheetField(const QString &text, QChar separator, bool quoteAll)
{
    if (quoteAll || text.contains(separator) || text.contains(u'"') || text != text.trimmed())
        return u'"' + QString(text).replace("\"", "\"\"") + u'"';
    return text;
}

QByteArray spreadsheetCsv(QChar separator, const char *encoding, const char *lineEnd, bool header, bool quoteAll)
{
    QString text = header ? QStringLiteral("Nummer%1Alias%2").arg(separator).arg(QLatin1String(lineEnd)) : QString();
    const QStringList aliases = spreadsheetAliases();
    for (int n = 1; n <= kAliasCount; ++n)
        text += QString::number(n) + separator + spreadsheetField(aliases[n - 1], separator, quoteAll) + QLatin1String(lineEnd);
    if (QByteArray(encoding) == "cp1252")
        return cp1252::encode(text);
    return (QByteArray(encoding) == "utf-8-bom" ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + text.toUtf8();
}

} // namespace

void TestSettingsFile::aliasListsAsSpreadsheetsWriteThem_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QString>("failure");   // empty: the sixteen aliases are taken

    QTest::newRow("Excel, Dutch: semicolons, Windows-1252, CR LF")
        << spreadsheetCsv(u';', "cp1252", "\r\n", true, false) << "";
    QTest::newRow("Excel, CSV UTF-8: semicolons, byte order mark")
        << spreadsheetCsv(u';', "utf-8-bom", "\r\n", true, false) << "";
    QTest::newRow("LibreOffice: commas, UTF-8, LF, no header")
        << spreadsheetCsv(u',', "utf-8", "\n", false, false) << "";
    QTest::newRow("LibreOffice: every text quoted") << spreadsheetCsv(u',', "utf-8", "\n", true, true) << "";
    QTest::newRow("tab-separated text, Windows-1252") << spreadsheetCsv(u'\t', "cp1252", "\r\n", true, false) << "";
    QTest::newRow("this program's own export") << aliasListBytes([] {
        ModuleSettings s = startupSettings();
        const QStringList aliases = spreadsheetAliases();
        for (int i = 0; i < kAliasCount; ++i)
            s.aliases[size_t(i)] = aliases[i];
        return s;
    }()) << "";

    QTest::newRow("too long") << QByteArray("1;12345678901234567890123456\r\n") << "row 1: alias 1 has 26 characters";
    QTest::newRow("a control character")
        << QByteArray("nummer;alias\r\n1;ok\r\n2;\"A\x04" "B\"\r\n") << "row 3: alias 2 holds U+0004 at position 2";
    QTest::newRow("outside Windows-1252") << QString("1;\u65e5\r\n").toUtf8() << "row 1: alias 1 holds U+65E5";
    QTest::newRow("number 17") << QByteArray("17;x\r\n") << "row 1: \"17\" is no alias number from 1 to 16";
    QTest::newRow("no number") << QByteArray("1;a\r\nx;b\r\n") << "row 2: \"x\" is no alias number";
    QTest::newRow("twice") << QByteArray("3;a\r\n3;b\r\n") << "row 2: alias 3 is given twice";
    QTest::newRow("three columns") << QByteArray("1;a;b\r\n") << "row 1: 3 columns";
    QTest::newRow("empty") << QByteArray("\xEF\xBB\xBF") << "it holds no alias";
}

void TestSettingsFile::aliasListsAsSpreadsheetsWriteThem()
{
    QFETCH(QByteArray, list);
    QFETCH(QString, failure);
    const AliasListRead read = readAliasList(list);
    if (!failure.isEmpty()) {
        QVERIFY(read.failure);
        QVERIFY2(read.failure->english.startsWith(failure), qPrintable(read.failure->english));
        return;
    }
    QVERIFY2(!read.failure, qPrintable(read.failure ? read.failure->english : QString()));
    const ModuleSettings imported = withAliases(startupSettings(), read.rows);
    QCOMPARE(QStringList(imported.aliases.begin(), imported.aliases.end()), spreadsheetAliases());
    // Exported and read again: the same sixteen aliases.
    const AliasListRead again = readAliasList(aliasListBytes(imported));
    QVERIFY(!again.failure);
    QCOMPARE(withAliases(startupSettings(), again.rows).aliases, imported.aliases);
}

void TestSettingsFile::fleetLists_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QString>("failure");   // empty: taken
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("receivers");   // per row: F, P or - for none

    QTest::newRow("Excel, Dutch: semicolons, Windows-1252, header")
        << QByteArray("naam;poort;bestand\r\nKazerne \xE9\xE9n;rfc2217://10.0.0.7:4001;noord.kvr\r\nPost 2;COM2;zuid.kvr\r\n")
        << "" << QStringList{"Kazerne \u00e9\u00e9n", "Post 2"} << QStringList{"rfc2217://10.0.0.7:4001", "COM2"}
        << QStringList{"noord.kvr", "zuid.kvr"} << "--";
    QTest::newRow("columns in another order, any case, with a BOM")
        << QByteArray("\xEF\xBB\xBFOntvanger;Bestand;Poort;Naam\nPOCSAG;a.kvr;/dev/ttyUSB0;A\nflex;b.kvr;/dev/ttyUSB1;B\n")
        << "" << QStringList{"A", "B"} << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1"} << QStringList{"a.kvr", "b.kvr"}
        << "PF";
    QTest::newRow("commas, no header, a quoted file with a comma")
        << QByteArray("A,tcp://[::1]:4001,\"noord, oost.kvr\",POCSAG\nB,socket://host:4002\n") << ""
        << QStringList{"A", "B"} << QStringList{"tcp://[::1]:4001", "socket://host:4002"}
        << QStringList{"noord, oost.kvr", ""} << "P-";
    QTest::newRow("tabs, a read's list without files")
        << QByteArray("naam\tpoort\nA\t/dev/ttyS0\n\nB\t/dev/ttyS1\n") << "" << QStringList{"A", "B"}
        << QStringList{"/dev/ttyS0", "/dev/ttyS1"} << QStringList{"", ""} << "--";

    const QStringList none;
    QTest::newRow("unknown column") << QByteArray("naam;port;bestand\nA;COM1;a.kvr\n")
                                    << "row 1: unknown column \"port\"" << none << none << none << "";
    QTest::newRow("English header") << QByteArray("name;port;file\nA;COM1;a.kvr\n")
                                    << "row 1: unknown column \"name\"" << none << none << none << "";
    QTest::newRow("a column twice") << QByteArray("naam;poort;naam\n") << "row 1: column \"naam\" is given twice"
                                    << none << none << none << "";
    QTest::newRow("no port column") << QByteArray("naam;bestand\nA;a.kvr\n") << "row 1: the column \"poort\" is missing"
                                    << none << none << none << "";
    QTest::newRow("a name twice, in another case")
        << QByteArray("naam;poort\nKazerne Noord;COM1\nkazerne noord;COM2\n")
        << "row 3: the name \"kazerne noord\" is that of row 2" << none << none << none << "";
    QTest::newRow("a name twice as a file's name")
        << QByteArray("naam;poort\nKazerne Noord;COM1\nKazerne/Noord;COM2\n")
        << "row 3: the name \"Kazerne/Noord\" becomes \"Kazerne-Noord\" in file names, as that of row 2 does" << none
        << none << none << "";
    QTest::newRow("no name") << QByteArray("naam;poort\n;COM1\n") << "row 2: no name" << none << none << none << "";
    QTest::newRow("no port") << QByteArray("naam;poort;bestand\nA;;a.kvr\n") << "row 2: A has no port" << none << none
                             << none << "";
    QTest::newRow("a comma in a name") << QByteArray("naam;poort\nNoord, oost;COM1\n") << "row 2: the name \"Noord, oost\" holds a comma"
                                       << none << none << none << "";
    QTest::newRow("receiver") << QByteArray("naam;poort;bestand;ontvanger\nA;COM1;a.kvr;ERMES\n")
                              << "row 2: the receiver type is FLEX or POCSAG, not \"ERMES\"" << none << none << none << "";
    QTest::newRow("more fields than columns") << QByteArray("naam;poort\nA;COM1;a.kvr\n")
                                              << "row 2: 3 fields, where the list has 2 columns" << none << none << none << "";
    QTest::newRow("a header alone") << QByteArray("naam;poort;bestand\r\n") << "it holds no module" << none << none
                                    << none << "";
}

void TestSettingsFile::fleetLists()
{
    QFETCH(QByteArray, list);
    QFETCH(QString, failure);
    const FleetListRead read = readFleetList(list);
    if (!failure.isEmpty()) {
        QVERIFY(read.failure);
        QVERIFY2(read.failure->english.startsWith(failure), qPrintable(read.failure->english));
        QVERIFY(read.failure->dutch.startsWith(QStringLiteral("regel")) || read.failure->dutch.startsWith(QStringLiteral("er staat")));
        return;
    }
    QVERIFY2(!read.failure, qPrintable(read.failure ? read.failure->english : QString()));
    QFETCH(QStringList, names);
    QFETCH(QStringList, ports);
    QFETCH(QStringList, files);
    QFETCH(QString, receivers);
    QStringList gotNames, gotPorts, gotFiles;
    QString gotReceivers;
    for (const FleetRow &row : read.rows) {
        gotNames.append(row.name);
        gotPorts.append(row.port);
        gotFiles.append(row.file);
        gotReceivers += !row.receiver ? u'-' : *row.receiver == ReceiverType::Pocsag ? u'P' : u'F';
    }
    QCOMPARE(gotNames, names);
    QCOMPARE(gotPorts, ports);
    QCOMPARE(gotFiles, files);
    QCOMPARE(gotReceivers, receivers);
}

// --- The data folder ------------------------------------------------------------

namespace {

LogEntry entryNumber(int n)
{
    LogEntry e;
    e.time = QDateTime(QDate(2026, 12, 9), QTime(10, 41, 7), Qt::OffsetFromUTC, 3600);
    e.operation = QStringLiteral("write");
    e.program = QStringLiteral("kvr7314-cli");
    e.port = QStringLiteral("/dev/ttyUSB0");
    e.ok = n % 2 == 0;
    e.cause = e.ok ? QString() : QStringLiteral("the line failed: gone");
    e.stepsSent = n % 27;
    e.stepCount = 26;
    e.durationMs = n;
    return e;
}

} // namespace

void TestSettingsFile::logSurvivesATornLine()
{
    QTemporaryDir dir;
    const QString log = logPath(dir.path());
    QVERIFY(!appendToLog(log, entryNumber(0)));
    // A crash in the middle of a line leaves it without its line feed.
    QFile file(log);
    QVERIFY(file.open(QIODevice::Append));
    file.write(logLine(entryNumber(1)).left(40));
    file.close();
    QVERIFY(!appendToLog(log, entryNumber(2)));
    const QList<LogEntry> entries = readLog(log);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0], entryNumber(0));
    QCOMPARE(entries[1], entryNumber(2));
    // A log that cannot be read is no empty log.
    QString error;
    QVERIFY(readLog(dir.path(), &error).isEmpty());
    QVERIFY(!error.isEmpty());
}

void TestSettingsFile::twoWritersNeverMixTheirLines()
{
    QTemporaryDir dir;
    const QString log = logPath(dir.path());
    // Two writers, each with a file of its own opened for appending, as two
    // programs have.
    std::atomic<int> failures = 0;
    const auto writer = [&log, &failures](int first) {
        for (int n = first; n < first + 300; ++n) {
            if (appendToLog(log, entryNumber(n)))
                ++failures;
        }
    };
    std::thread a(writer, 0);
    std::thread b(writer, 1000);
    a.join();
    b.join();
    QCOMPARE(failures.load(), 0);
    const QList<LogEntry> entries = readLog(log);
    QCOMPARE(entries.size(), 600);
    for (const LogEntry &e : entries)
        QCOMPARE(e, entryNumber(int(e.durationMs)));
}

void TestSettingsFile::oldBackupsGoButNeverTheNewest()
{
    QTemporaryDir dir;
    const QDateTime now(QDate(2026, 12, 9), QTime(12, 0));
    // One backup a week for two years, and a file of the technician's own.
    for (int week = 0; week < 104; ++week)
        writeFile(dir.filePath(backupFileName(now.addDays(-7 * week), "ttyUSB0", kReadBackup)), "x");
    writeFile(dir.filePath("eigen.kvr"), "x");
    // Half-written backups: one a program left two days ago, one being written now.
    const QString left = dir.filePath(backupFileName(now.addDays(-2), "ttyUSB0", kReadBackup) + ".tmp");
    const QString writing = dir.filePath(backupFileName(now, "ttyUSB1", kReadBackup) + ".tmp");
    writeFile(left, "x");
    writeFile(writing, "x");
    pruneBackups(dir.path(), now);
    QList<BackupFile> kept = listBackups(dir.path());
    QCOMPARE(kept.size(), 53);   // the last year's 53 weeks
    QVERIFY(kept.last().time >= now.addDays(-kBackupDaysKept));
    QVERIFY(QFile::exists(dir.filePath("eigen.kvr")));
    QVERIFY(!QFile::exists(left));
    QVERIFY(QFile::exists(writing));
    // The newest 50 stay, however old.
    pruneBackups(dir.path(), now.addYears(10));
    QCOMPARE(listBackups(dir.path()).size(), kBackupsAlwaysKept);
}

void TestSettingsFile::backupNames_data()
{
    QTest::addColumn<QString>("deviceOrFile");
    QTest::addColumn<QString>("subject");
    QTest::newRow("device") << "/dev/ttyUSB0" << "ttyUSB0";
    QTest::newRow("pseudo-terminal") << "/dev/pts/5" << "pts-5";
    QTest::newRow("windows file") << "C:\\KVR\\kazerne.kvr" << "kazerne";
    QTest::newRow("simulated module") << "--sim" << "sim";
    // Two ports of one device server never share a name.
    QTest::newRow("device server port") << "rfc2217://10.0.0.7:4001" << "rfc2217-10.0.0.7-4001";
    QTest::newRow("IPv6 over TLS") << "rfc2217+tls://[::1]:4002" << "rfc2217-tls--1-4002";
    QTest::newRow("accents keep their letters") << "/home/t/Zuidbroek café.kvr" << "Zuidbroek-cafe";
    // A file name of 200 characters would make a backup name longer than
    // file systems take, and the backup would fail.
    QTest::newRow("long file name") << "/home/t/" + QString(200, u'k') + ".kvr" << QString(kMaxBackupSubject, u'k');
    QTest::newRow("nothing left") << "/home/t/???.kvr" << "module";
}

void TestSettingsFile::backupNames()
{
    QFETCH(QString, deviceOrFile);
    QFETCH(QString, subject);
    QCOMPARE(backupSubject(deviceOrFile), subject);
}

void TestSettingsFile::backupsOfOneSecondNewestFirst()
{
    QTemporaryDir dir;
    const QDateTime now(QDate(2026, 12, 9), QTime(12, 0));
    // Kept in one batch, as a fleet keeps them.
    QList<RecordToKeep> records;
    for (int n = 0; n < 11; ++n) {
        ModuleSettings settings = exampleSettings();
        settings.aliases[1] = QStringLiteral("RUN %1").arg(n);
        BackupToKeep backup;
        backup.settings = settings;
        backup.subject = "ttyUSB0";
        backup.what = kReadBackup;
        backup.when = now;
        LogEntry entry;
        entry.time = now;
        entry.operation = "read";
        records.append({entry, {backup}});
    }
    QStringList written;
    for (const RecordKept &kept : keepRecords(dir.path(), records)) {
        QVERIFY2(kept.problems.isEmpty(), qPrintable(kept.problems.value(0).english));
        written.prepend(kept.backup);
    }
    QStringList listed;
    for (const BackupFile &backup : listBackups(dir.path()))
        listed.append(backup.path);
    QCOMPARE(listed, written);
}

#include "tst_settingsfile.moc"
