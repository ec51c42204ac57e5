#pragma once
// The command line of kvr7314-cli, parsed into the request of the command
// it names. The options of each command are those its table declares;
// each command reads its own into its own request. Parsing is plain code
// on the argument list; nothing here talks to a port.

#include "cli/clirequests.h"

#include <QString>
#include <QStringList>

#include <optional>

struct CliParse {
    std::optional<CliRequest> request;
    QString error;   // one line, when the command line is not usable
    // The command talks to the module but names none: the caller adds the
    // ports found to the error.
    bool noModuleGiven = false;
};

// `arguments` without the program's own name.
CliParse parseCliArguments(const QStringList &arguments);
