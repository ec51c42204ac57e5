#include "files/settingsfile.h"

#include "files/safefile.h"
#include "settings/codec.h"
#include "settings/fieldtable.h"
#include "settings/textrule.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

#include <algorithm>
#include <array>
#include <optional>

namespace {

constexpr QByteArrayView kLineEnd = "\r\n";

// The fields on the data line, in the order they are written and searched:
// each key is followed by its value. A text runs up to the next key, a code
// is three characters, the last value runs to the end of the line.
QList<const SettingsField *> lineFields()
{
    QList<const SettingsField *> fields;
    for (const SettingsField &field : settingsFields()) {
        if (!field.fileKey.isEmpty())
            fields.append(&field);
    }
    return fields;
}

constexpr int kCodeLength = 3;

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
// before kLastPosition, or 0 when there is none. Only the part of the line
// that such an occurrence can cover is searched, so a line of megabytes
// costs no more than one of 32 kB.
int firstPosition(QByteArrayView line, QByteArrayView text)
{
    const qsizetype reach = std::min<qsizetype>(line.size(), kLastPosition - 1 + text.size());
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
    for (const SettingsField *field : lineFields()) {
        if (bytes.contains(field->fileKey))
            return field->fileKey;
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
    for (const SettingsField *field : lineFields()) {
        if (field->in(a) != field->in(b))
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
    const QString firmware = settings.firmwareVersion.isEmpty() ? kFirmwareNotReadText : settings.firmwareVersion;
    const QString header[] = {
        QStringLiteral("KVR7314 - INSTELLINGEN"),
        QStringLiteral("======================"),
        QStringLiteral(" "),
        QStringLiteral("Bestand gemaakt op : ") + savedMomentText(monthName, savedAt),
        QStringLiteral("Bestandsnaam       : ") + path,
        QStringLiteral("Versie prg software: ") + programVersion,
        QStringLiteral("Versie KVR firmware: ") + firmware,
        QStringLiteral("Type ontvanger     : ") + receiverBoardText(settings.receiverType),
        QStringLiteral(" "),
        QStringLiteral("LET OP: voor een goede werking in dit bestand geen wijzigingen aanbrengen!"),
        QStringLiteral(" "),
    };

    QByteArray bytes;
    for (const QString &line : header)
        bytes.append(cp1252::encode(line)).append(kLineEnd);
    bytes.append(flex ? kFlexMarker : kPocsagMarker);
    for (const SettingsField *field : lineFields())
        bytes.append(field->fileKey).append(cp1252::encode(field->in(settings)));
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
            const KeyInText found{field, QString::fromLatin1(*key), false};
            return FileReason{found.english(), found.dutch()};
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

SaveOutcome writeSettingsFile(const QString &path, const ModuleSettings &settings, const QDateTime &savedAt)
{
    return writeSettingsFile(path, settings, kProgramVersion, dutchMonthName(savedAt.date().month()), savedAt);
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
    const QList<const SettingsField *> fields = lineFields();
    QList<int> position;
    for (const SettingsField *field : fields) {
        position.append(firstPosition(line, field->fileKey));
        if (position.back() == 0) {
            const QString keyText = QString::fromLatin1(field->fileKey);
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
    for (qsizetype k = 0; k < fields.size(); ++k) {
        const SettingsField &field = *fields[k];
        const int start = position[k] + int(field.fileKey.size());
        if (start > kLastPosition)
            return failed();
        QString &value = field.in(values);
        if (k == fields.size() - 1) {
            value = charactersFrom(line, start);
        } else if (field.isChoice()) {
            value = charactersFrom(line, start, kCodeLength);
        } else {
            const int length = position[k + 1] - start;
            if (length < 0)
                return failed();
            value = charactersFrom(line, start, length);
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
