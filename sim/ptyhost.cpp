#include "sim/ptyhost.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyHost::PtyHost(QObject *parent) : ModuleLine(parent) {}

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
    startClock();
    return true;
}

void PtyHost::closeMaster()
{
    stopPacing();
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
            takeFromTool(QByteArrayView(buffer, n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return;  // drained (EAGAIN), or nothing more to read
    }
}

qsizetype PtyHost::deliver(QByteArrayView bytes)
{
    const ssize_t n = ::write(m_master, bytes.data(), size_t(bytes.size()));
    return n > 0 ? qsizetype(n) : 0;
}

void PtyHost::answerSent()
{
    if (module().behaviour.floodBytes > 0 && !m_floodNotifier) {
        m_floodLeft = module().behaviour.floodBytes;
        m_floodNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
        connect(m_floodNotifier, &QSocketNotifier::activated, this, &PtyHost::sendFlood);
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
