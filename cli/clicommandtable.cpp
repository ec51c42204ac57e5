#include "cli/clicommandtable.h"

#include "files/backups.h"
#include "fleet/fleetplan.h"
#include "link/frames.h"
#include "link/portlist.h"
#include "link/programmingrun.h"
#include "readback/readbackrun.h"
#include "settings/fieldtable.h"
#include "sim/simulatedmodule.h"

#include <algorithm>
#include <vector>

namespace {

QString number(int n) { return QString::number(n); }

QString seconds(int ms) { return number(ms / 1000); }

} // namespace

QStringList wrapped(const QString &text, int width)
{
    QStringList lines;
    QString line;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            lines.append(line);
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

namespace {

// Paragraphs (separated by an empty line in `text`) wrapped to the help's width.
QString paragraphs(const QString &text)
{
    QStringList out;
    for (const QString &paragraph : text.split(QStringLiteral("\n\n")))
        out.append(wrapped(paragraph, kHelpWidth).join(u'\n'));
    return out.join(QStringLiteral("\n\n")) + u'\n';
}

// Labels longer than this stand on a line of their own, their text below.
constexpr qsizetype kLongestLabelBeside = 24;

// A two-column block: each label, then its text wrapped beside it.
QString twoColumns(const QList<std::pair<QString, QString>> &rows)
{
    qsizetype longest = 0;
    for (const auto &[label, help] : rows) {
        if (label.size() <= kLongestLabelBeside)
            longest = std::max(longest, label.size());
    }
    const qsizetype column = longest + 4;   // two spaces before the label, at least two after it
    QString text;
    for (const auto &[label, help] : rows) {
        QString lead = QStringLiteral("  ") + label;
        if (label.size() > kLongestLabelBeside) {
            text += lead + u'\n';
            lead.clear();
        }
        const QStringList lines = wrapped(help, int(kHelpWidth - column));
        for (qsizetype i = 0; i < lines.size(); ++i)
            text += (i == 0 ? lead : QString()).leftJustified(column) + lines[i] + u'\n';
    }
    return text;
}

QString optionBlock(const QList<CliOptionSpec> &options)
{
    QList<std::pair<QString, QString>> rows;
    for (const CliOptionSpec &o : options)
        rows.append({o.label(), o.help});
    return twoColumns(rows);
}

QString usageOf(const CliOptionSpec &o)
{
    const QString typed = o.typedNames().constFirst() + (o.valueName.isEmpty() ? QString() : u' ' + o.valueName);
    return o.required ? typed : u'[' + typed + u']';
}

// "Usage: kvr7314-cli write FILE.kvr (--port DEV | --sim) [--verify] ...",
// wrapped under its first word after the command.
QString usageLine(const CliCommandSpec &c)
{
    const QString start = QStringLiteral("Usage: %1 %2 ").arg(kCliProgram, c.name);
    QStringList parts;
    if (!c.argumentSynopsis().isEmpty())
        parts.append(c.argumentSynopsis());
    if (c.talksToModule)
        parts.append(QStringLiteral("(--port DEV | --sim)"));
    for (const CliOptionSpec &o : c.options)
        parts.append(usageOf(o));
    if (c.talksToModule)
        parts.append(QStringLiteral("[--trace FILE]"));
    QString text = start;
    qsizetype lineLength = start.size();
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0 && lineLength + 1 + parts[i].size() > kHelpWidth) {
            text += u'\n' + QString(start.size() - 1, u' ');
            lineLength = start.size() - 1;
        }
        if (i > 0) {
            text += u' ';
            ++lineLength;
        }
        text += parts[i];
        lineLength += parts[i].size();
    }
    return text + u'\n';
}

QString exitCodesHelp()
{
    QString text = QStringLiteral("Exit codes:\n");
    for (const ExitCodeMeaning &e : exitCodeMeanings()) {
        const QString code = number(e.code);
        const QStringList lines = wrapped(QLatin1String(e.meaning), kHelpWidth - 7);
        for (qsizetype i = 0; i < lines.size(); ++i)
            text += QStringLiteral("  ") + (i == 0 ? code : QString()).leftJustified(5) + lines[i] + u'\n';
    }
    return text + wrapped(QLatin1String(mostSeriousCodeRule()), kHelpWidth).join(u'\n') + u'\n';
}

QString moduleCommandNames()
{
    QStringList names;
    for (const CliCommandSpec &c : cliCommands()) {
        if (c.talksToModule)
            names.append(c.name);
    }
    return names.join(QStringLiteral(", "));
}

