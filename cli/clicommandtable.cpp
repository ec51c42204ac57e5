#include "cli/clicommandtable.h"

#include "files/backups.h"
#include "files/operationlog.h"
#include "link/frames.h"
#include "link/portlist.h"
#include "link/programmingrun.h"
#include "readback/readbackrun.h"
#include "settings/fieldtable.h"
#include "sim/simulatedmodule.h"

#include <QFileInfo>

#include <algorithm>
#include <vector>

namespace {

// Help lines are wrapped to this width: the man page indents them by 7
// and should still fit 80 columns.
constexpr int kHelpWidth = 72;

constexpr ExitCodeMeaning kExitCodes[] = {
    {0, "success"},
    {2, "usage: unknown command or option, missing or malformed argument, no --port or --sim"},
    {3, "file: the settings file cannot be read or is not a KVR7314 file; an output (file, backup, "
        "report, trace) cannot be written"},
    {4, "port: the port cannot be opened, or it failed during the run (adapter pulled)"},
    {5, "module: no answer to the read request, or a reply that cannot be read as settings"},
    {6, "differences: --verify or diff found values that differ"},
    {130, "stopped by Ctrl-C (143: by SIGTERM); the last line says what state the module was left in"},
};

QString number(int n) { return QString::number(n); }

QString seconds(int ms) { return number(ms / 1000); }

// The words of `text` in lines of at most `width` characters.
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
    for (const ExitCodeMeaning &e : kExitCodes) {
        const QString code = number(e.code);
        const QStringList lines = wrapped(QLatin1String(e.meaning), kHelpWidth - 7);
        for (qsizetype i = 0; i < lines.size(); ++i)
            text += QStringLiteral("  ") + (i == 0 ? code : QString()).leftJustified(5) + lines[i] + u'\n';
    }
    return text;
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
                            .arg(int(CliExit::Differences))),
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
            .arg(int(CliExit::Ok)).arg(int(CliExit::Differences)).arg(int(CliExit::File)),
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
        QStringLiteral("Sends the %1-byte read request to each DEV given, or else to every serial port found, one "
                       "after the other, and names the ports where a module answered, with its firmware version. "
                       "Only use it where nothing else is connected that could take those bytes amiss. Exit code %2 "
                       "when no module answered.")
            .arg(readRequestFrame().size()).arg(int(CliExit::Module)),
        {{QStringLiteral("DEV"), CliValue::Port, false, true}},
        {jsonOption(QStringLiteral("what each port answered"))}, false});

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
         valued("pause-ms", "MS", QStringLiteral("how long that pause lasts (%1)").arg(module.pauseMs), CliValue::Text)},
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

// roff: a backslash is written \e, and a line may not begin with a dot.
QString roffText(QString text)
{
    text.replace(u'\\', QStringLiteral("\\e"));
    text.replace(QStringLiteral("\n."), QStringLiteral("\n\\&."));
    return text;
}

QString shellWords(const QStringList &words)
{
    return u'\'' + words.join(u' ') + u'\'';
}

const char *completionKind(CliValue value)
{
    switch (value) {
    case CliValue::Kvr: return "kvr";
    case CliValue::Pdf: return "pdf";
    case CliValue::AnyFile: return "file";
    case CliValue::Port: return "port";
    case CliValue::Receiver: return "receiver";
    case CliValue::Code: return "code";
    case CliValue::Command: return "command";
    case CliValue::Csv: return "csv";
    case CliValue::Action: return "action";
    case CliValue::Text: return "text";
    case CliValue::None: break;
    }
    return "";
}

