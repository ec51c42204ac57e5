#pragma once
// How an operation ended, as a number a script can test: kvr7314-cli exits
// with it, and a run over many modules reports the most serious one. Each
// code and what it means is declared here and nowhere else.

#include <span>

enum class ExitCode : int {
    Ok = 0,
    Usage = 2,          // unknown command or option, missing or malformed argument
    File = 3,           // a settings file unreadable or not a KVR7314 file; an output not writable
    Port = 4,           // the port cannot be opened, or it failed during the run
    Module = 5,         // no answer to the read request, or a dump that cannot be read
    Differences = 6,    // values differ (verify, diff)
    Interrupted = 128,  // + the number of the signal that stopped it: 130 Ctrl-C, 143 SIGTERM
};

// The code of a program stopped by `signalNumber`, as a shell reports it.
inline ExitCode exitCodeForSignal(int signalNumber)
{
    return ExitCode(int(ExitCode::Interrupted) + signalNumber);
}

// What each code means, as the help, the man page and the README list them.
struct ExitCodeMeaning {
    int code;
    const char *meaning;
};
std::span<const ExitCodeMeaning> exitCodeMeanings();

// A run over many modules exits with the most serious of their codes: a
// stop signal's, then port, module, file, differences. Higher is more
// serious; 0 for success.
int exitCodeSeriousness(ExitCode exit);
// That rule, as the exit-code table states it.
const char *mostSeriousCodeRule();
