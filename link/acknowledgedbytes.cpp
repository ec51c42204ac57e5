#include "link/acknowledgedbytes.h"

#include <algorithm>

int AcknowledgedBytes::mark(std::optional<quint64> end)
{
    if (end)
        known(*end);
    m_ends.append(end);
    return int(m_ends.size()) - 1;
}

void AcknowledgedBytes::known(quint64 end)
{
    for (std::optional<quint64> &waiting : m_ends) {
        if (!waiting)
            waiting = end;
    }
}

void AcknowledgedBytes::acknowledged(quint64 offset)
{
    // The kernel's count only grows; a smaller one read later is stale.
    m_acknowledged = std::max(m_acknowledged, offset);
}

void AcknowledgedBytes::answeredAfter(int mark)
{
    m_answeredUpTo = std::max(m_answeredUpTo, mark);
}

bool AcknowledgedBytes::reached(int mark) const
{
    if (mark < 0 || mark >= m_ends.size())
        return false;
    if (mark <= m_answeredUpTo)
        return true;
    const std::optional<quint64> &end = m_ends[mark];
    return end && *end <= m_acknowledged;
}
