#include "files/aliaslist.h"

#include "settings/codec.h"
#include "settings/textrule.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>

#include <set>

namespace {

constexpr QByteArrayView kUtf8Mark = "\xEF\xBB\xBF";
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
// quotes do not occur in an alias list and end the record as well.
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

std::optional<int> aliasNumber(const QString &field)
{
    bool ok = false;
    const int n = field.trimmed().toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

// The separator that splits the first rows into a number and a text:
// semicolons, as Dutch spreadsheets write, else tabs, else commas. (An
// alias may hold the others: "Noord, oost" in a list of semicolons.)
QChar separatorOf(const QStringList &lines)
{
    QChar best = kSemicolon;
    int bestRows = 0;
    for (const QChar candidate : {QChar(kSemicolon), QChar(u'\t'), QChar(u',')}) {
        int rows = 0;
        for (qsizetype i = 0; i < lines.size() && i < 8; ++i) {
            const QStringList fields = fieldsOf(lines[i], candidate);
            if (fields.size() == 2 && aliasNumber(fields[0]))
                ++rows;
        }
        if (rows > bestRows) {
            best = candidate;
            bestRows = rows;
        }
    }
    return best;
}

FileReason rowFault(int line, const QString &english, const QString &dutch)
{
    return {QStringLiteral("row %1: %2").arg(line).arg(english), QStringLiteral("regel %1: %2").arg(line).arg(dutch)};
}

QString csvField(const QString &text)
{
    // Quoted when a spreadsheet would otherwise split it or trim its spaces.
    if (text.contains(kSemicolon) || text.contains(u'"') || text != text.trimmed())
        return u'"' + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
    return text;
}

} // namespace

std::optional<FileReason> aliasTextProblem(const QString &text, const QString &whereEnglish, const QString &whereDutch)
{
    if (const qsizetype at = firstRefusedCharacter(text); at >= 0)
        return FileReason{QStringLiteral("%1 holds %2 at position %3").arg(whereEnglish, refusedCharacterName(text[at])).arg(at + 1),
                          QStringLiteral("%1 bevat het teken %2 op positie %3").arg(whereDutch, refusedCharacterName(text[at])).arg(at + 1)};
    if (text.size() > kTextLimit)
        return FileReason{QStringLiteral("%1 has %2 characters; an alias has %3 at most").arg(whereEnglish).arg(text.size()).arg(kTextLimit),
                          QStringLiteral("%1 heeft %2 tekens; een alias heeft er ten hoogste %3").arg(whereDutch).arg(text.size()).arg(kTextLimit)};
    return std::nullopt;
}

AliasListRead readAliasList(QByteArrayView bytes)
{
    AliasListRead result;
    const QStringList lines = decodeList(bytes).split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    const QChar separator = separatorOf(lines);
    std::set<int> seen;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int line = int(i + 1);
        if (lines[i].trimmed().isEmpty())
            continue;   // the empty line a spreadsheet ends with, or one left between rows
        const QStringList fields = fieldsOf(lines[i], separator);
        const std::optional<int> number = aliasNumber(fields.value(0));
        if (!number && i == 0)
            continue;   // the header row: "nummer;alias"
        if (!number || *number < 1 || *number > kAliasCount) {
            result.failure = rowFault(line, QStringLiteral("\"%1\" is no alias number from 1 to %2").arg(fields.value(0)).arg(kAliasCount),
                                      QStringLiteral("\"%1\" is geen aliasnummer van 1 tot en met %2").arg(fields.value(0)).arg(kAliasCount));
            return result;
        }
        if (fields.size() > 2) {
            result.failure = rowFault(line, QStringLiteral("%1 columns, where an alias list has two (number and alias)").arg(fields.size()),
                                      QStringLiteral("%1 kolommen, waar een aliaslijst er twee heeft (nummer en alias)").arg(fields.size()));
            return result;
        }
        if (!seen.insert(*number).second) {
            result.failure = rowFault(line, QStringLiteral("alias %1 is given twice").arg(*number),
                                      QStringLiteral("alias %1 staat er twee keer in").arg(*number));
            return result;
        }
        const QString text = fields.value(1);
        if (const auto problem = aliasTextProblem(text, QStringLiteral("row %1: alias %2").arg(line).arg(*number),
                                                  QStringLiteral("regel %1: alias %2").arg(line).arg(*number))) {
            result.failure = problem;
            return result;
        }
        result.rows.append({line, *number, text});
    }
    if (result.rows.isEmpty())
        result.failure = FileReason{QStringLiteral("it holds no alias"), QStringLiteral("er staat geen alias in")};
    return result;
}

ModuleSettings withAliases(ModuleSettings settings, const QList<AliasRow> &rows)
{
    for (const AliasRow &row : rows)
        settings.aliases[size_t(row.number - 1)] = row.text;
    return settings;
}

QByteArray aliasListBytes(const ModuleSettings &settings)
{
    QString text = QStringLiteral("nummer;alias\r\n");
    for (int n = 1; n <= kAliasCount; ++n)
        text += QStringLiteral("%1;%2\r\n").arg(n).arg(csvField(settings.aliases[size_t(n - 1)]));
    return kUtf8Mark.toByteArray() + text.toUtf8();
}
