// The " Bestand " commands in the window: save, open and print through the
// scripted dialogs, with their boxes, and the window left alone whenever a
// file cannot be loaded; and what each operation of the window leaves in
// the data folder: its log line and its backups.

#include "files/filemessages.h"
#include "files/backups.h"
#include "files/operationlog.h"
#include "files/settingsfile.h"
#include "link/frames.h"
#include "link/moduledump.h"
#include "link/programmingsession.h"
#include "readback/readbacksession.h"
#include "support/fixtures.h"
#include "support/windowharness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMimeData>
#include <QProcess>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const char *const kStandardBoxes[] = {"Chk_Standaard_Timers", "Chk_LCD_Standaard_Tekst", "Chk_Standaard_Koppeltekst"};

QString wrongProductBox(const char *product)
{
    return QStringLiteral("         Bestand is niet geschikt voor de KVR7314           \r\n")
        + QString(60, ' ') + QStringLiteral("\r\n")
        + QStringLiteral("   Het bestand dat u probeert te laden is voor de %1.  \r\n").arg(product)
        + QStringLiteral("Gebruik voor dit programma bestanden met de extensie *.KVR  \r\n")
        + QString(60, ' ');
}

QString nothingLoadedBox()
{
    return QStringLiteral("                     Er is geen bestand geladen            \r\n")
        + QString(59, ' ') + QStringLiteral("\r\n")
        + QStringLiteral("   Mogelijk probeert u een verkeerd bestandtype te laden.  \r\n")
        + QStringLiteral("Gebruik voor dit programma bestanden met de extensie *.KVR \r\n")
        + QString(59, ' ');
}

// A full set of values unlike the start-up ones.
ModuleSettings richSettings()
{
    ModuleSettings s;
    s.receiverType = ReceiverType::Flex;
    setAliases(s, QStringLiteral(" Post %1 "));
    s.aliases[2] = QStringLiteral("Caf\u00e9 \u20ac");
    s.aliases[15] = QStringLiteral("1234567890123456789012345");
    s.couplingText = QStringLiteral(" >>> ");
    s.idleText = QStringLiteral("  GEEN MELDING  ");
    setCodes(s, "181", "183", "176", "199");
    setTimers(s, {"5", "30", "600", "9999", "1"});
    return s;
}

ModuleSettings otherSettings()
{
    ModuleSettings s = startupSettings();
    s.receiverType = ReceiverType::Pocsag;
    setAliases(s, QStringLiteral("oud %1"));
    s.couplingText = QStringLiteral("oud");
    s.idleText = QStringLiteral("oud");
    s.aliasColour = QStringLiteral("176");
    s.scrollSpeed = QStringLiteral("195");
    s.relayTime = QStringLiteral("77");
    s.firmwareVersion = QStringLiteral("3.10");
    return s;
}

} // namespace

class TestFilesWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void saveThenOpenRestoresEveryField_data();
    void saveThenOpenRestoresEveryField();
    void savedFileBytes();
    void dialogSetupsAndCarriedName();
    void buttonsRunTheCommands();
    void cancelsAreSilent();
    void saveFailures_data();
    void saveFailures();
    void failedOpensLeaveTheWindow_data();
    void failedOpensLeaveTheWindow();
    void boxTextWidths();
    void openKeepsVersionAndStandardBoxes();
    void pocsagFileSwitchesTheLayout();
    void unknownColourKeepsTheChoice();
    void printCancelled();
    void printsTheShownSettings();
    void printerFailure();
    void droppedFileOpens_data();
    void droppedFileOpens();
    void fileGivenAtTheStartOpens_data();
    void fileGivenAtTheStartOpens();
    void everyOperationLeavesItsRecord_data();
    void everyOperationLeavesItsRecord();

private:
    template <typename T>
    T *child(const char *name) const { return m_h->child<T>(QString::fromLatin1(name)); }
    // Everything an open must not touch when it fails.
    struct Snapshot {
        ModuleSettings settings;
        QList<bool> standardBoxes;
        bool versionShown;
        bool alias8Shown;
        bool operator==(const Snapshot &) const = default;
    };
    Snapshot snapshot() const;
    QString save(const QString &name);
    void open(const QString &path);

    std::unique_ptr<WindowHarness> m_h;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_data;   // the data folder: backups and log
};

void TestFilesWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_data = std::make_unique<QTemporaryDir>();
    qputenv("KVR7314_DATA_DIR", QFile::encodeName(m_data->path()));
    m_h = std::make_unique<WindowHarness>();
}

void TestFilesWindow::cleanup()
{
    m_h.reset();
    m_dir.reset();
    m_data.reset();
}

TestFilesWindow::Snapshot TestFilesWindow::snapshot() const
{
    Snapshot s{m_h->window->settings(), {}, !child<QLineEdit>("Txt_Versie")->isHidden(),
               !child<QLineEdit>("Txt_Alias08")->isHidden()};
    for (const char *name : kStandardBoxes)
        s.standardBoxes << child<QCheckBox>(name)->isChecked();
    return s;
}

// Saves under `name` in the test folder; returns the full path.
QString TestFilesWindow::save(const QString &name)
{
    const QString path = m_dir->filePath(name);
    m_h->prompts.fileAnswers = {path};
    m_h->window->saveSettings();
    return path;
}

void TestFilesWindow::open(const QString &path)
{
    m_h->prompts.fileAnswers = {path};
    m_h->window->openSettings();
}

void TestFilesWindow::saveThenOpenRestoresEveryField_data()
{
    QTest::addColumn<ModuleSettings>("saved");
    QTest::newRow("FLEX, every field") << richSettings();
    ModuleSettings pocsag = richSettings();
    pocsag.receiverType = ReceiverType::Pocsag;
    QTest::newRow("POCSAG keeps all sixteen aliases") << pocsag;
    for (const QString &t : {QString(), QStringLiteral("7"), QStringLiteral("42"), QStringLiteral("350"),
                             QStringLiteral("1000")}) {
        ModuleSettings timers = richSettings();
        for (QString ModuleSettings::*timer : kTimers)
            timers.*timer = t;
        QTest::newRow(qPrintable(QStringLiteral("timers of %1 digits").arg(t.size()))) << timers;
    }
}

void TestFilesWindow::saveThenOpenRestoresEveryField()
{
    QFETCH(ModuleSettings, saved);
    m_h->window->showSettings(saved);
    QCOMPARE(m_h->window->settings(), saved);
    const QString path = save(QStringLiteral("alles.kvr"));

    m_h->window->showSettings(otherSettings());
    open(path);
    QVERIFY(m_h->prompts.boxes.isEmpty());
    ModuleSettings expected = saved;
    expected.firmwareVersion = otherSettings().firmwareVersion;
    QCOMPARE(m_h->window->settings(), expected);
}

void TestFilesWindow::savedFileBytes()
{
    m_h->window->showSettings(richSettings());
    // The month name is the one of the start; day, year and time are the save's.
    m_h->clock.moment = QDateTime(QDate(2007, 1, 5), QTime(8, 0, 7));
    const QString path = save(QStringLiteral("kazerne.kvr"));
    QVERIFY(m_h->prompts.boxes.isEmpty());

    const QByteArray bytes = readFile(path);
    QCOMPARE(bytes, settingsFileBytes(richSettings(), QStringLiteral("1.09"), QStringLiteral(" november "),
                                      m_h->clock.moment, path));
    QVERIFY(bytes.contains("\r\nBestand gemaakt op : 05 november 2007 | 08:00:07\r\n"));
    QVERIFY(bytes.contains("\r\nBestandsnaam       : " + QFile::encodeName(path) + "\r\n"));
}

