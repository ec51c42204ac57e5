#include "sim/simulatedmodule.h"

#include "link/frames.h"
#include "settings/codec.h"
#include "sim/moduledump.h"

namespace {

constexpr char kSelect = char(0xEF);
constexpr char kColourSelect = char(0xB0);

// Step 1 starts with a fixed block, then the alias colour and the speed.
const QByteArray kStep1Opening = QByteArray::fromHex("00FFFF000B00FF01") + "01" + char(0x02);

QString codeText(char byte)
{
    return QString::number(static_cast<unsigned char>(byte));
}

// EF B0 EF colour at `at`; the colour code, or nothing when not there.
std::optional<QString> colourAt(const QByteArray &content, qsizetype at)
{
    if (at < 0 || at + 4 > content.size() || content[at] != kSelect
        || content[at + 1] != kColourSelect || content[at + 2] != kSelect)
        return std::nullopt;
    return codeText(content[at + 3]);
}

} // namespace

SimulatedModule::SimulatedModule()
    : m_stored(settingsAsSent([] {
          ModuleSettings s = startupSettings();
          normaliseTimers(s);
          return s;
      }()))
{
}

QByteArray SimulatedModule::receive(QByteArrayView bytes, qint64 atMs)
{
    QByteArray answer;
    for (DecodedFrame &decoded : m_decoder.feed(bytes)) {
        ReceivedFrame frame{std::move(decoded.code), std::move(decoded.content), atMs};
        m_frames.append(frame);
        if (onFrame)
            onFrame(frame);
        answer += take(frame);
    }
    return answer;
}

QByteArray SimulatedModule::take(const ReceivedFrame &frame)
{
    const QString &code = frame.code;
    if (code == kReadRequestCode) {
        ++m_readRequests;
        return readAnswer();
    }
    if (code == kNoNetworkCode) {
        ++m_noNetworkNotices;
        return {};
    }
    if (isTestCallCode(code)) {
        m_testCalls.append(ReceivedTestCall{code, cp1252::decode(frame.content)});
        return {};
    }
    bool ok = false;
    const int step = code.toInt(&ok) - (kFirstStepCode - 1);
    if (!ok || code.size() != 2 || step < 1 || step > kProgrammingStepCount
        || !takeProgrammingStep(step, frame.content))
        ++m_rejectedFrames;
    return {};
}

bool SimulatedModule::takeProgrammingStep(int step, const QByteArray &content)
{
    if (step == 1) {
        // opening, EF B0 EF alias colour, EF speed
        const qsizetype at = kStep1Opening.size();
        const auto colour = colourAt(content, at);
        if (!content.startsWith(kStep1Opening) || !colour || content.size() != at + 6
            || content[at + 4] != kSelect)
            return false;
        m_stored.aliasColour = *colour;
        m_stored.scrollSpeed = codeText(content[at + 5]);
        return true;
    }
    if (step == 2)
        return content == QByteArray::fromHex("FFFF00");
    if (step >= 3 && step < 3 + kAliasCount) {
        m_stored.aliases[size_t(step - 3)] = cp1252::decode(content);
        return true;
    }
    if (const auto timer = timerOfStep(step)) {
        m_stored.timer(*timer) = cp1252::decode(content);
        return true;
    }
    if (step == 24)
        return content == " ";
    if (step == 25) {
        m_stored.idleText = cp1252::decode(content);
        return true;
    }
    // Step 26: coupling colour, coupling text, message colour.
    const auto coupling = colourAt(content, 0);
    const auto message = colourAt(content, content.size() - 4);
    if (content.size() < 8 || !coupling || !message)
        return false;
    m_stored.couplingColour = *coupling;
    m_stored.couplingText = cp1252::decode(content.mid(4, content.size() - 8));
    m_stored.messageColour = *message;
    return true;
}

QByteArray SimulatedModule::readAnswer() const
{
    if (!behaviour.answers)
        return {};
    QByteArray answer = behaviour.garbage + moduleDump(m_stored, behaviour.firmwareVersion);
    if (behaviour.cutAfter >= 0)
        answer.truncate(behaviour.cutAfter);
    return answer;
}
