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
