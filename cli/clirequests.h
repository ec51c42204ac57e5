#pragma once
// What each command of kvr7314-cli was asked to do, as its own parser
// (clicommandline.cpp) read it from the command line: one request per
// command, nothing shared but the choice of module.

#include "fleet/fleetplan.h"
#include "link/networkport.h"
#include "link/portaddress.h"
#include "settings/modulesettings.h"
#include "sim/simulatedmodule.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

// The module a command talks to, and where its bytes are traced.
struct ModuleChoice {
    std::optional<PortAddress> port;   // --port; nothing: --sim, the module built into the program
    QString trace;                     // --trace FILE; empty: no trace
    TlsFiles tls;                      // --tls-ca, --tls-cert, --tls-key, else their variables
};

struct HelpRequest {
    QString topic;   // the command asked about; empty: the program
};
struct VersionRequest {};

struct WriteRequest {
    QString file;
    ModuleChoice module;
    bool verify = false;     // --verify: read it back and compare
    QString backup;          // --backup FILE: the module's settings, read before writing
    bool fullWait = false;   // --full-wait: the reads collect the dump for the whole 12 s
};

struct ReadRequest {
    ModuleChoice module;
    QString output;          // -o; empty: standard output
    ReceiverType receiver = ReceiverType::Flex;   // --receiver
    bool fullWait = false;
    bool json = false;
};

struct TestCallRequest {
    ModuleChoice module;
    QString code;
    QString text;   // empty: the default test message
};

struct NoNetworkRequest {
    ModuleChoice module;
};

struct ReportRequest {
    QString file;
    QString output;
};

struct DiffRequest {
    QString a;
    QString b;
    bool asModule = false;
    bool json = false;
};

struct AliasesRequest {
    bool import = false;   // else export
    QString file;
    QString list;          // import: the spreadsheet's list
    QString output;        // -o; export: standard output when empty
};

struct PortsRequest {
    bool json = false;
};

struct FindRequest {
    QStringList devices;   // empty: every port found
    bool json = false;
    TlsFiles tls;          // for the addresses over TLS
};

struct HistoryRequest {
    QString port;          // --port: only operations on it
    QString module;        // --module: only operations on the fleet's module of that name
    QDateTime since;       // invalid: all
    bool backups = false;  // list the backups instead
    bool json = false;
};

struct FleetRequest {
    FleetAction action = FleetAction::Write;
    QString list;
    QString output;        // read: -o FOLDER
    int jobs = 0;          // --jobs; 0: all at once
    bool verify = false;
    bool backup = false;
    bool fullWait = false;
    bool json = false;
    int canary = 0;        // apply: --canary N; 0: none
    int maxFailed = 0;     // apply: --max-failed N; 0: no limit
    bool nagios = false;   // plan: one monitoring plugin line on standard output
    QString prometheus;    // plan: --prometheus FILE, the metrics written there
    QStringList only;      // --only: these names alone
    TlsFiles tls;
    QStringList arguments; // as given after the program's name, for the retry command
};

struct SimRequest {
    ModuleBehaviour behaviour;
    QString holds;   // --holds FILE.kvr: the module starts holding what that file writes
};

using CliRequest = std::variant<HelpRequest, VersionRequest, WriteRequest, ReadRequest, TestCallRequest,
                                NoNetworkRequest, ReportRequest, DiffRequest, AliasesRequest, PortsRequest,
                                FindRequest, FleetRequest, HistoryRequest, SimRequest>;
