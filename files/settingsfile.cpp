#include "files/settingsfile.h"

#include "files/safefile.h"
#include "settings/codec.h"
#include "settings/textrule.h"

#include <QFile>
#include <QFileInfo>

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

SettingsFileOutcome failed(FileReason reason = {QStringLiteral("it is not a KVR7314 settings file"),
                                                QStringLiteral("het is geen KVR7314-instellingenbestand")})
{
    SettingsFileOutcome outcome;
    outcome.reason = std::move(reason);
    return outcome;
}

// The first key or marker of the data line that `text` holds.
std::optional<QByteArrayView> keyIn(const QString &text)
{
    const QByteArray bytes = cp1252::encode(text);
    for (QByteArrayView key : kKeys) {
        if (bytes.contains(key))
            return key;
    }
    for (const Marker &marker : kMarkers) {
        if (bytes.contains(marker.text))
            return marker.text;
    }
    return std::nullopt;
}

// The values the data line carries, compared as the reader gives them back.
bool sameDataLineValues(const ModuleSettings &a, const ModuleSettings &b)
{
    if (a.receiverType != b.receiverType)
        return false;
    for (int key = 0; key < int(kKeys.size()); ++key) {
        if (fieldOf(a, key) != fieldOf(b, key))
            return false;
    }
    return true;
}

} // namespace

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

std::optional<FileReason> unsaveableSettings(const ModuleSettings &settings)
{
    if (const auto fault = firstTextFault(settings))
        return FileReason{fault->english(), fault->dutch()};
    // What is saved must open as saved: decode the data line that would be
    // written and compare. A text that holds a key moves the keys after it.
    const QByteArray bytes = settingsFileBytes(settings, QString(), QString(), QDateTime(), QString());
    const SettingsFileOutcome readBack = decodeSettingsFile(bytes);
    if (readBack.kind == SettingsFileOutcome::Loaded && sameDataLineValues(readBack.update.values, settings))
        return std::nullopt;
    for (const NamedText &field : namedTexts(settings)) {
        if (const auto key = keyIn(field.text)) {
            const QString keyText = QString::fromLatin1(*key);
            return FileReason{
                QStringLiteral("%1 holds \"%2\", a key of the file's data line").arg(field.name, keyText),
                QStringLiteral("%1 bevat \"%2\", een sleutel van het bestand; pas de tekst aan.")
                    .arg(field.dutchName, keyText)};
        }
    }
    return FileReason{QStringLiteral("the file would not read back as saved"),
                      QStringLiteral("het bestand zou niet teruggelezen worden zoals het is opgeslagen")};
}

SaveOutcome writeSettingsFile(const QString &path, const ModuleSettings &settings,
                              const QString &programVersion, const QString &monthName,
                              const QDateTime &savedAt)
{
    SaveOutcome outcome;
    if (const auto reason = unsaveableSettings(settings)) {
        outcome.refused = true;
        outcome.reason = *reason;
        return outcome;
    }
    const QByteArray bytes = settingsFileBytes(settings, programVersion, monthName, savedAt, path);
    if (const auto error = writeWholeFile(path, bytes)) {
        outcome.reason = FileReason::system(*error);
        return outcome;
    }
    outcome.saved = true;
    return outcome;
}

QByteArrayView lastLine(QByteArrayView bytes)
{
    // The final line end closes the last line; it does not open a new one.
    QByteArrayView body = bytes;
    if (body.endsWith(kLineEnd))
        body.chop(2);
    else if (body.endsWith('\r') || body.endsWith('\n'))
        body.chop(1);
    qsizetype end = body.size();
    while (end > 0 && body[end - 1] != '\r' && body[end - 1] != '\n')
        --end;
    return body.sliced(end);
}

SettingsFileOutcome decodeSettingsFile(QByteArrayView bytes)
{
    const QByteArrayView line = lastLine(bytes);

    // Every key is looked for before the marker, so a sibling product's file
    // that lacks a key is unreadable rather than of the wrong product.
    std::array<int, kKeys.size()> position{};
    for (int key = 0; key < int(kKeys.size()); ++key) {
        position[key] = firstPosition(line, kKeys[key]);
        if (position[key] == 0) {
            const QString keyText = QString::fromLatin1(kKeys[key]);
            return failed({QStringLiteral("its last line lacks the key \"%1\"").arg(keyText),
                           QStringLiteral("de laatste regel mist de sleutel \"%1\"").arg(keyText)});
        }
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
    // A text the module or a file cannot carry is not loaded, not even cut.
    if (const auto fault = firstTextFault(values))
        return failed({fault->english(), fault->dutch()});
    return outcome;
}

namespace {

SettingsFileOutcome tooLargeFile()
{
    return failed(FileReason{QStringLiteral("larger than 1 MiB, so not a settings file"),
                             QStringLiteral("groter dan 1 MiB, dus geen instellingenbestand")});
}

} // namespace

SettingsFileOutcome readSettingsFile(const QString &path)
{
    // Never read what cannot be a settings file: /dev/zero would fill the
    // memory, a pipe without a writer would block for ever.
    const QFileInfo info(path);
    if (!info.exists())
        return failed(FileReason{QStringLiteral("no such file"), QStringLiteral("het bestand bestaat niet")});
    if (!info.isFile())
        return failed(FileReason{QStringLiteral("not a regular file"), QStringLiteral("dit is geen gewoon bestand")});
    if (info.size() > kMaxSettingsFileSize)
        return tooLargeFile();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(FileReason::system(file.errorString()));
    // Bounded even when the file grows after the check.
    const QByteArray bytes = file.read(kMaxSettingsFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return failed(FileReason::system(file.errorString()));
    if (bytes.size() > kMaxSettingsFileSize)
        return tooLargeFile();
    return decodeSettingsFile(bytes);
}
