#include "files/settingsfile.h"

#include "settings/codec.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <optional>

namespace {

// Positions in the data line are 1-based and signed 16-bit: a key must start
// at or before this position, and no position arithmetic may pass it.
constexpr int kMaxPosition = 32767;

constexpr QByteArrayView kLineEnd = "\r\n";

// The 27 keys in the order they are written and searched. Every text value
// runs up to the next key in this table; codes are three characters; the
// last value runs to the end of the line.
constexpr std::array<QByteArrayView, 27> kKeys = {
    "ALIAS01:", "ALIAS02:", "ALIAS03:", "ALIAS04:", "ALIAS05:", "ALIAS06:", "ALIAS07:", "ALIAS08:",
    "ALIAS09:", "ALIAS10:", "ALIAS11:", "ALIAS12:", "ALIAS13:", "ALIAS14:", "ALIAS15:", "ALIAS16:",
    "KOPPELTEKST:", "TEKST_LCDRUST:",
    "KLEUR_ALIAS:", "KLEUR_KOPPELTEKST:", "KLEUR_BERICHT:", "SNELHEID:",
    "TIJD_RELAIS:", "TIJD_WISLK:", "TIJD_WISLCD:", "TIJD_BACKLIGHT:", "TIJD_SCROLLENLCD:",
};
constexpr int kFirstCodeKey = 18;   // KLEUR_ALIAS:
constexpr int kLastCodeKey = 21;    // SNELHEID:
constexpr int kTailKey = 26;        // TIJD_SCROLLENLCD:
constexpr int kCodeLength = 3;

enum class ValueKind { Text, Code, Tail };

ValueKind kindOf(int key)
{
    if (key == kTailKey)
        return ValueKind::Tail;
    if (key >= kFirstCodeKey && key <= kLastCodeKey)
        return ValueKind::Code;
    return ValueKind::Text;
}

// The settings field that key number `key` carries.
QString &fieldOf(ModuleSettings &s, int key)
{
    if (key < kAliasCount)
        return s.aliases[key];
    switch (key) {
    case 16: return s.couplingText;
    case 17: return s.idleText;
    case 18: return s.aliasColour;
    case 19: return s.couplingColour;
    case 20: return s.messageColour;
    case 21: return s.scrollSpeed;
    case 22: return s.relayTime;
    case 23: return s.signClearTime;
    case 24: return s.lcdClearTime;
    case 25: return s.backlightTime;
    default: return s.scrollTime;
    }
}

const QString &fieldOf(const ModuleSettings &s, int key)
{
    return fieldOf(const_cast<ModuleSettings &>(s), key);
}

constexpr QByteArrayView kFlexMarker = "kvrFlxData";
constexpr QByteArrayView kPocsagMarker = "kvrPocData";

struct Marker {
    QByteArrayView text;
    SettingsFileOutcome::Kind kind;
    ReceiverType receiver;
    SiblingProduct product;
};
constexpr std::array<Marker, 6> kMarkers = {{
    {"ksqPocData", SettingsFileOutcome::WrongProduct, ReceiverType::Pocsag, SiblingProduct::KSQ7314},
    {"ksqFlxData", SettingsFileOutcome::WrongProduct, ReceiverType::Flex, SiblingProduct::KSQ7314},
    {"kdwPocData", SettingsFileOutcome::WrongProduct, ReceiverType::Pocsag, SiblingProduct::KDW7314},
    {"kdwFlxData", SettingsFileOutcome::WrongProduct, ReceiverType::Flex, SiblingProduct::KDW7314},
    {kPocsagMarker, SettingsFileOutcome::Loaded, ReceiverType::Pocsag, SiblingProduct::KSQ7314},
    {kFlexMarker, SettingsFileOutcome::Loaded, ReceiverType::Flex, SiblingProduct::KSQ7314},
}};

// 1-based position of the first occurrence of `text` that starts at or
// before kMaxPosition, or 0 when there is none. Only the part of the line
// that such an occurrence can cover is searched, so a line of megabytes
// costs no more than one of 32 kB.
int firstPosition(QByteArrayView line, QByteArrayView text)
{
    const qsizetype reach = std::min<qsizetype>(line.size(), kMaxPosition - 1 + text.size());
    const qsizetype index = line.first(reach).indexOf(text);
    return index < 0 ? 0 : int(index) + 1;
}

// The characters from 1-based `start`, at most `length` of them (all up to
// the end of the line when length is negative); nothing past the line's end.
QString charactersFrom(QByteArrayView line, int start, qsizetype length = -1)
{
    const qsizetype from = start - 1;
    if (from >= line.size())
        return QString();
    QByteArrayView rest = line.sliced(from);
    if (length >= 0 && length < rest.size())
        rest = rest.first(length);
    return cp1252::decode(rest);
}

SettingsFileOutcome failed() { return SettingsFileOutcome{}; }

} // namespace

QString dutchMonthName(int month)
{
    static const std::array<QString, 12> names = {
        QStringLiteral(" januari "), QStringLiteral(" februari "), QStringLiteral(" maart "),
        QStringLiteral(" april "), QStringLiteral(" mei "), QStringLiteral(" juni "),
        QStringLiteral(" juli "), QStringLiteral(" augustus "), QStringLiteral(" september "),
        QStringLiteral(" oktober "), QStringLiteral(" november "), QStringLiteral(" december "),
    };
    if (month < 1 || month > 12)
        return {};
    return names[size_t(month - 1)];
}