void TestFilesWindow::dialogSetupsAndCarriedName()
{
    const QString first = m_dir->filePath("een.kvr");
    const QString second = m_dir->filePath("twee");
    m_h->prompts.fileAnswers = {first, std::nullopt, second, std::nullopt, std::nullopt};
    m_h->window->saveSettings();   // saves "een.kvr"
    m_h->window->saveSettings();   // cancelled: the name stays
    m_h->window->openSettings();   // opens "twee" (a file that is not there)
    m_h->window->saveSettings();   // cancelled
    m_h->window->openSettings();   // cancelled: the name becomes "*.kvr"
    m_h->prompts.fileAnswers = {std::nullopt};
    m_h->window->saveSettings();

    const QList<RecordedDialog> &d = m_h->prompts.dialogs;
    QCOMPARE(d.size(), 6);
    const QList<RecordedDialog::Kind> kinds = {RecordedDialog::Save, RecordedDialog::Save, RecordedDialog::Open,
                                               RecordedDialog::Save, RecordedDialog::Open, RecordedDialog::Save};
    const QStringList names = {"", first, "*.kvr", second, "*.kvr", "*.kvr"};
    for (int i = 0; i < d.size(); ++i) {
        QCOMPARE(d[i].kind, kinds[i]);
        QCOMPARE(d[i].setup.fileName, names[i]);
        const bool opening = kinds[i] == RecordedDialog::Open;
        QCOMPARE(d[i].setup.mustExist, opening);
        QCOMPARE(d[i].setup.filter, opening ? QStringLiteral("KVR 7314 bestand (*.KVR)|*.kvr | Alle bestanden (*.*)|*.*")
                                            : QStringLiteral("KVR 7314 databestand|*.kvr| Alle bestanden (*.*)|*.*"));
    }
    // Only the open of a missing file said something.
    QCOMPARE(m_h->prompts.boxes.size(), 1);
    QCOMPARE(m_h->prompts.boxes[0].title, QStringLiteral("Er is geen bestand geladen . . ."));
}

void TestFilesWindow::buttonsRunTheCommands()
{
    m_h->prompts.printAnswer = [](QPrinter &) { return false; };
    for (const char *name : {"CmdSave", "CmdOpen", "CmdPrint"})
        QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton);
    QCOMPARE(m_h->prompts.dialogs.size(), 3);
    QCOMPARE(m_h->prompts.dialogs[0].kind, RecordedDialog::Save);
    QCOMPARE(m_h->prompts.dialogs[1].kind, RecordedDialog::Open);
    QCOMPARE(m_h->prompts.dialogs[2].kind, RecordedDialog::Print);
}

void TestFilesWindow::cancelsAreSilent()
{
    m_h->window->showSettings(richSettings());
    const Snapshot before = snapshot();
    m_h->prompts.fileAnswers = {std::nullopt, QString(), std::nullopt};
    m_h->window->saveSettings();
    m_h->window->saveSettings();   // an empty name is no choice
    m_h->window->openSettings();
    QVERIFY(m_h->prompts.boxes.isEmpty());
    QCOMPARE(m_h->prompts.dialogs.size(), 3);
    QVERIFY(snapshot() == before);
    QVERIFY(QDir(m_dir->path()).isEmpty());
}

void TestFilesWindow::saveFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("folder does not exist") << "geen-map/kazerne.kvr";
    QTest::newRow("name of a folder") << "map";
}

void TestFilesWindow::saveFailures()
{
    QFETCH(QString, name);
    QVERIFY(QDir(m_dir->path()).mkdir("map"));
    m_h->window->showSettings(richSettings());
    const Snapshot before = snapshot();
    save(name);
    QCOMPARE(m_h->prompts.boxes.size(), 1);
    QCOMPARE(m_h->prompts.boxes[0].title, kDefaultBoxTitle);
    QCOMPARE(m_h->prompts.boxes[0].icon, BoxIcon::None);
    QCOMPARE(m_h->prompts.boxes[0].text, QStringLiteral("Onverwachte fout. Er is geen bestand opgeslagen!"));
    QVERIFY(snapshot() == before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"map"});
}

