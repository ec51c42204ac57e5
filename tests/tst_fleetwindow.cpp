// The fleet window on its demonstration modules, simulated inside this
// process: what a check shows, that a write asks first and sends nothing
// on "Nee", that it acts on the rows selected only, and the faults a
// technician runs into (a refused list, a folder that cannot be written,
// an action pressed twice, closing while modules run).

#include "fleetwindow/fleetdemo.h"
#include "fleetwindow/fleetreport.h"
#include "fleetwindow/fleettablemodel.h"
#include "fleetwindow/fleetwindow.h"
#include "link/frames.h"
#include "support/fixtures.h"
#include "support/scriptedprompts.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The demonstration's rows: Kazerne Noord, Kazerne Zuid, Post West (it
// differs), Kazerne Oost, Post Haven, Post Duin (silent).
constexpr int kDiffering = 2;
constexpr int kSilent = 5;
const QStringList kPorts{"sim:kazerne-noord", "sim:kazerne-zuid", "sim:post-west", "sim:kazerne-oost",
                         "sim:post-haven", "sim:post-duin"};

struct DemoWindow {
    DemoWindow()
    {
        FleetWindowServices services{&prompts, &questions, &clock, data.path(), demo.ports(), {}};
        window = std::make_unique<FleetWindow>(services);
        window->show();
        window->openList(demo.listPath());
    }

    QString column(int row, int column) const { return window->model()->index(row, column).data().toString(); }
    QStringList outcomes() const
    {
        QStringList words;
        for (int row = 0; row < window->model()->rowCount(); ++row)
            words.append(column(row, FleetTableModel::Outcome));
        return words;
    }
    int programmingFrames(int row)
    {
        int count = 0;
        for (const ReceivedFrame &frame : demo.module(kPorts[row])->frames())
            count += programmingStepOf(frame.code).has_value();
        return count;
    }
    bool waitForTheRun(int timeoutMs = 30000)
    {
        return QTest::qWaitFor([this] { return !window->isRunning(); }, timeoutMs);
    }
    void selectRow(int row)
    {
        auto *table = window->findChild<QTableView *>(QStringLiteral("tblModules"));
        table->selectionModel()->select(table->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    FleetDemo demo;
    QTemporaryDir data;
    ScriptedPrompts prompts;
    ScriptedFleetQuestions questions;
    FixedClock clock;
    std::unique_ptr<FleetWindow> window;
};

} // namespace

class TestFleetWindow : public QObject {
    Q_OBJECT
private slots:
    void checkShowsEachModuleAndWritesNothing();
    void updateAsksFirstAndWritesOnlyWhatDiffers();
    void actsOnTheSelectedRowsAlone();
    void refusedOrUnusableInputSendsNothing_data();
    void refusedOrUnusableInputSendsNothing();
    void closingWhileModulesRunStopsThemCleanly();
    void summaryKeptAsListAndOnePage();
};

void TestFleetWindow::checkShowsEachModuleAndWritesNothing()
{
    DemoWindow w;
    QCOMPARE(w.window->model()->rowCount(), 6);
    QCOMPARE(w.column(0, FleetTableModel::Name), QString("Kazerne Noord"));
    w.window->check();
    QVERIFY(w.waitForTheRun());
    QCOMPARE(w.outcomes(), (QStringList{"in orde", "in orde", "wijkt af", "in orde", "in orde", "mislukt"}));
    for (int row = 0; row < 6; ++row)
        QCOMPARE(w.programmingFrames(row), 0);
    QCOMPARE(w.window->findChild<QLabel *>("lblSamenvatting")->text(), QString("4 van 6 modules in orde, 1 wijkt af, 1 mislukt"));
    // What the check found, for the row selected: each field, file beside module.
    auto *table = w.window->findChild<QTableView *>("tblModules");
    table->setCurrentIndex(table->model()->index(kDiffering, 0));
    const QString details = w.window->findChild<QPlainTextEdit *>("txtBevindingen")->toPlainText();
    QVERIFY2(details.contains("Alias 5: bestand \"Duikteam\", module \"Duikploeg\""), qPrintable(details));
    QVERIFY2(details.contains("Tijd relais: bestand \"10\", module \"0030\""), qPrintable(details));
    QVERIFY(w.prompts.boxes.isEmpty());
}

void TestFleetWindow::updateAsksFirstAndWritesOnlyWhatDiffers()
{
    DemoWindow w;
    w.window->check();
    QVERIFY(w.waitForTheRun());

    // "Nee": nothing is read or written.
    w.window->update();
    QCOMPARE(w.questions.asked, QStringList{"1 module bijwerken?"});
    QVERIFY(!w.window->isRunning());

    w.questions.writeAnswers = {WriteChoice{}};
    w.window->update();
    QVERIFY(w.waitForTheRun(40000));
    QCOMPARE(w.outcomes(), (QStringList{"in orde", "in orde", "in orde", "in orde", "in orde", "mislukt"}));
    for (int row = 0; row < 6; ++row)
        QCOMPARE(w.programmingFrames(row), row == kDiffering ? kProgrammingStepCount : 0);
    QVERIFY(w.window->run()->result(kDiffering).written);
}

void TestFleetWindow::actsOnTheSelectedRowsAlone()
{
    DemoWindow w;
    w.selectRow(0);
    w.selectRow(kSilent);
    QVERIFY(w.window->findChild<QLabel *>("lblSelectie")->text().contains("de 2 geselecteerde van 6"));
    w.window->find();
    QVERIFY(w.waitForTheRun());
    QCOMPARE(w.outcomes(), (QStringList{"in orde", "", "", "", "", "mislukt"}));

    // "Opnieuw" takes the one that failed, alone.
    w.window->retry();
    QVERIFY(w.waitForTheRun());
    QCOMPARE(w.window->run()->size(), 1);
    QCOMPARE(w.window->run()->result(0).name, QString("Post Duin"));
}

void TestFleetWindow::refusedOrUnusableInputSendsNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("a list that is no fleet list") << "list";
    QTest::newRow("a file gone by the time of the run") << "file";
    QTest::newRow("a folder for Lezen that cannot be written") << "folder";
    QTest::newRow("an action pressed twice") << "twice";
}

