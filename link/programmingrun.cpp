#include "link/programmingrun.h"

ProgrammingTick ProgrammingRun::tick()
{
    ++tickPhase;
    if (tickPhase == 1)
        ledTick = 0;  // send tick
    if (tickPhase == 2) {
        ledTick = 1;  // advance tick
        tickPhase = 0;
    }
    if (ledTick == 1)
        ++programStep;

    ProgrammingTick result;
    if (ledTick == 0 && programStep >= 1 && programStep <= kProgrammingStepCount)
        result.sendStep = programStep;
    result.ledShown = ledTick == 1;
    result.finished = programStep == kProgrammingStepCount + 1;
    return result;
}
