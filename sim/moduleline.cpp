#include "sim/moduleline.h"

#include <algorithm>

ModuleLine::ModuleLine(QObject *parent) : QObject(parent)
{
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    m_paceTimer.setInterval(kChunkIntervalMs);
    connect(&m_paceTimer, &QTimer::timeout, this, &ModuleLine::sendPaced);
    m_module.onFrame = [this](const ReceivedFrame &frame) {
        emit frameReceived(frame);
        // A module that drops off does so as the last frame of its count
        // arrives.
        if (m_module.frames().size() == m_module.behaviour.hangUpAfter) {
            hangUp();
            emit hungUp();
        }
    };
    m_clock.start();
}

ModuleLine::~ModuleLine() = default;

void ModuleLine::takeFromTool(QByteArrayView bytes)
{
    const QByteArray answer = m_module.receive(bytes, elapsedMs());
    if (!answer.isEmpty())
        queueAnswer(answer);
}

void ModuleLine::queueAnswer(const QByteArray &answer)
{
    QTimer::singleShot(std::max(0, m_module.behaviour.answerDelayMs), Qt::PreciseTimer, this, [this, answer] {
        if (!isConnected())
            return;
        if (pendingAnswer() == 0) {
            m_outgoing.clear();
            m_sent = 0;
            m_sendStartMs = elapsedMsPrecise();
        }
        m_outgoing += answer;
        sendPaced();
        if (!m_paceTimer.isActive() && pendingAnswer() > 0)
            m_paceTimer.start();
    });
}

void ModuleLine::sendPaced()
{
    if (!isConnected())
        return;
    const qsizetype due = charactersDue(elapsedMsPrecise() - m_sendStartMs, m_outgoing.size(), m_module.behaviour);
    if (due > m_sent)
        m_sent += std::max<qsizetype>(0, deliver(QByteArrayView(m_outgoing).sliced(m_sent, due - m_sent)));
    if (pendingAnswer() == 0) {
        m_paceTimer.stop();
        answerSent();
    }
}

qsizetype ModuleLine::charactersDue(double sendingMs, qsizetype size, const ModuleBehaviour &behaviour)
{
    if (behaviour.pauseAfter >= 0) {
        const double pauseStartMs = behaviour.pauseAfter / kCharactersPerMs;
        if (sendingMs > pauseStartMs)
            sendingMs = std::max(pauseStartMs, sendingMs - behaviour.pauseMs);
    }
    return std::min<qsizetype>(size, qsizetype(sendingMs * kCharactersPerMs) + 1);
}
