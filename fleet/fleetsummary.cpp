#include "fleet/fleetsummary.h"

#include "files/operationlog.h"
#include "link/frames.h"

#include <QJsonObject>
#include <QMap>
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
    // An apply or undo leaves some modules alone: they have no steps.
    if (!fleetActionWrites(action) || (action != FleetAction::Write && !result.written))
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

QString englishState(const FleetState &state, const FleetResult &result)
{
    const auto characters = [&state](const QString &what) {
        return state.characters > 0 ? QStringLiteral("%1: %2 characters").arg(what).arg(state.characters) : what;
    };
    switch (state.stage) {
    case FleetState::Stage::Waiting: return QStringLiteral("waiting");
    case FleetState::Stage::Connecting: return QStringLiteral("connecting");
    case FleetState::Stage::Checking: return characters(QStringLiteral("checking"));
    case FleetState::Stage::Reading: return characters(QStringLiteral("reading"));
    case FleetState::Stage::Writing: return QStringLiteral("step %1 of %2").arg(state.step).arg(kProgrammingStepCount);
    case FleetState::Stage::WaitingToWrite:
        return state.differences > 0 ? QStringLiteral("differs: %1 value(s); waiting to write").arg(state.differences)
                                     : QStringLiteral("waiting to write");
    case FleetState::Stage::Ended: break;
    }
    return result.cause.isEmpty() ? fleetOutcomeWord(result.outcome)
                                  : fleetOutcomeWord(result.outcome) + QStringLiteral(": ") + result.cause;
}

QStringList fleetOverview(const QList<FleetState> &states, const QList<FleetResult> &results, int height)
{
    int waiting = 0, connecting = 0, checking = 0, reading = 0, writing = 0, toWrite = 0;
    int lowestStep = kProgrammingStepCount, highestStep = 0;
    QMap<FleetOutcome, int> ended;
    QList<int> needLook;
    for (qsizetype i = 0; i < states.size(); ++i) {
        const FleetState &s = states[i];
        switch (s.stage) {
        case FleetState::Stage::Waiting: ++waiting; break;
        case FleetState::Stage::Connecting: ++connecting; break;
        case FleetState::Stage::Checking: ++checking; break;
        case FleetState::Stage::Reading: ++reading; break;
        case FleetState::Stage::WaitingToWrite: ++toWrite; break;
        case FleetState::Stage::Writing:
            ++writing;
            lowestStep = std::min(lowestStep, s.step);
            highestStep = std::max(highestStep, s.step);
            break;
        case FleetState::Stage::Ended:
            ++ended[results[i].outcome];
            if (results[i].outcome != FleetOutcome::Ok)
                needLook.append(int(i));
            break;
        }
    }
    QStringList counts;
    const auto count = [&counts](int n, const QString &what) {
        if (n > 0)
            counts.append(QStringLiteral("%1 %2").arg(n).arg(what));
    };
    count(waiting, QStringLiteral("waiting"));
    count(connecting, QStringLiteral("connecting"));
    count(checking, QStringLiteral("checking"));
    count(reading, QStringLiteral("reading"));
    count(writing, writing > 0 ? QStringLiteral("writing (steps %1 to %2)").arg(lowestStep).arg(highestStep) : QString());
    count(toWrite, QStringLiteral("waiting to write"));
    for (FleetOutcome outcome : {FleetOutcome::Ok, FleetOutcome::Differs, FleetOutcome::Failed, FleetOutcome::Stopped})
        count(ended.value(outcome), fleetOutcomeWord(outcome));
    QStringList lines{QStringLiteral("%1 modules: %2").arg(states.size()).arg(counts.join(QStringLiteral(", ")))};
    if (!needLook.isEmpty() && height > 2) {
        lines.append(QStringLiteral("needing a look:"));
        for (qsizetype n = 0; n < needLook.size() && lines.size() < height; ++n) {
            const FleetResult &r = results[needLook[n]];
            const bool last = lines.size() + 1 == height && n + 1 < needLook.size();
            lines.append(last ? QStringLiteral("  ... and %1 more").arg(needLook.size() - n)
                              : QStringLiteral("  %1  %2  %3").arg(r.name, r.port, englishState(states[needLook[n]], r)));
        }
    }
    return lines;
}

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
        QJsonObject module{
            {"name", r.name},
            {"port", r.port},
            {"outcome", fleetOutcomeWord(r.outcome)},
            {"stepsSent", fleetActionWrites(action) ? QJsonValue(r.stepsSent) : QJsonValue()},
            {"firmware", jsonText(r.firmware)},
            {"cause", jsonText(r.cause)},
            {"durationMs", r.started ? QJsonValue(r.durationMs) : QJsonValue()},
            {"backup", jsonText(r.backup)},
        };
        if (fleetActionChecks(action)) {
            QJsonArray differences;
            for (const FieldDifference &d : r.differences)
                differences.append(QJsonObject{{"field", d.field}, {"file", d.expected}, {"module", d.found}});
            module.insert(QStringLiteral("differences"), differences);
        }
        if (action == FleetAction::Apply || action == FleetAction::Undo)
            module.insert(QStringLiteral("written"), r.written);
        list.append(module);
    }
    return list;
}

QStringList differenceLines(const QList<FleetResult> &results)
{
    QStringList lines;
    for (const FleetResult &r : results) {
        for (const FieldDifference &d : r.differences)
            lines.append(QStringLiteral("%1: %2: file %3, module %4").arg(r.name, d.field, quoted(d.expected), quoted(d.found)));
    }
    return lines;
}

