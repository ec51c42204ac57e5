#pragma once
// The command line of kvr7314-cli: its commands, their arguments and
// options, the help texts and the exit codes. Parsing is plain code on the
// argument list; nothing here talks to a port or a file.

#include "settings/modulesettings.h"
#include "sim/simulatedmodule.h"

#include <QString>
#include <QStringList>

#include <optional>

// Distinct codes, so a script can tell what went wrong.
enum class CliExit : int {
    Ok = 0,
    Usage = 2,        // unknown command or option, missing or malformed argument
    File = 3,         // settings file unreadable or not a KVR7314 file; output not writable
    Port = 4,         // the port cannot be opened, or failed during the run
    Module = 5,       // no answer to the read request, or a dump that cannot be read
    Differences = 6,  // --verify: the module holds values that differ from the file
    Interrupted = 128,  // + the signal's number: 130 for Ctrl-C (SIGINT), 143 for SIGTERM
};

enum class CliCommand { Help, Write, Read, TestCall, NoNetwork, Report, Sim };

// Where --port leads: COM1..COM4 as the window maps them, or a device path.
struct PortTarget {
    int comPort = 1;
    QString device;

    bool operator==(const PortTarget &) const = default;
};

struct CliRequest {
    CliCommand command = CliCommand::Help;
    QString helpTopic;                 // Help: the command asked about; empty: the program
    QString file;                      // write, report: the settings file to open
    QString output;                    // read, report: -o
    std::optional<PortTarget> port;    // nothing: the built-in simulated module
    QString trace;                     // --trace FILE; empty: no trace
    bool verify = false;               // write --verify
    QString code;                      // test-call
    QString text;                      // test-call; empty: the default test message
    ReceiverType receiver = ReceiverType::Flex;  // read --receiver
    ModuleBehaviour simBehaviour;      // sim: how the simulated module answers
};

struct CliParse {
    std::optional<CliRequest> request;
    QString error;   // one line, when the command line is not usable
};

// `arguments` without the program's own name.
CliParse parseCliArguments(const QStringList &arguments);

// "COM1".."COM4" (any case) -> that COM port on its default device; any
// other text that is not a COM name is a device path. Nothing for "COM0",
// "COM5" and the like, which name no port the window offers.
std::optional<PortTarget> portTarget(const QString &text);

// A code the window offers for a test call: "1".."16" (FLEX capcodes) or
// "1D".."7D" (POCSAG RI-codes), written as the window writes them (no
// leading zero, no spaces).
bool isOfferedTestCallCode(const QString &code);

// The help of the program (empty topic) or of one command.
QString cliHelpText(const QString &topic);
