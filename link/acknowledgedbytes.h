#pragma once
// How far the bytes sent on a connection have come. Each write is marked by
// the stream offset just past its last byte; it has reached the far end once
// the far end's TCP has acknowledged that offset, or once the far end has
// answered a request sent after it (it read every byte before the request).
// Plain bookkeeping on numbers: the network line feeds it the kernel's counts.

#include <QList>
#include <QtGlobal>

#include <optional>

class AcknowledgedBytes {
public:
    // A mark for everything written so far. `end` is the stream offset just
    // past the last byte, or nothing while it cannot be known yet (bytes
    // still waiting to be encrypted): the next offset that becomes known then
    // stands in for it, which is later, never earlier.
    int mark(std::optional<quint64> end);
    // An offset became known: the marks that wait for one take it.
    void known(quint64 end);
    // The far end has acknowledged every byte before `offset`.
    void acknowledged(quint64 offset);
    // The far end answered a request sent after `mark`.
    void answeredAfter(int mark);

    bool reached(int mark) const;

private:
    QList<std::optional<quint64>> m_ends;
    quint64 m_acknowledged = 0;
    int m_answeredUpTo = -1;
};