void TestFleetWindow::refusedOrUnusableInputSendsNothing()
{
    QFETCH(QString, fault);
    DemoWindow w;
    const QString list = w.demo.listPath();
    if (fault == "list") {
        QTemporaryDir dir;
        writeFile(dir.filePath("geen-lijst.csv"), "nummer;alias\r\n1;Kazerne\r\n");
        QVERIFY(!w.window->openList(dir.filePath("geen-lijst.csv")));
        QCOMPARE(w.window->listPath(), list);   // the list shown stays
        QCOMPARE(w.window->model()->rowCount(), 6);
    } else if (fault == "file") {
        QVERIFY(QFile::remove(QFileInfo(list).dir().filePath("regio.kvr")));
        w.questions.writeAnswers = {WriteChoice{}};
        w.window->write();
    } else if (fault == "folder") {
        w.questions.folderAnswers = {QString("/proc/kvr7314-geen-map")};
        w.window->read();
    } else {
        w.questions.writeAnswers = {WriteChoice{}, WriteChoice{}};
        w.window->write();
        QVERIFY(w.window->isRunning());
        w.window->write();
        QCOMPARE(w.questions.asked.size(), 1);   // the second press asks nothing
        w.window->stopRun();
        QVERIFY(w.waitForTheRun());
    }
    QCOMPARE(w.prompts.boxes.size(), 1);
    QVERIFY2(!w.prompts.boxes[0].text.isEmpty(), qPrintable(w.prompts.boxes[0].details));
    for (int row = 0; row < 6; ++row) {
        if (fault != "twice")
            QCOMPARE(w.demo.module(kPorts[row])->frames().size(), 0);
    }
}

void TestFleetWindow::closingWhileModulesRunStopsThemCleanly()
{
    DemoWindow w;
    w.questions.writeAnswers = {WriteChoice{}};
    w.window->write();
    QVERIFY(QTest::qWaitFor([&w] { return w.programmingFrames(0) >= 3; }, 5000));

    // "Nee": it goes on.
    QVERIFY(!w.window->close());
    QVERIFY(w.window->isRunning());
    // "Ja": every module stops, then the window closes.
    w.questions.yesNoAnswers = {true};
    w.window->close();
    QVERIFY(w.waitForTheRun());
    QTRY_VERIFY(!w.window->isVisible());
    for (int i = 0; i < w.window->run()->size(); ++i) {
        const FleetResult &r = w.window->run()->result(i);
        QCOMPARE(r.outcome, FleetOutcome::Stopped);
        QVERIFY2(r.stepsSent < kProgrammingStepCount, qPrintable(r.name));
    }
    QCOMPARE(w.questions.asked.size(), 3);   // the write, then closing twice
}

void TestFleetWindow::summaryKeptAsListAndOnePage()
{
    DemoWindow w;
    w.window->check();
    QVERIFY(w.waitForTheRun());
    QTemporaryDir dir;
    w.prompts.fileAnswers = {dir.filePath("samenvatting.csv"), dir.filePath("rapport.pdf")};
    w.window->saveSummary();
    w.window->saveReport();
    QVERIFY(w.prompts.boxes.isEmpty());
    const QByteArray csv = readFile(dir.filePath("samenvatting.csv"));
    QVERIFY(csv.startsWith("\xEF\xBB\xBFnaam;poort;bestand;firmware;uitkomst;oorzaak\r\n"));
    QVERIFY(csv.contains("Post West;sim:post-west;regio.kvr;1.30;wijkt af;"));
    const QString text = pdfText(dir.filePath("rapport.pdf"));
    QVERIFY2(!text.contains(u'\f') || text.indexOf(u'\f') == text.size() - 1, "more than one page");
    for (const char *name : {"Kazerne Noord", "Post Duin", "wijkt af", "mislukt"})
        QVERIFY2(text.contains(QLatin1String(name)), qPrintable(text));

    // However long the list, one page.
    QList<FleetReportRow> many;
    for (int i = 0; i < 400; ++i)
        many.append({QStringLiteral("Post %1").arg(i), "COM1", "regio.kvr", "1.30", "in orde", {}});
    writeFile(dir.filePath("lang.pdf"), summaryPdf("lang.csv", QDateTime::currentDateTime(), many));
    QCOMPARE(pdfText(dir.filePath("lang.pdf")).count(u'\f'), 1);
}

QTEST_MAIN(TestFleetWindow)
#include "tst_fleetwindow.moc"
