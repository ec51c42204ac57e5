#include "cli/fleetcommand.h"

#include "cli/clicommandtable.h"
#include "cli/stopsignals.h"
#include "fleet/fleetrun.h"
#include "fleet/fleetsummary.h"
#include "files/backups.h"
#include "files/safefile.h"
#include "link/portdirectory.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

class FleetCommand : public CommandRun {
public:
    // Standard output carries the JSON, or a monitoring system's one line;
    // messages then go to standard error.
    FleetCommand(const FleetRequest &request, StopSignals &stop)
        : CommandRun(stop, request.json || request.nagios),
          m_request(request),
          m_context(OperationContext::keptBy(kCliProgram, {}, Journal::Writes::Beside))
    {
        connect(&m_stop, &StopSignals::stopRequested, this, [this](int signalNumber) {
            if (m_run)
                m_run->stop(stopCauseOf(signalNumber));
        });
        m_redraw.setSingleShot(true);
        m_redraw.setInterval(100);   // a terminal redrawn ten times a second at most
        connect(&m_redraw, &QTimer::timeout, this, &FleetCommand::draw);
    }

    void start() override
    {
        FleetOptions options;
        if (!prepare(&options))
            return;
        m_run = new FleetRun(m_modules, options, this);
        if (const auto refused = m_run->refusal()) {
            const FleetModule &module = m_modules[refused->first];
            refuse(QStringLiteral("%1: row %2 (%3): %4; no module was asked")
                       .arg(m_request.list)
                       .arg(module.line)
                       .arg(module.name, refused->second.line),
                   refused->second.exit);
            return;
        }
        connect(m_run, &FleetRun::changed, this, &FleetCommand::changed);
        connect(m_run, &FleetRun::said, this, [this](int index, const QString &line) {
            if (!m_console.blockInPlace())
                m_console.line(QStringLiteral("%1: %2").arg(m_modules[index].name, line));
        });
        connect(m_run, &FleetRun::finished, this, &FleetCommand::finish);
        m_clock.start();
        m_console.line(QStringLiteral("fleet %1: %2 module(s) from %3, %4")
                           .arg(fleetActionName(m_request.action))
                           .arg(m_modules.size())
                           .arg(m_request.list)
                           .arg(m_request.jobs > 0 ? QStringLiteral("at most %1 at once").arg(m_request.jobs)
                                                   : QStringLiteral("all at once")));
        draw();
        m_run->start();
        // A stop that came while the list was read stops them all at once.
        if (m_stop.received() != 0)
            m_run->stop(stopCauseOf(m_stop.received()));
    }

private:
    // The list planned and checked, the TLS files read, the folder made:
    // false, with the error said and the run ended, when one fails.
    bool prepare(FleetOptions *options)
    {
        QString error;
        const std::optional<TlsCredentials> tls = TlsCredentials::load(m_request.tls, &error);
        if (!tls)
            return refuse(error, ExitCode::File);
        if (!m_request.prometheus.isEmpty()) {
            if (const std::optional<QString> why = checkWritable(m_request.prometheus))
                return refuse(QStringLiteral("%1: the metrics cannot be written: %2; no module was asked")
                                  .arg(m_request.prometheus, *why),
                              ExitCode::File);
        }
        // An undo looks up each module's last write in the log.
        QList<LogEntry> log;
        if (m_request.action == FleetAction::Undo) {
            QString error;
            log = readLog(logPath(m_context.journal->directory()), &error);
            if (!error.isEmpty())
                return refuse(QStringLiteral("%1: the log cannot be read: %2; no module was asked")
                                  .arg(logPath(m_context.journal->directory()), error),
                              ExitCode::File);
        }
        // Where the COM boxes lead, and the adapters the log names: walked once for the list.
        PortDirectory::machine().refresh();
        const FleetPlan plan = planFleet(m_request.list, m_request.action, m_request.output, log);
        if (plan.failure)
            return refuse(plan.failure->english, ExitCode::File);
        m_modules = plan.modules;
        if (!m_request.only.isEmpty() && !selectOnly())
            return false;
        if (const std::optional<FileReason> why = allowOpenFiles(m_modules.size(), m_request.jobs))
            return refuse(QStringLiteral("%1: %2; no module was asked").arg(m_request.list, why->english), ExitCode::File);
        if (m_request.action == FleetAction::Read && !QDir().mkpath(m_request.output))
            return refuse(QStringLiteral("%1: the folder cannot be made").arg(m_request.output), ExitCode::File);
        options->action = m_request.action;
        options->jobs = m_request.jobs;
        options->verify = m_request.verify;
        options->backup = m_request.backup;
        options->canary = m_request.canary;
        options->maxFailed = m_request.maxFailed;
        options->readOptions = ReadBackSession::Options::quick(m_request.fullWait);
        options->tls = *tls;
        options->context = m_context;
        return true;
    }

    // --only: the modules of those names, each of which the list must have.
    bool selectOnly()
    {
        QList<FleetModule> selected;
        for (const QString &name : m_request.only) {
            const auto found = std::find_if(m_modules.begin(), m_modules.end(), [&](const FleetModule &m) {
                return m.name.compare(name, Qt::CaseInsensitive) == 0;
            });
            if (found == m_modules.end())
                return refuse(QStringLiteral("--only: %1 has no module named \"%2\"").arg(m_request.list, name), ExitCode::Usage);
            selected.append(*found);
        }
        // In the list's order, each once.
        m_modules.removeIf([&](const FleetModule &m) {
            return std::none_of(selected.begin(), selected.end(), [&](const FleetModule &s) { return s.line == m.line; });
        });
        return true;
    }

