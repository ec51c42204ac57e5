#include "fleetwindow/fleetreport.h"

#include "files/report.h"
#include "files/spreadsheet.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

QByteArray summarySpreadsheet(const QList<FleetReportRow> &rows)
{
    QList<QStringList> lines{{QStringLiteral("naam"), QStringLiteral("poort"), QStringLiteral("bestand"),
                              QStringLiteral("firmware"), QStringLiteral("uitkomst"), QStringLiteral("oorzaak")}};
    for (const FleetReportRow &r : rows)
        lines.append({r.name, r.port, r.file, r.firmware, r.outcome, r.cause});
    return spreadsheetBytes(lines);
}

namespace {

// Where each column of the report's table begins: each as wide as its
// widest text, the last (the cause) taking what is left.
QList<qreal> layOut(const QFontMetricsF &metrics, const QList<QStringList> &table)
{
    QList<qreal> columns;
    qreal x = 0;
    for (qsizetype c = 0; c + 1 < table.first().size(); ++c) {
        columns.append(x);
        qreal widest = 0;
        for (const QStringList &row : table)
            widest = std::max(widest, metrics.horizontalAdvance(row[c]));
        x += widest + metrics.horizontalAdvance(QStringLiteral("  "));
    }
    columns.append(x);
    return columns;
}

} // namespace

QByteArray summaryPdf(const QString &list, const QDateTime &when, const QList<FleetReportRow> &rows)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setTitle(QStringLiteral("KVR7314 vloot: %1").arg(list));
    pdf.setCreator(QStringLiteral("kvr7314-fleet"));
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(15, 15, 15, 15),
                                  QPageLayout::Millimeter));
    QPainter painter(&pdf);
    if (!painter.isActive())
        return {};
    const QRectF page = painter.viewport();

    QList<QStringList> table{{QStringLiteral("naam"), QStringLiteral("poort"), QStringLiteral("uitkomst"),
                              QStringLiteral("firmware"), QStringLiteral("oorzaak")}};
    for (const FleetReportRow &r : rows)
        table.append({r.name, r.port, r.outcome, r.firmware, r.cause});

    QFont heading(QStringLiteral("DejaVu Sans"), 14, QFont::Bold);
    QFont body(QStringLiteral("DejaVu Sans"), 9);
    const QFontMetricsF bodyMetrics(body, &pdf);
    painter.setFont(heading);
    const qreal headingHeight = QFontMetricsF(heading, &pdf).lineSpacing();
    painter.drawText(QPointF(0, headingHeight), QStringLiteral("KVR7314 vloot: %1").arg(list));
    painter.setFont(body);
    const QString date = QLocale(QLocale::Dutch).toString(when, QStringLiteral("d MMMM yyyy, HH:mm"));
    painter.drawText(QPointF(0, headingHeight + bodyMetrics.lineSpacing() * 1.5), date);

    // One page, however long the list: a table that does not fit is drawn
    // smaller.
    const qreal top = headingHeight + bodyMetrics.lineSpacing() * 3;
    const QList<qreal> columns = layOut(bodyMetrics, table);
    const qreal causeWidth = std::max<qreal>(page.width() * 0.3, page.width() - columns.last());
    const qreal width = columns.last() + causeWidth;
    const qreal height = bodyMetrics.lineSpacing() * table.size();
    const qreal scale = std::min({1.0, page.width() / width, (page.height() - top) / height});
    painter.translate(0, top);
    painter.scale(scale, scale);
    for (qsizetype r = 0; r < table.size(); ++r) {
        QFont font = body;
        font.setBold(r == 0);
        painter.setFont(font);
        const qreal y = bodyMetrics.lineSpacing() * (r + 1);
        for (qsizetype c = 0; c < table[r].size(); ++c) {
            const QString &cell = table[r][c];
            const bool last = c + 1 == table[r].size();
            painter.drawText(QPointF(columns[c], y),
                             last ? QFontMetricsF(font, &pdf).elidedText(cell, Qt::ElideRight, causeWidth) : cell);
        }
    }
    if (!painter.end() || !isCompletePdf(bytes))
        return {};
    return bytes;
}
