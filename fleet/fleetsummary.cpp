#include "fleet/fleetsummary.h"

#include "files/operationlog.h"
#include "link/frames.h"

#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace {

int tableOrder(FleetOutcome outcome)
{
    switch (outcome) {
    case FleetOutcome::Ok: return 0;
    case FleetOutcome::Differs: return 1;
    case FleetOutcome::Failed: return 2;
    case FleetOutcome::Stopped: return 3;
    }
    return 4;
}

QString stepsOf(const FleetResult &result, FleetAction action)
{
    if (action != FleetAction::Write)
        return QStringLiteral("-");
    return QStringLiteral("%1/%2").arg(result.stepsSent).arg(kProgrammingStepCount);
}

QString secondsOf(const FleetResult &result)
{
    return result.started ? QStringLiteral("%1 s").arg(result.durationMs / 1000.0, 0, 'f', 1) : QStringLiteral("-");
}

QString orDash(const QString &text) { return text.isEmpty() ? QStringLiteral("-") : text; }

// An argument as a POSIX shell, or Windows' command line, takes it back.
QString shellQuoted(const QString &argument)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:=+,@%-]+$"));
    if (plain.match(argument).hasMatch())
        return argument;
#ifdef Q_OS_WIN
    return u'"' + QString(argument).replace(QStringLiteral("\""), QStringLiteral("\\\"")) + u'"';
#else
    return u'\'' + QString(argument).replace(QStringLiteral("'"), QStringLiteral("'\\''")) + u'\'';
#endif
}

} // namespace

QList<FleetResult> sortedByOutcome(QList<FleetResult> results)
{
    std::stable_sort(results.begin(), results.end(), [](const FleetResult &a, const FleetResult &b) {
        return tableOrder(a.outcome) < tableOrder(b.outcome);
    });
    return results;
}

QStringList summaryTable(const QList<FleetResult> &results, FleetAction action)
{
    const QStringList header{QStringLiteral("name"), QStringLiteral("port"), QStringLiteral("outcome"),
                             QStringLiteral("firmware"), QStringLiteral("steps"), QStringLiteral("time"),
                             QStringLiteral("cause")};
    QList<QStringList> rows{header};
    for (const FleetResult &r : sortedByOutcome(results))
        rows.append({r.name, r.port, fleetOutcomeWord(r.outcome), orDash(r.firmware), stepsOf(r, action),
                     secondsOf(r), r.cause});
    // Every column as wide as its widest cell, but the last.
    QList<qsizetype> widths(header.size() - 1, 0);
    for (const QStringList &row : rows) {
        for (qsizetype c = 0; c < widths.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    }
    QStringList lines;
    for (const QStringList &row : rows) {
        QString line;
        for (qsizetype c = 0; c < widths.size(); ++c)
            line += row[c].leftJustified(widths[c] + 2);
        lines.append((line + row.constLast()).trimmed());
    }
    return lines;
}

QJsonArray summaryJson(const QList<FleetResult> &results, FleetAction action)
{
    QJsonArray list;
    for (const FleetResult &r : sortedByOutcome(results)) {
        list.append(QJsonObject{
            {"name", r.name},
            {"port", r.port},
            {"outcome", fleetOutcomeWord(r.outcome)},
            {"stepsSent", action == FleetAction::Write ? QJsonValue(r.stepsSent) : QJsonValue()},
            {"firmware", jsonText(r.firmware)},
            {"cause", jsonText(r.cause)},
            {"durationMs", r.started ? QJsonValue(r.durationMs) : QJsonValue()},
            {"backup", jsonText(r.backup)},
        });
    }
    return list;
}

ExitCode fleetExitCode(const QList<FleetResult> &results)
{
    ExitCode worst = ExitCode::Ok;
    for (const FleetResult &r : results) {
        const ExitCode exit = r.outcome == FleetOutcome::Ok ? ExitCode::Ok : r.exit;
        if (exitCodeSeriousness(exit) > exitCodeSeriousness(worst))
            worst = exit;
    }
    return worst;
}

QStringList namesToRetry(const QList<FleetResult> &results)
{
    QStringList names;
    for (const FleetResult &r : results) {
        if (r.outcome != FleetOutcome::Ok)
            names.append(r.name);
    }
    return names;
}

QStringList partlyProgrammed(const QList<FleetResult> &results)
{
    QStringList names;
    for (const FleetResult &r : results) {
        if (r.stepsSent > 0 && r.stepsSent < kProgrammingStepCount)
            names.append(r.name);
    }
    return names;
}

QString retryCommand(const QString &program, const QStringList &arguments, const QStringList &names)
{
    QStringList parts{program};
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == u"--only") {
            ++i;   // and its value
            continue;
        }
        if (argument.startsWith(QLatin1String("--only=")))
            continue;
        parts.append(shellQuoted(argument));
    }
    parts.append(QStringLiteral("--only"));
    parts.append(shellQuoted(names.join(u',')));
    return parts.join(u' ');
}
