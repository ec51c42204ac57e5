#include "sim/ptyhost.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyHost::PtyHost(QObject *parent) : QObject(parent)
{
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    // The receiving side gets the answer in chunks, as a USB-serial
    // adapter hands received bytes on (FTDI's latency timer: 16 ms).
    m_paceTimer.setInterval(kChunkIntervalMs);
    connect(&m_paceTimer, &QTimer::timeout, this, &PtyHost::sendPaced);
    m_module.onFrame = [this](const ReceivedFrame &frame) { emit frameReceived(frame); };
}

PtyHost::~PtyHost()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyHost::open()
{
    // Raw from the start: no echo, no CR/LF translation, all 8 bits through,
    // even before the tool's port sets its own line settings.
    termios raw{};
    cfmakeraw(&raw);
    cfsetspeed(&raw, B19200);
    char name[128] = {};
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        m_errorString = QString::fromLocal8Bit(std::strerror(errno));
        m_master = m_slave = -1;
        return false;
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_devicePath = QString::fromLocal8Bit(name);
    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyHost::readMaster);
    m_clock.start();
    return true;
}

void PtyHost::closeMaster()
{
    m_paceTimer.stop();
    if (m_floodNotifier) {
        m_floodNotifier->setEnabled(false);
        m_floodNotifier->deleteLater();
        m_floodNotifier = nullptr;
    }
    if (m_readNotifier) {
        m_readNotifier->setEnabled(false);
        m_readNotifier->deleteLater();
        m_readNotifier = nullptr;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void PtyHost::readMaster()
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            const QByteArray answer = m_module.receive(QByteArrayView(buffer, n), elapsedMs());
            if (!answer.isEmpty())
                queueAnswer(answer);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return;  // drained (EAGAIN), or nothing more to read
    }
}

void PtyHost::queueAnswer(const QByteArray &answer)
{
    QTimer::singleShot(std::max(0, m_module.behaviour.answerDelayMs), Qt::PreciseTimer, this,
                       [this, answer] {
                           if (m_master < 0)
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

void PtyHost::sendPaced()
{
    if (m_master < 0)
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
    if (due > m_sent) {
        const ssize_t n = ::write(m_master, m_outgoing.constData() + m_sent, size_t(due - m_sent));
        if (n > 0)
            m_sent += n;
    }
    if (pendingAnswer() == 0) {
        m_paceTimer.stop();
        if (m_module.behaviour.floodBytes > 0 && !m_floodNotifier) {
            m_floodLeft = m_module.behaviour.floodBytes;
            m_floodNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
            connect(m_floodNotifier, &QSocketNotifier::activated, this, &PtyHost::sendFlood);
        }
    }
}

void PtyHost::sendFlood()
{
    static const QByteArray chunk(64 * 1024, 'x');
    while (m_master >= 0 && m_floodLeft > 0) {
        const ssize_t n = ::write(m_master, chunk.constData(), size_t(std::min<qint64>(m_floodLeft, chunk.size())));
        if (n <= 0)
            return;   // the line is full: the notifier calls again when it takes more
        m_floodLeft -= n;
    }
    if (m_floodNotifier)
        m_floodNotifier->setEnabled(false);
}
