#include "cli/clicommandline.h"

#include "files/safefile.h"
#include "link/frames.h"
#include "link/serialport.h"
#include "settings/codec.h"
#include "settings/textrule.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

const QString kPortHelp = QStringLiteral(
    "  --port DEV     the module's serial port: a device path (/dev/ttyUSB0, COM7 on Windows) or\n"
    "                 COM1 to COM4, which lead to the ports this machine has as the window's COM\n"
    "                 boxes do (see kvr7314-cli ports)\n"
    "  --sim          talk to a simulated KVR7314 built into this program instead\n"
    "  --trace FILE   write every byte sent and received, with its time, to FILE\n"
    "One of --port and --sim is needed.\n");

const QString kExitHelp = QStringLiteral(
    "Exit codes:\n"
    "  0    success\n"
    "  2    usage: unknown command or option, missing or malformed argument\n"
    "  3    file: the settings file cannot be read or is not a KVR7314 file; an output cannot be written\n"
    "  4    port: the port cannot be opened, or it failed during the run (adapter pulled)\n"
    "  5    module: no answer to the read request, or a reply that cannot be read as settings\n"
    "  6    differences: --verify found values the module does not hold; diff found values that differ\n"
    "  130  stopped by Ctrl-C (143: by SIGTERM); the last line says what state the module was left in\n");

const QString kProgramHelp = QStringLiteral(
    "Usage: kvr7314-cli COMMAND [ARGUMENTS] [OPTIONS]\n"
    "\n"
    "The KVR7314 configuration tool for scripts and for machines without a display or a module.\n"
    "It sends the same frames at the same pace, and reads, parses, saves and prints with the\n"
    "same code as the kvr7314 window.\n"
    "\n"
    "Commands:\n"
    "  write FILE.kvr [--verify] [--backup B.kvr]   write the settings of FILE into the module\n"
    "  read [-o FILE.kvr]                           read the module's settings into a .kvr file\n"
    "  test-call CODE [TEXT]                        send a test call to capcode 1..16 or RI-code 1D..7D\n"
    "  no-network                                   make the module show its no-network fault\n"
    "  report FILE.kvr -o REPORT.pdf                print the settings of FILE as a PDF report\n"
    "  diff A.kvr B.kvr [--as-module]               list the values in which two settings files differ\n"
    "  ports                                        list the serial ports and where COM 1 to COM 4 lead\n"
    "  find [DEV...]                                look for a module on every serial port\n"
    "  sim                                          run a simulated KVR7314 on a pseudo-terminal\n"
    "  help [COMMAND]                               this text, or the help of COMMAND\n"
    "\n"
    "Every command takes --help; --version prints the program's version.\n"
    "The commands that talk to the module (write, read, test-call, no-network) take:\n");

const QString kFullWaitHelp = QStringLiteral(
    "  --full-wait    collect the module's dump for the whole 12 s, as the window does, instead of\n"
    "                 ending once it is complete (for a module that pauses while it sends)\n");

const QString kWriteHelp = QStringLiteral(
    "Usage: kvr7314-cli write FILE.kvr (--port DEV | --sim) [--verify] [--backup B.kvr] [--full-wait]\n"
    "                     [--trace FILE]\n"
    "\n"
    "Opens FILE.kvr as the window's \"openen\" does, normalises the timers (an empty seconds\n"
    "timer becomes 0, an empty or zero scroll time 350) and writes the settings into the\n"
    "module: 26 steps, one every 300 ms, with a progress line. Succeeds only when every\n"
    "step was written.\n"
    "\n"
    "  --verify       then read the module back and compare every value its dump carries\n"
    "                 with what was written; the differences are listed (exit code 6)\n"
    "  --backup B.kvr first read the module and save what it holds as B.kvr, with the firmware\n"
    "                 version read and the receiver type of FILE; when that read or save fails,\n"
    "                 nothing is written\n");

