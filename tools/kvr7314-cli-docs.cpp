// kvr7314-cli-docs: writes what the build makes from kvr7314-cli's command
// table, so that the man page and the bash completion always name the
// commands and options the parser has.
//
//   kvr7314-cli-docs --man-commands FILE      a help2man include, one section per command
//   kvr7314-cli-docs --man-files FILE         a help2man include: the data folder
//   kvr7314-cli-docs --bash-completion FILE   the completion for bash, from the
//                                             template kvr7314-cli.bash.in beside this source

#include "cli/clicommandtable.h"
#include "files/backups.h"
#include "files/operationlog.h"
#include "fleet/fleetplan.h"
#include "link/portlist.h"
#include "settings/fieldtable.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace {

// roff: a backslash is written \e, and a line may not begin with a dot.
QString roffText(QString text)
{
    text.replace(u'\\', QStringLiteral("\\e"));
    text.replace(QStringLiteral("\n."), QStringLiteral("\n\\&."));
    return text;
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
                 {"reason", "why not, otherwise"}})
         + QStringLiteral(".SS fleet: one object per module, in the summary's order\n")
         + keys({{"name", "the module's name in the list"},
                 {"port", "its port, as the list gives it"},
                 {"outcome", "ok (plan: holds its file), failed, differs or stopped"},
                 {"stepsSent", "write, apply, undo: how many of the 26 steps reached the module's end of the line"},
                 {"firmware", "the firmware version, when the module was read"},
                 {"cause", "why it did not succeed"},
                 {"durationMs", "how long its operations took; null when it never started"},
                 {"backup", "the backup of what was written, or read"},
                 {"differences", "plan and apply: one object per field in which the module differed from its "
                                 "file: field (as diff names it), file (the file's value), module (the module's)"},
                 {"written", "apply and undo: whether the module was written"}});
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

// The man pages' ENVIRONMENT and FILES: the data folder, its log and backups.
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

// --- Bash completion ----------------------------------------------------------------------

QString shellWords(const QStringList &words)
{
    return u'\'' + words.join(u' ') + u'\'';
}

// How the completion's helpers complete a value of this kind.
QString completionKind(CliValue value)
{
    switch (value) {
    case CliValue::Kvr: return QStringLiteral("kvr");
    case CliValue::Pdf: return QStringLiteral("pdf");
    case CliValue::AnyFile: return QStringLiteral("file");
    case CliValue::Port: return QStringLiteral("port");
    case CliValue::Receiver: return QStringLiteral("receiver");
    case CliValue::Code: return QStringLiteral("code");
    case CliValue::Command: return QStringLiteral("command");
    case CliValue::Csv: return QStringLiteral("csv");
    case CliValue::Action: return QStringLiteral("action");
    case CliValue::FleetAction: return QStringLiteral("fleet-action");
    case CliValue::Text: return QStringLiteral("text");
    case CliValue::None: break;
    }
    return {};
}

// One branch of the completion's case per command: its options, those that
// take a value (option:kind), its arguments' kinds in order, and the names
// that exclude each other.
QString commandCase(const CliCommandSpec &c)
{
    QStringList options, valued, arguments, excludes;
    for (const CliOptionSpec &o : c.allOptions()) {
        options += o.typedNames();
        for (const QString &typed : o.typedNames()) {
            if (!o.valueName.isEmpty())
                valued.append(typed + u':' + completionKind(o.value));
            for (const QString &other : o.typedNames()) {
                if (other != typed)
                    excludes.append(typed + u':' + other);
            }
        }
    }
    if (c.talksToModule)   // one module: --port or --sim
        excludes += {QStringLiteral("--port:--sim"), QStringLiteral("--sim:--port")};
    for (const CliArgumentSpec &a : c.arguments)
        arguments.append(completionKind(a.value) + (a.repeats ? QStringLiteral("...") : QString()));
    return QStringLiteral("        %1)\n"
                          "            options=%2\n"
                          "            valued=%3\n"
                          "            arguments=%4\n"
                          "            excludes=%5\n"
                          "            ;;\n")
        .arg(c.name, shellWords(options), shellWords(valued), shellWords(arguments), shellWords(excludes));
}

// The template with the command table's words in place of its @NAMES@.
QString bashCompletion(QString script)
{
    QStringList commands, comPorts;
    QString cases;
    for (const CliCommandSpec &c : cliCommands()) {
        commands.append(c.name);
        cases += commandCase(c);
    }
    for (int n = 1; n <= kComPortCount; ++n)
        comPorts.append(QStringLiteral("COM%1").arg(n));
    const std::pair<const char *, QString> words[] = {
        {"@COM_COUNT@", QString::number(kComPortCount)},
        {"@COM_PORTS@", comPorts.join(u' ')},
        {"@ALIAS_COUNT@", QString::number(kAliasCount)},
        {"@POCSAG_ALIAS_COUNT@", QString::number(kPocsagAliasCount)},
        {"@COMMANDS@", shellWords(commands)},
        {"@FLEET_ACTIONS@", shellWords(fleetActionNames())},
        {"@PROGRAM_OPTIONS@", shellWords({QStringLiteral("--help"), QStringLiteral("--version")})},
        {"@COMMAND_CASES@", cases},
    };
    for (const auto &[name, value] : words)
        script.replace(QLatin1String(name), value);
    return script;
}

QString completionTemplate()
{
    QFile file(QStringLiteral(KVR_COMPLETION_TEMPLATE));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "kvr7314-cli-docs: %s: %s\n", KVR_COMPLETION_TEMPLATE, qPrintable(file.errorString()));
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

bool writeText(const QString &path, const QString &text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        std::fprintf(stderr, "kvr7314-cli-docs: %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.isEmpty() || arguments.size() % 2 != 0) {
        std::fprintf(stderr, "usage: kvr7314-cli-docs [--man-commands FILE] [--man-files FILE] [--bash-completion FILE]\n");
        return 2;
    }
    for (qsizetype i = 0; i < arguments.size(); i += 2) {
        const QString &what = arguments[i];
        const QString &path = arguments[i + 1];
        QString text;
        if (what == u"--man-commands") {
            text = manPageCommandSections();
        } else if (what == u"--man-files") {
            text = manPageFilesSections();
        } else if (what == u"--bash-completion") {
            const QString script = completionTemplate();
            if (script.isEmpty())
                return 1;
            text = bashCompletion(script);
        } else {
            std::fprintf(stderr, "kvr7314-cli-docs: unknown output %s\n", qPrintable(what));
            return 2;
        }
        if (!writeText(path, text))
            return 1;
    }
    return 0;
}
