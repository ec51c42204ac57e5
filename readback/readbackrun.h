#pragma once
// The receive side of one read-back run, as a state machine on values: the
// read-back session owns the timers and the port and calls these on each tick.
//
//   start()   "lezen": empty buffer, waiting for the module's reply
//   poll()    one tick of Tmr_Inlezen with what readText gave (at most one
//             character): the first poll decides between no data and
//             collecting (any byte counts, a NUL too), and asks for the
//             parse timer once
//   finish()  the one tick of Tmr_Verwerken_Data: the buffer is parsed and
//             nothing received afterwards is used
//   abandon() the run ended otherwise (no data, port failure)

#include "readback/dumpparser.h"

#include <QString>
#include <QStringView>

// The run's timing, one definition for every caller that drives it.
//
// The first poll decides whether the module answered at all, so it must not
// come before a real module can have begun its reply: the 6-byte request
// needs about 3 ms on the line at 19200 baud, and the module's processor then
// has to take the frame and start sending. 250 ms covers both with a wide
// margin (a KVR7314 answers within tens of milliseconds) and still feels
// immediate to the user; the characters that arrive meanwhile wait in the
// port's receive buffer and are taken one per poll from then on.
inline constexpr int kFirstPollDelayMs = 250;
inline constexpr int kPollIntervalMs = 1;       // Tmr_Inlezen: one character a poll
inline constexpr int kParseDelayMs = 12000;     // Tmr_Verwerken_Data: from the first character
inline constexpr int kBlinkIntervalMs = 150;    // Tmr_Knippertijd_LED: the read LED on and off

class ReadBackRun {
public:
    enum class Phase { Idle, WaitingForReply, Collecting };
    enum class PollStep {
        Ignored,          // no run is collecting: nothing taken
        NoData,           // the first poll found nothing: end the run
        StartParseTimer,  // the first characters arrived: start the parse timer
        KeepPolling,
    };

    void start();
    PollStep poll(QStringView received);
    DumpParse finish();
    void abandon() { m_phase = Phase::Idle; }

    bool isActive() const { return m_phase != Phase::Idle; }
    // The reply so far, in arrival order, control characters included; kept
    // after the run until the next one starts.
    const QString &buffer() const { return m_buffer; }

private:
    Phase m_phase = Phase::Idle;
    QString m_buffer;
    bool m_anythingReceived = false;   // a NUL counts: the module answered
};
