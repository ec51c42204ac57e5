// kvr7314-modulefarm: many simulated KVR7314s, each behind a raw TCP port
// of its own on loopback, as a country's device servers would put them, in
// one light process: one thread, epoll, no Qt event loop. Each module takes
// the tool's frames as the simulated module does and answers the read
// request at the pace of a 19200 baud line. The kernel stamps every packet
// it receives (SO_TIMESTAMPNS), so the gaps between a module's frames are
// those of the line, whatever this process is doing.
//
//   kvr7314-modulefarm N [--expect FILE.kvr] [--stats FILE]
//
// Prints the N ports, one a line, then "ready". Runs until its standard
// input closes, then writes per module to the stats file (default: standard
// output): "module I frames F steps S exact E times T1,T2,..." with the
// programming steps it took, whether they were the 26 frames of FILE.kvr
// byte for byte (1) or not (0), and the kernel's receive time of each step
// in microseconds.

#include "files/settingsfile.h"
#include "link/frames.h"
#include "sim/moduleline.h"
#include "sim/simulatedmodule.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

double nowMs()
{
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Module {
    int listener = -1;
    int connection = -1;
    quint16 port = 0;
    SimulatedModule module;
    QByteArray outgoing;        // the answer on its way
    double sendFromMs = 0;      // when its first byte goes
    qsizetype sent = 0;
    double receivedAtUs = 0;           // the kernel's receive time of the bytes being taken
    std::vector<double> stepTimesUs;   // the kernel's receive time of each programming step
    QByteArray stepBytes;              // the programming frames as they came
};

void raiseOpenFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int listenOn(quint16 *port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || listen(fd, 4) != 0
        || getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

// What arrived on a module's connection, with the kernel's time of it.
void receive(Module &m, int epoll)
{
    char bytes[4096];
    char control[CMSG_SPACE(sizeof(timespec))];
    for (;;) {
        iovec io{bytes, sizeof bytes};
        msghdr message{};
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(m.connection, &message, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            epoll_ctl(epoll, EPOLL_CTL_DEL, m.connection, nullptr);
            close(m.connection);
            m.connection = -1;
            return;
        }
        if (n < 0)
            return;
        double atUs = nowMs() * 1e3;
        for (cmsghdr *c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_TIMESTAMPNS) {
                timespec stamp{};
                std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
                atUs = stamp.tv_sec * 1e6 + stamp.tv_nsec / 1e3;
            }
        }
        m.receivedAtUs = atUs;
        const QByteArray answer = m.module.receive(QByteArrayView(bytes, n), qint64(atUs / 1e3));
        if (!answer.isEmpty()) {
            m.outgoing = answer;
            m.sent = 0;
            m.sendFromMs = nowMs() + m.module.behaviour.answerDelayMs;
        }
    }
}

// Sends each answer on at the line's pace, in chunks every
// ModuleLine::kChunkIntervalMs as a USB-serial adapter hands them on.
void sendPaced(std::vector<std::unique_ptr<Module>> &modules)
{
    const double now = nowMs();
    for (auto &m : modules) {
        if (m->connection < 0 || m->sent >= m->outgoing.size() || now < m->sendFromMs)
            continue;
        const qsizetype due = ModuleLine::charactersDue(now - m->sendFromMs, m->outgoing.size(), m->module.behaviour);
        if (due <= m->sent)
            continue;
        const ssize_t n = send(m->connection, m->outgoing.constData() + m->sent, size_t(due - m->sent), MSG_NOSIGNAL);
        if (n > 0)
            m->sent += n;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int count = arguments.value(1).toInt();
    if (count < 1) {
        std::fprintf(stderr, "usage: kvr7314-modulefarm N [--expect FILE.kvr] [--stats FILE]\n");
        return 2;
    }
    QByteArray expected;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--expect")); at > 0) {
        const SettingsFileOutcome read = readSettingsFile(arguments.value(at + 1));
        if (read.kind != SettingsFileOutcome::Loaded) {
            std::fprintf(stderr, "kvr7314-modulefarm: %s is no settings file\n", qPrintable(arguments.value(at + 1)));
            return 2;
        }
        ModuleSettings settings = applyUpdate(startupSettings(), read.update);
        normaliseTimers(settings);
        const ModuleSettings sent = settingsAsSent(settings);
        for (int step = 1; step <= kProgrammingStepCount; ++step)
            expected += programmingStepFrame(step, sent);
    }
    const qsizetype statsAt = arguments.indexOf(QStringLiteral("--stats"));
    raiseOpenFileLimit();

    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    std::vector<std::unique_ptr<Module>> modules;
    for (int i = 0; i < count; ++i) {
        auto m = std::make_unique<Module>();
        m->listener = listenOn(&m->port);
        if (m->listener < 0) {
            std::fprintf(stderr, "kvr7314-modulefarm: cannot listen: %s\n", std::strerror(errno));
            return 1;
        }
        m->module.onFrame = [raw = m.get()](const ReceivedFrame &frame) {
            if (!programmingStepOf(frame.code))
                return;
            raw->stepTimesUs.push_back(raw->receivedAtUs);
            raw->stepBytes += moduleFrame(frame.code, frame.content);
        };
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = (quint64(i) << 1) | 1;   // odd: a listener
        epoll_ctl(epoll, EPOLL_CTL_ADD, m->listener, &event);
        std::printf("%u\n", m->port);
        modules.push_back(std::move(m));
    }
    const int ticker = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    const itimerspec every{{0, ModuleLine::kChunkIntervalMs * 1000000}, {0, ModuleLine::kChunkIntervalMs * 1000000}};
    timerfd_settime(ticker, 0, &every, nullptr);
    epoll_event tick{};
    tick.events = EPOLLIN;
    tick.data.u64 = ~quint64(0);
    epoll_ctl(epoll, EPOLL_CTL_ADD, ticker, &tick);
    epoll_event input{};
    input.events = EPOLLIN | EPOLLHUP;
    input.data.u64 = ~quint64(0) - 1;
    epoll_ctl(epoll, EPOLL_CTL_ADD, STDIN_FILENO, &input);
    std::printf("ready\n");
    std::fflush(stdout);

    bool running = true;
    std::vector<epoll_event> events(256);
    while (running) {
        const int n = epoll_wait(epoll, events.data(), int(events.size()), -1);
        for (int e = 0; e < n; ++e) {
            const quint64 key = events[e].data.u64;
            if (key == ~quint64(0)) {
                quint64 expirations = 0;
                if (read(ticker, &expirations, sizeof expirations) < 0) {
                }
                sendPaced(modules);
            } else if (key == ~quint64(0) - 1) {
                char drain[256];
                if (read(STDIN_FILENO, drain, sizeof drain) <= 0)
                    running = false;
            } else if (key & 1) {
                Module &m = *modules[key >> 1];
                const int fd = accept4(m.listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (fd < 0)
                    continue;
                if (m.connection >= 0) {
                    // One client at a time, as a device server's port.
                    static const char busy[] = "Port already in use\r\n";
                    if (send(fd, busy, sizeof busy - 1, MSG_NOSIGNAL) < 0) {
                    }
                    close(fd);
                    continue;
                }
                const int one = 1;
                setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &one, sizeof one);
                setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                m.connection = fd;
                epoll_event event{};
                event.events = EPOLLIN;
                event.data.u64 = quint64(key >> 1) << 1;   // even: a connection
                epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event);
            } else {
                receive(*modules[key >> 1], epoll);
            }
        }
    }

    std::FILE *stats = statsAt > 0 ? std::fopen(qPrintable(arguments.value(statsAt + 1)), "w") : stdout;
    if (!stats)
        return 1;
    for (size_t i = 0; i < modules.size(); ++i) {
        const Module &m = *modules[i];
        const bool exact = !expected.isEmpty() && m.stepBytes.endsWith(expected);
        std::fprintf(stats, "module %zu frames %lld steps %zu exact %d times ", i, qint64(m.module.frames().size()),
                     m.stepTimesUs.size(), exact ? 1 : 0);
        for (size_t t = 0; t < m.stepTimesUs.size(); ++t)
            std::fprintf(stats, "%s%.0f", t == 0 ? "" : ",", m.stepTimesUs[t]);
        std::fprintf(stats, "\n");
    }
    if (stats != stdout)
        std::fclose(stats);
    return 0;
}
