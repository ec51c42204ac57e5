#include "readback/dumpcomparison.h"

#include "link/frames.h"
#include "readback/dumpparser.h"
#include "settings/codec.h"
#include "settings/textrule.h"

namespace {

// The module keeps the scroll time in three digits and its dump gives those
// three: a "0350" that was sent comes back as "350". Only the leading zero
// of the four characters sent is dropped, so a scroll time of four
// significant digits, which the module cannot hold, shows as a difference.
QString scrollTimeAsDumped(const QString &sent)
{
    return sent.size() == 4 && sent.startsWith(u'0') ? sent.mid(1) : sent;
}

// The dump writes the coupling text back inside programming step 26, where
// a character outside printable ASCII appears as its byte value in angle
// brackets ("café" reads "caf<233>").
QString couplingTextAsDumped(const QString &sent)
{
    return cp1252::decode(dumpWrittenForm(cp1252::encode(sent)));
}

QString receiverName(ReceiverType type)
{
    return type == ReceiverType::Flex ? QStringLiteral("FLEX") : QStringLiteral("POCSAG");
}

// The texts and codes both sides carry, in the order of the dump's fields.
QList<FieldDifference> valueDifferences(const ModuleSettings &a, const ModuleSettings &b)
{
    QList<FieldDifference> differences;
    const auto compare = [&](const QString &field, const QString &first, const QString &second) {
        if (first != second)
            differences.append({field, first, second});
    };
    const QList<NamedText> textsA = namedTexts(a);
    const QList<NamedText> textsB = namedTexts(b);
    // Aliases, coupling and idle text first, then the codes, then the timers.
    const qsizetype timersAt = kAliasCount + 2;
    for (qsizetype i = 0; i < timersAt; ++i)
        compare(textsA[i].name, textsA[i].text, textsB[i].text);
    compare(QStringLiteral("alias colour"), a.aliasColour, b.aliasColour);
    compare(QStringLiteral("coupling colour"), a.couplingColour, b.couplingColour);
    compare(QStringLiteral("message colour"), a.messageColour, b.messageColour);
    compare(QStringLiteral("scroll speed"), a.scrollSpeed, b.scrollSpeed);
    for (qsizetype i = timersAt; i < timersAt + qsizetype(kTimerFields.size()); ++i)
        compare(textsA[i].name, textsA[i].text, textsB[i].text);
    return differences;
}

} // namespace

ModuleSettings asModuleHolds(const ModuleSettings &settings)
{
    ModuleSettings held = settingsAsSent(settings);
    held.scrollTime = scrollTimeAsDumped(held.scrollTime);
    held.couplingText = couplingTextAsDumped(held.couplingText);
    return held;
}

QList<FieldDifference> settingsDifferences(const ModuleSettings &a, const ModuleSettings &b)
{
    QList<FieldDifference> differences;
    if (a.receiverType != b.receiverType)
        differences.append({QStringLiteral("receiver type"), receiverName(a.receiverType), receiverName(b.receiverType)});
    return differences + valueDifferences(a, b);
}

QList<FieldDifference> heldDifferences(const ModuleSettings &a, const ModuleSettings &b)
{
    return valueDifferences(asModuleHolds(a), asModuleHolds(b));
}

QList<FieldDifference> moduleDifferences(const ModuleSettings &written, const ModuleSettings &read)
{
    return valueDifferences(asModuleHolds(written), read);
}
