#include "operations/exitcode.h"

#include <csignal>

namespace {

constexpr int number(ExitCode code) { return int(code); }

const ExitCodeMeaning kExitCodes[] = {
    {number(ExitCode::Ok), "success"},
    {number(ExitCode::Usage), "usage: unknown command or option, missing or malformed argument, no --port or --sim"},
    {number(ExitCode::File), "file: the settings file cannot be read or is not a KVR7314 file; an output (file, backup, "
                             "report, trace) cannot be written"},
    {number(ExitCode::Port), "port: the port cannot be opened, or it failed during the run (adapter pulled)"},
    {number(ExitCode::Module), "module: no answer to the read request, or a reply that cannot be read as settings"},
    {number(ExitCode::Differences), "differences: --verify or diff found values that differ"},
    {number(ExitCode::Interrupted) + SIGINT,
     "stopped by Ctrl-C (143: by SIGTERM); the last line says what state the module was left in"},
};

} // namespace

std::span<const ExitCodeMeaning> exitCodeMeanings() { return kExitCodes; }

int exitCodeSeriousness(ExitCode exit)
{
    if (int(exit) >= int(ExitCode::Interrupted))
        return 6;
    switch (exit) {
    case ExitCode::Ok: return 0;
    case ExitCode::Differences: return 1;
    case ExitCode::File: return 2;
    case ExitCode::Module: return 3;
    case ExitCode::Port: return 4;
    default: return 5;
    }
}

const char *mostSeriousCodeRule()
{
    return "fleet exits with the most serious of its modules' codes: 130 or 143, then 4, 5, 3, 6";
}