const QString kReadHelp = QStringLiteral(
    "Usage: kvr7314-cli read (--port DEV | --sim) [-o FILE.kvr] [--receiver flex|pocsag] [--full-wait]\n"
    "                    [--trace FILE]\n"
    "\n"
    "Sends the read request and collects the module's dump until it is complete (12 s at most),\n"
    "with a progress line counting the characters. The settings are saved as a .kvr file with\n"
    "the firmware version read; without -o the file goes to standard output and the messages\n"
    "to standard error.\n"
    "\n"
    "  -o, --output FILE.kvr   the file to save (checked before the module is asked)\n"
    "  --receiver flex|pocsag  the receiver type the file names; the module does not report\n"
    "                          it (flex when not given)\n");

const QString kTestCallHelp = QStringLiteral(
    "Usage: kvr7314-cli test-call CODE [TEXT] (--port DEV | --sim) [--trace FILE]\n"
    "\n"
    "Sends a test call, as the window's \"verstuur test\" does: CODE is a capcode 1 to 16 (FLEX)\n"
    "or an RI-code 1D to 7D (POCSAG); TEXT is the message (\"TESTOPROEP NAAR DE KVR7314\"\n"
    "when it is not given or empty). TEXT holds what the module can show: characters of\n"
    "Windows-1252 and no control characters, which would end the frame early.\n");

const QString kNoNetworkHelp = QStringLiteral(
    "Usage: kvr7314-cli no-network (--port DEV | --sim) [--trace FILE]\n"
    "\n"
    "Makes the module show the fault it gives when it has no reception, as the window's\n"
    "\"geen netwerk\" does.\n");

const QString kReportHelp = QStringLiteral(
    "Usage: kvr7314-cli report FILE.kvr -o REPORT.pdf\n"
    "\n"
    "Opens FILE.kvr as the window's \"openen\" does and prints its settings as the window's\n"
    "\"printen\" does, into a PDF file. Needs no display. The PDF is made whole before it\n"
    "replaces an old one.\n"
    "\n"
    "  -o, --output REPORT.pdf   the PDF file to write (required)\n");

const QString kDiffHelp = QStringLiteral(
    "Usage: kvr7314-cli diff A.kvr B.kvr [--as-module]\n"
    "\n"
    "Lists the values in which two settings files differ, one a line, A's beside B's. Exit code\n"
    "0 when they are equal, 6 when they differ, 3 when a file cannot be read.\n"
    "\n"
    "  --as-module   compare them as a module holds them after a write, with the allowances of\n"
    "                write --verify: an empty alias as CAPCODE nn, timers in four characters, the\n"
    "                scroll time in three digits, the coupling text in the module's written form\n");

const QString kPortsHelp = QStringLiteral(
    "Usage: kvr7314-cli ports\n"
    "\n"
    "Lists where COM 1 to COM 4 lead (as in the window and for --port COMn), then every serial\n"
    "port found: device, description, manufacturer, serial number and /dev/serial/by-id name.\n");

const QString kFindHelp = QStringLiteral(
    "Usage: kvr7314-cli find [DEV...]\n"
    "\n"
    "Sends the 6-byte read request to each DEV given, or else to every serial port found, one\n"
    "after the other, and names the ports where a module answered, with its firmware version.\n"
    "Only use it where nothing else is connected that could take those bytes amiss. Exit code 5\n"
    "when no module answered.\n");

const QString kSimHelp = QStringLiteral(
    "Usage: kvr7314-cli sim [--answer-delay MS] [--no-answer] [--cut-after N] [--garbage TEXT]\n"
    "                       [--firmware V] [--pause-after N [--pause-ms MS]]\n"
    "\n"
    "Runs a simulated KVR7314 on a pseudo-terminal until it is stopped (Ctrl-C, SIGTERM). The\n"
    "first line of standard output is the device to pass as --port DEV; every frame the module\n"
    "takes is listed after it. The options make it a module with a fault, to try the tool on:\n"
    "\n"
    "  --answer-delay MS   milliseconds from the read request to the dump's first byte (20)\n"
    "  --no-answer         never answer the read request\n"
    "  --cut-after N       send only the first N characters of the dump\n"
    "  --garbage TEXT      send TEXT in front of the dump\n"
    "  --firmware V        the firmware version the module reports (1.30)\n"
    "  --pause-after N     a slow module: stop sending for a while after N characters of the dump\n"
    "  --pause-ms MS       how long that pause lasts (1500)\n");

