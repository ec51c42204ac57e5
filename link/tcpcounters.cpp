#include "link/tcpcounters.h"

#ifdef Q_OS_WIN
// SIO_TCP_INFO and TCP_INFO_v0 are declared for Windows 10 1703 and later.
#undef NTDDI_VERSION
#define NTDDI_VERSION 0x0A000003
#include <winsock2.h>
#include <mstcpip.h>
#include <ws2tcpip.h>
#else
// The kernel's own tcp_info: glibc's copy stops before tcpi_bytes_acked.
#include <linux/sockios.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#endif

std::optional<TcpCounters> tcpCounters(qintptr descriptor)
{
    if (descriptor < 0)
        return std::nullopt;
#ifdef Q_OS_WIN
    DWORD version = 0;
    TCP_INFO_v0 info{};
    DWORD returned = 0;
    if (WSAIoctl(SOCKET(descriptor), SIO_TCP_INFO, &version, sizeof version, &info, sizeof info, &returned, nullptr,
                 nullptr)
            != 0
        || returned < sizeof info)
        return std::nullopt;
    // Windows counts the bytes sent, retransmissions among them, and those
    // in flight; what it has not sent yet it does not count, and on a line
    // that died they stay in flight.
    const quint64 sent = info.BytesOut > info.BytesRetrans ? info.BytesOut - info.BytesRetrans : 0;
    TcpCounters counters;
    counters.queued = info.BytesInFlight;
    counters.acknowledged = sent > counters.queued ? sent - counters.queued : 0;
    return counters;
#else
    struct tcp_info info {};
    socklen_t length = sizeof info;
    if (::getsockopt(int(descriptor), IPPROTO_TCP, TCP_INFO, &info, &length) != 0
        || length < offsetof(struct tcp_info, tcpi_bytes_acked) + sizeof info.tcpi_bytes_acked)
        return std::nullopt;
    int queued = 0;
    if (::ioctl(int(descriptor), SIOCOUTQ, &queued) != 0 || queued < 0)
        return std::nullopt;
    return TcpCounters{info.tcpi_bytes_acked, quint64(queued)};
#endif
}
