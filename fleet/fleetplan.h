#pragma once
// A fleet list turned into the modules to run, or refused as a whole
// before anything is sent: a row that is no module, two rows on one port,
// a settings file that does not open as "openen" opens it.

#include "files/fleetlist.h"
#include "files/operationlog.h"
#include "link/portaddress.h"
#include "link/portlist.h"
#include "settings/modulesettings.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

enum class FleetAction {
    Write,   // each module's settings file
    Read,    // each module into NAME.kvr
    Find,    // which modules answer
    Plan,    // which modules hold something else than their file; nothing is sent but the read
    Apply,   // the plan, then a write with verify of those that differ
    Undo,    // each module back to what it held before the last write made to it
};

// The action's name on the command line: "write", "plan", ...
QString fleetActionName(FleetAction action);
// Every action's name, in the order the help names them.
QStringList fleetActionNames();
std::optional<FleetAction> fleetActionNamed(const QString &name);
// Whether it writes into modules.
bool fleetActionWrites(FleetAction action);
// Whether it compares each module with its file.
bool fleetActionChecks(FleetAction action);

struct FleetModule {
    int line = 0;                 // its row in the list
    QString name;
    PortAddress port = PortAddress::com(1);
    // write, plan, apply: the settings file, as a whole path; read: the file
    // it is saved as; undo: the backup of what the module held before the
    // last write made to it
    QString file;
    ModuleSettings settings;      // what goes in, or what it is compared with; read: the values a read starts from
    // undo: the log has no write made to it (it is left alone), or why its
    // last write cannot be undone (no record of what it replaced, a
    // backup that is gone)
    bool nothingToUndo = false;
    std::optional<FileReason> cannotUndo;
};

struct FleetPlan {
    QList<FleetModule> modules;
    // Why the list is refused, naming its row, in English and Dutch;
    // nothing is run then (a file's exit code).
    std::optional<FileReason> failure;
};

// A fleet of `modules`, `jobs` at once (0: all), needs open files (a socket or a serial
// device each, and the program's own): the process's soft limit is raised
// to what it needs, up to the hard limit. When the hard limit is too low,
// why and how to allow them; nothing is asked of a module then.
std::optional<FileReason> allowOpenFiles(qsizetype modules, int jobs);

// The list at `listPath` for `action`. A write, a plan and an apply open
// each row's file (relative to the list's folder); a read saves each
// module as NAME.kvr (its file-safe name) in `folder`; an undo looks up
// each module's last write in `log` (oldest first) and opens the backup
// of what it replaced. Where the COM boxes lead is the machine's port
// directory's: a front end refreshes it before each list.
FleetPlan planFleet(const QString &listPath, FleetAction action, const QString &folder, const QList<LogEntry> &log = {});

// What an undo puts into `module`, from the newest write in `log` (oldest
// first) made to a module of its name that sent at least one step.
void planUndo(FleetModule &module, const QList<LogEntry> &log);