// The part of the completion that is the same for every command: how the
// word under the cursor is completed, given the command's data.
const char *const kCompletionHelpers = R"BASH(
# Serial ports for --port: COM1 to COM%1, which lead to the ports this machine
# has as the window's COM boxes do (kvr7314-cli ports lists where), and the
# serial devices present. A path that is none of these, such as the
# /dev/pts/N that "kvr7314-cli sim" prints, completes as a plain path.
_kvr7314_cli_ports()
{
    local dev
    local -a ports=(%2)
    for dev in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM* /dev/serial/by-id/*; do
        [[ -e $dev ]] && ports+=("$dev")
    done
    for dev in "${ports[@]}"; do
        [[ $dev == "$cur"* ]] && COMPREPLY+=("$dev")
    done
    if ((${#COMPREPLY[@]} == 0)) && [[ $cur == /* ]]; then
        _kvr7314_cli_files ''
    fi
}

# File names: $1 is an extension (kvr, pdf), or empty for any file. Directories
# are always offered, so that one can descend into them.
_kvr7314_cli_files()
{
    if declare -F _filedir >/dev/null; then
        _filedir "$1"
        return
    fi
    local f
    local -a found
    compopt -o filenames 2>/dev/null
    mapfile -t found < <(compgen -f -- "$cur")
    for f in "${found[@]}"; do
        if [[ -z $1 || -d $f || ${f,,} == *."$1" ]]; then
            COMPREPLY+=("$f")
        fi
    done
}

# Offers the words of $1 that start with $cur.
_kvr7314_cli_words()
{
    local w
    for w in $1; do
        [[ $w == "$cur"* ]] && COMPREPLY+=("$w")
    done
}

# Completes a value or an argument of kind $1.
_kvr7314_cli_value()
{
    case $1 in
        kvr | pdf | csv) _kvr7314_cli_files "$1" ;;
        action) _kvr7314_cli_words 'export import' ;;
        file) _kvr7314_cli_files '' ;;
        port) _kvr7314_cli_ports ;;
        receiver) _kvr7314_cli_words 'flex pocsag' ;;
        code) _kvr7314_cli_words "$(printf '%s ' {1..%3} {1..%4}D)" ;;
        command) _kvr7314_cli_words "$commands" ;;
    esac
}
)BASH";

const char *const kCompletionEngine = R"BASH(
    # The value of the option before the cursor ($prev is the option also
    # in the form --option=value).
    local kind
    for kind in $valued; do
        if [[ ${kind%%:*} == "$prev" ]]; then
            _kvr7314_cli_value "${kind#*:}"
            return
        fi
    done
    [[ $split == true ]] && return

    # The arguments given so far (not the options nor their values), and the
    # options given so far.
    local i word
    local -i nargs=0
    local -A seen=()
    for ((i = 2; i < cword; i++)); do
        word=${words[i]}
        if [[ $word == -*=* ]]; then
            seen[${word%%=*}]=1
        elif [[ $word == -* ]]; then
            seen[$word]=1
            if [[ " $valued " == *" $word:"* ]]; then
                # an option whose value is the next word (after an "=")
                [[ ${words[i + 1]-} == = ]] && ((i++))
                ((i++))
            fi
        else
            nargs+=1
        fi
    done
    # after -h or --help nothing else counts
    [[ -n ${seen[-h]-}${seen[--help]-} ]] && return

    # The next argument: the one at this place, or a last one that repeats.
    if [[ $cur != -* ]]; then
        local -a kinds=($arguments)
        local next=${kinds[nargs]-}
        [[ -z $next && ${#kinds[@]} -gt 0 && ${kinds[-1]} == *... ]] && next=${kinds[-1]}
        next=${next%...}
        if [[ -n $next && $next != text ]]; then
            _kvr7314_cli_value "$next"
            return
        fi
        # free text: options only on an empty word
        [[ $next == text && -n $cur ]] && return
    fi

    # Options not given yet, nor another name of one that was.
    local opt other skip
    local -a offer=()
    for opt in $options; do
        skip=false
        [[ -n ${seen[$opt]-} ]] && skip=true
        for other in $excludes; do
            [[ ${other%%:*} == "$opt" && -n ${seen[${other#*:}]-} ]] && skip=true
        done
        [[ $skip == false ]] && offer+=("$opt")
    done
    _kvr7314_cli_words "${offer[*]}"
)BASH";

} // namespace

std::span<const ExitCodeMeaning> exitCodeMeanings() { return kExitCodes; }

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

QList<CliOptionSpec> moduleOptions()
{
    return {valued("port", "DEV",
                   QStringLiteral("the module's serial port: a device path (/dev/ttyUSB0, COM7 on Windows) or COM1 to "
                                  "COM%1, which lead to the ports this machine has as the window's COM boxes do (see "
                                  "kvr7314-cli ports)")
                       .arg(kComPortCount),
                   CliValue::Port),
            flag("sim", QStringLiteral("talk to a simulated KVR7314 built into this program instead")),
            valued("trace", "FILE", QStringLiteral("write every byte sent and received, with its time, to FILE"),
                   CliValue::AnyFile)};
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

// The keys of the JSON that --json prints; they stay as they are.
QString jsonKeysSection()
{
    // Each key with its meaning wrapped beside it, in a no-fill block.
    const auto keys = [](const QList<std::pair<QString, QString>> &rows) {
        constexpr qsizetype column = 18;
        QString block = QStringLiteral(".nf\n");
        for (const auto &[key, meaning] : rows) {
            const QStringList lines = wrapped(meaning, int(kHelpWidth - column));
            for (qsizetype i = 0; i < lines.size(); ++i)
                block += (i == 0 ? key : QString()).leftJustified(column) + lines[i] + u'\n';
        }
        return block + QStringLiteral(".fi\n");
    };
    QList<std::pair<QString, QString>> fields;
    for (const SettingsField &field : settingsFields())
        fields.append({field.key, field.name});
    QList<std::pair<QString, QString>> logged;
    for (const LogKey &key : logKeys())
        logged.append({QString::fromLatin1(key.key), QString::fromLatin1(key.meaning)});
    return QStringLiteral("[JSON OUTPUT]\n"
                          "With \\fB\\-\\-json\\fR the output is one JSON value; these keys stay as they are.\n"
                          ".SS read: the settings, one key per field\n")
         + keys(fields) + QStringLiteral(".SS history: one object per operation\n") + keys(logged)
         + QStringLiteral(".SS history --backups: one object per backup\n")
         + keys({{"path", "the backup's file"},
                 {"time", "when it was made"},
                 {"subject", "the port, or the file it kept"},
                 {"what", "gelezen, geschreven, deels-geschreven, voor-lezen or vervangen"}})
         + QStringLiteral(".SS diff\n")
         + keys({{"a, b", "the two files"},
                 {"asModule", "whether they were compared as a module holds them"},
                 {"differences", "one object per field that differs: key (as for read), name, a, b"}})
         + QStringLiteral(".SS ports\n")
         + keys({{"com", "one object per COM box: box, device, present"},
                 {"ports", "one object per port found: device, description, manufacturer, serialNumber, byId"}})
         + QStringLiteral(".SS find: one object per port asked\n")
         + keys({{"device", "the port"},
                 {"answer", "module, none, other or port-failed"},
                 {"firmware", "the module's firmware version, when a module answered"},
                 {"reason", "why not, otherwise"}});
}

QString manPageCommandSections()
{
    QString text = QStringLiteral("[COMMANDS]\n");
    for (const CliCommandSpec &c : cliCommands()) {
        if (c.command != CliCommand::Help)
            text += QStringLiteral(".SS %1\n.nf\n%2.fi\n").arg(c.name, roffText(commandHelpBody(c)));
    }
    return text + jsonKeysSection();
}

QString manPageFilesSections()
{
    return QStringLiteral(
               "[ENVIRONMENT]\n"
               ".TP\n.B KVR7314_DATA_DIR\n"
               "The data folder, in place of \\fI~/.local/share/kvr7314\\fR (on Windows \\fI%APPDATA%\\\\kvr7314\\fR).\n"
               "[FILES]\n"
               ".TP\n.I ~/.local/share/kvr7314/%1\n"
               "The log of operations of kvr7314 and kvr7314\\-cli, one JSON object per line; "
               "\\fBkvr7314\\-cli history\\fR lists it.\n"
               ".TP\n.I ~/.local/share/kvr7314/*.kvr\n"
               "Backups: the settings of every read and write, the window's values before a read replaced "
               "them, a file before a save replaced it. They open like any settings file. Backups older than "
               "%2 days go, but never the newest %3.\n"
               ".TP\n.I ~/.local/share/kvr7314/demo/\n"
               "The same for kvr7314\\-demo, whose module is simulated.\n")
        .arg(QFileInfo(logPath(QStringLiteral("."))).fileName())
        .arg(kBackupDaysKept)
        .arg(kBackupsAlwaysKept);
}

QString bashCompletionScript()
{
    QStringList names;
    for (const CliCommandSpec &c : cliCommands())
        names.append(c.name);
    QStringList comNames;
    for (int n = 1; n <= kComPortCount; ++n)
        comNames.append(QStringLiteral("COM%1").arg(n));

    QString script = QStringLiteral(
        "# shellcheck shell=bash\n"
        "#\n"
        "# Bash completion for kvr7314-cli, made from the program's own table of\n"
        "# commands and options when it is built: its commands, the options of each\n"
        "# command, .kvr files for settings files, .pdf for the report, flex/pocsag\n"
        "# for --receiver, the capcodes and RI-codes of test-call, and serial ports.\n"
        "#\n"
        "# Installed as ${datadir}/bash-completion/completions/kvr7314-cli, so that\n"
        "# bash-completion loads it on first use. Uses the bash-completion helpers\n"
        "# (_init_completion, _filedir) when they are loaded, and plain compgen otherwise.\n");
    script += QString::fromLatin1(kCompletionHelpers)
                  .arg(kComPortCount)
                  .arg(comNames.join(u' '))
                  .arg(kAliasCount)
                  .arg(kPocsagAliasCount);
    script += QStringLiteral(
        "\n_kvr7314_cli()\n{\n"
        "    local cur prev words cword split=false\n"
        "    if declare -F _init_completion >/dev/null; then\n"
        "        _init_completion -s || return\n"
        "    else\n"
        "        # bash splits --option=value into \"--option\" \"=\" \"value\"\n"
        "        words=(\"${COMP_WORDS[@]}\")\n"
        "        cword=$COMP_CWORD\n"
        "        cur=${words[cword]}\n"
        "        prev=${words[cword - 1]}\n"
        "        if [[ $cur == = ]]; then\n"
        "            cur=''\n"
        "            split=true\n"
        "        elif [[ $prev == = ]] && ((cword > 2)); then\n"
        "            prev=${words[cword - 2]}\n"
        "            split=true\n"
        "        fi\n"
        "    fi\n"
        "    COMPREPLY=()\n\n");
    script += QStringLiteral("    local commands=%1\n").arg(shellWords(names));
    QStringList common;
    for (const CliOptionSpec &o : commonOptions())
        common += o.typedNames();
    script += QStringLiteral(
                  "    # The command is the first word after the program name.\n"
                  "    local command=${words[1]-}\n"
                  "    if ((cword == 1)); then\n"
                  "        if [[ $cur == -* ]]; then\n"
                  "            _kvr7314_cli_words %1\n"
                  "        else\n"
                  "            _kvr7314_cli_words \"$commands\"\n"
                  "        fi\n"
                  "        return\n"
                  "    fi\n\n")
                  .arg(shellWords({QStringLiteral("--help"), QStringLiteral("--version")}));

    // Each command's options, those that take a value (option:kind), its
    // arguments' kinds in order, and the names that exclude each other.
    script += QStringLiteral("    local options valued arguments excludes\n    case $command in\n");
    for (const CliCommandSpec &c : cliCommands()) {
        QStringList options, valuedOptions, arguments, excludes;
        for (const CliOptionSpec &o : c.allOptions()) {
            options += o.typedNames();
            for (const QString &typed : o.typedNames()) {
                if (!o.valueName.isEmpty())
                    valuedOptions.append(typed + u':' + QLatin1String(completionKind(o.value)));
                for (const QString &other : o.typedNames()) {
                    if (other != typed)
                        excludes.append(typed + u':' + other);
                }
            }
        }
        if (c.talksToModule)   // one module: --port or --sim
            excludes += {QStringLiteral("--port:--sim"), QStringLiteral("--sim:--port")};
        for (const CliArgumentSpec &a : c.arguments)
            arguments.append(QLatin1String(completionKind(a.value)) + (a.repeats ? QStringLiteral("...") : QString()));
        script += QStringLiteral("        %1)\n"
                                 "            options=%2\n"
                                 "            valued=%3\n"
                                 "            arguments=%4\n"
                                 "            excludes=%5\n"
                                 "            ;;\n")
                      .arg(c.name, shellWords(options), shellWords(valuedOptions), shellWords(arguments),
                           shellWords(excludes));
    }
    script += QStringLiteral("        *) return ;;\n    esac\n");
    script += QString::fromLatin1(kCompletionEngine);
    script += QStringLiteral("} &&\n    complete -F _kvr7314_cli kvr7314-cli\n");
    return script;
}
