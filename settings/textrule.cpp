#include "settings/textrule.h"

#include "settings/codec.h"
#include "settings/fieldtable.h"

namespace {

bool isControlByte(char16_t u) { return u < 0x20 || u == 0x7F; }

} // namespace

qsizetype firstRefusedCharacter(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (isControlByte(c.unicode()) || !cp1252::canEncode(c))
            return i;
    }
    return -1;
}

QString refusedCharacterName(QChar c)
{
    const QString code = QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
    if (isControlByte(c.unicode()) || c.isSurrogate() || !c.isPrint())
        return code;
    return code + QStringLiteral(" (") + c + u')';
}

QList<NamedText> namedTexts(const ModuleSettings &s)
{
    QList<NamedText> texts;
    for (const SettingsField &field : settingsFields()) {
        if (field.isText())
            texts.append({field.name, field.dutchName, field.in(s), field.alias});
    }
    return texts;
}

QString TextFault::english() const
{
    return QStringLiteral("%1 holds %2 at position %3")
        .arg(field.name, refusedCharacterName(character)).arg(position);
}

QString TextFault::dutch() const
{
    return QStringLiteral("%1 bevat het teken %2 op positie %3")
        .arg(field.dutchName, refusedCharacterName(character)).arg(position);
}

QString KeyInText::english() const
{
    return QStringLiteral("%1 holds \"%2\", %3")
        .arg(field.name, key, ofTheDump ? QStringLiteral("a label of the module's dump")
                                        : QStringLiteral("a key of the file's data line"));
}

QString KeyInText::dutch() const
{
    return QStringLiteral("%1 bevat \"%2\", %3; pas de tekst aan.")
        .arg(field.dutchName, key, ofTheDump ? QStringLiteral("een sleutel van de KVR7314")
                                             : QStringLiteral("een sleutel van het bestand"));
}

std::optional<KeyInText> firstKeyInSentText(const ModuleSettings &settings)
{
    for (const SettingsField &field : settingsFields()) {
        if (!field.isSent() || !field.isText())
            continue;
        const QString &text = field.in(settings);
        const NamedText named{field.name, field.dutchName, text, field.alias};
        for (const SettingsField &other : settingsFields()) {
            if (!other.fileKey.isEmpty() && text.contains(QLatin1String(other.fileKey)))
                return KeyInText{named, QString::fromLatin1(other.fileKey), false};
        }
        for (const DumpLabel &label : dumpLabels()) {
            if (text.contains(label.text))
                return KeyInText{named, label.text.toString(), true};
        }
    }
    return std::nullopt;
}

std::optional<TextFault> firstTextFault(const ModuleSettings &settings)
{
    for (const NamedText &field : namedTexts(settings)) {
        const qsizetype at = firstRefusedCharacter(field.text);
        if (at >= 0)
            return TextFault{field, at + 1, field.text[at]};
    }
    return std::nullopt;
}
