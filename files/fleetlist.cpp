#include "files/fleetlist.h"

#include "files/backups.h"
#include "files/spreadsheet.h"

#include <QHash>
#include <QRegularExpression>

namespace {

const QStringList kColumnsInOrder = {kFleetNameColumn, kFleetPortColumn, kFleetFileColumn, kFleetReceiverColumn};

QString columnKey(const QString &field) { return field.trimmed().toLower(); }

// A header row has column names where a module's row has its port: a
// COM n, a device path or a network address.
bool isHeader(const QStringList &fields)
{
    static const QRegularExpression port(QStringLiteral("^\\s*(COM\\d+\\s*|.*[/\\\\].*)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    return !port.match(fields.value(1)).hasMatch();
}

// A row of a fleet list: a name and a port at least, four columns at most.
bool isFleetRow(const QStringList &fields)
{
    return fields.size() >= 2 && fields.size() <= kColumnsInOrder.size();
}

// Which column each field of a row is: from the header, else in order.
struct Columns {
    QStringList names = kColumnsInOrder;
    std::optional<FileReason> failure;
};

Columns columnsOf(const SpreadsheetRow &header)
{
    Columns columns;
    columns.names.clear();
    for (const QString &field : header.fields) {
        const QString key = columnKey(field);
        if (!kColumnsInOrder.contains(key)) {
            columns.failure = fleetRowFault(
                header.line, QStringLiteral("unknown column \"%1\"; a fleet list has naam;poort;bestand;ontvanger").arg(field.trimmed()),
                QStringLiteral("onbekende kolom \"%1\"; een lijst van modules heeft naam;poort;bestand;ontvanger").arg(field.trimmed()));
            return columns;
        }
        if (columns.names.contains(key)) {
            columns.failure = fleetRowFault(header.line, QStringLiteral("column \"%1\" is given twice").arg(key),
                                            QStringLiteral("kolom \"%1\" staat er twee keer in").arg(key));
            return columns;
        }
        columns.names.append(key);
    }
    for (const QString &needed : {kFleetNameColumn, kFleetPortColumn}) {
        if (!columns.names.contains(needed)) {
            columns.failure = fleetRowFault(header.line, QStringLiteral("the column \"%1\" is missing").arg(needed),
                                            QStringLiteral("de kolom \"%1\" ontbreekt").arg(needed));
            return columns;
        }
    }
    return columns;
}

std::optional<ReceiverType> receiverNamed(const QString &text, bool *ok)
{
    const QString type = text.trimmed().toUpper();
    *ok = type.isEmpty() || type == u"FLEX" || type == u"POCSAG";
    if (type.isEmpty() || !*ok)
        return std::nullopt;
    return type == u"POCSAG" ? ReceiverType::Pocsag : ReceiverType::Flex;
}

// The row's fields into a module, or why they cannot be one.
std::optional<FileReason> takeRow(const SpreadsheetRow &row, const QStringList &columns, FleetRow *module)
{
    const int line = row.line;
    if (row.fields.size() > columns.size())
        return fleetRowFault(line, QStringLiteral("%1 fields, where the list has %2 columns").arg(row.fields.size()).arg(columns.size()),
                             QStringLiteral("%1 velden, waar de lijst %2 kolommen heeft").arg(row.fields.size()).arg(columns.size()));
    const auto field = [&](const QString &column) { return row.fields.value(columns.indexOf(column)).trimmed(); };
    module->line = line;
    module->name = field(kFleetNameColumn);
    module->port = field(kFleetPortColumn);
    module->file = field(kFleetFileColumn);
    if (module->name.isEmpty())
        return fleetRowFault(line, QStringLiteral("no name"), QStringLiteral("geen naam"));
    // --only takes names with commas between them.
    if (module->name.contains(u','))
        return fleetRowFault(line, QStringLiteral("the name \"%1\" holds a comma, which --only takes as the end of a name").arg(module->name),
                             QStringLiteral("de naam \"%1\" bevat een komma").arg(module->name));
    if (module->port.isEmpty())
        return fleetRowFault(line, QStringLiteral("%1 has no port").arg(module->name),
                             QStringLiteral("%1 heeft geen poort").arg(module->name));
    bool known = true;
    module->receiver = receiverNamed(field(kFleetReceiverColumn), &known);
    if (!known)
        return fleetRowFault(line, QStringLiteral("the receiver type is FLEX or POCSAG, not \"%1\"").arg(field(kFleetReceiverColumn)),
                             QStringLiteral("het ontvangertype is FLEX of POCSAG, niet \"%1\"").arg(field(kFleetReceiverColumn)));
    return std::nullopt;
}

} // namespace

FileReason fleetRowFault(int line, const QString &english, const QString &dutch)
{
    return {QStringLiteral("row %1: %2").arg(line).arg(english), QStringLiteral("regel %1: %2").arg(line).arg(dutch)};
}

namespace {

FleetListRead readRows(QByteArrayView bytes)
{
    FleetListRead result;
    QList<SpreadsheetRow> rows = readSpreadsheet(bytes, isFleetRow);
    Columns columns;
    if (!rows.isEmpty() && isHeader(rows.first().fields)) {
        columns = columnsOf(rows.takeFirst());
        if (columns.failure) {
            result.failure = columns.failure;
            return result;
        }
    }
    // A name is a module's everywhere: in --only, in the log, and as the
    // file-safe name of its backups and of its file from a read.
    QHash<QString, int> names;
    QHash<QString, int> safeNames;
    for (const SpreadsheetRow &row : rows) {
        FleetRow module;
        if (auto fault = takeRow(row, columns.names, &module)) {
            result.failure = fault;
            return result;
        }
        const QString folded = module.name.toCaseFolded();
        const QString safe = fileSafeName(module.name).toCaseFolded();
        if (const int first = names.value(folded); first > 0) {
            result.failure = fleetRowFault(module.line, QStringLiteral("the name \"%1\" is that of row %2").arg(module.name).arg(first),
                                           QStringLiteral("de naam \"%1\" is die van regel %2").arg(module.name).arg(first));
            return result;
        }
        if (const int first = safeNames.value(safe); first > 0) {
            result.failure = fleetRowFault(
                module.line, QStringLiteral("the name \"%1\" becomes \"%2\" in file names, as that of row %3 does").arg(module.name, fileSafeName(module.name)).arg(first),
                QStringLiteral("de naam \"%1\" wordt \"%2\" in bestandsnamen, net als die van regel %3").arg(module.name, fileSafeName(module.name)).arg(first));
            return result;
        }
        names.insert(folded, module.line);
        safeNames.insert(safe, module.line);
        result.rows.append(module);
    }
    return result;
}

} // namespace

FleetListRead readFleetList(QByteArrayView bytes)
{
    return takenWhole(readRows(bytes), {QStringLiteral("it holds no module"), QStringLiteral("er staat geen module in")});
}
