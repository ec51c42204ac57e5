#include "link/openfailure.h"

#include "link/networkaddress.h"

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

// A port behind the network: each cause in Dutch, and what to do about it
// in Dutch and in English.
struct NetworkCauseWords {
    OpenCause cause;
    QString dutchCause;   // "%1" is the description
    QString dutchAdvice;
    QString englishAdvice;
};

const NetworkCauseWords *networkCauseWords(OpenCause cause)
{
    static const QList<NetworkCauseWords> words{
        {OpenCause::NameUnknown, QStringLiteral("de naam van de server is niet te vinden"),
         QStringLiteral("Controleer de naam in het adres, of gebruik het IP-adres van de server."),
         QStringLiteral("Check the host name, or use the server's IP address.")},
        {OpenCause::Refused, QStringLiteral("de server weigert de verbinding"),
         QStringLiteral("Controleer het poortnummer en of de seriële server draait."),
         QStringLiteral("Check the port number and that the device server runs.")},
        {OpenCause::NoAnswer, QStringLiteral("de server geeft geen antwoord"),
         QStringLiteral("Controleer het netwerk, het adres en een eventuele firewall."),
         QStringLiteral("Check the network, the address and any firewall.")},
        {OpenCause::NotRfc2217, QStringLiteral("de server kan de lijn niet instellen"),
         QStringLiteral("Zet RFC 2217 aan op deze poort van de server, of gebruik tcp:// met de poort op 19200 8N1."),
         QStringLiteral("Enable RFC 2217 on that port of the server, or use tcp:// with the port set to 19200 8N1.")},
        {OpenCause::LineRefused, QStringLiteral("de server stelt de lijn anders in dan 19200 8N1"),
         QStringLiteral("Controleer de instellingen van de seriële server."),
         QStringLiteral("Check the device server's settings for that port.")},
        {OpenCause::Tls, QStringLiteral("de beveiligde verbinding (TLS) is mislukt"),
         QStringLiteral("Controleer het certificaat van de server en de CA (KVR7314_TLS_CA), en zo nodig het eigen "
                        "certificaat."),
         QStringLiteral("Check the server's certificate and the CA (--tls-ca), and the client certificate if it asks "
                        "for one.")},
        {OpenCause::InUse, QStringLiteral("de poort van de server is in gebruik door een andere gebruiker"),
         QStringLiteral("Wacht tot de andere verbinding gesloten is en probeer het opnieuw."),
         QStringLiteral("Another client holds the port: wait until it lets go, then try again.")},
        {OpenCause::Closed, QStringLiteral("de server sloot de verbinding meteen"),
         QStringLiteral("Controleer de instellingen van deze poort op de seriële server."),
         QStringLiteral("Check that port's settings on the device server.")},
    };
    for (const NetworkCauseWords &entry : words) {
        if (entry.cause == cause)
            return &entry;
    }
    return nullptr;
}

QStringList networkCauseDutch(const PortFailure &failure)
{
    const NetworkCauseWords *words = networkCauseWords(failure.cause);
    if (!words)
        return {QStringLiteral("Oorzaak: ") + failure.description};
    return {QStringLiteral("Oorzaak: %1 (%2).").arg(words->dutchCause, failure.description), words->dutchAdvice};
}

// "...: is it an RFC 2217 port? Enable RFC 2217 ..."
QString withAdvice(const PortFailure &failure)
{
    const QString &cause = failure.description;
    const bool ended = cause.endsWith(u'?') || cause.endsWith(u'.');
    const NetworkCauseWords *words = networkCauseWords(failure.cause);
    return cause + (ended ? QStringLiteral(" ") : QStringLiteral(". ")) + (words ? words->englishAdvice : QString());
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
        if (failure.atDeviceServer) {
            lines << networkCauseDutch(failure);
            break;
        }
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
    default:
        lines << networkCauseDutch(failure);
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
        if (failure.atDeviceServer)
            return start + withAdvice(failure);
        return start + (failure.holder.isEmpty()
                            ? QStringLiteral("it is in use by another program (%1). ").arg(failure.description)
                            : QStringLiteral("it is in use by another program: %1. ").arg(failure.holder))
            + QStringLiteral("Close that program, or choose another port.");
    case OpenCause::NotPresent:
        return start + QStringLiteral("no such port (%1); ").arg(failure.description) + presentPortsEnglish(ports);
    case OpenCause::Other:
        break;
    default:
        return start + withAdvice(failure);
    }
    return start + failure.description;
}

QString lineFailureDetails(const PortFailure &failure)
{
    if (!failure.atDeviceServer)
        return {};
    return QStringList{QStringLiteral("Poort: ") + failure.device,
                       QStringLiteral("Oorzaak: de verbinding met de server is verbroken (%1).").arg(failure.description),
                       QStringLiteral("Controleer het netwerk en de seriële server, en probeer het opnieuw.")}
        .join(u'\n');
}
