#pragma once
// A fleet list turned into the modules to run, or refused as a whole
// before anything is sent: a row that is no module, two rows on one port,
// a settings file that does not open as "openen" opens it.

#include "files/fleetlist.h"
#include "link/portaddress.h"
#include "settings/modulesettings.h"

#include <QList>
#include <QString>

#include <optional>

enum class FleetAction { Write, Read, Find };

struct FleetModule {
    int line = 0;                 // its row in the list
    QString name;
    PortAddress port = PortAddress::com(1);
    QString file;                 // write: the settings file, as a whole path; read: the file it is saved as
    ModuleSettings settings;      // write: what goes in; read: the values a read starts from
};

struct FleetPlan {
    QList<FleetModule> modules;
    // Why the list is refused, naming its row; nothing is run then (a
    // file's exit code).
    std::optional<QString> failure;
};

// Two addresses lead to one port when a COM n leads to that device, when
// two device paths are one file, or when two network addresses name one
// host and port, over whatever protocol. A COM n's device through
// `comDevice`.
QString portIdentity(const PortAddress &port, const ComDeviceMapper &comDevice);

// The list at `listPath` for `action`. A write opens each row's file
// (relative to the list's folder); a read saves each module as
// NAME.kvr (its file-safe name) in `folder`.
FleetPlan planFleet(const QString &listPath, FleetAction action, const QString &folder,
                    const ComDeviceMapper &comDevice);