    // A refusal before any module is asked: to a monitoring system, UNKNOWN.
    bool refuse(const QString &error, ExitCode exit)
    {
        m_console.error(error);
        if (m_request.nagios)
            endForMonitoring(nagiosUnknown(error));
        else
            end(exit);
        return false;
    }

    void changed(int index)
    {
        if (m_console.blockInPlace()) {
            if (!m_redraw.isActive())
                m_redraw.start();
            return;
        }
        // Elsewhere (a log) each change is a line of its own.
        m_console.line(moduleLine(index));
    }

    QString moduleLine(int index) const
    {
        return QStringLiteral("%1  %2  %3")
            .arg(m_modules[index].name.leftJustified(m_nameWidth), m_run->result(index).port.leftJustified(m_portWidth),
                 englishState(m_run->state(index), m_run->result(index)));
    }

    void draw()
    {
        if (!m_run || !m_console.blockInPlace())
            return;
        if (m_nameWidth == 0) {
            for (int i = 0; i < m_run->size(); ++i) {
                m_nameWidth = std::max(m_nameWidth, int(m_modules[i].name.size()));
                m_portWidth = std::max(m_portWidth, int(m_run->result(i).port.size()));
            }
        }
        QStringList lines;
        if (const int height = m_console.blockHeight(); m_run->size() > height) {
            // Longer than the terminal: how many stand where, and those that need a look.
            QList<FleetState> states;
            for (int i = 0; i < m_run->size(); ++i)
                states.append(m_run->state(i));
            lines = fleetOverview(states, m_run->results(), height);
        } else {
            for (int i = 0; i < m_run->size(); ++i)
                lines.append(moduleLine(i));
        }
        m_console.block(lines);
    }

    void finish()
    {
        m_redraw.stop();
        draw();
        const double seconds = m_clock.elapsed() / 1000.0;
        const QList<FleetResult> &results = m_run->results();
        m_console.line(QString());
        for (const QString &line : summaryTable(results, m_request.action))
            m_console.line(line);
        if (const QStringList differences = differenceLines(results); !differences.isEmpty()) {
            m_console.line(QString());
            m_console.line(m_request.action == FleetAction::Plan ? QStringLiteral("what differs from the files:")
                                                                 : QStringLiteral("what differed from the files:"));
            for (const QString &line : differences)
                m_console.line(QStringLiteral("  ") + line);
        }
        if (m_request.json)
            m_console.json(summaryJson(results, m_request.action));
        const bool metricsKept = keepMetrics(results, seconds);
        m_console.line(countLine(results, m_request.action));
        if (const QStringList partly = partlyProgrammed(results); !partly.isEmpty())
            m_console.line(QStringLiteral("left partly programmed, write them again: %1").arg(partly.join(QStringLiteral(", "))));
        if (const QStringList retry = namesToRetry(results); !retry.isEmpty()) {
            m_console.line(QStringLiteral("%1 module(s) did not succeed; to retry them alone:").arg(retry.size()));
            m_console.line(QStringLiteral("  ") + retryCommand(kCliProgram, m_request.arguments, retry));
        }
        if (m_request.nagios) {
            endForMonitoring(metricsKept ? nagiosCheck(results, seconds)
                                         : nagiosUnknown(QStringLiteral("the metrics could not be written")));
            return;
        }
        ExitCode exit = fleetExitCode(results);
        if (!metricsKept && exitCodeSeriousness(ExitCode::File) > exitCodeSeriousness(exit))
            exit = ExitCode::File;
        end(exit);
    }

    // A monitoring system reads one line, and the plugin's exit code.
    void endForMonitoring(const MonitoringCheck &check)
    {
        m_console.data((check.line + u'\n').toUtf8());
        end(ExitCode(check.exit));
    }

    // --prometheus: the plan's metrics, when it ran to its end. False when
    // they could not be written.
    bool keepMetrics(const QList<FleetResult> &results, double seconds)
    {
        if (m_request.prometheus.isEmpty())
            return true;
        if (std::any_of(results.begin(), results.end(), [](const FleetResult &r) { return r.exit >= ExitCode::Interrupted; })) {
            m_console.line(QStringLiteral("%1: not written, as the plan was stopped").arg(m_request.prometheus));
            return true;
        }
        if (const auto error = writeWholeFile(m_request.prometheus, prometheusMetrics(results, QDateTime::currentDateTime(), seconds))) {
            m_console.error(QStringLiteral("%1: the metrics could not be written: %2").arg(m_request.prometheus, *error));
            return false;
        }
        m_console.line(QStringLiteral("metrics written to %1").arg(m_request.prometheus));
        return true;
    }

    FleetRequest m_request;
    OperationContext m_context;
    QList<FleetModule> m_modules;
    FleetRun *m_run = nullptr;
    QTimer m_redraw;
    QElapsedTimer m_clock;
    int m_nameWidth = 0;
    int m_portWidth = 0;
};

} // namespace

std::unique_ptr<CommandRun> fleetCommand(const FleetRequest &request, StopSignals &stop)
{
    return std::make_unique<FleetCommand>(request, stop);
}
