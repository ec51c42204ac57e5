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

// The columns of the report's table, each as wide as its widest text, the
// cause taking what is left.
struct Layout {
    QList<qreal> x;
    qreal lineHeight = 0;
};

QStringList cellsOf(const FleetReportRow &r) { return {r.name, r.port, r.outcome, r.firmware, r.cause}; }

Layout layOut(const QFontMetricsF &metrics, const QList<QStringList> &table)
{
    Layout layout;
    qreal x = 0;
    for (qsizetype c = 0; c + 1 < table.first().size(); ++c) {
        layout.x.append(x);
        qreal widest = 0;
        for (const QStringList &row : table)
            widest = std::max(widest, metrics.horizontalAdvance(row[c]));
        x += widest + metrics.horizontalAdvance(QStringLiteral("  "));
    }
    layout.x.append(x);
    layout.lineHeight = metrics.lineSpacing();
    return layout;
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
        table.append(cellsOf(r));

    QFont heading(QStringLiteral("DejaVu Sans"), 14, QFont::Bold);
    QFont body(QStringLiteral("DejaVu Sans"), 9);
    painter.setFont(heading);
    const qreal headingHeight = QFontMetricsF(heading, &pdf).lineSpacing();
    painter.drawText(QPointF(0, headingHeight), QStringLiteral("KVR7314 vloot: %1").arg(list));
    painter.setFont(body);
    const QString date = QLocale(QLocale::Dutch).toString(when, QStringLiteral("d MMMM yyyy, HH:mm"));
    painter.drawText(QPointF(0, headingHeight + QFontMetricsF(body, &pdf).lineSpacing() * 1.5), date);

    // One page, however long the list: a table that does not fit is drawn
    // smaller.
    const qreal top = headingHeight + QFontMetricsF(body, &pdf).lineSpacing() * 3;
    const Layout layout = layOut(QFontMetricsF(body, &pdf), table);
    const qreal causeWidth = std::max<qreal>(page.width() * 0.3, page.width() - layout.x.last());
    const qreal width = layout.x.last() + causeWidth;
    const qreal height = layout.lineHeight * table.size();
    const qreal scale = std::min({1.0, page.width() / width, (page.height() - top) / height});
    painter.translate(0, top);
    painter.scale(scale, scale);
    for (qsizetype r = 0; r < table.size(); ++r) {
        QFont font = body;
        font.setBold(r == 0);
        painter.setFont(font);
        const qreal y = layout.lineHeight * (r + 1);
        for (qsizetype c = 0; c < table[r].size(); ++c) {
            const QString &cell = table[r][c];
            const bool last = c + 1 == table[r].size();
            painter.drawText(QPointF(layout.x[c], y),
                             last ? QFontMetricsF(font, &pdf).elidedText(cell, Qt::ElideRight, causeWidth) : cell);
        }
    }
    if (!painter.end() || !isCompletePdf(bytes))
        return {};
    return bytes;
}
