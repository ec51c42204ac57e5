#include "sim/simulatedmodule.h"

#include "link/frames.h"
#include "link/moduledump.h"
#include "settings/codec.h"

SimulatedModule::SimulatedModule()
{
    holdWritten(startupSettings());
}

void SimulatedModule::holdWritten(ModuleSettings settings)
{
    normaliseTimers(settings);
    m_stored = settingsAsSent(settings);
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
    const std::optional<int> step = programmingStepOf(code);
    if (!step || !takeProgrammingStep(*step, frame.content))
        ++m_rejectedFrames;
    return {};
}

bool SimulatedModule::takeProgrammingStep(int step, const QByteArray &content)
{
    const std::optional<QList<StepValue>> values = decodeProgrammingStep(step, content);
    if (!values)
        return false;
    if (behaviour.keepsSettings)
        return true;
    for (const StepValue &taken : *values)
        taken.field->in(m_stored) = taken.value;
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
