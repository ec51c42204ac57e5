#pragma once
// The paced programming run as a state machine: Tmr_Pauze ticks every
// 150 ms and every second tick sends one of the 26 steps, so two frames
// are 300 ms apart. The window owns the timer and calls tick().

#include "link/frames.h"

struct ProgrammingTick {
    int sendStep = 0;        // 1..26: send this step now; 0: send nothing
    bool ledShown = false;   // imgLED_DataUIT after this tick
    bool finished = false;   // programStep reached 27: finish the run
};

class ProgrammingRun {
public:
    // Tmr_Pauze: a send tick and an advance tick, so a step every 300 ms.
    static constexpr int kTickIntervalMs = 150;

    void start() { programStep = 0; }
    ProgrammingTick tick();

    // Kept from tick to tick and from run to run; every run ends on an
    // advance tick, which leaves tickPhase at 0.
    short programStep = 0;
    short ledTick = 0;
    short tickPhase = 0;
};
