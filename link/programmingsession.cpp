#include "link/programmingsession.h"

#include "link/frames.h"

#include <QTimer>

ProgrammingSession::ProgrammingSession(Links links, QObject *parent)
    : QObject(parent), m_links(std::move(links)), m_tmrPauze(new QTimer(this))
{
    m_tmrPauze->setObjectName(QStringLiteral("Tmr_Pauze"));
    m_tmrPauze->setInterval(ProgrammingRun::kTickIntervalMs);
    // A coarse timer may fire 5% early; the module's 300 ms between frames
    // is what the pace is for.
    m_tmrPauze->setTimerType(Qt::PreciseTimer);
    connect(m_tmrPauze, &QTimer::timeout, this, &ProgrammingSession::programmingTick);
}

ProgrammingSession::~ProgrammingSession() = default;

bool ProgrammingSession::isRunning() const { return m_tmrPauze->isActive(); }

void ProgrammingSession::startProgramming()
{
    if (isRunning())
        return;
    ModuleSettings normalised = m_links.settings();
    normaliseTimers(normalised);
    for (TimerField field : kTimerFields)
        emit timerTextChanged(field, normalised.timer(field));

    m_stepsSent = 0;
    m_run.start();
    m_tmrPauze->start();
}

void ProgrammingSession::programmingTick()
{
    // A run that has ended or was halted (its port failed) takes no step.
    if (!isRunning())
        return;
    const ProgrammingTick tick = m_run.tick();
    if (tick.sendStep != 0) {
        sendProgrammingStep(tick.sendStep);
        if (!isRunning())
            return;
    }
    emit ledChanged(tick.ledShown);
    if (tick.finished)
        finishProgramming();
}

void ProgrammingSession::sendProgrammingStep(int step)
{
    if (step == 1) {
        // The previous object goes first, so its port is closed before the
        // same port is opened again.
        m_port.reset();
        PortFailure failure;
        m_port = openPort(m_links.newPort, m_links.comPort(), &failure);
        if (!m_port) {
            halt();
            emit failed(failure);
            return;
        }
        connect(m_port.get(), &SerialPort::failed, this, &ProgrammingSession::onPortFailed);
    }
    if (!m_port)
        return;

    ModuleSettings now = m_links.settings();
    if (const auto timer = timerOfStep(step)) {
        now.timer(*timer) = padTimer(now.timer(*timer));
        emit timerTextChanged(*timer, now.timer(*timer));
    }
    m_port->writeBytes(programmingStepFrame(step, now));
    if (!isRunning())
        return;   // the write failed at once
    m_stepsSent = step;
    emit stepSent(step);
}

void ProgrammingSession::finishProgramming()
{
    halt();
    emit finished();
}

void ProgrammingSession::halt()
{
    m_tmrPauze->stop();
    emit ledChanged(false);
}

void ProgrammingSession::onPortFailed(const QString &description)
{
    // After the run the line is none of this session's business: the next
    // operation opens the port anew and says so if it cannot.
    if (!isRunning())
        return;
    halt();
    emit failed(lineFailure(*m_port, description));
}

void ProgrammingSession::releasePort()
{
    m_port.reset();
}