struct CommandInfo {
    const char *name;
    CliCommand command;
    int minPositional;
    int maxPositional;        // -1: any number
    const QString *help;
    bool portChoice;          // --port, --sim, --trace
};

const CommandInfo kCommands[] = {
    {"write", CliCommand::Write, 1, 1, &kWriteHelp, true},
    {"read", CliCommand::Read, 0, 0, &kReadHelp, true},
    {"test-call", CliCommand::TestCall, 1, 2, &kTestCallHelp, true},
    {"no-network", CliCommand::NoNetwork, 0, 0, &kNoNetworkHelp, true},
    {"report", CliCommand::Report, 1, 1, &kReportHelp, false},
    {"diff", CliCommand::Diff, 2, 2, &kDiffHelp, false},
    {"ports", CliCommand::Ports, 0, 0, &kPortsHelp, false},
    {"find", CliCommand::Find, 0, -1, &kFindHelp, false},
    {"sim", CliCommand::Sim, 0, 0, &kSimHelp, false},
    {"help", CliCommand::Help, 0, 1, nullptr, false},
};

const CommandInfo *commandNamed(const QString &name)
{
    for (const CommandInfo &info : kCommands) {
        if (name == QLatin1String(info.name))
            return &info;
    }
    return nullptr;
}

QString seeHelp(const QString &command)
{
    return command.isEmpty() ? QStringLiteral(" (see kvr7314-cli --help)")
                             : QStringLiteral(" (see kvr7314-cli %1 --help)").arg(command);
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

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{QStringLiteral("version")};
    QCommandLineOption port{QStringLiteral("port"), QString(), QStringLiteral("DEV")};
    QCommandLineOption sim{QStringLiteral("sim")};
    QCommandLineOption trace{QStringLiteral("trace"), QString(), QStringLiteral("FILE")};
    QCommandLineOption verify{QStringLiteral("verify")};
    QCommandLineOption backup{QStringLiteral("backup"), QString(), QStringLiteral("FILE")};
    QCommandLineOption fullWait{QStringLiteral("full-wait")};
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("FILE")};
    QCommandLineOption receiver{QStringLiteral("receiver"), QString(), QStringLiteral("TYPE")};
    QCommandLineOption asModule{QStringLiteral("as-module")};
    QCommandLineOption answerDelay{QStringLiteral("answer-delay"), QString(), QStringLiteral("MS")};
    QCommandLineOption noAnswer{QStringLiteral("no-answer")};
    QCommandLineOption cutAfter{QStringLiteral("cut-after"), QString(), QStringLiteral("N")};
    QCommandLineOption garbage{QStringLiteral("garbage"), QString(), QStringLiteral("TEXT")};
    QCommandLineOption firmware{QStringLiteral("firmware"), QString(), QStringLiteral("V")};
    QCommandLineOption pauseAfter{QStringLiteral("pause-after"), QString(), QStringLiteral("N")};
    QCommandLineOption pauseMs{QStringLiteral("pause-ms"), QString(), QStringLiteral("MS")};
};

// The options a command takes; any other is a usage error.
void addOptions(QCommandLineParser &parser, const Options &o, CliCommand command, bool portChoice)
{
    parser.addOptions({o.help, o.version});
    if (portChoice)
        parser.addOptions({o.port, o.sim, o.trace});
    switch (command) {
    case CliCommand::Write: parser.addOptions({o.verify, o.backup, o.fullWait}); break;
    case CliCommand::Read: parser.addOptions({o.output, o.receiver, o.fullWait}); break;
    case CliCommand::Report: parser.addOption(o.output); break;
    case CliCommand::Diff: parser.addOption(o.asModule); break;
    case CliCommand::Sim:
        parser.addOptions({o.answerDelay, o.noAnswer, o.cutAfter, o.garbage, o.firmware, o.pauseAfter, o.pauseMs});
        break;
    default: break;
    }
}

// A count given to an option: a whole number from 0 on.
std::optional<int> countIn(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 0 ? std::optional<int>(value) : std::nullopt;
}

