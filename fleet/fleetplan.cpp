#include "fleet/fleetplan.h"

#include "files/backups.h"
#include "operations/fileoperations.h"
#include "operations/outcome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace {

FleetPlan refused(const QString &listPath, const QString &why)
{
    FleetPlan plan;
    plan.failure = QStringLiteral("%1: %2; no module was asked").arg(listPath, why);
    return plan;
}

QString rowName(const FleetRow &row) { return QStringLiteral("row %1 (%2)").arg(row.line).arg(row.name); }

} // namespace

QString fleetActionName(FleetAction action)
{
    switch (action) {
    case FleetAction::Write: return QStringLiteral("write");
    case FleetAction::Read: return QStringLiteral("read");
    case FleetAction::Find: return QStringLiteral("find");
    case FleetAction::Plan: return QStringLiteral("plan");
    case FleetAction::Apply: return QStringLiteral("apply");
    case FleetAction::Undo: return QStringLiteral("undo");
    }
    return {};
}

QList<FleetAction> fleetActions()
{
    return {FleetAction::Write, FleetAction::Read, FleetAction::Find, FleetAction::Plan, FleetAction::Apply,
            FleetAction::Undo};
}

std::optional<FleetAction> fleetActionNamed(const QString &name)
{
    for (FleetAction action : fleetActions()) {
        if (fleetActionName(action) == name)
            return action;
    }
    return std::nullopt;
}

bool fleetActionWrites(FleetAction action)
{
    return action == FleetAction::Write || action == FleetAction::Apply || action == FleetAction::Undo;
}

bool fleetActionChecks(FleetAction action)
{
    return action == FleetAction::Plan || action == FleetAction::Apply;
}

void planUndo(FleetModule &module, const QList<LogEntry> &log)
{
    // A write that sent no step did not change the module: the one before
    // it is what an undo takes back.
    const auto last = std::find_if(log.rbegin(), log.rend(), [&](const LogEntry &e) {
        return e.operation == u"write" && e.stepsSent > 0 && e.module.compare(module.name, Qt::CaseInsensitive) == 0;
    });
    if (last == log.rend()) {
        module.nothingToUndo = true;
        return;
    }
    const QString when = last->time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (last->replaced.isEmpty()) {
        module.cannotUndo = QStringLiteral("its last write (%1) kept no record of what the module held before; "
                                           "nothing was written")
                                .arg(when);
        return;
    }
    module.file = last->replaced;
    if (const OperationOutcome opened = openSettingsFile(module.file, &module.settings); !opened.ok())
        module.cannotUndo = QStringLiteral("the backup of what it held before its last write (%1) cannot be opened: "
                                           "%2; nothing was written")
                                .arg(when, opened.line);
}

QString portIdentity(const PortAddress &port, const ComDeviceMapper &comDevice)
{
    if (const std::optional<NetworkAddress> &server = port.networkAddress())
        return QStringLiteral("%1:%2").arg(server->host.toLower()).arg(server->port);
    const QString device = port.deviceNow(comDevice);
    if (device.isEmpty())
        return port.name();
    const QString canonical = QFileInfo(device).canonicalFilePath();
#ifdef Q_OS_WIN
    // COM5 and com5 are one port.
    return (canonical.isEmpty() ? device : canonical).toUpper();
#else
    return canonical.isEmpty() ? QDir::cleanPath(QDir::current().absoluteFilePath(device)) : canonical;
#endif
}

FleetPlan planFleet(const QString &listPath, FleetAction action, const QString &folder, const ComDeviceMapper &comDevice,
                    const QList<LogEntry> &log)
{
    QFile file(listPath);
    if (!QFileInfo(listPath).isFile() || !file.open(QIODevice::ReadOnly))
        return refused(listPath, QStringLiteral("the list cannot be read: %1")
                                     .arg(QFileInfo(listPath).isDir() ? QStringLiteral("it is a folder") : file.errorString()));
    const FleetListRead list = readFleetList(file.readAll());
    if (list.failure)
        return refused(listPath, list.failure->english);

    const QDir listFolder = QFileInfo(listPath).absoluteDir();
    FleetPlan plan;
    QHash<QString, const FleetRow *> ports;
    for (const FleetRow &row : list.rows) {
        FleetModule module;
        module.line = row.line;
        module.name = row.name;
        const std::optional<PortAddress> port = PortAddress::parse(row.port);
        if (!port)
            return refused(listPath, QStringLiteral("%1: the port is %2, not \"%3\"").arg(rowName(row), PortAddress::formsTaken(), row.port));
        module.port = *port;
        const QString identity = portIdentity(*port, comDevice);
        if (const FleetRow *first = ports.value(identity)) {
            return refused(listPath, QStringLiteral("%1: %2 is the port of row %3 (%4) as well; one port reaches one module")
                                         .arg(rowName(row), row.port).arg(first->line).arg(first->name));
        }
        ports.insert(identity, &row);

        module.settings = startupSettings();
        if (action == FleetAction::Undo) {
            planUndo(module, log);
        } else if (action == FleetAction::Write || fleetActionChecks(action)) {
            if (row.file.isEmpty())
                return refused(listPath, QStringLiteral("%1: no settings file to write").arg(rowName(row)));
            module.file = QDir::cleanPath(listFolder.absoluteFilePath(row.file));
            // Opened as "openen" opens it: what goes into the module.
            if (const OperationOutcome opened = openSettingsFile(module.file, &module.settings); !opened.ok())
                return refused(listPath, QStringLiteral("%1: %2").arg(rowName(row), opened.line));
        } else if (action == FleetAction::Read) {
            module.file = QDir(folder).absoluteFilePath(fileSafeName(row.name) + QStringLiteral(".kvr"));
        }
        // The module does not report its receiver type: a read writes the
        // list's into its file, a write sends the file's.
        if (row.receiver && action == FleetAction::Read)
            module.settings.receiverType = *row.receiver;
        plan.modules.append(module);
    }
    return plan;
}