QString moduleOptionsHelp()
{
    return optionBlock(moduleOptions()) + QStringLiteral("One of --port and --sim is needed.\n");
}

CliOptionSpec flag(const char *name, const QString &help)
{
    return CliOptionSpec{{QLatin1String(name)}, {}, help, CliValue::None, false};
}

CliOptionSpec valued(const char *name, const char *valueName, const QString &help, CliValue value)
{
    return CliOptionSpec{{QLatin1String(name)}, QLatin1String(valueName), help, value, false};
}

CliOptionSpec fullWaitOption()
{
    return flag("full-wait", QStringLiteral("collect the module's dump for the whole %1 s, as the window does, "
                                            "instead of ending once it is complete (for a module that pauses "
                                            "while it sends)")
                                 .arg(seconds(kParseDelayMs)));
}

CliOptionSpec jsonOption(const QString &what)
{
    return flag("json", QStringLiteral("print %1 as JSON on standard output (the keys are listed under JSON OUTPUT "
                                       "in the man page); messages go to standard error")
                            .arg(what));
}

CliOptionSpec outputOption(const char *valueName, const QString &help, CliValue value, bool required)
{
    return CliOptionSpec{{QStringLiteral("o"), QStringLiteral("output")}, QLatin1String(valueName), help, value,
                         required};
}

