#pragma once
// Every command and option of kvr7314-cli, declared once: its name, its
// arguments, its help. The parser takes its options from here, and each
// command's --help, the man page's command sections and the bash
// completion are made from it (the last two at build time, by
// tools/kvr7314-cli-docs). Defaults in the help come from the code's own
// constants.

#include "operations/exitcode.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <span>

// The program's name, and what every error line begins with.
inline const QString kCliProgram = QStringLiteral("kvr7314-cli");
inline const QString kCliErrorPrefix = kCliProgram + QStringLiteral(": ");

enum class CliCommand { Help, Version, Write, Read, TestCall, NoNetwork, Report, Diff, Aliases, Ports, Find, Fleet, History, Sim };

// What the bash completion offers for an option's value or an argument.
enum class CliValue {
    None,       // a flag, or nothing to offer
    Kvr,        // a .kvr file
    Pdf,        // a .pdf file
    AnyFile,
    Port,       // COM1..COM4 and the serial devices present
    Receiver,   // flex, pocsag
    Code,       // a capcode 1..16 or RI-code 1D..7D
    Command,    // a command of kvr7314-cli
    Csv,        // a .csv file
    Action,     // what the aliases command does: export, import
    FleetAction,   // what the fleet command does: write, read, find
    Text,       // free text or a number: nothing to offer
};

struct CliOptionSpec {
    QStringList names;       // {"o", "output"}: one letter is a short name
    QString valueName;       // "FILE.kvr"; empty: a flag
    QString help;            // one or more lines, without the option column
    CliValue value = CliValue::None;
    bool required = false;   // shown without brackets in the usage line

    // "-o, --output FILE.kvr"
    QString label() const;
    // The names as typed: "-o", "--output".
    QStringList typedNames() const;
};

struct CliArgumentSpec {
    QString name;            // "FILE.kvr", "CODE"
    CliValue value = CliValue::None;
    bool required = true;
    bool repeats = false;    // any number of them
};

struct CliCommandSpec {
    CliCommand command;
    QString name;
    QString summary;              // its line in the program's command list
    QString description;          // the paragraphs of its help
    QList<CliArgumentSpec> arguments;
    QList<CliOptionSpec> options;  // its own, in the order of the help
    bool talksToModule = false;    // takes --port or --sim, and --trace

    // "FILE.kvr", "CODE [TEXT]", "[DEV...]"
    QString argumentSynopsis() const;
    // Every option it takes, -h/--help and --version included.
    QList<CliOptionSpec> allOptions() const;
};

std::span<const CliCommandSpec> cliCommands();
const CliCommandSpec *cliCommandNamed(const QString &name);

// The options every command takes, and those of the module commands.
QList<CliOptionSpec> commonOptions();
// --tls-ca, --tls-cert, --tls-key: for a port over TLS.
QList<CliOptionSpec> tlsOptions();
QList<CliOptionSpec> moduleOptions();

// The help of the program (empty topic, or an unknown one) or of one command.
QString cliHelpText(const QString &topic);
// The help of one command without the exit codes, which the man page
// gives once.
QString commandHelpBody(const CliCommandSpec &command);

// "kvr7314-cli 1.09"
QString cliVersionText();

// Help lines are wrapped to this width: the man page indents them by 7
// and should still fit 80 columns.
inline constexpr int kHelpWidth = 72;
// The words of `text` in lines of at most `width` characters.
QStringList wrapped(const QString &text, int width);
