#include "operations/history.h"

#include "files/backups.h"
#include "link/portaddress.h"

#include <QFileInfo>

#include <algorithm>

namespace {

// Whether a logged operation was on the port `filter` names.
bool onPort(const LogEntry &entry, const QString &filter)
{
    if (filter.isEmpty())
        return true;
    const std::optional<PortAddress> address = PortAddress::parse(filter);
    const QString device = address && address->isCom() ? address->deviceNow({}) : filter;
    return entry.port == device || entry.serialNumber == filter || backupSubject(entry.port) == filter;
}

// A text from the log as one line of the table: a port given on the
// command line may hold anything, control characters too.
QString shown(const QString &text)
{
    QString line = text;
    for (QChar &c : line) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u'?';
    }
    return line;
}

QString historyPort(const LogEntry &entry)
{
    if (entry.port.isEmpty())
        return QStringLiteral("-");
    const QString port = entry.serialNumber.isEmpty() ? entry.port : QStringLiteral("%1 (%2)").arg(entry.port, entry.serialNumber);
    return shown(entry.module.isEmpty() ? port : QStringLiteral("%1: %2").arg(entry.module, port));
}

QString padded(const QString &text, int width) { return text.leftJustified(width); }

} // namespace

bool ofModule(const QString &subject, const QString &module)
{
    return module.isEmpty() || subject.compare(module, Qt::CaseInsensitive) == 0;
}

QList<LogEntry> historyEntries(QList<LogEntry> log, const HistoryFilter &filter)
{
    // Newest first by when they started; the log has them as they ended.
    std::reverse(log.begin(), log.end());
    std::stable_sort(log.begin(), log.end(), [](const LogEntry &a, const LogEntry &b) { return a.time > b.time; });
    log.removeIf([&](const LogEntry &e) {
        return !onPort(e, filter.port) || !ofModule(e.module, filter.module)
            || (filter.since.isValid() && e.time < filter.since);
    });
    return log;
}

QStringList historyTable(const QList<LogEntry> &entries)
{
    const QString timeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    int portWidth = 4;
    for (const LogEntry &e : entries)
        portWidth = std::max(portWidth, int(historyPort(e).size()));
    QStringList lines{padded(QStringLiteral("time"), 21) + padded(QStringLiteral("operation"), 12)
                      + padded(QStringLiteral("port"), portWidth + 2) + padded(QStringLiteral("outcome"), 9)
                      + QStringLiteral("backup")};
    for (const LogEntry &e : entries) {
        const QString backup = QFileInfo(e.backup.isEmpty() ? e.replaced : e.backup).fileName();
        lines.append(padded(e.time.toLocalTime().toString(timeFormat), 21) + padded(shown(e.operation), 12)
                     + padded(historyPort(e), portWidth + 2) + padded(e.ok ? QStringLiteral("ok") : QStringLiteral("failed"), 9)
                     + (backup.isEmpty() ? QStringLiteral("-") : backup));
        QStringList more;
        if (e.stepCount > 0 && e.stepsSent < e.stepCount)
            more.append(QStringLiteral("%1 of %2 steps sent").arg(e.stepsSent).arg(e.stepCount));
        if (!e.cause.isEmpty())
            more.append(shown(e.cause));
        if (!more.isEmpty())
            lines.append(QString(21, u' ') + more.join(QStringLiteral(": ")));
    }
    return lines;
}
