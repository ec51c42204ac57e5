#include "cli/clicommandline.h"

#include "files/safefile.h"
#include "link/frames.h"
#include "link/portlist.h"
#include "link/serialport.h"
#include "settings/codec.h"
#include "settings/textrule.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <algorithm>

namespace {

QString seeHelp(const QString &command)
{
    return command.isEmpty() ? QStringLiteral(" (see %1 --help)").arg(kCliProgram)
                             : QStringLiteral(" (see %1 %2 --help)").arg(kCliProgram, command);
}

CliParse usageError(const QString &command, const QString &what)
{
    CliParse parse;
    parse.error = (command.isEmpty() ? QString() : command + QStringLiteral(": ")) + what + seeHelp(command);
    return parse;
}

CliParse accepted(const CliRequest &request)
{
    CliParse parse;
    parse.request = request;
    return parse;
}

// The command's options as its table declares them; a value is asked for
// by the option's long name.
void addOptions(QCommandLineParser &parser, const CliCommandSpec &command)
{
    for (const CliOptionSpec &option : command.allOptions())
        parser.addOption(QCommandLineOption(option.names, option.help, option.valueName));
}

// A count given to an option: a whole number from 0 on.
std::optional<int> countIn(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 0 ? std::optional<int>(value) : std::nullopt;
}

// sim's fault options; an error line, or empty.
QString parseModuleFaults(const QCommandLineParser &parser, ModuleBehaviour *behaviour)
{
    // The options that take a count, each into its field of the behaviour.
    const struct {
        const char *option;
        int ModuleBehaviour::*field;
        const char *unit;
    } counts[] = {
        {"answer-delay", &ModuleBehaviour::answerDelayMs, "milliseconds"},
        {"cut-after", &ModuleBehaviour::cutAfter, "characters"},
        {"pause-after", &ModuleBehaviour::pauseAfter, "characters"},
        {"pause-ms", &ModuleBehaviour::pauseMs, "milliseconds"},
    };
    for (const auto &count : counts) {
        const QString option = QLatin1String(count.option);
        if (!parser.isSet(option))
            continue;
        const auto value = countIn(parser.value(option));
        if (!value)
            return QStringLiteral("--%1 takes a number of %2").arg(option, QLatin1String(count.unit));
        behaviour->*count.field = *value;
    }
    behaviour->answers = !parser.isSet(QStringLiteral("no-answer"));
    if (parser.isSet(QStringLiteral("garbage")))
        behaviour->garbage = cp1252::encode(parser.value(QStringLiteral("garbage")));
    if (parser.isSet(QStringLiteral("firmware")))
        behaviour->firmwareVersion = parser.value(QStringLiteral("firmware"));
    return {};
}

// An option's file name: empty is an error line.
QString fileOption(const QCommandLineParser &parser, const QString &option, const QString &flag, QString *value)
{
    if (!parser.isSet(option))
        return {};
    *value = parser.value(option);
    return value->isEmpty() ? flag + QStringLiteral(" needs a file name") : QString();
}

// --port or --sim, exactly one; an error line, or empty.
QString parsePortChoice(const QCommandLineParser &parser, CliRequest *request)
{
    const QString port = QStringLiteral("port");
    if (parser.isSet(port) && parser.isSet(QStringLiteral("sim")))
        return QStringLiteral("--port and --sim exclude each other");
    request->sim = parser.isSet(QStringLiteral("sim"));
    if (parser.isSet(port)) {
        request->port = portTarget(parser.value(port));
        if (!request->port)
            return QStringLiteral("--port takes COM1 to COM%1 or a device path, not \"%2\"")
                .arg(kComPortCount)
                .arg(parser.value(port));
    }
    return fileOption(parser, QStringLiteral("trace"), QStringLiteral("--trace"), &request->trace);
}

QString parseTestCall(const QStringList &positional, CliRequest *request)
{
    request->code = positional.at(0);
    if (!isTestCallCode(request->code))
        return QStringLiteral("CODE is a capcode 1 to %1 or an RI-code 1D to %2D, not \"%3\"")
            .arg(kAliasCount)
            .arg(kPocsagAliasCount)
            .arg(request->code);
    request->text = positional.value(1);
    if (const qsizetype at = firstRefusedCharacter(request->text); at >= 0)
        return QStringLiteral("TEXT cannot hold control characters or characters outside Windows-1252, which "
                              "the module cannot show (%1 at position %2)")
            .arg(refusedCharacterName(request->text[at])).arg(at + 1);
    return {};
}

// aliases export FILE.kvr [-o LIST.csv] | aliases import FILE.kvr LIST.csv -o NEW.kvr
QString parseAliases(const QStringList &positional, CliRequest *request)
{
    request->aliasAction = positional.at(0);
    if (request->aliasAction == u"export") {
        if (positional.size() > 2)
            return QStringLiteral("unexpected argument \"%1\"").arg(positional.at(2));
        return {};
    }
    if (request->aliasAction != u"import")
        return QStringLiteral("the first argument is export or import, not \"%1\"").arg(request->aliasAction);
    if (positional.size() < 3)
        return QStringLiteral("missing LIST.csv");
    if (request->output.isEmpty())
        return QStringLiteral("missing -o NEW.kvr");
    return {};
}

// An output that is also an input would be emptied before it is read.
QString overwrittenInput(const CliRequest &request)
{
    for (const QString &output : {request.trace, request.output, request.backup}) {
        if (output.isEmpty())
            continue;
        for (const QString &input : request.files) {
            if (isSameFile(output, input))
                return QStringLiteral("\"%1\" would overwrite the file it reads").arg(output);
        }
    }
    if (!request.trace.isEmpty() && !request.output.isEmpty() && isSameFile(request.trace, request.output))
        return QStringLiteral("--trace and -o name the same file");
    return {};
}

} // namespace

