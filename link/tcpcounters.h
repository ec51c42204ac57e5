#pragma once
// What the system's TCP knows of a connection's outgoing bytes: how many the
// far end has acknowledged, and how many wait in the send queue (sent and
// not acknowledged yet, or not sent yet). Bytes a program hands over but the
// far end never acknowledged are exactly what a line that died silently
// swallows.

#include <QtGlobal>

#include <optional>

struct TcpCounters {
    quint64 acknowledged = 0;   // since the connection began
    quint64 queued = 0;         // in the kernel's send queue, not acknowledged

    // The stream offset just past the last byte the kernel was given.
    quint64 handedOver() const { return acknowledged + queued; }
};

// The counters of the connected socket `descriptor`, or nothing where the
// system does not tell (a Windows older than 10 1703, wine).
std::optional<TcpCounters> tcpCounters(qintptr descriptor);
