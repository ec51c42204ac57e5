#include "readback/readbackrun.h"

void ReadBackRun::start()
{
    m_buffer.clear();
    m_anythingReceived = false;
    m_phase = Phase::WaitingForReply;
}

ReadBackRun::PollStep ReadBackRun::poll(QStringView received)
{
    if (m_phase == Phase::Idle)
        return PollStep::Ignored;

    // A character 0 (a line idling low, a module resetting) carries nothing
    // and is not kept, but it does tell that the module answered. Past what
    // the parser can reach nothing is kept: a flooding line costs no memory.
    if (!received.isEmpty())
        m_anythingReceived = true;
    for (QChar c : received) {
        if (c != QChar(0) && m_buffer.size() < kMaxDumpCharacters)
            m_buffer.append(c);
    }

    if (!m_anythingReceived) {
        // The reply must have begun by the first poll; no waiting for a late one.
        m_phase = Phase::Idle;
        return PollStep::NoData;
    }
    if (m_phase == Phase::WaitingForReply) {
        m_phase = Phase::Collecting;
        return PollStep::StartParseTimer;
    }
    return PollStep::KeepPolling;
}

DumpParse ReadBackRun::finish()
{
    m_phase = Phase::Idle;
    return parseModuleDump(m_buffer);
}