void TestFilesWindow::failedOpensLeaveTheWindow_data()
{
    QTest::addColumn<QByteArray>("bytes");   // written to the file; "<none>" opens a missing file
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    const QString wrongTitle = QStringLiteral("Verkeerd bestandstype . . .");
    const QString failedTitle = QStringLiteral("Er is geen bestand geladen . . .");
    const QByteArray header = "KVR7314 - INSTELLINGEN\r\n======================\r\n \r\n";
    const auto sibling = [&](const char *marker) { return header + marker + kExampleLine.mid(10) + "\r\n"; };

    QTest::newRow("KSQ POCSAG") << sibling("ksqPocData") << wrongTitle << wrongProductBox("KSQ7314");
    QTest::newRow("KSQ FLEX") << sibling("ksqFlxData") << wrongTitle << wrongProductBox("KSQ7314");
    QTest::newRow("KDW POCSAG") << sibling("kdwPocData") << wrongTitle << wrongProductBox("KDW7314");
    QTest::newRow("KDW FLEX") << sibling("kdwFlxData") << wrongTitle << wrongProductBox("KDW7314");

    QTest::newRow("empty file") << QByteArray() << failedTitle << nothingLoadedBox();
    QByteArray binary;
    for (int i = 0; i < 2000; ++i)
        binary.append(char(i * 31 % 256));
    QTest::newRow("binary file") << binary << failedTitle << nothingLoadedBox();
    QTest::newRow("text file") << QByteArray("Dit is geen instellingenbestand.\r\n") << failedTitle << nothingLoadedBox();
    QTest::newRow("empty line after the data line") << header + kExampleLine + "\r\n\r\n" << failedTitle
                                                    << nothingLoadedBox();
    QTest::newRow("sibling file lacking a key")
        << sibling("kdwFlxData").replace("SNELHEID:", "SNELHEID") << failedTitle << nothingLoadedBox();
    // Fails only after the receiver and the first values were taken.
    QTest::newRow("negative length half-way")
        << QByteArray(kExampleLine).replace("TIJD_RELAIS:10", "TIJD_RELAIS:1TIJD_WISLCD:") + "\r\n"
        << failedTitle << nothingLoadedBox();
    QTest::newRow("data line of 40 000 characters, keys late")
        << QByteArray(kExampleLine).replace("++", QByteArray(40000 - kExampleLine.size(), '+')) + "\r\n"
        << failedTitle << nothingLoadedBox();
    QTest::newRow("missing file") << QByteArray("<none>") << failedTitle << nothingLoadedBox();
    QTest::newRow("folder") << QByteArray("<folder>") << failedTitle << nothingLoadedBox();
}

void TestFilesWindow::failedOpensLeaveTheWindow()
{
    QFETCH(QByteArray, bytes);
    QString path = m_dir->filePath("fout.kvr");
    if (bytes == "<folder>") {
        QVERIFY(QDir(m_dir->path()).mkdir("fout.kvr"));
    } else if (bytes != "<none>") {
        writeFile(path, bytes);
    }

    // A POCSAG window with every "standaard" box on: a file that would load
    // switches it to FLEX and changes every text.
    m_h->window->showSettings(otherSettings());
    for (const char *name : kStandardBoxes)
        child<QCheckBox>(name)->setChecked(true);
    const Snapshot before = snapshot();
    Snapshot duringBox{};
    m_h->prompts.onBox = [&](const RecordedBox &) { duringBox = snapshot(); };

    open(path);
    QCOMPARE(m_h->prompts.boxes.size(), 1);
    QTEST(m_h->prompts.boxes[0].title, "title");
    QCOMPARE(m_h->prompts.boxes[0].icon, BoxIcon::Information);
    QTEST(m_h->prompts.boxes[0].text, "text");
    QVERIFY(duringBox == before);
    QVERIFY(snapshot() == before);
}

void TestFilesWindow::boxTextWidths()
{
    for (SiblingProduct product : {SiblingProduct::KSQ7314, SiblingProduct::KDW7314}) {
        const QStringList lines = wrongProductText(product).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 5);
        for (const QString &line : lines) {
            QCOMPARE(line.size(), 60);
            QVERIFY(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));
        }
    }
    const QStringList lines = nothingLoadedText().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 5);
    for (const QString &line : lines) {
        QCOMPARE(line.size(), 59);
        QVERIFY(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));
    }
}

