#include "sim/moduleline.h"

#include <algorithm>

ModuleLine::ModuleLine(QObject *parent) : QObject(parent)
{
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    m_paceTimer.setInterval(kChunkIntervalMs);
    connect(&m_paceTimer, &QTimer::timeout, this, &ModuleLine::sendPaced);
    m_module.onFrame = [this](const ReceivedFrame &frame) { emit frameReceived(frame); };
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
    // Everything a 19200 baud line would have carried by now, and no more;
    // a slow module's pause holds the line still for a while.
    double sendingMs = elapsedMsPrecise() - m_sendStartMs;
    const ModuleBehaviour &b = m_module.behaviour;
    if (b.pauseAfter >= 0) {
        const double pauseStartMs = b.pauseAfter / kCharactersPerMs;
        if (sendingMs > pauseStartMs)
            sendingMs = std::max(pauseStartMs, sendingMs - b.pauseMs);
    }
    const qsizetype due = std::min<qsizetype>(m_outgoing.size(), qsizetype(sendingMs * kCharactersPerMs) + 1);
    if (due > m_sent)
        m_sent += std::max<qsizetype>(0, deliver(QByteArrayView(m_outgoing).sliced(m_sent, due - m_sent)));
    if (pendingAnswer() == 0) {
        m_paceTimer.stop();
        answerSent();
    }
}