QString savedMomentText(const QString &monthName, const QDateTime &moment)
{
    const QDate date = moment.date();
    const QTime time = moment.time();
    const auto twoDigits = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    return twoDigits(date.day()) + monthName + QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'))
        + QStringLiteral(" | ") + twoDigits(time.hour()) + u':' + twoDigits(time.minute()) + u':'
        + twoDigits(time.second());
}

QByteArray settingsFileBytes(const ModuleSettings &settings, const QString &programVersion,
                             const QString &monthName, const QDateTime &savedAt,
                             const QString &path)
{
    const bool flex = settings.receiverType == ReceiverType::Flex;
    const QString firmware = settings.firmwareVersion.isEmpty()
        ? QStringLiteral("0.00 (de data is niet vanuit een KVR ingelezen)")
        : settings.firmwareVersion;
    const QString header[] = {
        QStringLiteral("KVR7314 - INSTELLINGEN"),
        QStringLiteral("======================"),
        QStringLiteral(" "),
        QStringLiteral("Bestand gemaakt op : ") + savedMomentText(monthName, savedAt),
        QStringLiteral("Bestandsnaam       : ") + path,
        QStringLiteral("Versie prg software: ") + programVersion,
        QStringLiteral("Versie KVR firmware: ") + firmware,
        flex ? QStringLiteral("Type ontvanger     : FLEX (RXM4F)")
             : QStringLiteral("Type ontvanger     : POCSAG (RXM4P) "),
        QStringLiteral(" "),
        QStringLiteral("LET OP: voor een goede werking in dit bestand geen wijzigingen aanbrengen!"),
        QStringLiteral(" "),
    };

    QByteArray bytes;
    for (const QString &line : header)
        bytes.append(cp1252::encode(line)).append(kLineEnd);
    bytes.append(flex ? kFlexMarker : kPocsagMarker);
    for (int key = 0; key < int(kKeys.size()); ++key)
        bytes.append(kKeys[key]).append(cp1252::encode(fieldOf(settings, key)));
    bytes.append(kLineEnd);
    return bytes;
}

bool writeSettingsFile(const QString &path, const ModuleSettings &settings,
                       const QString &programVersion, const QString &monthName,
                       const QDateTime &savedAt)
{
    const QByteArray bytes = settingsFileBytes(settings, programVersion, monthName, savedAt, path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // QSaveFile buffers, and its commit() goes on with the rename when the
    // final flush fails (a full disk): flush first, so that such a failure
    // discards the new file instead of replacing the old one with a stump.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QByteArrayView lastLine(QByteArrayView bytes)
{
    // The final line end closes the last line; it does not open a new one.
    QByteArrayView body = bytes;
    if (body.endsWith(kLineEnd))
        body.chop(2);
    else if (body.endsWith('\r'))
        body.chop(1);
    const qsizetype cr = body.lastIndexOf('\r');
    if (cr < 0)
        return body;
    qsizetype start = cr + 1;
    if (start < body.size() && body[start] == '\n')
        ++start;
    return body.sliced(start);
}

SettingsFileOutcome decodeSettingsFile(QByteArrayView bytes)
{
    const QByteArrayView line = lastLine(bytes);

    // Every key is looked for before the marker, so a sibling product's file
    // that lacks a key is unreadable rather than of the wrong product.
    std::array<int, kKeys.size()> position{};
    for (int key = 0; key < int(kKeys.size()); ++key) {
        position[key] = firstPosition(line, kKeys[key]);
        if (position[key] == 0)
            return failed();
    }

    const Marker *marker = nullptr;
    int markerPosition = 0;
    for (const Marker &candidate : kMarkers) {
        const int p = firstPosition(line, candidate.text);
        if (p != 0 && (marker == nullptr || p < markerPosition)) {
            marker = &candidate;
            markerPosition = p;
        }
    }
    if (marker == nullptr)
        return failed();
    if (marker->kind == SettingsFileOutcome::WrongProduct) {
        SettingsFileOutcome outcome;
        outcome.kind = SettingsFileOutcome::WrongProduct;
        outcome.product = marker->product;
        return outcome;
    }

    SettingsFileOutcome outcome;
    outcome.kind = SettingsFileOutcome::Loaded;
    outcome.update.setsReceiverType = true;
    outcome.update.setsFirmwareVersion = false;
    ModuleSettings &values = outcome.update.values;
    values.receiverType = marker->receiver;
    for (int key = 0; key < int(kKeys.size()); ++key) {
        const int start = position[key] + int(kKeys[key].size());
        if (start > kMaxPosition)
            return failed();
        QString &value = fieldOf(values, key);
        switch (kindOf(key)) {
        case ValueKind::Text: {
            const int length = position[key + 1] - start;
            if (length < 0)
                return failed();
            value = charactersFrom(line, start, length);
            break;
        }
        case ValueKind::Code:
            value = charactersFrom(line, start, kCodeLength);
            break;
        case ValueKind::Tail:
            value = charactersFrom(line, start);
            break;
        }
    }
    return outcome;
}

SettingsFileOutcome readSettingsFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed();
    const QByteArray bytes = file.readAll();
    const bool readFailed = file.error() != QFileDevice::NoError;
    file.close();
    if (readFailed)
        return failed();
    return decodeSettingsFile(bytes);
}