void TestFilesWindow::openKeepsVersionAndStandardBoxes()
{
    m_h->window->showSettings(richSettings());
    const QString path = save(QStringLiteral("kazerne.kvr"));

    ModuleSettings shown = otherSettings();
    shown.receiverType = ReceiverType::Flex;
    shown.firmwareVersion = QStringLiteral("2.05");
    m_h->window->showSettings(shown);
    for (const char *name : kStandardBoxes)
        child<QCheckBox>(name)->setChecked(true);
    const bool labelShown = !child<QLabel>("lbl_Versie")->isHidden();

    open(path);
    QVERIFY(m_h->prompts.boxes.isEmpty());
    QCOMPARE(child<QLineEdit>("Txt_Versie")->text(), QStringLiteral("2.05"));
    QCOMPARE(!child<QLabel>("lbl_Versie")->isHidden(), labelShown);
    for (const char *name : kStandardBoxes)
        QVERIFY2(child<QCheckBox>(name)->isChecked(), name);
    QCOMPARE(child<QLineEdit>("Txt_Koppeltekst")->text(), richSettings().couplingText);
    QCOMPARE(child<QLineEdit>("Timer_RelaisTijd")->text(), richSettings().relayTime);

    // Saving again writes the version the window still shows.
    const QString again = save(QStringLiteral("opnieuw.kvr"));
    QVERIFY(readFile(again).contains("\r\nVersie KVR firmware: 2.05\r\n"));
}

void TestFilesWindow::pocsagFileSwitchesTheLayout()
{
    ModuleSettings pocsag = richSettings();
    pocsag.receiverType = ReceiverType::Pocsag;
    m_h->window->showSettings(pocsag);
    const QString path = save(QStringLiteral("pocsag.kvr"));

    m_h->window->showSettings(startupSettings());
    QVERIFY(child<QCheckBox>("ChkOntvanger_Flex")->isChecked());
    QString alias1WhenSwitched;
    connect(child<QCheckBox>("ChkOntvanger_Pocsag"), &QCheckBox::toggled, this, [&](bool on) {
        if (on)
            alias1WhenSwitched = child<QLineEdit>("Txt_Alias01")->text();
    });
    open(path);
    QVERIFY(child<QCheckBox>("ChkOntvanger_Pocsag")->isChecked());
    QVERIFY(!child<QCheckBox>("ChkOntvanger_Flex")->isChecked());
    QVERIFY(child<QLineEdit>("Txt_Alias08")->isHidden());
    QCOMPARE(child<QLineEdit>("Txt_Alias08")->text(), pocsag.aliases[7]);
    // The layout switched before the texts arrived.
    QCOMPARE(alias1WhenSwitched, QString());
}

void TestFilesWindow::unknownColourKeepsTheChoice()
{
    const QString path = m_dir->filePath("kleur.kvr");
    writeFile(path, QByteArray(kExampleLine).replace("KLEUR_ALIAS:183", "KLEUR_ALIAS:999") + "\r\n");

    m_h->window->showSettings(otherSettings());
    open(path);
    QVERIFY(m_h->prompts.boxes.isEmpty());
    const ModuleSettings s = m_h->window->settings();
    QCOMPARE(s.aliasColour, otherSettings().aliasColour);
    QCOMPARE(s.couplingColour, QStringLiteral("176"));
    QCOMPARE(s.scrollSpeed, QStringLiteral("192"));
    QCOMPARE(s.aliases[0], QStringLiteral("Kazerne"));
    QCOMPARE(s.receiverType, ReceiverType::Flex);
}

void TestFilesWindow::printCancelled()
{
    m_h->prompts.printAnswer = [](QPrinter &) { return false; };
    m_h->window->printReport();
    QCOMPARE(m_h->prompts.dialogs.size(), 1);
    QCOMPARE(m_h->prompts.dialogs[0].kind, RecordedDialog::Print);
    QCOMPARE(m_h->prompts.boxes.size(), 1);
    QCOMPARE(m_h->prompts.boxes[0].title, kDefaultBoxTitle);
    QCOMPARE(m_h->prompts.boxes[0].icon, BoxIcon::None);
    QCOMPARE(m_h->prompts.boxes[0].text, QStringLiteral("de printopdracht is geannuleerd"));
}

