#include "readback/dumpparser.h"

#include "settings/fieldtable.h"
#include "settings/textrule.h"

#include <algorithm>
#include <vector>

namespace {

// Position (from 1) of the label's first occurrence, if it starts at or
// before the last position the module's 16-bit counting reaches.
std::optional<int> locate(QStringView dump, QStringView label)
{
    const qsizetype index = dump.indexOf(label, 0, Qt::CaseSensitive);
    if (index < 0 || index + 1 > kLastPosition)
        return std::nullopt;
    return int(index + 1);
}

// Where each of dumpLabels() starts in a dump, searched in their order.
class LabelPositions {
public:
    // Nothing, with the first label that is missing, unless all are there.
    static std::optional<LabelPositions> find(QStringView dump, QStringView *missing)
    {
        LabelPositions positions;
        for (const DumpLabel &label : dumpLabels()) {
            const auto position = locate(dump, label.text);
            if (!position) {
                *missing = label.text;
                return std::nullopt;
            }
            positions.m_at.push_back(*position);
        }
        return positions;
    }

    int operator[](const DumpLabel *label) const { return m_at[size_t(label - dumpLabels().data())]; }

private:
    std::vector<int> m_at;
};

bool fitsSigned16(int value) { return value >= -32768 && value <= 32767; }

// The parser writes the text values first, then selects the choices, and
// last puts in the version: the order in which the window takes them.
int cutRank(const SettingsField &field)
{
    if (field.isChoice())
        return 1;
    return field.kind == FieldKind::Version ? 2 : 0;
}

class Cutter {
public:
    Cutter(QStringView dump, const LabelPositions &p) : m_dump(dump), m_p(p) {}

    // The field's characters: from its offset after its label over its
    // fixed length, or up to its gap before the next label. Empty from past
    // the end, cut short at the end. Refuses what the module's 16-bit
    // arithmetic could not have meant: a negative length, a start before
    // the first character, anything outside 16 bits.
    QString cut(const SettingsField &field)
    {
        if (!m_rejection.isEmpty())
            return {};
        const DumpCut &c = field.dump;
        const int start = m_p[c.label] + c.offset;
        const int length = c.until ? m_p[c.until] - start - c.gap : c.length;
        // A failed cut names an alias without its number, as it always has.
        const QString name = field.alias >= 0 ? QStringLiteral("alias") : field.name;
        if (!fitsSigned16(start) || !fitsSigned16(length))
            return reject(name, "lies outside the 16-bit range");
        if (length < 0)
            return reject(name, "has a negative length");
        if (start < 1)
            return reject(name, "starts before the dump");
        if (start > m_dump.size())
            return QString();
        return m_dump.mid(start - 1, length).toString();
    }

    const QString &rejection() const { return m_rejection; }

private:
    QString reject(const QString &field, const char *why)
    {
        m_rejection = QStringLiteral("%1 %2").arg(field, QLatin1String(why));
        return {};
    }

    QStringView m_dump;
    const LabelPositions &m_p;
    QString m_rejection;
};

} // namespace

DumpParse parseModuleDump(QStringView dump)
{
    DumpParse result;

    // Every key is found before any value is cut: a dump that lacks one is
    // refused whole rather than half applied.
    QStringView missing;
    const std::optional<LabelPositions> positions = LabelPositions::find(dump, &missing);
    if (!positions) {
        result.rejection = QStringLiteral("key \"%1\" not found").arg(missing);
        return result;
    }

    QList<const SettingsField *> carried;
    for (const SettingsField &field : settingsFields()) {
        if (field.dump.label)
            carried.append(&field);
    }
    std::stable_sort(carried.begin(), carried.end(),
                     [](const SettingsField *a, const SettingsField *b) { return cutRank(*a) < cutRank(*b); });

    Cutter c(dump, *positions);
    SettingsUpdate update;
    update.setsFirmwareVersion = true;
    update.setsReceiverType = false;   // the dump does not carry it
    for (const SettingsField *field : carried)
        field->in(update.values) = c.cut(*field);

    if (!c.rejection().isEmpty()) {
        result.rejection = c.rejection();
        return result;
    }
    // A value the window, the module or a file cannot carry refuses the
    // dump whole: nothing is cut or cleaned without a word.
    if (const auto fault = firstTextFault(update.values)) {
        result.rejection = fault->english();
        return result;
    }
    result.update = update;
    return result;
}

bool isDumpComplete(QStringView dump)
{
    // The version comes last: until its label is there, nothing else is
    // looked for.
    const SettingsField &version = settingsField(&ModuleSettings::firmwareVersion);
    if (!dump.contains(version.dump.label->text))
        return false;
    QStringView missing;
    const std::optional<LabelPositions> positions = LabelPositions::find(dump, &missing);
    if (!positions)
        return false;
    // Its skipped character and the version's four.
    return dump.size() >= (*positions)[version.dump.label] - 1 + version.dump.offset + version.dump.length;
}
