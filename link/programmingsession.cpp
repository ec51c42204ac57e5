#include "link/programmingsession.h"

#include "link/frames.h"

#include <QTimer>

ProgrammingSession::ProgrammingSession(PortOpener openPort, std::function<ModuleSettings()> settings,
                                       QObject *parent)
    : QObject(parent), m_openPort(std::move(openPort)), m_settings(std::move(settings)), m_tmrPauze(new QTimer(this))
{
    m_tmrPauze->setObjectName(QStringLiteral("Tmr_Pauze"));
    m_tmrPauze->setInterval(ProgrammingRun::kTickIntervalMs);
    // A coarse timer may fire 5% early; the module's 300 ms between frames
    // is what the pace is for.
    m_tmrPauze->setTimerType(Qt::PreciseTimer);
    connect(m_tmrPauze, &QTimer::timeout, this, &ProgrammingSession::programmingTick);
}

ProgrammingSession::~ProgrammingSession() = default;

void ProgrammingSession::startProgramming()
{
    if (isRunning())
        return;
    ModuleSettings normalised = m_settings();
    normaliseTimers(normalised);
    for (const SettingsField *field : fieldsOfKind(FieldKind::Timer))
        emit fieldTextChanged(*field, field->in(normalised));

    forgetLastRun();
    m_running = true;
    m_run.start();
    m_tmrPauze->start();
}

void ProgrammingSession::forgetLastRun()
{
    m_stepsSent = 0;
    m_marks.clear();
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
    if (step != 1) {
        if (m_port)
            sendStep(step);
        return;
    }
    // The previous object goes first, so its port is closed before the
    // same port is opened again. No tick comes while the port opens.
    m_port.reset();
    m_tmrPauze->stop();
    m_openPort([this](PortOpening opening) { portOpened(std::move(opening)); });
}

void ProgrammingSession::portOpened(PortOpening opening)
{
    if (!m_running)
        return;   // stopped while the port opened
    if (!opening.port) {
        halt();
        emit failed(opening.failure);
        return;
    }
    m_port = std::move(opening.port);
    connect(m_port.get(), &SerialPort::failed, this, &ProgrammingSession::onPortFailed);
    sendStep(1);
    if (m_running)
        m_tmrPauze->start();   // the next tick 150 ms after frame 1 went out
}

void ProgrammingSession::sendStep(int step)
{
    // A timer's step pads it to four characters, and its box shows that.
    ModuleSettings now = m_settings();
    for (const SettingsField *field : fieldsOfStep(step)) {
        if (field->kind == FieldKind::Timer) {
            field->in(now) = sentText(*field, now);
            emit fieldTextChanged(*field, field->in(now));
        }
    }
    m_port->writeBytes(programmingStepFrame(step, now));
    if (!isRunning())
        return;   // the write failed at once
    m_marks.append(m_port->writeMark());
    m_stepsSent = step;
    emit stepSent(step);
}

void ProgrammingSession::finishProgramming()
{
    m_tmrPauze->stop();
    emit ledChanged(false);
    // A local port's steps have gone; a device server must confirm that it
    // has them all, since a line that died silently swallows what is on
    // its way.
    m_port->confirmWritten([this](const std::optional<QString> &failure) { confirmed(failure); });
}

void ProgrammingSession::confirmed(const std::optional<QString> &failure)
{
    if (!isRunning())
        return;   // stopped meanwhile
    settleStepsSent();
    m_running = false;
    if (!failure) {
        emit finished();
        return;
    }
    PortFailure unconfirmed = lineFailure(*m_port, *failure);
    unconfirmed.lostWrites = true;
    emit failed(unconfirmed);
}

void ProgrammingSession::settleStepsSent()
{
    if (!m_port)
        return;
    // Acknowledgements come in order: the last step reached has all before it.
    int reached = int(m_marks.size());
    while (reached > 0 && !m_port->hasReached(m_marks[reached - 1]))
        --reached;
    m_stepsSent = reached;
}

void ProgrammingSession::halt()
{
    m_running = false;
    m_tmrPauze->stop();
    emit ledChanged(false);
}

void ProgrammingSession::stop()
{
    if (!m_running)
        return;
    settleStepsSent();
    halt();
}

void ProgrammingSession::onPortFailed(const QString &description)
{
    // After the run the line is none of this session's business: the next
    // operation opens the port anew and says so if it cannot.
    if (!isRunning())
        return;
    settleStepsSent();
    halt();
    emit failed(lineFailure(*m_port, description));
}

void ProgrammingSession::releasePort()
{
    m_port.reset();
}