void TestFilesWindow::printsTheShownSettings()
{
    ModuleSettings pocsag = richSettings();
    pocsag.receiverType = ReceiverType::Pocsag;
    m_h->window->showSettings(pocsag);
    const QString pdf = m_dir->filePath("rapport.pdf");
    m_h->prompts.printAnswer = [&](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    };
    m_h->window->printReport();
    QVERIFY(m_h->prompts.boxes.isEmpty());

    const QString text = pdfText(pdf);
    for (const char *expected : {"KVR7314 - INSTELLINGEN", "Bestand gemaakt op : 12 november 2006 | 14:05:09",
                                 "Type ontvanger : POCSAG (RXM4P)", "Alias 07: Post 7",
                                 "Kleur van de alias : Geel", "Loopsnelheid lichtkrant : 1",
                                 "Tijd Scrollen regel 3 en 4 : 1 mSec"})
        QVERIFY2(text.contains(QLatin1String(expected)), qPrintable(QStringLiteral("%1 in: %2").arg(expected, text)));
    QVERIFY2(!text.contains(QLatin1String("Alias 08")), qPrintable(text));
}

void TestFilesWindow::printerFailure()
{
    m_h->prompts.printAnswer = [&](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_dir->filePath("geen-map/rapport.pdf"));
        return true;
    };
    m_h->window->printReport();
    QCOMPARE(m_h->prompts.boxes.size(), 1);
    QCOMPARE(m_h->prompts.boxes[0].title, kDefaultBoxTitle);
    QCOMPARE(m_h->prompts.boxes[0].icon, BoxIcon::None);
    QVERIFY2(m_h->prompts.boxes[0].text.startsWith(QLatin1String("Unexpected error. Err 482 : ")),
             qPrintable(m_h->prompts.boxes[0].text));
}

QTEST_MAIN(TestFilesWindow)
void TestFilesWindow::droppedFileOpens_data()
{
    QTest::addColumn<QStringList>("names");   // dropped together
    QTest::addColumn<bool>("opens");
    QTest::newRow("one .kvr file") << QStringList{"kazerne.kvr"} << true;
    QTest::newRow("in capitals") << QStringList{"KAZERNE.KVR"} << true;
    QTest::newRow("two files") << QStringList{"kazerne.kvr", "post.kvr"} << false;
    QTest::newRow("another kind of file") << QStringList{"kazerne.txt"} << false;
}

void TestFilesWindow::droppedFileOpens()
{
    QFETCH(QStringList, names);
    QFETCH(bool, opens);
    QList<QUrl> urls;
    for (const QString &name : names) {
        QVERIFY(writeSettingsFile(m_dir->filePath(name), richSettings(), kProgramVersion, " mei ", m_h->clock.moment));
        urls.append(QUrl::fromLocalFile(m_dir->filePath(name)));
    }
    const ModuleSettings before = m_h->window->settings();
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_h->window.get(), &enter);
    QCOMPARE(enter.isAccepted(), opens);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_h->window.get(), &drop);
    QVERIFY(m_h->prompts.boxes.isEmpty());
    QCOMPARE(m_h->window->settings(), opens ? richSettings() : before);
}

void TestFilesWindow::fileGivenAtTheStartOpens_data()
{
    QTest::addColumn<QByteArray>("marker");
    QTest::addColumn<bool>("opens");
    QTest::newRow("a KVR7314 file") << QByteArray("kvrFlxData") << true;
    QTest::newRow("a KSQ7314 file is refused, as by openen") << QByteArray("ksqFlxData") << false;
}

void TestFilesWindow::fileGivenAtTheStartOpens()
{
    QFETCH(QByteArray, marker);
    QFETCH(bool, opens);
    // The program itself, as a file manager starts it; its log says what
    // became of the file.
    const QString file = m_dir->filePath("dubbelklik.kvr");
    writeFile(file, settingsFileBytes(richSettings(), kProgramVersion, " mei ", m_h->clock.moment, file)
                        .replace("kvrFlxData", marker));
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(QCoreApplication::applicationDirPath() + "/../app/kvr7314", {file});
    const QString log = logPath(m_data->path());
    QTRY_VERIFY_WITH_TIMEOUT(!readLog(log).isEmpty(), 10000);
    program.kill();
    program.waitForFinished();
    const LogEntry opened = readLog(log).constFirst();
    QCOMPARE(opened.operation, QString("open"));
    QCOMPARE(opened.file, file);
    QCOMPARE(opened.ok, opens);
}

