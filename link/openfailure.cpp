#include "link/openfailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStringList>

#include <cerrno>

namespace {

// Where QSerialPort looks for its lock files ("LCK..ttyUSB0"): the first of
// these it may write to; a reader looks in all of them.
const QStringList kLockDirectories = {
    QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"), QStringLiteral("/var/spool/locks"),
    QStringLiteral("/var/spool/uucp"), QStringLiteral("/tmp"), QStringLiteral("/var/tmp"),
    QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock"),
};

const QString kDialoutHintDutch = QStringLiteral(
    "Voeg uw gebruiker toe aan de groep dialout (sudo adduser $USER dialout) en log opnieuw in.");
const QString kDialoutHintEnglish = QStringLiteral(
    "Add your user to the group dialout (sudo adduser $USER dialout) and log in again.");

QString presentPortsDutch(const QList<FoundPort> &ports)
{
    if (ports.isEmpty())
        return kNoSerialPortDutch + QStringLiteral(" en kies daarna de poort.");
    QStringList lines{QStringLiteral("Sluit de adapter aan, of kies een van de aanwezige poorten:")};
    for (const FoundPort &port : ports)
        lines.append(QStringLiteral("  ") + portDescription(port.device, ports));
    return lines.join(u'\n');
}

QString presentPortsEnglish(const QList<FoundPort> &ports)
{
    if (ports.isEmpty())
        return kNoSerialPortText;
    QStringList devices;
    for (const FoundPort &port : ports)
        devices.append(port.device);
    return QStringLiteral("ports present: ") + devices.join(QStringLiteral(", "));
}

} // namespace

OpenCause classifyOpenFailure(const OpenFacts &facts)
{
    if (facts.deviceNotFound || facts.probeErrno == ENOENT || facts.probeErrno == ENODEV || facts.probeErrno == ENXIO)
        return OpenCause::NotPresent;
    if (!facts.lockHolder.isEmpty() || facts.probeErrno == EBUSY
        || facts.errorString.contains(QLatin1String("lock"), Qt::CaseInsensitive))
        return OpenCause::InUse;
    if (facts.probeErrno == EACCES || facts.probeErrno == EPERM)
        return OpenCause::NoPermission;
    // Opened plainly, refused to QSerialPort: someone holds it exclusively.
    if (facts.permissionError)
        return facts.probeErrno == 0 ? OpenCause::InUse : OpenCause::NoPermission;
    return OpenCause::Other;
}

QString lockFileHolder(const QString &device)
{
    // QSerialPort names it after the device without "/dev/", its slashes
    // made underscores: /dev/pts/5 -> LCK..pts_5.
    QString port = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    const QString name = QStringLiteral("LCK..") + port.replace(u'/', u'_');
    for (const QString &directory : kLockDirectories) {
        const QString path = QDir(directory).filePath(name);
        if (!QFileInfo::exists(path))
            continue;
        QLockFile lock(path);
        qint64 pid = 0;
        QString hostname;
        QString application;
        if (!lock.getLockInfo(&pid, &hostname, &application))
            return path;
        // Qt's lock files name the application; /proc names any process.
        if (application.isEmpty()) {
            QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
            if (comm.open(QIODevice::ReadOnly))
                application = QString::fromLocal8Bit(comm.readAll()).trimmed();
        }
        return application.isEmpty() ? QStringLiteral("PID %1").arg(pid)
                                     : QStringLiteral("%1 (PID %2)").arg(application).arg(pid);
    }
    return {};
}

QString openFailureDetails(const PortFailure &failure, const QList<FoundPort> &ports)
{
    QStringList lines{QStringLiteral("Poort: ") + failure.device};
    switch (failure.cause) {
    case OpenCause::NoPermission:
        lines << QStringLiteral("Oorzaak: u hebt geen toegang tot deze poort (%1).").arg(failure.description)
              << kDialoutHintDutch;
        break;
    case OpenCause::InUse:
        lines << (failure.holder.isEmpty()
                      ? QStringLiteral("Oorzaak: de poort is in gebruik door een ander programma (%1).").arg(failure.description)
                      : QStringLiteral("Oorzaak: de poort is in gebruik door een ander programma: %1.").arg(failure.holder))
              << QStringLiteral("Sluit dat programma, of kies een andere poort.");
        break;
    case OpenCause::NotPresent:
        lines << QStringLiteral("Oorzaak: deze poort is niet aanwezig (%1).").arg(failure.description)
              << presentPortsDutch(ports);
        break;
    case OpenCause::Other:
        lines << QStringLiteral("Oorzaak: %1").arg(failure.description)
              << QStringLiteral("Controleer de verbinding en kies zo nodig een andere poort.");
        break;
    }
    return lines.join(u'\n');
}

QString openFailureLine(const PortFailure &failure, const QList<FoundPort> &ports)
{
    const QString start = QStringLiteral("cannot open %1: ").arg(failure.device);
    switch (failure.cause) {
    case OpenCause::NoPermission:
        return start + QStringLiteral("no permission (%1). ").arg(failure.description) + kDialoutHintEnglish;
    case OpenCause::InUse:
        return start + (failure.holder.isEmpty()
                            ? QStringLiteral("it is in use by another program (%1). ").arg(failure.description)
                            : QStringLiteral("it is in use by another program: %1. ").arg(failure.holder))
            + QStringLiteral("Close that program, or choose another port.");
    case OpenCause::NotPresent:
        return start + QStringLiteral("no such port (%1); ").arg(failure.description) + presentPortsEnglish(ports);
    case OpenCause::Other:
        break;
    }
    return start + failure.description;
}
