#pragma once
// The command line of kvr7314-cli, parsed into a request: the options of
// each command are those of its command table, checked here. Parsing is
// plain code on the argument list; nothing here talks to a port.

#include "cli/clicommandtable.h"
#include "settings/modulesettings.h"
#include "sim/simulatedmodule.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// Where --port leads: COM n as the window's box leads (device empty: the
// port the machine has for that box, found when the port is opened), or a
// device path.
struct PortTarget {
    int comPort = 1;
    QString device;

    bool operator==(const PortTarget &) const = default;
};

struct CliRequest {
    CliCommand command = CliCommand::Help;
    QString helpTopic;                 // Help: the command asked about; empty: the program
    QStringList files;                 // write, report: the settings file; diff: A and B; find: extra devices
    QString output;                    // read, report: -o
    std::optional<PortTarget> port;    // --port
    bool sim = false;                  // --sim: the built-in simulated module
    QString trace;                     // --trace FILE; empty: no trace
    bool verify = false;               // write --verify
    QString backup;                    // write --backup FILE: the module's settings, read before writing
    bool fullWait = false;             // read, write: collect the dump for the whole 12 s
    bool asModule = false;             // diff --as-module
    QString code;                      // test-call
    QString text;                      // test-call; empty: the default test message
    ReceiverType receiver = ReceiverType::Flex;  // read --receiver
    ModuleBehaviour simBehaviour;      // sim: how the simulated module answers
    bool json = false;                 // --json: the output as JSON
    QString portFilter;                // history --port
    QDateTime since;                   // history --since; invalid: all
    bool listBackups = false;          // history --backups
    QString aliasAction;               // aliases: export or import

    QString file() const { return files.value(0); }
};

struct CliParse {
    std::optional<CliRequest> request;
    QString error;   // one line, when the command line is not usable
    // The command talks to the module but names none: the caller adds the
    // ports found to the error.
    bool noModuleGiven = false;
};

// `arguments` without the program's own name.
CliParse parseCliArguments(const QStringList &arguments);

// "COM1".."COM4" (any case) -> that COM box; on Windows any "COMn" is that
// port. Any other text is a device path. Nothing for "COM0", and on Linux
// for "COM5" and up, which name no box the window offers.
std::optional<PortTarget> portTarget(const QString &text);