namespace {

enum class Command { Open, SaveNew, SaveOver, ReadAsOpened, ReadAfterEdit, Write, WriteCut, TestCall, NoNetwork,
                       RefusedWrite, RefusedHiddenWrite, RefusedTestCall };

// The kind of backup a path names ("gelezen"), or empty for none.
QString whatOf(const QString &backup)
{
    if (backup.isEmpty())
        return {};
    const QList<BackupFile> all = listBackups(QFileInfo(backup).path());
    for (const BackupFile &b : all) {
        if (b.path == backup)
            return b.what;
    }
    return QStringLiteral("(not a backup)");
}

ModuleSettings settingsIn(const QString &path)
{
    const SettingsFileOutcome outcome = readSettingsFile(path);
    return applyUpdate(startupSettings(), outcome.update);
}

} // namespace

Q_DECLARE_METATYPE(Command)

void TestFilesWindow::everyOperationLeavesItsRecord_data()
{
    QTest::addColumn<Command>("operation");
    QTest::addColumn<QString>("logged");     // the last line's operation; empty: no line
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("stepsSent");
    QTest::addColumn<QString>("backup");     // the kind of backup it left
    QTest::addColumn<QString>("replaced");   // the kind of backup of what it replaced
    QTest::addColumn<int>("boxes");
    QTest::addColumn<QString>("says");       // in the last box

    QTest::newRow("open") << Command::Open << "open" << true << 0 << "" << "" << 0 << "";
    QTest::newRow("save as a new file") << Command::SaveNew << "save" << true << 0 << "" << "" << 0 << "";
    QTest::newRow("save over a file keeps it")
        << Command::SaveOver << "save" << true << 0 << "" << "vervangen" << 0 << "";
    QTest::newRow("read over the values opened")
        << Command::ReadAsOpened << "read" << true << 0 << "gelezen" << "" << 1 << "ingelezen";
    QTest::newRow("read over edited values keeps them")
        << Command::ReadAfterEdit << "read" << true << 0 << "gelezen" << "voor-lezen" << 1 << "ingelezen";
    QTest::newRow("write") << Command::Write << "write" << true << 26 << "geschreven" << "" << 1 << "geprogrammeerd";
    QTest::newRow("write cut at step 5")
        << Command::WriteCut << "write" << false << 4 << "deels-geschreven" << "" << 1 << "schrijven";
    QTest::newRow("test call") << Command::TestCall << "test-call" << true << 0 << "" << "" << 0 << "";
    QTest::newRow("no-network notice") << Command::NoNetwork << "no-network" << true << 0 << "" << "" << 0 << "";
    // A text with a label of the dump would leave a module that cannot be
    // read back: nothing is sent, and a box says why.
    QTest::newRow("write of a text with a dump label") << Command::RefusedWrite << "" << false << 0 << "" << "" << 1
                                                       << "Alias 3 bevat \"TIMER1:\", een sleutel van de KVR7314";
    // Alias 12 is sent under POCSAG too, but only the FLEX layout shows it.
    QTest::newRow("write of a dump label in an alias POCSAG hides")
        << Command::RefusedHiddenWrite << "" << false << 0 << "" << "" << 1
        << "Alias 12 staat alleen in de FLEX-indeling: kies FLEX om de tekst aan te passen.";
    // A typed 99 would ask for the dump; only capcodes and RI-codes go out.
    QTest::newRow("test call to code 99") << Command::RefusedTestCall << "" << false << 0 << "" << "" << 1
                                          << "capcode 1 t/m 16 (FLEX) of RI-code 1D t/m 7D";
}

