#include "sim/moduledisplay.h"

#include "link/frames.h"
#include "settings/codec.h"
#include "sim/simulatedmodule.h"

namespace {

constexpr int kMessageWindow = 2 * kLcdLineWidth;        // lines 3 and 4
const QString kScrollGap = QStringLiteral("   ");

QString lcdLine(const QString &text)
{
    return text.left(kLcdLineWidth).leftJustified(kLcdLineWidth, QLatin1Char(' '));
}

int secondsOf(const QString &timer)
{
    bool ok = false;
    const int seconds = timer.trimmed().toInt(&ok);
    return ok && seconds > 0 ? seconds : 0;
}

// Whether an output with this time is still on `elapsedMs` after the call.
bool stillOn(const QString &timer, qint64 elapsedMs)
{
    const int seconds = secondsOf(timer);
    return seconds == kAlwaysOnSeconds || elapsedMs < qint64(seconds) * 1000;
}

// The 80 characters of lines 3 and 4: the message as it stands, or, when it
// is longer, the part that has scrolled into view.
QString messageWindow(const QString &message, const QString &scrollTime, qint64 elapsedMs)
{
    const int stepMs = scrollTime.trimmed().toInt();
    if (message.size() <= kMessageWindow || stepMs <= 0)
        return message.left(kMessageWindow);
    const QString loop = message + kScrollGap;
    const qsizetype offset = (elapsedMs / stepMs) % loop.size();
    return (loop + loop).mid(offset, kMessageWindow);
}

void addSegment(QList<SignSegment> &sign, const QString &text, const QString &colourCode)
{
    if (!text.isEmpty())
        sign.append(SignSegment{text, colourCode});
}

} // namespace

std::optional<int> aliasNumberOfCall(const QString &code)
{
    if (!isTestCallCode(code))
        return std::nullopt;
    return code.endsWith(QLatin1Char('D')) ? code.chopped(1).toInt() : code.toInt();
}

std::optional<ModuleCall> lastCall(const SimulatedModule &module)
{
    const QList<ReceivedFrame> &frames = module.frames();
    for (auto frame = frames.crbegin(); frame != frames.crend(); ++frame) {
        if (frame->code == kNoNetworkCode || isTestCallCode(frame->code))
            return ModuleCall{frame->code, cp1252::decode(frame->content), frame->receivedAtMs};
    }
    return std::nullopt;
}

ModuleDisplay moduleDisplay(const ModuleSettings &stored, const std::optional<ModuleCall> &call,
                            qint64 nowMs)
{
    ModuleDisplay display;
    const qint64 elapsedMs = call ? std::max<qint64>(0, nowMs - call->atMs) : 0;
    const std::optional<int> alias = call ? aliasNumberOfCall(call->code) : std::nullopt;
    const QString aliasText = alias ? stored.aliases[size_t(*alias - 1)] : QString();
    const QString couplingText = alias ? stored.couplingText : QString();

    if (call && stillOn(stored.lcdClearTime, elapsedMs)) {
        const QString window = messageWindow(call->message, stored.scrollTime, elapsedMs);
        display.lcdLines = {lcdLine(aliasText), lcdLine(couplingText),
                            lcdLine(window.left(kLcdLineWidth)), lcdLine(window.mid(kLcdLineWidth))};
    } else {
        display.lcdLines = {lcdLine(stored.idleText), lcdLine({}), lcdLine({}), lcdLine({})};
    }

    if (call && stillOn(stored.signClearTime, elapsedMs)) {
        addSegment(display.sign, aliasText, stored.aliasColour);
        addSegment(display.sign, couplingText, stored.couplingColour);
        addSegment(display.sign, call->message, stored.messageColour);
    }

    display.relayOn = alias && stillOn(stored.relayTime, elapsedMs);
    display.backlightOn = call && stillOn(stored.backlightTime, elapsedMs);
    return display;
}