std::vector<CliCommandSpec> buildCommands()
{
    const ModuleBehaviour module;
    const QString secondsTimer = settingsField(&ModuleSettings::relayTime).whenEmpty;
    const QString scrollTimer = settingsField(&ModuleSettings::scrollTime).whenEmpty;
    const CliArgumentSpec settingsFile{QStringLiteral("FILE.kvr"), CliValue::Kvr};
    std::vector<CliCommandSpec> commands;

    commands.push_back({CliCommand::Write, QStringLiteral("write"),
        QStringLiteral("write the settings of FILE into the module"),
        QStringLiteral("Opens FILE.kvr as the window's \"openen\" does, normalises the timers (an empty seconds "
                       "timer becomes %1, an empty or zero scroll time %2) and writes the settings into the module: "
                       "%3 steps, one every %4 ms, with a progress line. Succeeds only when every step was written.")
            .arg(secondsTimer, scrollTimer, number(kProgrammingStepCount), number(2 * ProgrammingRun::kTickIntervalMs)),
        {settingsFile},
        {flag("verify", QStringLiteral("then read the module back and compare every value its dump carries with "
                                       "what was written; the differences are listed (exit code %1)")
                            .arg(int(ExitCode::Differences))),
         valued("backup", "B.kvr",
                QStringLiteral("first read the module and save what it holds as B.kvr, with the firmware version "
                               "read and the receiver type of FILE; when that read or save fails, nothing is written"),
                CliValue::Kvr),
         fullWaitOption()},
        true});

    commands.push_back({CliCommand::Read, QStringLiteral("read"),
        QStringLiteral("read the module's settings into a .kvr file"),
        QStringLiteral("Sends the read request and collects the module's dump until it is complete (%1 s at most), "
                       "with a progress line counting the characters. The settings are saved as a .kvr file with "
                       "the firmware version read; without -o the file goes to standard output and the messages to "
                       "standard error.")
            .arg(seconds(kParseDelayMs)),
        {},
        {outputOption("FILE.kvr", QStringLiteral("the file to save (checked before the module is asked)"),
                      CliValue::Kvr, false),
         valued("receiver", "flex|pocsag",
                QStringLiteral("the receiver type the file names; the module does not report it (flex when not "
                               "given)"),
                CliValue::Receiver),
         fullWaitOption(), jsonOption(QStringLiteral("the settings read, one member per field,"))},
        true});

    commands.push_back({CliCommand::TestCall, QStringLiteral("test-call"),
        QStringLiteral("send a test call to capcode 1..%1 or RI-code 1D..%2D").arg(kAliasCount).arg(kPocsagAliasCount),
        QStringLiteral("Sends a test call, as the window's \"verstuur test\" does: CODE is a capcode 1 to %1 (FLEX) "
                       "or an RI-code 1D to %2D (POCSAG); TEXT is the message (\"%3\" when it is not given or empty). "
                       "TEXT holds what the module can show: characters of Windows-1252 and no control characters, "
                       "which would end the frame early.")
            .arg(number(kAliasCount), number(kPocsagAliasCount), kDefaultTestMessage),
        {{QStringLiteral("CODE"), CliValue::Code}, {QStringLiteral("TEXT"), CliValue::Text, false}},
        {},
        true});

    commands.push_back({CliCommand::NoNetwork, QStringLiteral("no-network"),
        QStringLiteral("make the module show its no-network fault"),
        QStringLiteral("Makes the module show the fault it gives when it has no reception, as the window's "
                       "\"geen netwerk\" does."),
        {}, {}, true});

    commands.push_back({CliCommand::Report, QStringLiteral("report"),
        QStringLiteral("print the settings of FILE as a PDF report"),
        QStringLiteral("Opens FILE.kvr as the window's \"openen\" does and prints its settings as the window's "
                       "\"printen\" does, into a PDF file. Needs no display. The PDF is made whole before it replaces "
                       "an old one."),
        {settingsFile},
        {outputOption("REPORT.pdf", QStringLiteral("the PDF file to write (required)"), CliValue::Pdf, true)},
        false});

    commands.push_back({CliCommand::Diff, QStringLiteral("diff"),
        QStringLiteral("list the values in which two settings files differ"),
        QStringLiteral("Lists the values in which two settings files differ, one a line, A's beside B's. Exit code "
                       "%1 when they are equal, %2 when they differ, %3 when a file cannot be read.")
            .arg(int(ExitCode::Ok)).arg(int(ExitCode::Differences)).arg(int(ExitCode::File)),
        {{QStringLiteral("A.kvr"), CliValue::Kvr}, {QStringLiteral("B.kvr"), CliValue::Kvr}},
        {flag("as-module", QStringLiteral("compare them as a module holds them after a write, with the allowances "
                                          "of write --verify: an empty alias as CAPCODE nn, timers in four "
                                          "characters, the scroll time in three digits, the coupling text in the "
                                          "module's written form")),
         jsonOption(QStringLiteral("the differences"))},
        false});

    commands.push_back({CliCommand::Aliases, QStringLiteral("aliases"),
        QStringLiteral("the aliases of FILE to or from a spreadsheet's list"),
        QStringLiteral("export writes the aliases of FILE.kvr as a list a spreadsheet opens as it is: UTF-8 with a "
                       "byte order mark, semicolons, the columns nummer;alias. import takes such a list, as a "
                       "spreadsheet saves it (semicolons, or commas or tabs; UTF-8 with or without a byte order mark, "
                       "or Windows-1252; an optional header row), into the aliases of FILE.kvr and saves the result "
                       "as NEW.kvr; the aliases the list does not name stay as they are. Every row is checked first: a "
                       "number from 1 to %1, given once, and an alias of at most %2 characters that the module can "
                       "show. A bad row refuses the whole list, naming the row, and nothing is written.")
            .arg(kAliasCount).arg(kTextLimit),
        {{QStringLiteral("export|import"), CliValue::Action},
         settingsFile,
         {QStringLiteral("LIST.csv"), CliValue::Csv, false}},
        {outputOption("FILE", QStringLiteral("export: the list to write (standard output when not given); import: "
                                             "the settings file to save (required)"),
                      CliValue::AnyFile, false)},
        false});

    commands.push_back({CliCommand::Ports, QStringLiteral("ports"),
        QStringLiteral("list the serial ports and where COM 1 to COM %1 lead").arg(kComPortCount),
        QStringLiteral("Lists where COM 1 to COM %1 lead (as in the window and for --port COMn), then every serial "
                       "port found: device, description, manufacturer, serial number and /dev/serial/by-id name.")
            .arg(kComPortCount),
        {}, {jsonOption(QStringLiteral("the COM boxes and the ports"))}, false});

    commands.push_back({CliCommand::Find, QStringLiteral("find"),
        QStringLiteral("look for a module on every serial port"),
        QStringLiteral("Sends the %1-byte read request to each DEV given (a port as --port takes it, network "
                       "addresses included), or else to every serial port found, one "
                       "after the other, and names the ports where a module answered, with its firmware version. "
                       "Only use it where nothing else is connected that could take those bytes amiss. Exit code %2 "
                       "when no module answered.")
            .arg(readRequestFrame().size()).arg(int(ExitCode::Module)),
        {{QStringLiteral("DEV"), CliValue::Port, false, true}},
        QList<CliOptionSpec>{jsonOption(QStringLiteral("what each port answered"))} + tlsOptions(), false});

    commands.push_back({CliCommand::Fleet, QStringLiteral("fleet"),
        QStringLiteral("write, read, find, plan, apply or undo many modules at once, from a list"),
        QStringLiteral("Runs one action on every module of LIST.csv at the same time, each paced on its own: "
                       "write writes each row's settings file, read saves each module as NAME.kvr in the folder -o "
                       "names (an existing file is kept as a backup first), find says which modules answer, with "
                       "their firmware.\n\n"
                       "plan reads every module and compares what it holds with its file, field by field, with the "
                       "allowances of write --verify; it sends nothing but the read request and keeps nothing (no "
                       "backup, no log line), so a monitoring system may run it every few minutes. Exit code %1 "
                       "when every module holds its file. apply runs the plan, then writes and verifies only the "
                       "modules that differ; the plan's read of each is kept as the backup of what it held. undo "
                       "puts back into each module what it held before the last write made to it (the newest write "
                       "the log holds for its name), then verifies; a module with no write on record is left alone, "
                       "one whose last write kept no record of what it replaced, or whose backup is gone, is named "
                       "and not written (exit code %2). An undo is a write too: a second undo puts back what the "
                       "first took away.\n\n"
                       "LIST is a spreadsheet's list with the columns naam;poort;bestand and optionally ontvanger: "
                       "the module's name, its port as --port takes it (network addresses included), its settings "
                       "file (for write, plan and apply; relative to the list's folder) and the receiver type (FLEX "
                       "or POCSAG) that read writes into its file. It is read as the aliases command reads a list; "
                       "the header row is optional. Every row is checked before any module is asked, and one bad "
                       "row refuses the whole list (exit code %2), naming the row: an unknown column, a name given "
                       "twice (in any case, or as the file name it becomes), two rows on one port, a file that does "
                       "not open, a text the module cannot take.\n\n"
                       "On a terminal each module has a line that shows how far it is; otherwise each event is a "
                       "line of its own. At the end a table says how each module ended, and for those that did not "
                       "succeed the command that retries them alone. Ctrl-C or SIGTERM stops every module; those "
                       "not started end as stopped, with no step sent. Each write and verify is logged with the "
                       "module's name (history --module NAME), and its backups carry the name. The exit code is %1 "
                       "only when every module succeeded; otherwise the most serious of theirs, as the exit codes "
                       "below say.")
            .arg(int(ExitCode::Ok)).arg(int(ExitCode::File)),
        {{fleetActionNames().join(u'|'), CliValue::FleetAction}, {QStringLiteral("LIST.csv"), CliValue::Csv}},
        QList<CliOptionSpec>{
            flag("verify", QStringLiteral("write: then read each module back and compare, as write --verify does")),
            flag("backup", QStringLiteral("write: first read each module and keep what it holds as its backup in "
                                          "the data folder; a module whose read fails is not written")),
            outputOption("FOLDER", QStringLiteral("read: the folder for the modules' files (required for read)"),
                         CliValue::AnyFile, false),
            valued("canary", "N", QStringLiteral("write, apply, undo: write and verify the first N modules to be "
                                                 "written (for apply: that differ), in the list's order, first; the "
                                                 "others start only when all N ended ok, else they end as stopped, "
                                                 "not written"),
                   CliValue::Text),
            valued("max-failed", "N", QStringLiteral("write, apply, undo: once N modules failed or differ after their "
                                                     "write, no further module starts writing"),
                   CliValue::Text),
            flag("nagios", QStringLiteral("plan: print exactly one line on standard output in the monitoring plugin "
                                          "format (Nagios, Icinga, Zabbix), with performance data, and exit 0 (OK: "
                                          "all hold their file), 1 (WARNING: some differ), 2 (CRITICAL: some could "
                                          "not be read) or 3 (UNKNOWN: the list or the command line is refused); "
                                          "everything else goes to standard error")),
            valued("prometheus", "FILE", QStringLiteral("plan: write the outcome in the Prometheus text format to "
                                                        "FILE, atomically, for the node exporter's textfile "
                                                        "collector (checked before any module is asked)"),
                   CliValue::AnyFile),
            valued("jobs", "N", QStringLiteral("at most N modules at once (all when not given)"), CliValue::Text),
            valued("only", "NAME,NAME", QStringLiteral("only the modules of these names, as the retry command "
                                                       "gives them"),
                   CliValue::Text),
            fullWaitOption(),
            jsonOption(QStringLiteral("the summary, one object per module,"))}
            + tlsOptions(),
        false});

    commands.push_back({CliCommand::History, QStringLiteral("history"),
        QStringLiteral("list the operations of the log, or the backups"),
        QStringLiteral("Lists the log of operations, newest first: every write, verify, read, test call, no-network "
                       "notice, save and open of the window and of kvr7314-cli, with its port and the adapter's "
                       "serial number, its outcome and the backup it left. Every read and write leaves a backup of "
                       "the settings in the data folder (KVR7314_DATA_DIR, else ~/.local/share/kvr7314, on Windows "
                       "%APPDATA%\\kvr7314); write FILE puts one back into a module. Backups older than %1 days "
                       "go, but never the newest %2.")
            .arg(kBackupDaysKept).arg(kBackupsAlwaysKept),
        {},
        {valued("port", "DEV", QStringLiteral("only the operations on DEV: a device (/dev/ttyUSB0, ttyUSB0) or an "
                                              "adapter's serial number"),
                CliValue::Port),
         valued("module", "NAME", QStringLiteral("only the operations on the module of a fleet list by that name "
                                                 "(in any case)"),
                CliValue::Text),
         valued("since", "DATE", QStringLiteral("only the operations from DATE (2026-12-09, or 2026-12-09T10:00) on"),
                CliValue::Text),
         flag("backups", QStringLiteral("list the backup files instead, newest first")),
         jsonOption(QStringLiteral("the operations (or the backups)"))},
        false});

    commands.push_back({CliCommand::Sim, QStringLiteral("sim"),
        QStringLiteral("run a simulated KVR7314 on a pseudo-terminal"),
        QStringLiteral("Runs a simulated KVR7314 on a pseudo-terminal until it is stopped (Ctrl-C, SIGTERM). The "
                       "first line of standard output is the device to pass as --port DEV; every frame the module "
                       "takes is listed after it. The options make it a module with a fault, to try the tool on:"),
        {},
        {valued("answer-delay", "MS",
                QStringLiteral("milliseconds from the read request to the dump's first byte (%1)").arg(module.answerDelayMs),
                CliValue::Text),
         flag("no-answer", QStringLiteral("never answer the read request")),
         valued("cut-after", "N", QStringLiteral("send only the first N characters of the dump"), CliValue::Text),
         valued("garbage", "TEXT", QStringLiteral("send TEXT in front of the dump"), CliValue::Text),
         valued("firmware", "V",
                QStringLiteral("the firmware version the module reports (%1)").arg(module.firmwareVersion),
                CliValue::Text),
         valued("pause-after", "N",
                QStringLiteral("a slow module: stop sending for a while after N characters of the dump"),
                CliValue::Text),
         valued("pause-ms", "MS", QStringLiteral("how long that pause lasts (%1)").arg(module.pauseMs), CliValue::Text),
         valued("hang-up-after", "N",
                QStringLiteral("a module that drops off: close the line after N frames, as a cable pulled out"),
                CliValue::Text),
         flag("keep-settings", QStringLiteral("a module that takes the programming frames but keeps what it held, "
                                              "as one with a worn memory")),
         valued("holds", "FILE.kvr", QStringLiteral("start holding what writing FILE.kvr puts into a module, "
                                                     "instead of the standard values"),
                CliValue::Kvr)},
        false});

    commands.push_back({CliCommand::Help, QStringLiteral("help"), QStringLiteral("this text, or the help of COMMAND"),
        QString(), {{QStringLiteral("COMMAND"), CliValue::Command, false}}, {}, false});
    return commands;
}

