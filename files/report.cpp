#include "files/report.h"

#include "files/safefile.h"
#include "files/settingsfile.h"
#include "settings/fieldtable.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

namespace {

// Every printer failure carries the number technicians know as "printer
// error"; the description says which step failed.
constexpr int kPrinterErrorNumber = 482;

// The report puts a blank line before each group of fields: the aliases,
// the texts, the colours and speed, the timers.
int reportGroup(const SettingsField &field)
{
    if (field.alias >= 0)
        return 0;
    if (field.kind == FieldKind::Text)
        return 1;
    return field.isChoice() ? 2 : 3;
}

} // namespace

QList<ReportLine> reportLines(const ModuleSettings &settings, const QString &programVersion,
                              const QString &monthName, const QDateTime &printedAt)
{
    QList<ReportLine> lines;
    const auto title = [&](const QString &text) { lines.append({text, kReportTitlePointSize, true}); };
    const auto body = [&](const QString &text) { lines.append({text, kReportBodyPointSize, false}); };
    const QString blank = QStringLiteral(" ");
    const QString indent = QStringLiteral("    ");
    const bool flex = settings.receiverType == ReceiverType::Flex;

    title(blank);
    title(blank);
    title(QStringLiteral("   KVR7314 - INSTELLINGEN"));
    title(blank);

    body(indent + QStringLiteral("Bestand gemaakt op : ") + savedMomentText(monthName, printedAt));
    body(indent + QStringLiteral("Versie prg software : ") + programVersion);
    body(indent + QStringLiteral("Type ontvanger : ") + receiverBoardText(settings.receiverType));
    // A known version has a space before its colon; the "none read" line has not.
    body(settings.firmwareVersion.isEmpty() ? indent + QStringLiteral("Versie KVR firmware: ") + kFirmwareNotReadText
                                            : indent + QStringLiteral("Versie KVR firmware : ") + settings.firmwareVersion);

    // Then every field with a line of its own, the codes as words; a POCSAG
    // receiver holds only the first seven aliases.
    std::optional<int> group;
    for (const SettingsField &field : settingsFields()) {
        if (field.reportLabel.isEmpty() || (!flex && field.alias >= kPocsagAliasCount))
            continue;
        if (group != reportGroup(field))
            body(blank);
        group = reportGroup(field);
        const QString &value = field.in(settings);
        if (field.isChoice())
            body(indent + field.reportLabel + choiceWord(field, value));
        else
            body(indent + field.reportLabel + value + (field.kind == FieldKind::Timer ? reportUnit(field.unit) : QString()));
    }
    return lines;
}

namespace {

// Draws the lines one under the other from the top of the page, starting a
// new page when one is full; false when a new page cannot be started.
bool drawReport(QPainter &painter, QPagedPaintDevice &device, const QList<ReportLine> &lines)
{
    // The painter starts with the device's default font; only size and
    // weight change between the title block and the body.
    const QFont defaultFont = painter.font();
    const int pageHeight = painter.viewport().height();
    int top = 0;
    for (const ReportLine &line : lines) {
        QFont font = defaultFont;
        font.setPointSize(line.pointSize);
        font.setBold(line.bold);
        painter.setFont(font);
        const QFontMetrics metrics(font, &device);
        if (top > 0 && top + metrics.height() > pageHeight) {
            if (!device.newPage())
                return false;
            top = 0;
        }
        painter.drawText(0, top + metrics.ascent(), line.text);
        top += metrics.lineSpacing();
    }
    return true;
}

PrintFailure printerError(const char *what)
{
    return PrintFailure{kPrinterErrorNumber, QStringLiteral("Printer error: ") + QLatin1String(what)};
}

// The whole report on `device`, from the painter's start to the document's
// end; what failed on the way.
std::optional<PrintFailure> paintReport(QPagedPaintDevice &device, const QList<ReportLine> &lines)
{
    QPainter painter;
    if (!painter.begin(&device))
        return printerError("the printer could not be started");
    if (!drawReport(painter, device, lines)) {
        painter.end();
        return printerError("a new page could not be started");
    }
    if (!painter.end())
        return printerError("the document could not be finished");
    return std::nullopt;
}

} // namespace

bool isCompletePdf(const QByteArray &pdf)
{
    return pdf.startsWith("%PDF-") && pdf.right(32).contains("%%EOF");
}

std::optional<PrintFailure> printReport(QPrinter &printer, const QList<ReportLine> &lines)
{
    if (const auto failure = paintReport(printer, lines))
        return failure;
    if (printer.printerState() == QPrinter::Error)
        return printerError("the document could not be finished");
    return std::nullopt;
}

std::optional<PrintFailure> printReportToPdf(const QString &path, const QList<ReportLine> &lines)
{
    // Drawn into memory first: QPrinter reports no write errors, and a PDF
    // cut off by a full disk would replace the old one.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kReportDotsPerInch);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setCreator(QStringLiteral("kvr7314"));
        if (const auto failure = paintReport(writer, lines))
            return failure;
    }
    if (!isCompletePdf(buffer.data()))
        return printerError("the PDF came out incomplete");
    if (const auto error = writeWholeFile(path, buffer.data()))
        return PrintFailure{kPrinterErrorNumber, QStringLiteral("Printer error: ") + *error};
    return std::nullopt;
}

QString printFailureText(const PrintFailure &failure)
{
    return QStringLiteral("Unexpected error. Err ") + QString::number(failure.number) + QStringLiteral(" : ")
        + failure.description;
}
