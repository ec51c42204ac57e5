#include "readback/readbacksession.h"

#include "link/frames.h"

#include <QTimer>

namespace {

QTimer *makeTimer(QObject *parent, const char *name, int intervalMs, Qt::TimerType type)
{
    auto *timer = new QTimer(parent);
    timer->setObjectName(QLatin1String(name));
    timer->setInterval(intervalMs);
    timer->setTimerType(type);
    return timer;
}

} // namespace

ReadBackSession::ReadBackSession(PortOpener openPort, Options options, QObject *parent)
    : QObject(parent),
      m_openPort(std::move(openPort)),
      m_options(options),
      m_tmrFirstPoll(makeTimer(this, "Tmr_EerstePoll", kFirstPollDelayMs, Qt::PreciseTimer)),
      m_tmrQuiet(makeTimer(this, "Tmr_Stil", kQuietBeforeParseMs, Qt::PreciseTimer)),
      m_tmrInlezen(makeTimer(this, "Tmr_Inlezen", kPollIntervalMs, Qt::PreciseTimer)),
      // Precise: a coarse timer may fire 5% early, cutting the 12 s window.
      m_tmrVerwerkenData(makeTimer(this, "Tmr_Verwerken_Data", kParseDelayMs, Qt::PreciseTimer)),
      m_tmrKnippertijdLed(makeTimer(this, "Tmr_Knippertijd_LED", kBlinkIntervalMs, Qt::CoarseTimer))
{
    m_tmrFirstPoll->setSingleShot(true);
    m_tmrQuiet->setSingleShot(true);
    m_tmrVerwerkenData->setSingleShot(true);
    connect(m_tmrQuiet, &QTimer::timeout, this, &ReadBackSession::finishReadBack);
    connect(m_tmrFirstPoll, &QTimer::timeout, this, [this] {
        // A first poll that comes late, the loop busy elsewhere, still
        // finds an answer the system holds already.
        if (m_port && m_port->lastEvent() != PortEvent::Received)
            m_port->takeUpWaiting();
        pollReceive();
        // Taking everything at once, the session polls when characters
        // arrive instead of every millisecond.
        if (isRunning() && !m_options.takeAllWaiting)
            m_tmrInlezen->start();
    });
    connect(m_tmrInlezen, &QTimer::timeout, this, &ReadBackSession::pollReceive);
    connect(m_tmrVerwerkenData, &QTimer::timeout, this, &ReadBackSession::finishReadBack);
    connect(m_tmrKnippertijdLed, &QTimer::timeout, this, &ReadBackSession::blinkDataLed);
}

ReadBackSession::~ReadBackSession() = default;

void ReadBackSession::startReadBack()
{
    if (isRunning())
        return;
    m_run.start();
    m_complete = false;
    m_ledShown = true;
    emit ledChanged(true);

    m_port.reset();   // closed before the same port is opened again
    m_openPort([this](PortOpening opening) { portOpened(std::move(opening)); });
}

void ReadBackSession::portOpened(PortOpening opening)
{
    if (!isRunning())
        return;   // stopped while the port opened
    if (!opening.port) {
        m_run.abandon();
        endRun();
        emit failed(opening.failure);
        return;
    }
    m_port = std::move(opening.port);
    connect(m_port.get(), &SerialPort::failed, this, &ReadBackSession::onPortFailed);
    if (m_options.takeAllWaiting)
        connect(m_port.get(), &SerialPort::dataArrived, this, &ReadBackSession::pollReceive);

    // The blink timer starts once the port is open, so it is not running
    // under the box that a failed opening shows.
    m_tmrKnippertijdLed->start();
    m_port->writeBytes(readRequestFrame());
    if (isRunning())
        m_tmrFirstPoll->start();
}

void ReadBackSession::pollReceive()
{
    if (!isRunning())
        return;   // a tick queued before the run ended

    QString taken;
    if (m_port && m_port->lastEvent() == PortEvent::Received)
        taken = m_options.takeAllWaiting ? m_port->readWaiting() : m_port->readText();

    const qsizetype before = m_run.buffer().size();
    switch (m_run.poll(taken)) {
    case ReadBackRun::PollStep::NoData:
        failReadBack();
        return;
    case ReadBackRun::PollStep::StartParseTimer:
        m_tmrVerwerkenData->start();   // once: 12 s from the first character
        break;
    case ReadBackRun::PollStep::KeepPolling:
    case ReadBackRun::PollStep::Ignored:
        break;
    }
    if (m_run.buffer().size() != before) {
        emit received(int(m_run.buffer().size()));
        // Once complete, always complete: the first occurrences stay put.
        if (m_options.endWhenComplete && !m_complete)
            m_complete = isDumpComplete(m_run.buffer());
    }
    // A line still sending, even past what is kept, is not quiet.
    if (m_complete && !taken.isEmpty())
        m_tmrQuiet->start();
}

void ReadBackSession::finishReadBack()
{
    // Nothing that arrives from now on is used.
    stopTimers();
    if (!isRunning())
        return;
    const DumpParse parse = m_run.finish();
    endRun();
    emit finished(parse);
}

void ReadBackSession::failReadBack()
{
    stopTimers();
    m_run.abandon();
    endRun();
    emit noData();
}

void ReadBackSession::stop()
{
    if (!isRunning())
        return;
    stopTimers();
    m_run.abandon();
    endRun();
}

void ReadBackSession::blinkDataLed()
{
    m_ledShown = !m_ledShown;
    emit ledChanged(m_ledShown);
}

void ReadBackSession::stopTimers()
{
    m_tmrFirstPoll->stop();
    m_tmrQuiet->stop();
    m_tmrInlezen->stop();
    m_tmrVerwerkenData->stop();
}

void ReadBackSession::endRun()
{
    m_tmrKnippertijdLed->stop();
    m_ledShown = false;
    emit ledChanged(false);
}

void ReadBackSession::onPortFailed(const QString &description)
{
    if (!isRunning())
        return;
    stopTimers();
    m_run.abandon();
    endRun();
    emit failed(lineFailure(*m_port, description));
}

void ReadBackSession::releasePort()
{
    m_port.reset();
}