const std::vector<CliCommandSpec> &commandTable()
{
    static const std::vector<CliCommandSpec> commands = buildCommands();
    return commands;
}

QString programHelp()
{
    QString text = QStringLiteral("Usage: %1 COMMAND [ARGUMENTS] [OPTIONS]\n\n").arg(kCliProgram);
    text += paragraphs(QStringLiteral(
        "The KVR7314 configuration tool for scripts and for machines without a display or a module. It sends the "
        "same frames at the same pace, and reads, parses, saves and prints with the same code as the kvr7314 "
        "window."));
    text += QStringLiteral("\nCommands:\n");
    // Each command with its arguments and the options it cannot do without.
    QList<std::pair<QString, QString>> rows;
    for (const CliCommandSpec &c : cliCommands()) {
        QStringList parts{c.name, c.argumentSynopsis()};
        for (const CliOptionSpec &o : c.options) {
            if (o.required)
                parts.append(usageOf(o));
        }
        parts.removeAll(QString());
        rows.append({parts.join(u' '), c.summary});
    }
    text += twoColumns(rows);
    text += u'\n' + wrapped(QStringLiteral("Every command takes --help; --version prints the program's version. "
                                           "The commands that talk to the module (%1) take:")
                                .arg(moduleCommandNames()),
                            kHelpWidth)
                        .join(u'\n')
          + u'\n';
    return text + moduleOptionsHelp() + u'\n' + exitCodesHelp();
}

} // namespace

