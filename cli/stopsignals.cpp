#include "cli/stopsignals.h"

#include <QMetaObject>

#include <csignal>

QString stopSignalName(int signalNumber)
{
    if (signalNumber == SIGINT)
        return QStringLiteral("Ctrl-C (SIGINT)");
    if (signalNumber == SIGTERM)
        return QStringLiteral("SIGTERM");
    return QStringLiteral("signal %1").arg(signalNumber);
}

StopCause stopCauseOf(int signalNumber)
{
    return StopCause{stopSignalName(signalNumber), exitCodeForSignal(signalNumber)};
}

#ifdef Q_OS_WIN
#include <windows.h>

namespace {

// Windows tells of Ctrl-C (and of a closed console, taken as SIGTERM) on a
// thread of its own; the event loop hears of it through a queued call.
StopSignals *g_stopSignals = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    const int signalNumber = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
    if (g_stopSignals)
        QMetaObject::invokeMethod(g_stopSignals, "onNotified", Qt::QueuedConnection, Q_ARG(int, signalNumber));
    return TRUE;
}

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
    g_stopSignals = this;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

StopSignals::~StopSignals()
{
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    g_stopSignals = nullptr;
}

#else
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler only writes the signal's number to a socket pair; the event
// loop reads it there, outside the handler.
int g_signalPipe[2] = {-1, -1};

void onStopSignal(int signalNumber)
{
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[0], &byte, 1);
}

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(g_signalPipe[1], &byte, 1) == 1)
            onNotified(byte);
    });
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

StopSignals::~StopSignals()
{
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    // The notifier goes with this object; the pair with it, so that a
    // program running many commands does not collect descriptors.
    qDeleteAll(findChildren<QSocketNotifier *>());
    for (int &end : g_signalPipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}
#endif

void StopSignals::onNotified(int signalNumber)
{
    // The first stop is the one the command reports; each one is passed on.
    if (m_received == 0)
        m_received = signalNumber;
    emit stopRequested(signalNumber);
}
