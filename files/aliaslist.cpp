#include "files/aliaslist.h"

#include "files/spreadsheet.h"
#include "settings/textrule.h"

#include <QStringList>

#include <set>

namespace {

std::optional<int> aliasNumber(const QString &field)
{
    bool ok = false;
    const int n = field.trimmed().toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

// A row of an alias list: a number, then the alias.
bool isAliasRow(const QStringList &fields)
{
    return fields.size() == 2 && aliasNumber(fields[0]);
}

FileReason rowFault(int line, const QString &english, const QString &dutch)
{
    return {QStringLiteral("row %1: %2").arg(line).arg(english), QStringLiteral("regel %1: %2").arg(line).arg(dutch)};
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

namespace {

AliasListRead readRows(QByteArrayView bytes)
{
    AliasListRead result;
    std::set<int> seen;
    for (const SpreadsheetRow &row : readSpreadsheet(bytes, isAliasRow)) {
        const int line = row.line;
        const QStringList &fields = row.fields;
        const std::optional<int> number = aliasNumber(fields.value(0));
        if (!number && line == 1)
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
    return result;
}

} // namespace

AliasListRead readAliasList(QByteArrayView bytes)
{
    return takenWhole(readRows(bytes), {QStringLiteral("it holds no alias"), QStringLiteral("er staat geen alias in")});
}

ModuleSettings withAliases(ModuleSettings settings, const QList<AliasRow> &rows)
{
    for (const AliasRow &row : rows)
        settings.aliases[size_t(row.number - 1)] = row.text;
    return settings;
}

QByteArray aliasListBytes(const ModuleSettings &settings)
{
    QList<QStringList> rows{{QStringLiteral("nummer"), QStringLiteral("alias")}};
    for (int n = 1; n <= kAliasCount; ++n)
        rows.append({QString::number(n), settings.aliases[size_t(n - 1)]});
    return spreadsheetBytes(rows);
}
