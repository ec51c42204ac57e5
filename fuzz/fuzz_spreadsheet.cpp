// Feeds arbitrary bytes, as a spreadsheet, another program or a person
// could save them, to the readers of alias lists and fleet lists. Neither
// may crash, and what they hand on must be what their callers rely on:
//
// - a list that fails gives its reason and no rows, so that no caller can
//   take half a list by looking at the rows alone;
// - an alias list names each alias 1..16 once, with a text the module takes,
//   and what the writer makes of those aliases reads back the same;
// - a fleet list names each module once, in any case and as the file-safe
//   name its backups get, and gives each a port.

#include "files/aliaslist.h"
#include "files/backups.h"
#include "files/fleetlist.h"

#include <QSet>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Rows come in the order of the file, each from its own line.
template <typename Row>
void checkLineOrder(const QList<Row> &rows)
{
    int previous = 0;
    for (const Row &row : rows) {
        if (row.line <= previous)
            std::abort();
        previous = row.line;
    }
}

// A failure says why, in both languages, and takes nothing; a success
// takes rows (a list without any is a failure), in the file's order.
// Whether there are rows to look at.
template <typename Read>
bool checkTaken(const Read &read)
{
    if (read.failure) {
        if (read.failure->english.isEmpty() || read.failure->dutch.isEmpty() || !read.rows.isEmpty())
            std::abort();
        return false;
    }
    if (read.rows.isEmpty())
        std::abort();
    checkLineOrder(read.rows);
    return true;
}

void checkAliasList(QByteArrayView bytes)
{
    const AliasListRead read = readAliasList(bytes);
    if (!checkTaken(read))
        return;
    QSet<int> numbers;
    for (const AliasRow &row : read.rows) {
        if (row.number < 1 || row.number > kAliasCount)
            std::abort();
        if (numbers.contains(row.number))
            std::abort();
        numbers.insert(row.number);
        if (aliasTextProblem(row.text, QStringLiteral("alias"), QStringLiteral("alias")))
            std::abort();
    }
    // The list the tool writes ("aliassen exporteren") must read back as the
    // aliases it was made from, whatever they hold: quotes, separators,
    // spaces at the ends.
    const ModuleSettings settings = withAliases(ModuleSettings{}, read.rows);
    const AliasListRead again = readAliasList(aliasListBytes(settings));
    if (again.failure || again.rows.size() != kAliasCount)
        std::abort();
    for (const AliasRow &row : again.rows) {
        if (row.text != settings.aliases[size_t(row.number - 1)])
            std::abort();
    }
}

void checkFleetList(QByteArrayView bytes)
{
    const FleetListRead read = readFleetList(bytes);
    if (!checkTaken(read))
        return;
    // A module's name is its key everywhere (--only, the log, the names of
    // its backups): two rows must never come to the same one.
    QSet<QString> names;
    QSet<QString> safeNames;
    for (const FleetRow &row : read.rows) {
        if (row.name.trimmed().isEmpty() || row.port.trimmed().isEmpty())
            std::abort();
        const QString folded = row.name.toCaseFolded();
        const QString safe = fileSafeName(row.name).toCaseFolded();
        if (names.contains(folded) || safeNames.contains(safe))
            std::abort();
        names.insert(folded);
        safeNames.insert(safe);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkAliasList(bytes);
    checkFleetList(bytes);
    return 0;
}
