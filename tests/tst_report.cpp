// The printed report: its lines as values, and what a real printer (a PDF
// file) gets from them.

#include "files/report.h"
#include "support/fixtures.h"

#include <QPrinter>
#include <QStandardPaths>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QDateTime kPrintedAt(QDate(2006, 11, 12), QTime(14, 5, 9));

ModuleSettings flexSettings()
{
    ModuleSettings s = startupSettings();
    s.aliases[0] = QStringLiteral("Kazerne");
    s.aliases[15] = QStringLiteral("  laatste  ");
    s.couplingText = QStringLiteral(" >>> ");
    s.idleText = QStringLiteral("GEEN MELDING");
    setCodes(s, "181", "183", "176", "195");
    setTimers(s, {"10", "30", "60", "9999", "350"});
    s.firmwareVersion = QStringLiteral("2.05");
    return s;
}

QStringList texts(const QList<ReportLine> &lines)
{
    QStringList result;
    for (const ReportLine &line : lines)
        result << line.text;
    return result;
}

// Height of the first word `word` in the PDF's word boxes, in points.
double wordHeight(const QString &pdf, const QString &word)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(20000))
        return -1;
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    const QRegularExpression box(QStringLiteral(
        R"re(<word xMin="[\d.]+" yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">%1</word>)re")
        .arg(QRegularExpression::escape(word)));
    const QRegularExpressionMatch m = box.match(html);
    return m.hasMatch() ? m.captured(2).toDouble() - m.captured(1).toDouble() : -1;
}

std::unique_ptr<QPrinter> pdfPrinter(const QString &path)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    return printer;
}

} // namespace

class TestReport : public QObject {
    Q_OBJECT
private slots:
    void flexReport();
    void lineCountsAndPlaces_data();
    void lineCountsAndPlaces();
    void codeWords_data();
    void codeWords();
    void printsToPdf();
    void fullPagesContinueOnTheNext();
    void printerFailure();
};

void TestReport::flexReport()
{
    const QList<ReportLine> lines = reportLines(flexSettings(), QStringLiteral("1.09"), QStringLiteral(" november "),
                                                kPrintedAt);
    QStringList expected = {
        " ",
        " ",
        "   KVR7314 - INSTELLINGEN",
        " ",
        "    Bestand gemaakt op : 12 november 2006 | 14:05:09",
        "    Versie prg software : 1.09",
        "    Type ontvanger : FLEX (RXM4F)",
        "    Versie KVR firmware : 2.05",
        " ",
        "    Alias 01: Kazerne",
    };
    for (int i = 2; i <= 15; ++i)
        expected << QStringLiteral("    Alias %1: ").arg(i, 2, 10, QLatin1Char('0'));
    expected << "    Alias 16:   laatste  "
             << " "
             << "    Koppeltekst :  >>> "
             << "    Tekst LCD in rust: GEEN MELDING"
             << " "
             << "    Kleur van de alias        : Geel"
             << "    Kleur van de koppeltekst  : Groen"
             << "    Kleur van het bericht     : Rood"
             << "    Loopsnelheid lichtkrant   : 3"
             << " "
             << "    Tijd Relais : 10 seconde"
             << "    Tijd Wissen lichtkrant : 30 seconde"
             << "    Tijd Wissen LCD : 60 seconde"
             << "    Tijd Achtergrondverlichting : 9999 seconde"
             << "    Tijd Scrollen regel 3 en 4 : 350 mSec";
    QCOMPARE(texts(lines), expected);

    // The title block is large and bold, everything after it plain body text.
    for (int i = 0; i < lines.size(); ++i) {
        const bool title = i < 4;
        QCOMPARE(lines[i].pointSize, title ? 18 : 10);
        QCOMPARE(lines[i].bold, title);
    }
}

// Where the report differs by receiver type, firmware and start-up values.
void TestReport::lineCountsAndPlaces_data()
{
    QTest::addColumn<ModuleSettings>("settings");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("contains");
    QTest::addColumn<QStringList>("lacks");

    ModuleSettings pocsag = flexSettings();
    pocsag.receiverType = ReceiverType::Pocsag;
    pocsag.aliases[7] = QStringLiteral("acht");
    QTest::newRow("POCSAG prints aliases 1 to 7")
        << pocsag << 30
        << QStringList{"    Type ontvanger : POCSAG (RXM4P) ", "    Alias 07: "}
        << QStringList{"    Alias 08: acht", "    Alias 16:   laatste  "};

    QTest::newRow("start-up values")
        << startupSettings() << 39
        << QStringList{"    Versie KVR firmware: 0.00 (de data is niet vanuit een KVR ingelezen)",
                       "    Alias 03: ", "    Koppeltekst : ", "    Tekst LCD in rust: ",
                       "    Kleur van de alias        : Groen", "    Kleur van de koppeltekst  : Rood",
                       "    Kleur van het bericht     : Groen", "    Loopsnelheid lichtkrant   : 5",
                       "    Tijd Relais : 0 seconde", "    Tijd Scrollen regel 3 en 4 : 000 mSec"}
        << QStringList{"    Versie KVR firmware : "};
}

