#include "cli/clicommandline.h"

#include "cli/clicommandtable.h"
#include "files/safefile.h"
#include "link/frames.h"
#include "link/portlist.h"
#include "settings/codec.h"
#include "settings/textrule.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <algorithm>
#include <tuple>

namespace {

// "a, b and c", "a or b": how a message names a few words.
QString spokenList(QStringList words, const QString &conjunction)
{
    const QString last = words.takeLast();
    return words.isEmpty() ? last : words.join(QStringLiteral(", ")) + u' ' + conjunction + u' ' + last;
}

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

// One command's options and arguments as given.
struct CommandLine {
    const QCommandLineParser &parser;
    QStringList arguments;
    QStringList given;   // the whole command line after the program's name

    bool isSet(const char *option) const { return parser.isSet(QLatin1String(option)); }
    QString value(const char *option) const { return parser.value(QLatin1String(option)); }
    // An option's file name: empty is an error line.
    QString file(const char *option, const char *flag, QString *value) const
    {
        if (!isSet(option))
            return {};
        *value = this->value(option);
        return value->isEmpty() ? QLatin1String(flag) + QStringLiteral(" needs a file name") : QString();
    }
};

// What a command's parser gives: its request, or an error line.
struct Parsed {
    CliRequest request;
    QString error;
    bool noModuleGiven = false;
};

Parsed failed(const QString &error) { return Parsed{HelpRequest{}, error}; }

// An output that is also an input would be emptied before it is read.
QString overwrittenInput(const QStringList &outputs, const QStringList &inputs)
{
    for (const QString &output : outputs) {
        if (output.isEmpty())
            continue;
        for (const QString &input : inputs) {
            if (isSameFile(output, input))
                return QStringLiteral("\"%1\" would overwrite the file it reads").arg(output);
        }
    }
    return {};
}

QString traceOverwrites(const QString &trace, const QString &output)
{
    if (!trace.isEmpty() && !output.isEmpty() && isSameFile(trace, output))
        return QStringLiteral("--trace and -o name the same file");
    return {};
}

// --tls-ca, --tls-cert and --tls-key as given; an error line for one
// without a file name.
QString tlsFilesGiven(const CommandLine &line, TlsFiles *tls)
{
    for (const auto &[option, flag, value] : {std::tuple{"tls-ca", "--tls-ca", &tls->authorities},
                                              std::tuple{"tls-cert", "--tls-cert", &tls->certificate},
                                              std::tuple{"tls-key", "--tls-key", &tls->key}}) {
        if (QString error = line.file(option, flag, value); !error.isEmpty())
            return error;
    }
    return {};
}

// --tls-ca, --tls-cert and --tls-key, each with its variable where the
// option is not given; an error line when one is given for `addresses`
// none of which is over TLS.
QString parseTlsFiles(const CommandLine &line, const QList<PortAddress> &addresses, TlsFiles *tls)
{
    if (const QString error = tlsFilesGiven(line, tls); !error.isEmpty())
        return error;
    const bool overTls = std::any_of(addresses.begin(), addresses.end(), [](const PortAddress &address) {
        return address.networkAddress() && address.networkAddress()->tls;
    });
    if (tls->any() && !overTls)
        return QStringLiteral("--tls-ca, --tls-cert and --tls-key are for a port over TLS (rfc2217+tls://, tcp+tls://)");
    *tls = tls->withEnvironment();
    return {};
}

// --port or --sim, exactly one, and --trace; an error line, or empty.
QString parseModuleChoice(const CommandLine &line, ModuleChoice *module, bool *given)
{
    if (line.isSet("port") && line.isSet("sim"))
        return QStringLiteral("--port and --sim exclude each other");
    *given = line.isSet("port") || line.isSet("sim");
    if (line.isSet("port")) {
        module->port = PortAddress::parse(line.value("port"));
        if (!module->port)
            return QStringLiteral("--port takes %1, not \"%2\"").arg(PortAddress::formsTaken(), line.value("port"));
    }
    QList<PortAddress> addresses;
    if (module->port)
        addresses.append(*module->port);
    if (const QString error = parseTlsFiles(line, addresses, &module->tls); !error.isEmpty())
        return error;
    return line.file("trace", "--trace", &module->trace);
}

// A module command's request, once its own options are read: no silent
// simulator, since a command that talks to the module must be told which
// one, or it could save a simulated module's settings as if a real one
// had been read.
template <typename Request>
Parsed withModule(const Request &request, bool given, const QString &error)
{
    if (!error.isEmpty())
        return failed(error);
    if (!given) {
        Parsed parse = failed(QStringLiteral("no module given: use --port DEV, or --sim for the simulated module "
                                             "built into this program"));
        parse.noModuleGiven = true;
        return parse;
    }
    return Parsed{request, {}};
}

bool fullWaitOf(const CommandLine &line) { return line.isSet("full-wait"); }

Parsed parseWrite(const CommandLine &line)
{
    WriteRequest request;
    request.file = line.arguments.at(0);
    bool given = false;
    QString error = parseModuleChoice(line, &request.module, &given);
    if (error.isEmpty())
        error = line.file("backup", "--backup", &request.backup);
    request.verify = line.isSet("verify");
    request.fullWait = fullWaitOf(line);
    if (error.isEmpty())
        error = overwrittenInput({request.module.trace, request.backup}, {request.file});
    return withModule(request, given, error);
}

Parsed parseRead(const CommandLine &line)
{
    ReadRequest request;
    bool given = false;
    QString error = parseModuleChoice(line, &request.module, &given);
    if (error.isEmpty())
        error = line.file("output", "-o", &request.output);
    request.fullWait = fullWaitOf(line);
    request.json = line.isSet("json");
    if (error.isEmpty() && line.isSet("receiver")) {
        const QString given = line.value("receiver");
        const QString type = given.toLower();
        if (type != u"flex" && type != u"pocsag")
            error = QStringLiteral("--receiver takes flex or pocsag, not \"%1\"").arg(given);
        request.receiver = type == u"pocsag" ? ReceiverType::Pocsag : ReceiverType::Flex;
    }
    if (error.isEmpty())
        error = traceOverwrites(request.module.trace, request.output);
    return withModule(request, given, error);
}

Parsed parseTestCall(const CommandLine &line)
{
    TestCallRequest request;
    bool given = false;
    QString error = parseModuleChoice(line, &request.module, &given);
    request.code = line.arguments.at(0);
    request.text = line.arguments.value(1);
    if (error.isEmpty() && !isTestCallCode(request.code))
        error = QStringLiteral("CODE is a capcode 1 to %1 or an RI-code 1D to %2D, not \"%3\"")
                    .arg(kAliasCount)
                    .arg(kPocsagAliasCount)
                    .arg(request.code);
    if (const qsizetype at = firstRefusedCharacter(request.text); error.isEmpty() && at >= 0)
        error = QStringLiteral("TEXT cannot hold control characters or characters outside Windows-1252, which "
                               "the module cannot show (%1 at position %2)")
                    .arg(refusedCharacterName(request.text[at]))
                    .arg(at + 1);
    return withModule(request, given, error);
}

Parsed parseNoNetwork(const CommandLine &line)
{
    NoNetworkRequest request;
    bool given = false;
    const QString error = parseModuleChoice(line, &request.module, &given);
    return withModule(request, given, error);
}

Parsed parseReport(const CommandLine &line)
{
    ReportRequest request;
    request.file = line.arguments.at(0);
    QString error = line.file("output", "-o", &request.output);
    if (error.isEmpty())
        error = overwrittenInput({request.output}, {request.file});
    return error.isEmpty() ? Parsed{request, {}} : failed(error);
}

Parsed parseDiff(const CommandLine &line)
{
    DiffRequest request;
    request.a = line.arguments.at(0);
    request.b = line.arguments.at(1);
    request.asModule = line.isSet("as-module");
    request.json = line.isSet("json");
    return Parsed{request, {}};
}

// aliases export FILE.kvr [-o LIST.csv] | aliases import FILE.kvr LIST.csv -o NEW.kvr
Parsed parseAliases(const CommandLine &line)
{
    AliasesRequest request;
    QString error = line.file("output", "-o", &request.output);
    if (!error.isEmpty())
        return failed(error);
    const QString action = line.arguments.at(0);
    request.file = line.arguments.value(1);
    request.list = line.arguments.value(2);
    if (action == u"export") {
        if (line.arguments.size() > 2)
            return failed(QStringLiteral("unexpected argument \"%1\"").arg(line.arguments.at(2)));
    } else if (action != u"import") {
        return failed(QStringLiteral("the first argument is export or import, not \"%1\"").arg(action));
    } else if (line.arguments.size() < 3) {
        return failed(QStringLiteral("missing LIST.csv"));
    } else if (request.output.isEmpty()) {
        return failed(QStringLiteral("missing -o NEW.kvr"));
    }
    request.import = action == u"import";
    error = overwrittenInput({request.output}, line.arguments.mid(1));
    return error.isEmpty() ? Parsed{request, {}} : failed(error);
}

Parsed parsePorts(const CommandLine &line)
{
    return Parsed{PortsRequest{line.isSet("json")}, {}};
}

Parsed parseFind(const CommandLine &line)
{
    FindRequest request{line.arguments, line.isSet("json"), {}};
    QList<PortAddress> addresses;
    for (const QString &device : request.devices) {
        if (!NetworkAddress::looksLikeOne(device))
            continue;
        const std::optional<PortAddress> address = PortAddress::parse(device);
        if (!address)
            return failed(QStringLiteral("each DEV is a device, COM1 to COM%1 or %2, not \"%3\"")
                              .arg(kComPortCount)
                              .arg(NetworkAddress::formsTaken(), device));
        addresses.append(*address);
    }
    if (const QString error = parseTlsFiles(line, addresses, &request.tls); !error.isEmpty())
        return failed(error);
    return Parsed{request, {}};
}

Parsed parseHistory(const CommandLine &line)
{
    HistoryRequest request;
    request.port = line.value("port");
    request.module = line.value("module");
    request.backups = line.isSet("backups");
    request.json = line.isSet("json");
    if (line.isSet("since")) {
        const QString given = line.value("since");
        static const QRegularExpression dateOnly(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d$"));
        request.since = dateOnly.match(given).hasMatch() ? QDate::fromString(given, Qt::ISODate).startOfDay()
                                                         : QDateTime::fromString(given, Qt::ISODate);
        if (!request.since.isValid())
            return failed(QStringLiteral("--since takes a date (2026-12-09) or a date and time (2026-12-09T10:00), "
                                         "not \"%1\"")
                              .arg(given));
    }
    return Parsed{request, {}};
}

// A count given to an option: a whole number from 0 on.
std::optional<int> countIn(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 0 ? std::optional<int>(value) : std::nullopt;
}

// How the simulated module answers: its fault options.
Parsed parseSim(const CommandLine &line)
{
    SimRequest request;
    ModuleBehaviour &behaviour = request.behaviour;
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
        {"hang-up-after", &ModuleBehaviour::hangUpAfter, "frames"},
    };
    for (const auto &count : counts) {
        if (!line.isSet(count.option))
            continue;
        const auto value = countIn(line.value(count.option));
        if (!value)
            return failed(QStringLiteral("--%1 takes a number of %2").arg(QLatin1String(count.option), QLatin1String(count.unit)));
        behaviour.*count.field = *value;
    }
    behaviour.answers = !line.isSet("no-answer");
    behaviour.keepsSettings = line.isSet("keep-settings");
    if (QString error = line.file("holds", "--holds", &request.holds); !error.isEmpty())
        return failed(error);
    if (line.isSet("garbage"))
        behaviour.garbage = cp1252::encode(line.value("garbage"));
    if (line.isSet("firmware"))
        behaviour.firmwareVersion = line.value("firmware");
    return Parsed{request, {}};
}

// A number of modules from 1 on, for `option`: nothing when not given, or
// an error line.
QString moduleCountOption(const CommandLine &line, const char *option, int *count)
{
    if (!line.isSet(option))
        return {};
    const std::optional<int> given = countIn(line.value(option));
    if (!given || *given < 1)
        return QStringLiteral("--%1 takes a number of modules from 1 on, not \"%2\"")
            .arg(QLatin1String(option), line.value(option));
    *count = *given;
    return {};
}

// Options that belong to some of the fleet's actions: an error line when
// one is given to another.
QString optionsOutOfPlace(const CommandLine &line, FleetAction action)
{
    const struct {
        const char *option;
        QList<FleetAction> actions;
    } belong[] = {
        {"verify", {FleetAction::Write}},
        {"backup", {FleetAction::Write}},
        {"output", {FleetAction::Read}},
        {"canary", {FleetAction::Write, FleetAction::Apply, FleetAction::Undo}},
        {"max-failed", {FleetAction::Write, FleetAction::Apply, FleetAction::Undo}},
        {"nagios", {FleetAction::Plan}},
        {"prometheus", {FleetAction::Plan}},
    };
    for (const auto &[option, actions] : belong) {
        if (!line.isSet(option) || actions.contains(action))
            continue;
        QStringList names;
        for (FleetAction a : actions)
            names.append(QStringLiteral("fleet ") + fleetActionName(a));
        return QStringLiteral("%1 is for %2")
            .arg(QLatin1String(option) == u"output" ? QStringLiteral("-o FOLDER") : QStringLiteral("--") + QLatin1String(option),
                 spokenList(names, QStringLiteral("and")));
    }
    return {};
}

// fleet ACTION LIST.csv, with the options each action takes.
Parsed parseFleet(const CommandLine &line)
{
    FleetRequest request;
    const QString action = line.arguments.at(0);
    const std::optional<FleetAction> named = fleetActionNamed(action);
    if (!named)
        return failed(QStringLiteral("the first argument is %1, not \"%2\"").arg(spokenList(fleetActionNames(), QStringLiteral("or")), action));
    request.action = *named;
    request.list = line.arguments.at(1);
    request.arguments = line.given;
    request.verify = line.isSet("verify");
    request.backup = line.isSet("backup");
    request.fullWait = fullWaitOf(line);
    request.json = line.isSet("json");
    request.nagios = line.isSet("nagios");
    if (QString error = optionsOutOfPlace(line, request.action); !error.isEmpty())
        return failed(error);
    if (QString error = line.file("output", "-o", &request.output); !error.isEmpty())
        return failed(error);
    if (QString error = line.file("prometheus", "--prometheus", &request.prometheus); !error.isEmpty())
        return failed(error);
    if (request.nagios && request.json)
        return failed(QStringLiteral("--nagios prints one line for a monitoring system; --json cannot go with it"));
    if (request.action == FleetAction::Read && request.output.isEmpty())
        return failed(QStringLiteral("fleet read needs -o FOLDER, the folder for the modules' files"));
    for (const auto &[option, count] : {std::pair{"jobs", &request.jobs}, std::pair{"canary", &request.canary},
                                        std::pair{"max-failed", &request.maxFailed}}) {
        if (QString error = moduleCountOption(line, option, count); !error.isEmpty())
            return failed(error);
    }
    if (line.isSet("only")) {
        for (const QString &name : line.value("only").split(u',')) {
            if (!name.trimmed().isEmpty())
                request.only.append(name.trimmed());
        }
        if (request.only.isEmpty())
            return failed(QStringLiteral("--only takes the names of modules, with commas between them"));
    }
    // The list says which addresses are over TLS; the files apply to those.
    if (const QString error = tlsFilesGiven(line, &request.tls); !error.isEmpty())
        return failed(error);
    request.tls = request.tls.withEnvironment();
    return Parsed{request, {}};
}

Parsed parseCommand(CliCommand command, const CommandLine &line)
{
    switch (command) {
    case CliCommand::Write: return parseWrite(line);
    case CliCommand::Read: return parseRead(line);
    case CliCommand::TestCall: return parseTestCall(line);
    case CliCommand::NoNetwork: return parseNoNetwork(line);
    case CliCommand::Report: return parseReport(line);
    case CliCommand::Diff: return parseDiff(line);
    case CliCommand::Aliases: return parseAliases(line);
    case CliCommand::Ports: return parsePorts(line);
    case CliCommand::Find: return parseFind(line);
    case CliCommand::Fleet: return parseFleet(line);
    case CliCommand::History: return parseHistory(line);
    case CliCommand::Sim: return parseSim(line);
    case CliCommand::Help:
    case CliCommand::Version: break;
    }
    return Parsed{HelpRequest{}, {}};
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

// The command's options as its table declares them.
void addOptions(QCommandLineParser &parser, const CliCommandSpec &command)
{
    for (const CliOptionSpec &option : command.allOptions())
        parser.addOption(QCommandLineOption(option.names, option.help, option.valueName));
}

} // namespace

CliParse parseCliArguments(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return usageError(QString(), QStringLiteral("no command given"));

    const QString &first = arguments.first();
    if (first == u"-h" || first == u"--help")
        return accepted(HelpRequest{});
    if (first == u"--version" || first == u"-v")
        return accepted(VersionRequest{});
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

    if (parser.isSet(QStringLiteral("version")))
        return accepted(VersionRequest{});
    if (parser.isSet(QStringLiteral("help")) || command->command == CliCommand::Help) {
        const QString topic = command->command == CliCommand::Help ? parser.positionalArguments().value(0) : name;
        if (!topic.isEmpty() && !cliCommandNamed(topic))
            return usageError(QString(), QStringLiteral("no help for the unknown command \"%1\"").arg(topic));
        return accepted(HelpRequest{topic});
    }

    const QStringList positional = parser.positionalArguments();
    const qsizetype required = std::count_if(command->arguments.begin(), command->arguments.end(),
                                             [](const CliArgumentSpec &a) { return a.required; });
    const bool repeats = !command->arguments.isEmpty() && command->arguments.constLast().repeats;
    if (positional.size() < required)
        return usageError(name, missingArguments(*command));
    if (!repeats && positional.size() > command->arguments.size())
        return usageError(name, QStringLiteral("unexpected argument \"%1\"").arg(positional.at(command->arguments.size())));

    Parsed parsed = parseCommand(command->command, CommandLine{parser, positional, arguments});
    if (parsed.error.isEmpty()) {
        for (const CliOptionSpec &option : command->options) {
            if (option.required && !parser.isSet(option.names.constLast())) {
                parsed.error = QStringLiteral("missing %1 %2").arg(option.typedNames().constFirst(), option.valueName);
                break;
            }
        }
    }
    if (!parsed.error.isEmpty()) {
        CliParse parse = usageError(name, parsed.error);
        parse.noModuleGiven = parsed.noModuleGiven;
        return parse;
    }
    return accepted(parsed.request);
}