std::optional<PortTarget> portTarget(const QString &text)
{
    static const QRegularExpression comName(QStringLiteral("^COM\\s*(\\d+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comName.match(text.trimmed());
    if (match.hasMatch()) {
        const int n = match.captured(1).toInt();
#ifdef Q_OS_WIN
        // Any COM port Windows has: a USB adapter is often COM3 or higher.
        if (n >= 1)
            return PortTarget{1, defaultComDevice(n)};
#else
        if (n >= 1 && n <= kComPortCount)
            return PortTarget{n, {}};
#endif
        return std::nullopt;
    }
    if (text.trimmed().isEmpty())
        return std::nullopt;
    // A device path: every COM n of the link leads to it.
    return PortTarget{1, text};
}

namespace {

bool takes(const CliCommandSpec &command, const char *option)
{
    const QString name = QLatin1String(option);
    const QList<CliOptionSpec> options = command.allOptions();
    return std::any_of(options.begin(), options.end(), [&name](const CliOptionSpec &o) { return o.names.contains(name); });
}

// "missing FILE.kvr", "missing A.kvr and B.kvr": the arguments it needs.
QString missingArguments(const CliCommandSpec &command)
{
    QStringList required;
    for (const CliArgumentSpec &argument : command.arguments) {
        if (argument.required)
            required.append(argument.name);
    }
    return QStringLiteral("missing ") + required.join(QStringLiteral(" and "));
}

// The options that hold the command's own settings; an error line, or empty.
QString parseCommandOptions(const CliCommandSpec &command, const QCommandLineParser &parser,
                            const QStringList &positional, CliRequest *request)
{
    QString error;
    if (command.talksToModule)
        error = parsePortChoice(parser, request);
    if (error.isEmpty() && takes(command, "output"))
        error = fileOption(parser, QStringLiteral("output"), QStringLiteral("-o"), &request->output);
    if (error.isEmpty() && takes(command, "backup"))
        error = fileOption(parser, QStringLiteral("backup"), QStringLiteral("--backup"), &request->backup);
    if (error.isEmpty() && command.command == CliCommand::Sim)
        error = parseModuleFaults(parser, &request->simBehaviour);
    if (error.isEmpty() && command.command == CliCommand::TestCall)
        error = parseTestCall(positional, request);
    if (error.isEmpty() && command.command == CliCommand::Aliases)
        error = parseAliases(positional, request);
    if (!error.isEmpty())
        return error;

    request->verify = takes(command, "verify") && parser.isSet(QStringLiteral("verify"));
    request->fullWait = takes(command, "full-wait") && parser.isSet(QStringLiteral("full-wait"));
    request->asModule = takes(command, "as-module") && parser.isSet(QStringLiteral("as-module"));
    request->json = takes(command, "json") && parser.isSet(QStringLiteral("json"));
    if (command.command == CliCommand::History) {
        request->portFilter = parser.value(QStringLiteral("port"));
        request->listBackups = parser.isSet(QStringLiteral("backups"));
        if (parser.isSet(QStringLiteral("since"))) {
            const QString given = parser.value(QStringLiteral("since"));
            static const QRegularExpression dateOnly(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d$"));
            request->since = dateOnly.match(given).hasMatch() ? QDate::fromString(given, Qt::ISODate).startOfDay()
                                                              : QDateTime::fromString(given, Qt::ISODate);
            if (!request->since.isValid())
                return QStringLiteral("--since takes a date (2026-12-09) or a date and time (2026-12-09T10:00), not \"%1\"")
                    .arg(given);
        }
    }
    if (takes(command, "receiver") && parser.isSet(QStringLiteral("receiver"))) {
        const QString given = parser.value(QStringLiteral("receiver"));
        const QString type = given.toLower();
        if (type != u"flex" && type != u"pocsag")
            return QStringLiteral("--receiver takes flex or pocsag, not \"%1\"").arg(given);
        request->receiver = type == u"flex" ? ReceiverType::Flex : ReceiverType::Pocsag;
    }
    if (command.command == CliCommand::Aliases)
        request->files = positional.mid(1);
    else if (command.command != CliCommand::TestCall)
        request->files = positional;
    for (const CliOptionSpec &option : command.options) {
        if (option.required && !parser.isSet(option.names.constLast()))
            return QStringLiteral("missing %1 %2").arg(option.typedNames().constFirst(), option.valueName);
    }
    return {};
}

} // namespace

CliParse parseCliArguments(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return usageError(QString(), QStringLiteral("no command given"));

    const QString &first = arguments.first();
    CliRequest request;
    if (first == u"-h" || first == u"--help")
        return accepted(request);
    if (first == u"--version" || first == u"-v") {
        request.command = CliCommand::Version;
        return accepted(request);
    }
    const CliCommandSpec *command = cliCommandNamed(first);
    if (!command) {
        if (first.startsWith(u'-'))
            return usageError(QString(), QStringLiteral("a command comes first, not the option \"%1\"").arg(first));
        return usageError(QString(), QStringLiteral("unknown command \"%1\"").arg(first));
    }
    const QString name = first;

    QCommandLineParser parser;
    addOptions(parser, *command);
    // QCommandLineParser takes the first entry as the program's name.
    if (!parser.parse(QStringList{name} + arguments.mid(1)))
        return usageError(name, parser.errorText().replace(u'\n', u' ').trimmed());

    if (parser.isSet(QStringLiteral("version"))) {
        request.command = CliCommand::Version;
        return accepted(request);
    }
    if (parser.isSet(QStringLiteral("help")) || command->command == CliCommand::Help) {
        request.command = CliCommand::Help;
        request.helpTopic = command->command == CliCommand::Help ? parser.positionalArguments().value(0) : name;
        if (!request.helpTopic.isEmpty() && !cliCommandNamed(request.helpTopic))
            return usageError(QString(), QStringLiteral("no help for the unknown command \"%1\"").arg(request.helpTopic));
        return accepted(request);
    }
    request.command = command->command;

    const QStringList positional = parser.positionalArguments();
    const qsizetype required = std::count_if(command->arguments.begin(), command->arguments.end(),
                                             [](const CliArgumentSpec &a) { return a.required; });
    const bool repeats = !command->arguments.isEmpty() && command->arguments.constLast().repeats;
    if (positional.size() < required)
        return usageError(name, missingArguments(*command));
    if (!repeats && positional.size() > command->arguments.size())
        return usageError(name, QStringLiteral("unexpected argument \"%1\"").arg(positional.at(command->arguments.size())));

    if (const QString error = parseCommandOptions(*command, parser, positional, &request); !error.isEmpty())
        return usageError(name, error);
    if (const QString overwritten = overwrittenInput(request); !overwritten.isEmpty())
        return usageError(name, overwritten);

    // No silent simulator: a command that talks to the module must be told
    // which one, or it could save a simulated module's settings as if a
    // real one had been read.
    if (command->talksToModule && !request.port && !request.sim) {
        CliParse parse = usageError(name, QStringLiteral("no module given: use --port DEV, or --sim for the "
                                                         "simulated module built into this program"));
        parse.noModuleGiven = true;
        return parse;
    }
    return accepted(request);
}