namespace {

// A name in a plugin's line: a "|" would start the performance data, and
// the line is one line.
QString pluginText(QString text)
{
    for (QChar &c : text) {
        if (c == u'|')
            c = u'/';
        else if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    return text;
}

QString namesOf(const QList<FleetResult> &results, FleetOutcome outcome)
{
    QStringList names;
    for (const FleetResult &r : results) {
        if (r.outcome == outcome)
            names.append(pluginText(r.name));
    }
    return names.join(QStringLiteral(", "));
}

qsizetype countOf(const QList<FleetResult> &results, FleetOutcome outcome)
{
    return std::count_if(results.begin(), results.end(), [outcome](const FleetResult &r) { return r.outcome == outcome; });
}

// A label's value as the text format takes it: backslash, double quote and
// line feed escaped.
QString labelValue(QString text)
{
    text.replace(u'\\', QStringLiteral("\\\\"));
    text.replace(u'"', QStringLiteral("\\\""));
    text.replace(u'\n', QStringLiteral("\\n"));
    return u'"' + text + u'"';
}

QString moduleLabels(const FleetResult &r)
{
    return QStringLiteral("name=%1,port=%2").arg(labelValue(r.name), labelValue(r.port));
}

} // namespace

MonitoringCheck nagiosCheck(const QList<FleetResult> &results, double seconds)
{
    const qsizetype inSync = countOf(results, FleetOutcome::Ok);
    const qsizetype differs = countOf(results, FleetOutcome::Differs);
    const qsizetype failed = countOf(results, FleetOutcome::Failed);
    const qsizetype total = results.size();
    MonitoringCheck check;
    if (countOf(results, FleetOutcome::Stopped) > 0) {
        check = nagiosUnknown(QStringLiteral("the plan was stopped before every module was read"));
    } else if (failed > 0) {
        check = {2, QStringLiteral("KVR7314 CRITICAL - %1 of %2 modules could not be read: %3")
                        .arg(failed).arg(total).arg(namesOf(results, FleetOutcome::Failed))};
        if (differs > 0)
            check.line += QStringLiteral("; %1 differ from their file: %2").arg(differs).arg(namesOf(results, FleetOutcome::Differs));
    } else if (differs > 0) {
        check = {1, QStringLiteral("KVR7314 WARNING - %1 of %2 modules differ from their file: %3")
                        .arg(differs).arg(total).arg(namesOf(results, FleetOutcome::Differs))};
    } else {
        check = {0, QStringLiteral("KVR7314 OK - all %1 modules hold their file").arg(total)};
    }
    check.line += QStringLiteral(" | in_sync=%1 differs=%2 failed=%3 seconds=%4")
                      .arg(inSync).arg(differs).arg(failed).arg(seconds, 0, 'f', 1);
    return check;
}

MonitoringCheck nagiosUnknown(const QString &why)
{
    return {3, QStringLiteral("KVR7314 UNKNOWN - ") + pluginText(why)};
}

QByteArray prometheusMetrics(const QList<FleetResult> &results, const QDateTime &ended, double seconds)
{
    QString text;
    const auto family = [&text](const char *name, const char *help) {
        text += QStringLiteral("# HELP %1 %2\n# TYPE %1 gauge\n").arg(QLatin1String(name), QLatin1String(help));
    };
    // A module that was not read has no value for what a read tells.
    const auto read = [](const FleetResult &r) { return r.outcome == FleetOutcome::Ok || r.outcome == FleetOutcome::Differs; };
    family("kvr7314_module_up", "Whether the module answered the plan's read (1) or not (0).");
    for (const FleetResult &r : results)
        text += QStringLiteral("kvr7314_module_up{%1} %2\n").arg(moduleLabels(r)).arg(read(r) ? 1 : 0);
    family("kvr7314_module_in_sync", "Whether the module holds every value of its settings file (1) or not (0); "
                                     "only for modules that answered.");
    for (const FleetResult &r : results) {
        if (read(r))
            text += QStringLiteral("kvr7314_module_in_sync{%1} %2\n").arg(moduleLabels(r)).arg(r.outcome == FleetOutcome::Ok ? 1 : 0);
    }
    family("kvr7314_module_differences", "How many fields of the module differ from its settings file; only for "
                                         "modules that answered.");
    for (const FleetResult &r : results) {
        if (read(r))
            text += QStringLiteral("kvr7314_module_differences{%1} %2\n").arg(moduleLabels(r)).arg(r.differences.size());
    }
    family("kvr7314_module_firmware_info", "The firmware version the module reported, as a label; always 1.");
    for (const FleetResult &r : results) {
        if (read(r))
            text += QStringLiteral("kvr7314_module_firmware_info{%1,firmware=%2} 1\n").arg(moduleLabels(r), labelValue(r.firmware));
    }
    family("kvr7314_fleet_plan_timestamp_seconds", "When the plan ended, in seconds since 1970 (UTC).");
    text += QStringLiteral("kvr7314_fleet_plan_timestamp_seconds %1\n").arg(ended.toMSecsSinceEpoch() / 1000.0, 0, 'f', 3);
    family("kvr7314_fleet_plan_duration_seconds", "How long the plan took, in seconds.");
    text += QStringLiteral("kvr7314_fleet_plan_duration_seconds %1\n").arg(seconds, 0, 'f', 3);
    return text.toUtf8();
}

QString countLine(const QList<FleetResult> &results, FleetAction action)
{
    const qsizetype ok = countOf(results, FleetOutcome::Ok);
    if (action == FleetAction::Plan)
        return QStringLiteral("%1 of %2 module(s) hold their file").arg(ok).arg(results.size());
    QString line = QStringLiteral("%1 of %2 module(s) ok").arg(ok).arg(results.size());
    if (action == FleetAction::Apply || action == FleetAction::Undo) {
        const qsizetype written = std::count_if(results.begin(), results.end(), [](const FleetResult &r) { return r.written; });
        line += QStringLiteral(", %1 written").arg(written);
    }
    return line;
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