// sim's fault options; an error line, or empty.
QString parseModuleFaults(const QCommandLineParser &parser, const Options &o, ModuleBehaviour *behaviour)
{
    // The options that take a count, each into its field of the behaviour.
    const struct {
        const QCommandLineOption &option;
        int ModuleBehaviour::*field;
        const char *unit;
    } counts[] = {
        {o.answerDelay, &ModuleBehaviour::answerDelayMs, "milliseconds"},
        {o.cutAfter, &ModuleBehaviour::cutAfter, "characters"},
        {o.pauseAfter, &ModuleBehaviour::pauseAfter, "characters"},
        {o.pauseMs, &ModuleBehaviour::pauseMs, "milliseconds"},
    };
    for (const auto &count : counts) {
        if (!parser.isSet(count.option))
            continue;
        const auto value = countIn(parser.value(count.option));
        if (!value)
            return QStringLiteral("--%1 takes a number of %2").arg(count.option.names().constFirst(), QLatin1String(count.unit));
        behaviour->*count.field = *value;
    }
    behaviour->answers = !parser.isSet(o.noAnswer);
    if (parser.isSet(o.garbage))
        behaviour->garbage = cp1252::encode(parser.value(o.garbage));
    if (parser.isSet(o.firmware))
        behaviour->firmwareVersion = parser.value(o.firmware);
    return {};
}

// An option's file name: empty is an error line.
QString fileOption(const QCommandLineParser &parser, const QCommandLineOption &option, const QString &flag,
                   QString *value)
{
    if (!parser.isSet(option))
        return {};
    *value = parser.value(option);
    return value->isEmpty() ? flag + QStringLiteral(" needs a file name") : QString();
}

// --port or --sim, exactly one; an error line, or empty.
QString parsePortChoice(const QCommandLineParser &parser, const Options &o, CliRequest *request)
{
    if (parser.isSet(o.port) && parser.isSet(o.sim))
        return QStringLiteral("--port and --sim exclude each other");
    request->sim = parser.isSet(o.sim);
    if (parser.isSet(o.port)) {
        request->port = portTarget(parser.value(o.port));
        if (!request->port)
            return QStringLiteral("--port takes COM1 to COM4 or a device path, not \"%1\"").arg(parser.value(o.port));
    }
    return fileOption(parser, o.trace, QStringLiteral("--trace"), &request->trace);
}

QString parseTestCall(const QStringList &positional, CliRequest *request)
{
    request->code = positional.at(0);
    if (!isOfferedTestCallCode(request->code))
        return QStringLiteral("CODE is a capcode 1 to 16 or an RI-code 1D to 7D, not \"%1\"").arg(request->code);
    request->text = positional.value(1);
    if (const qsizetype at = firstRefusedCharacter(request->text); at >= 0)
        return QStringLiteral("TEXT cannot hold control characters or characters outside Windows-1252, which "
                              "the module cannot show (%1 at position %2)")
            .arg(refusedCharacterName(request->text[at])).arg(at + 1);
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
            return PortTarget{1, QStringLiteral("COM%1").arg(n)};
#else
        if (n >= 1 && n <= 4)
            return PortTarget{n, {}};
#endif
        return std::nullopt;
    }
    if (text.trimmed().isEmpty())
        return std::nullopt;
    // A device path: every COM n of the link leads to it.
    return PortTarget{1, text};
}

bool isOfferedTestCallCode(const QString &code)
{
    // The module takes the same range; the window writes a capcode as its
    // plain number.
    if (!isTestCallCode(code))
        return false;
    return code.endsWith(u'D') || QString::number(code.toInt()) == code;
}

QString cliHelpText(const QString &topic)
{
    const CommandInfo *info = commandNamed(topic);
    if (!info || !info->help)
        return kProgramHelp + kPortHelp + u'\n' + kExitHelp;
    QString text = *info->help;
    if (info->command == CliCommand::Write || info->command == CliCommand::Read)
        text += kFullWaitHelp;
    if (info->portChoice)
        text += u'\n' + kPortHelp;
    return text + u'\n' + kExitHelp;
}

QString cliVersionText()
{
    return QStringLiteral("kvr7314-cli %1\n").arg(kProgramVersion);
}