void TestReport::lineCountsAndPlaces()
{
    QFETCH(ModuleSettings, settings);
    QFETCH(QStringList, contains);
    QFETCH(QStringList, lacks);
    const QStringList lines =
        texts(reportLines(settings, QStringLiteral("1.09"), QStringLiteral(" november "), kPrintedAt));
    QTEST(int(lines.size()), "count");
    for (const QString &line : contains)
        QVERIFY2(lines.contains(line), qPrintable(line));
    for (const QString &line : lacks) {
        for (const QString &printed : lines)
            QVERIFY2(!printed.startsWith(line), qPrintable(printed));
    }
}

void TestReport::codeWords_data()
{
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QString>("colourLine");
    QTest::addColumn<QString>("speedLine");
    const QString colourLabel = QStringLiteral("    Kleur van de alias        : ");
    const QString speedLabel = QStringLiteral("    Loopsnelheid lichtkrant   : ");
    QTest::newRow("red, 1") << "176" << "199" << colourLabel + "Rood" << speedLabel + "1";
    QTest::newRow("yellow, 2") << "181" << "197" << colourLabel + "Geel" << speedLabel + "2";
    QTest::newRow("green, 4") << "183" << "193" << colourLabel + "Groen" << speedLabel + "4";
    QTest::newRow("unknown codes print nothing") << "999" << "" << colourLabel << speedLabel;
    QTest::newRow("a speed code is no colour") << "192" << "176" << colourLabel << speedLabel;
}

void TestReport::codeWords()
{
    QFETCH(QString, colour);
    QFETCH(QString, speed);
    ModuleSettings s = startupSettings();
    s.aliasColour = colour;
    s.scrollSpeed = speed;
    const QStringList lines = texts(reportLines(s, QStringLiteral("1.09"), QStringLiteral(" mei "), kPrintedAt));
    QFETCH(QString, colourLine);
    QFETCH(QString, speedLine);
    QVERIFY2(lines.contains(colourLine), qPrintable(lines.join('\n')));
    QVERIFY2(lines.contains(speedLine), qPrintable(lines.join('\n')));
}

void TestReport::printsToPdf()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("the PDF is read back with pdftotext, which this system lacks (the Windows build under wine)");
    QTemporaryDir dir;
    const QString pdf = dir.filePath("rapport.pdf");
    const QList<ReportLine> lines =
        reportLines(flexSettings(), QStringLiteral("1.09"), QStringLiteral(" november "), kPrintedAt);
    {
        auto printer = pdfPrinter(pdf);
        const auto failure = printReport(*printer, lines);
        QVERIFY2(!failure, failure ? qPrintable(printFailureText(*failure)) : "");
    }

    // Every non-blank line is on the page, in order, words spaced as printed.
    const QString text = pdfText(pdf);
    QVERIFY2(!text.contains(QLatin1Char('\f')) || text.indexOf(QLatin1Char('\f')) == text.size() - 1,
             "one page expected");
    qsizetype from = 0;
    for (const ReportLine &line : lines) {
        const QString printed = line.text.simplified();
        if (printed.isEmpty())
            continue;
        const qsizetype at = text.indexOf(printed, from);
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("missing or out of order: '%1'\n%2").arg(printed, text)));
        from = at + printed.size();
    }

    // The title is printed larger than the body (18 against 10 points).
    const double title = wordHeight(pdf, QStringLiteral("INSTELLINGEN"));
    const double body = wordHeight(pdf, QStringLiteral("Koppeltekst"));
    QVERIFY2(title > 0 && body > 0, "words not found in the PDF");
    QVERIFY2(title / body > 1.5 && title / body < 2.2, qPrintable(QStringLiteral("%1 / %2").arg(title).arg(body)));
}

void TestReport::fullPagesContinueOnTheNext()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("the PDF is read back with pdftotext, which this system lacks (the Windows build under wine)");
    QList<ReportLine> lines;
    for (int i = 1; i <= 200; ++i)
        lines.append({QStringLiteral("regel %1 eind").arg(i), kReportBodyPointSize, false});

    QTemporaryDir dir;
    const QString pdf = dir.filePath("lang.pdf");
    {
        auto printer = pdfPrinter(pdf);
        QVERIFY(!printReport(*printer, lines));
    }
    const QString text = pdfText(pdf);
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QVERIFY2(pages.size() >= 3, qPrintable(text));
    for (int i = 1; i <= 200; ++i)
        QCOMPARE(text.count(QStringLiteral("regel %1 eind").arg(i)), 1);
    // Nothing is cut off at the bottom of a page: each page ends with a whole line.
    for (const QString &page : pages)
        QVERIFY(page.trimmed().endsWith(QLatin1String("eind")));
}

void TestReport::printerFailure()
{
    QTemporaryDir dir;
    auto printer = pdfPrinter(dir.filePath("geen-map/rapport.pdf"));
    QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
    const auto failure = printReport(*printer, reportLines(startupSettings(), "1.09", " mei ", kPrintedAt));
    QVERIFY(failure.has_value());
    QVERIFY(!failure->description.isEmpty());
    QCOMPARE(printFailureText(*failure),
             QStringLiteral("Unexpected error. Err %1 : %2").arg(failure->number).arg(failure->description));
    QVERIFY(!QFile::exists(dir.filePath("geen-map/rapport.pdf")));
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