QString CliOptionSpec::label() const
{
    return typedNames().join(QStringLiteral(", ")) + (valueName.isEmpty() ? QString() : u' ' + valueName);
}

QStringList CliOptionSpec::typedNames() const
{
    QStringList typed;
    for (const QString &name : names)
        typed.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
    return typed;
}

QString CliCommandSpec::argumentSynopsis() const
{
    QStringList parts;
    for (const CliArgumentSpec &a : arguments) {
        const QString name = a.repeats ? a.name + QStringLiteral("...") : a.name;
        parts.append(a.required ? name : u'[' + name + u']');
    }
    return parts.join(u' ');
}

QList<CliOptionSpec> CliCommandSpec::allOptions() const
{
    QList<CliOptionSpec> all = options;
    if (talksToModule)
        all += moduleOptions();
    return all + commonOptions();
}

std::span<const CliCommandSpec> cliCommands() { return commandTable(); }

const CliCommandSpec *cliCommandNamed(const QString &name)
{
    for (const CliCommandSpec &c : commandTable()) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

QList<CliOptionSpec> commonOptions()
{
    return {CliOptionSpec{{QStringLiteral("h"), QStringLiteral("help")}, {}, QStringLiteral("this text")},
            CliOptionSpec{{QStringLiteral("v"), QStringLiteral("version")}, {}, QStringLiteral("the program's version")}};
}

QList<CliOptionSpec> tlsOptions()
{
    return {valued("tls-ca", "FILE",
                   QStringLiteral("the authorities (PEM) the server's certificate must chain to; the system's when not "
                                  "given (KVR7314_TLS_CA)"),
                   CliValue::AnyFile),
            valued("tls-cert", "FILE",
                   QStringLiteral("a client certificate (PEM) for a server that asks for one (KVR7314_TLS_CERT)"),
                   CliValue::AnyFile),
            valued("tls-key", "FILE", QStringLiteral("its RSA key, PEM, unencrypted (KVR7314_TLS_KEY)"),
                   CliValue::AnyFile)};
}

QList<CliOptionSpec> moduleOptions()
{
    return QList<CliOptionSpec>{
               valued("port", "DEV",
                      QStringLiteral("the module's serial port: a device path (/dev/ttyUSB0, COM7 on Windows) or COM1 "
                                     "to COM%1, which lead to the ports this machine has as the window's COM boxes do "
                                     "(see kvr7314-cli ports); or a module behind a device server: rfc2217://HOST:PORT "
                                     "(RFC 2217: the tool sets the line), tcp://HOST:PORT or socket://HOST:PORT (raw "
                                     "TCP: the server's line must already be 19200 8N1), rfc2217+tls:// and tcp+tls:// "
                                     "inside TLS. HOST is a name, an IPv4 address or an IPv6 address in brackets")
                          .arg(kComPortCount),
                      CliValue::Port),
               flag("sim", QStringLiteral("talk to a simulated KVR7314 built into this program instead")),
               valued("trace", "FILE", QStringLiteral("write every byte sent and received, with its time, to FILE"),
                      CliValue::AnyFile)}
        + tlsOptions();
}

QString commandHelpBody(const CliCommandSpec &c)
{
    QString text = usageLine(c);
    if (!c.description.isEmpty())
        text += u'\n' + paragraphs(c.description);
    if (!c.options.isEmpty())
        text += u'\n' + optionBlock(c.options);
    if (c.talksToModule)
        text += u'\n' + moduleOptionsHelp();
    return text;
}

QString cliHelpText(const QString &topic)
{
    const CliCommandSpec *c = cliCommandNamed(topic);
    if (!c || c->command == CliCommand::Help)
        return programHelp();
    return commandHelpBody(*c) + u'\n' + exitCodesHelp();
}

QString cliVersionText()
{
    return QStringLiteral("%1 %2\n").arg(kCliProgram, kProgramVersion);
}
