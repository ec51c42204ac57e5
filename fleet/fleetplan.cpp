#include "fleet/fleetplan.h"

#include "files/backups.h"
#include "files/operationlog.h"
#include "operations/fileoperations.h"
#include "operations/outcome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

#include <algorithm>
#include <memory>

namespace {

FleetPlan refused(const QString &listPath, const FileReason &why)
{
    FleetPlan plan;
    plan.failure = FileReason{QStringLiteral("%1: %2; no module was asked").arg(listPath, why.english),
                              QStringLiteral("%1: %2; er is geen module benaderd").arg(listPath, why.dutch)};
    return plan;
}

// "row 3 (Kazerne): " + why, in both languages.
FileReason inRow(const FleetRow &row, const QString &english, const QString &dutch)
{
    return {QStringLiteral("row %1 (%2): %3").arg(row.line).arg(row.name, english),
            QStringLiteral("rij %1 (%2): %3").arg(row.line).arg(row.name, dutch)};
}

// Two addresses lead to one port when a COM n leads to that device, when
// two device paths are one file, or when two network addresses name one
// host and port, over whatever protocol.
QString portIdentity(const PortAddress &port)
{
    if (const std::optional<NetworkAddress> &server = port.networkAddress())
        return QStringLiteral("%1:%2").arg(server->host.toLower()).arg(server->port);
    const QString device = port.deviceNow({});
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

namespace {

QList<FleetAction> fleetActions()
{
    return {FleetAction::Write, FleetAction::Read, FleetAction::Find, FleetAction::Plan, FleetAction::Apply,
            FleetAction::Undo};
}

} // namespace

QStringList fleetActionNames()
{
    QStringList names;
    for (FleetAction action : fleetActions())
        names.append(fleetActionName(action));
    return names;
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
    const QString when = last->time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (last->replaced.isEmpty()) {
        module.cannotUndo = FileReason{
            QStringLiteral("its last write (%1) kept no record of what the module held before; nothing was written").arg(when),
            QStringLiteral("bij het laatste schrijven (%1) is niet bewaard wat de module had; er is niets geschreven").arg(when)};
        return;
    }
    module.file = last->replaced;
    if (const OperationOutcome opened = openSettingsFile(module.file, &module.settings); !opened.ok())
        module.cannotUndo = FileReason{
            QStringLiteral("the backup of what it held before its last write (%1) cannot be opened: %2; nothing was written")
                .arg(when, opened.line),
            QStringLiteral("de reservekopie van wat de module had voor het laatste schrijven (%1) kan niet worden geopend: "
                           "%2; er is niets geschreven")
                .arg(when, opened.box ? oneLine(opened.box->text) : opened.line)};
}

std::optional<FileReason> allowOpenFiles(qsizetype modules, int jobs)
{
    if (jobs > 0)
        modules = std::min<qsizetype>(jobs, modules);
#ifdef Q_OS_WIN
    // Windows gives a process sockets and handles without a small limit.
    return std::nullopt;
#else
    // Each module's port, and a spare each for a connection closing while
    // the next opens; and what the program holds besides (its libraries,
    // the log, the journal, the terminal).
    const rlim_t needed = rlim_t(modules) * 2 + 64;
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= needed)
        return std::nullopt;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < needed)
        return FileReason{
            QStringLiteral("%1 modules at once need %2 open files, and this system allows %3; allow more (ulimit -n %2 "
                           "in the shell, LimitNOFILE=%2 in a systemd service) or run fewer at once (--jobs)")
                .arg(modules).arg(needed).arg(limit.rlim_max),
            QStringLiteral("%1 modules tegelijk hebben %2 open bestanden nodig, en dit systeem staat er %3 toe; sta er "
                           "meer toe (ulimit -n %2 in de shell, LimitNOFILE=%2 in een systemd-service) of neem er minder "
                           "tegelijk")
                .arg(modules).arg(needed).arg(limit.rlim_max)};
    limit.rlim_cur = needed;
    setrlimit(RLIMIT_NOFILE, &limit);
    return std::nullopt;
#endif
}

FleetPlan planFleet(const QString &listPath, FleetAction action, const QString &folder, const QList<LogEntry> &log)
{
    QFile file(listPath);
    if (!QFileInfo(listPath).isFile() || !file.open(QIODevice::ReadOnly)) {
        const bool folder = QFileInfo(listPath).isDir();
        return refused(listPath, {QStringLiteral("the list cannot be read: %1")
                                      .arg(folder ? QStringLiteral("it is a folder") : file.errorString()),
                                  QStringLiteral("de lijst kan niet worden gelezen: %1")
                                      .arg(folder ? QStringLiteral("het is een map") : file.errorString())});
    }
    const FleetListRead list = readFleetList(file.readAll());
    if (list.failure)
        return refused(listPath, *list.failure);

    const QDir listFolder = QFileInfo(listPath).absoluteDir();
    FleetPlan plan;
    QHash<QString, const FleetRow *> ports;
    for (const FleetRow &row : list.rows) {
        FleetModule module;
        module.line = row.line;
        module.name = row.name;
        const std::optional<PortAddress> port = PortAddress::parse(row.port);
        if (!port)
            return refused(listPath, inRow(row, QStringLiteral("the port is %1, not \"%2\"").arg(PortAddress::formsTaken(), row.port),
                                           QStringLiteral("de poort is %1, niet \"%2\"").arg(PortAddress::formsTaken(), row.port)));
        module.port = *port;
        const QString identity = portIdentity(*port);
        if (const FleetRow *first = ports.value(identity)) {
            return refused(listPath,
                           inRow(row, QStringLiteral("%1 is the port of row %2 (%3) as well; one port reaches one module")
                                          .arg(row.port).arg(first->line).arg(first->name),
                                 QStringLiteral("%1 is ook de poort van rij %2 (%3); een poort bereikt één module")
                                     .arg(row.port).arg(first->line).arg(first->name)));
        }
        ports.insert(identity, &row);

        module.settings = startupSettings();
        if (action == FleetAction::Undo) {
            planUndo(module, log);
        } else if (action == FleetAction::Write || fleetActionChecks(action)) {
            if (row.file.isEmpty())
                return refused(listPath, inRow(row, QStringLiteral("no settings file"), QStringLiteral("geen instellingenbestand")));
            module.file = QDir::cleanPath(listFolder.absoluteFilePath(row.file));
            // Opened as "openen" opens it: what goes into the module.
            if (const OperationOutcome opened = openSettingsFile(module.file, &module.settings); !opened.ok())
                return refused(listPath, inRow(row, opened.line,
                                               QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(module.file),
                                                                            opened.box ? oneLine(opened.box->text) : opened.line)));
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