void TestFilesWindow::everyOperationLeavesItsRecord()
{
    QFETCH(Command, operation);
    QFETCH(QString, logged);
    QFETCH(bool, ok);
    QFETCH(int, stepsSent);
    QFETCH(QString, backup);
    QFETCH(QString, replaced);
    QFETCH(int, boxes);
    QFETCH(QString, says);

    MainWindow &w = *m_h->window;
    const QString file = m_dir->filePath("kazerne.kvr");
    QVERIFY(writeSettingsFile(file, otherSettings(), kProgramVersion, " mei ", m_h->clock.moment));
    open(file);
    const qsizetype linesBefore = readLog(logPath(m_data->path())).size();
    const ModuleSettings module = richSettings();
    ModuleSettings before = w.settings();   // what a read replaces

    switch (operation) {
    case Command::Open:
        m_h->window->showSettings(richSettings());
        open(file);
        break;
    case Command::SaveNew:
        save(QStringLiteral("nieuw.kvr"));
        break;
    case Command::SaveOver:
        w.showSettings(richSettings());
        save(QStringLiteral("kazerne.kvr"));
        break;
    case Command::ReadAfterEdit:
        child<QLineEdit>("Txt_Alias03")->setText(QStringLiteral("net getypt"));
        before = w.settings();
        [[fallthrough]];
    case Command::ReadAsOpened:
        w.startReadBack();
        m_h->line->arrive(moduleDump(settingsAsSent(module), QStringLiteral("1.30")));
        while (!m_h->line->incoming.isEmpty())
            w.readBackSession().pollReceive();
        w.readBackSession().finishReadBack();
        break;
    case Command::WriteCut:
        m_h->line->failOnWrite = 5;
        [[fallthrough]];
    case Command::Write:
        w.startProgramming();
        for (int tick = 0; tick < 54 && w.isBusy(); ++tick) {
            w.programmingSession().programmingTick();
            QCoreApplication::processEvents();
        }
        break;
    case Command::TestCall:
        w.sendTestCall();
        break;
    case Command::NoNetwork:
        w.sendNoNetworkNotice();
        break;
    case Command::RefusedWrite:
        child<QLineEdit>("Txt_Alias03")->setText(QStringLiteral("Post TIMER1:"));
        w.startProgramming();
        break;
    case Command::RefusedHiddenWrite:
        child<QLineEdit>("Txt_Alias12")->setText(QStringLiteral("Post TIMER1:"));
        child<QCheckBox>("ChkOntvanger_Pocsag")->click();
        w.startProgramming();
        break;
    case Command::RefusedTestCall:
        child<QComboBox>("CbxCapcode")->setCurrentText(QStringLiteral("99"));
        child<QComboBox>("CbxRIC")->setCurrentText(QStringLiteral("99"));
        w.sendTestCall();
        break;
    }
    // A test call's line is written once its frame has had time to leave.
    if (operation == Command::TestCall || operation == Command::NoNetwork)
        QTest::qWait(kSingleFrameWaitMs + 50);

    QCOMPARE(m_h->prompts.boxes.size(), boxes);
    if (boxes > 0)
        QVERIFY2(m_h->prompts.boxes.last().text.contains(says), qPrintable(m_h->prompts.boxes.last().text));
    const QList<LogEntry> log = readLog(logPath(m_data->path()));
    if (logged.isEmpty()) {
        QCOMPARE(log.size(), linesBefore);
        QVERIFY(m_h->line->written.isEmpty());
        return;
    }
    QCOMPARE(log.size(), linesBefore + 1);
    const LogEntry &e = log.last();
    QCOMPARE(e.operation, logged);
    QCOMPARE(e.ok, ok);
    QCOMPARE(e.program, QCoreApplication::applicationName());
    QCOMPARE(e.version, kProgramVersion);
    QCOMPARE(e.stepsSent, stepsSent);
    QCOMPARE(whatOf(e.backup), backup);
    QCOMPARE(whatOf(e.replaced), replaced);
    // An operation on the module names its port, and so do its backups.
    if (logged != u"open" && logged != u"save") {
        QCOMPARE(e.port, fakeDevice(1));
        for (const QString &kept : {e.backup, e.replaced}) {
            if (!kept.isEmpty())
                QVERIFY2(QFileInfo(kept).fileName().contains(u'_' + backupSubject(e.port) + u'_'), qPrintable(kept));
        }
    }
    // Each backup opens into the values it kept.
    if (!e.backup.isEmpty()) {
        ModuleSettings now = w.settings();
        now.firmwareVersion.clear();   // a file carries no version on its data line
        ModuleSettings kept = settingsIn(e.backup);
        QCOMPARE(kept, now);
    }
    if (replaced == u"voor-lezen")
        QCOMPARE(settingsIn(e.replaced).aliases, before.aliases);
    if (replaced == u"vervangen")
        QCOMPARE(settingsIn(e.replaced).aliases, otherSettings().aliases);
}

#include "tst_files_window.moc"
