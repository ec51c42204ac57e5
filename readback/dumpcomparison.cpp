#include "readback/dumpcomparison.h"

#include "link/frames.h"
#include "readback/dumpparser.h"
#include "settings/codec.h"

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

} // namespace

QList<FieldDifference> moduleDifferences(const ModuleSettings &written, const ModuleSettings &read)
{
    // What the module should hold is what the steps carried: an empty alias
    // as "CAPCODE nn", every timer as the four characters sent ("10" -> "0010").
    const ModuleSettings sent = settingsAsSent(written);

    QList<FieldDifference> differences;
    const auto compare = [&](const QString &field, const QString &expected, const QString &found) {
        if (expected != found)
            differences.append({field, expected, found});
    };

    for (int i = 0; i < kAliasCount; ++i)
        compare(QStringLiteral("alias %1").arg(i + 1, 2, 10, QLatin1Char('0')), sent.aliases[size_t(i)],
                read.aliases[size_t(i)]);
    compare(QStringLiteral("coupling text"), couplingTextAsDumped(sent.couplingText), read.couplingText);
    compare(QStringLiteral("idle text"), sent.idleText, read.idleText);
    compare(QStringLiteral("alias colour"), sent.aliasColour, read.aliasColour);
    compare(QStringLiteral("coupling colour"), sent.couplingColour, read.couplingColour);
    compare(QStringLiteral("message colour"), sent.messageColour, read.messageColour);
    compare(QStringLiteral("scroll speed"), sent.scrollSpeed, read.scrollSpeed);
    compare(QStringLiteral("relay time"), sent.relayTime, read.relayTime);
    compare(QStringLiteral("sign clear time"), sent.signClearTime, read.signClearTime);
    compare(QStringLiteral("LCD clear time"), sent.lcdClearTime, read.lcdClearTime);
    compare(QStringLiteral("backlight time"), sent.backlightTime, read.backlightTime);
    compare(QStringLiteral("scroll time"), scrollTimeAsDumped(sent.scrollTime), read.scrollTime);
    return differences;
}