CliParse parseCliArguments(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return usageError(QString(), QStringLiteral("no command given"));

    const QString &first = arguments.first();
    CliRequest request;
    if (first == u"-h" || first == u"--help")
        return accepted(request);
    if (first == u"--version") {
        request.command = CliCommand::Version;
        return accepted(request);
    }
    const CommandInfo *info = commandNamed(first);
    if (!info) {
        if (first.startsWith(u'-'))
            return usageError(QString(), QStringLiteral("a command comes first, not the option \"%1\"").arg(first));
        return usageError(QString(), QStringLiteral("unknown command \"%1\"").arg(first));
    }
    const QString name = first;

    Options o;
    QCommandLineParser parser;
    addOptions(parser, o, info->command, info->portChoice);
    // QCommandLineParser takes the first entry as the program's name.
    if (!parser.parse(QStringList{name} + arguments.mid(1)))
        return usageError(name, parser.errorText().replace(u'\n', u' ').trimmed());

    if (parser.isSet(o.version)) {
        request.command = CliCommand::Version;
        return accepted(request);
    }
    if (parser.isSet(o.help) || info->command == CliCommand::Help) {
        request.command = CliCommand::Help;
        request.helpTopic = info->command == CliCommand::Help ? parser.positionalArguments().value(0) : name;
        if (!request.helpTopic.isEmpty() && !commandNamed(request.helpTopic))
            return usageError(QString(), QStringLiteral("no help for the unknown command \"%1\"").arg(request.helpTopic));
        return accepted(request);
    }
    request.command = info->command;

    const QStringList positional = parser.positionalArguments();
    if (positional.size() < info->minPositional) {
        const QString missing = info->command == CliCommand::TestCall ? QStringLiteral("CODE")
                                : info->command == CliCommand::Diff   ? QStringLiteral("A.kvr and B.kvr")
                                                                      : QStringLiteral("FILE.kvr");
        return usageError(name, QStringLiteral("missing ") + missing);
    }
    if (info->maxPositional >= 0 && positional.size() > info->maxPositional)
        return usageError(name, QStringLiteral("unexpected argument \"%1\"").arg(positional.at(info->maxPositional)));

    QString error;
    if (info->portChoice)
        error = parsePortChoice(parser, o, &request);
    if (error.isEmpty() && (info->command == CliCommand::Read || info->command == CliCommand::Report))
        error = fileOption(parser, o.output, QStringLiteral("-o"), &request.output);
    if (error.isEmpty() && info->command == CliCommand::Write)
        error = fileOption(parser, o.backup, QStringLiteral("--backup"), &request.backup);
    if (error.isEmpty() && info->command == CliCommand::Sim)
        error = parseModuleFaults(parser, o, &request.simBehaviour);
    if (error.isEmpty() && info->command == CliCommand::TestCall)
        error = parseTestCall(positional, &request);
    if (!error.isEmpty())
        return usageError(name, error);

    request.verify = info->command == CliCommand::Write && parser.isSet(o.verify);
    request.fullWait = (info->command == CliCommand::Write || info->command == CliCommand::Read) && parser.isSet(o.fullWait);
    request.asModule = info->command == CliCommand::Diff && parser.isSet(o.asModule);
    if (info->command == CliCommand::Read && parser.isSet(o.receiver)) {
        const QString type = parser.value(o.receiver).toLower();
        if (type != u"flex" && type != u"pocsag")
            return usageError(name, QStringLiteral("--receiver takes flex or pocsag, not \"%1\"").arg(parser.value(o.receiver)));
        request.receiver = type == u"flex" ? ReceiverType::Flex : ReceiverType::Pocsag;
    }
    if (info->command != CliCommand::TestCall)
        request.files = positional;
    if (info->command == CliCommand::Report && request.output.isEmpty())
        return usageError(name, QStringLiteral("missing -o REPORT.pdf"));
    if (const QString overwritten = overwrittenInput(request); !overwritten.isEmpty())
        return usageError(name, overwritten);

    // No silent simulator: a command that talks to the module must be told
    // which one, or it could save a simulated module's settings as if a
    // real one had been read.
    if (info->portChoice && !request.port && !request.sim) {
        CliParse parse = usageError(name, QStringLiteral("no module given: use --port DEV, or --sim for the "
                                                         "simulated module built into this program"));
        parse.noModuleGiven = true;
        return parse;
    }
    return accepted(request);
}
