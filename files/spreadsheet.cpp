#include "files/spreadsheet.h"

#include "settings/codec.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace {

constexpr char16_t kSemicolon = u';';

// UTF-8 when the file says so by its mark or is valid UTF-8; else the
// single bytes of Windows-1252 that older spreadsheets write.
QString decodeList(QByteArrayView bytes)
{
    if (bytes.startsWith(kUtf8Mark))
        return QString::fromUtf8(bytes.sliced(kUtf8Mark.size()));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? cp1252::decode(bytes) : text;
}

// The fields of one CSV record: separated by `separator`, a field in
// double quotes may hold separators and doubled quotes. Line ends inside
// quotes do not occur in these lists and end the record as well.
QStringList fieldsOf(QStringView line, QChar separator)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"' && field.isEmpty()) {
            quoted = true;
        } else if (c == separator) {
            fields.append(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.append(field);
    return fields;
}

// Semicolons, as Dutch spreadsheets write, else tabs, else commas: the
// first that makes the most of the first rows fit. (A field may hold the
// others: "Noord, oost" in a list of semicolons.)
QChar separatorOf(const QStringList &lines, const std::function<bool(const QStringList &)> &fits)
{
    QChar best = kSemicolon;
    int bestRows = 0;
    for (const QChar candidate : {QChar(kSemicolon), QChar(u'\t'), QChar(u',')}) {
        int rows = 0;
        for (qsizetype i = 0; i < lines.size() && i < 8; ++i) {
            if (fits(fieldsOf(lines[i], candidate)))
                ++rows;
        }
        if (rows > bestRows) {
            best = candidate;
            bestRows = rows;
        }
    }
    return best;
}

} // namespace

QList<SpreadsheetRow> readSpreadsheet(QByteArrayView bytes, const std::function<bool(const QStringList &)> &fits)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n|\r"));
    const QStringList lines = decodeList(bytes).split(lineEnd);
    const QChar separator = separatorOf(lines, fits);
    QList<SpreadsheetRow> rows;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // The empty line a spreadsheet ends with, or one left between rows.
        if (!lines[i].trimmed().isEmpty())
            rows.append({int(i + 1), fieldsOf(lines[i], separator)});
    }
    return rows;
}

QString csvField(const QString &text)
{
    // Quoted when a spreadsheet would otherwise split it or trim its spaces.
    if (text.contains(kSemicolon) || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r')
        || text != text.trimmed())
        return u'"' + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
    return text;
}

QByteArray spreadsheetBytes(const QList<QStringList> &rows)
{
    QString text;
    for (const QStringList &row : rows) {
        QStringList fields;
        for (const QString &field : row)
            fields.append(csvField(field));
        text += fields.join(u';') + QStringLiteral("\r\n");
    }
    return kUtf8Mark.toByteArray() + text.toUtf8();
}
