#include "settings/textrule.h"

#include "settings/codec.h"

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
    for (int i = 0; i < kAliasCount; ++i) {
        texts.append({QStringLiteral("alias %1").arg(i + 1, 2, 10, QLatin1Char('0')),
                      QStringLiteral("Alias %1").arg(i + 1), s.aliases[size_t(i)]});
    }
    texts.append({QStringLiteral("coupling text"), QStringLiteral("Koppeltekst"), s.couplingText});
    texts.append({QStringLiteral("idle text"), QStringLiteral("Tekst LCD in rust"), s.idleText});
    texts.append({QStringLiteral("relay time"), QStringLiteral("Tijd relais"), s.relayTime});
    texts.append({QStringLiteral("sign clear time"), QStringLiteral("Tijd wissen lichtkrant"), s.signClearTime});
    texts.append({QStringLiteral("LCD clear time"), QStringLiteral("Tijd wissen LCD"), s.lcdClearTime});
    texts.append({QStringLiteral("backlight time"), QStringLiteral("Tijd achtergrondverlichting"), s.backlightTime});
    texts.append({QStringLiteral("scroll time"), QStringLiteral("Tijd scrollen"), s.scrollTime});
    texts.append({QStringLiteral("firmware version"), QStringLiteral("Firmwareversie"), s.firmwareVersion});
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

std::optional<TextFault> firstTextFault(const ModuleSettings &settings)
{
    for (const NamedText &field : namedTexts(settings)) {
        const qsizetype at = firstRefusedCharacter(field.text);
        if (at >= 0)
            return TextFault{field, at + 1, field.text[at]};
    }
    return std::nullopt;
}
