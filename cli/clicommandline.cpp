#include "cli/clicommandline.h"

#include "files/safefile.h"
#include "link/frames.h"
#include "link/serialport.h"
#include "settings/codec.h"
#include "settings/textrule.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString kWrite = QStringLiteral("write");
const QString kRead = QStringLiteral("read");
const QString kTestCall = QStringLiteral("test-call");
const QString kNoNetwork = QStringLiteral("no-network");
const QString kReport = QStringLiteral("report");
const QString kSim = QStringLiteral("sim");
const QString kHelp = QStringLiteral("help");

const QString kPortHelp = QStringLiteral(
    "  --port DEV     the module's serial port: a device path (/dev/ttyUSB0) or COM1 to COM4,\n"
    "                 which open /dev/ttyS0 to /dev/ttyS3 as in the window. Without --port a\n"
    "                 simulated module built into this program is used; the first line says so.\n"
    "  --trace FILE   write every byte sent and received, with its time, to FILE\n");

const QString kExitHelp = QStringLiteral(
    "Exit codes:\n"
    "  0  success\n"
    "  2  usage: unknown command or option, missing or malformed argument\n"
    "  3  file: the settings file cannot be read or is not a KVR7314 file; the output cannot be written\n"
    "  4  port: the port cannot be opened, or it failed during the run (adapter pulled)\n"
    "  5  module: no answer to the read request, or a reply that cannot be read as settings\n"
    "  6  verify: the module holds values that differ from the file\n");

const QString kProgramHelp = QStringLiteral(
    "Usage: kvr7314-cli COMMAND [ARGUMENTS] [OPTIONS]\n"
    "\n"
    "The KVR7314 configuration tool for scripts and for machines without a display or a module.\n"
    "It sends the same frames at the same pace, and reads, parses, saves and prints with the\n"
    "same code as the kvr7314 window.\n"
    "\n"
    "Commands:\n"
    "  write FILE.kvr [--port DEV] [--verify]   write the settings of FILE into the module\n"
    "  read [--port DEV] [-o FILE.kvr]          read the module's settings into a .kvr file\n"
    "  test-call CODE [TEXT] [--port DEV]       send a test call to capcode 1..16 or RI-code 1D..7D\n"
    "  no-network [--port DEV]                  make the module show its no-network fault\n"
    "  report FILE.kvr -o REPORT.pdf            print the settings of FILE as a PDF report\n"
    "  sim                                      run a simulated KVR7314 on a pseudo-terminal\n"
    "  help [COMMAND]                           this text, or the help of COMMAND\n"
    "\n"
    "Every command takes --help. The commands that talk to the module take:\n");

const QString kWriteHelp = QStringLiteral(
    "Usage: kvr7314-cli write FILE.kvr [--port DEV] [--verify] [--trace FILE]\n"
    "\n"
    "Opens FILE.kvr as the window's \"openen\" does, normalises the timers (an empty seconds\n"
    "timer becomes 0, an empty or zero scroll time 350) and writes the settings into the\n"
    "module: 26 steps, one every 300 ms, with a progress line. Succeeds only when every\n"
    "step was written.\n"
    "\n"
    "  --verify       then read the module back and compare every value its dump carries\n"
    "                 with what was written; the differences are listed (exit code 6)\n");

const QString kReadHelp = QStringLiteral(
    "Usage: kvr7314-cli read [--port DEV] [-o FILE.kvr] [--receiver flex|pocsag] [--trace FILE]\n"
    "\n"
    "Sends the read request and collects the module's dump for 12 s from its first character,\n"
    "as the window's \"lezen\" does, with a progress line counting the characters. The settings\n"
    "are saved as a .kvr file with the firmware version read; without -o the file goes to\n"
    "standard output and the messages to standard error.\n"
    "\n"
    "  -o, --output FILE.kvr   the file to save\n"
    "  --receiver flex|pocsag  the receiver type the file names; the module does not report\n"
    "                          it (flex when not given)\n");

const QString kTestCallHelp = QStringLiteral(
    "Usage: kvr7314-cli test-call CODE [TEXT] [--port DEV] [--trace FILE]\n"
    "\n"
    "Sends a test call, as the window's \"verstuur test\" does: CODE is a capcode 1 to 16 (FLEX)\n"
    "or an RI-code 1D to 7D (POCSAG); TEXT is the message (\"TESTOPROEP NAAR DE KVR7314\"\n"
    "when it is not given or empty). TEXT cannot hold control characters, which would end\n"
    "the frame early.\n");

const QString kNoNetworkHelp = QStringLiteral(
    "Usage: kvr7314-cli no-network [--port DEV] [--trace FILE]\n"
    "\n"
    "Makes the module show the fault it gives when it has no reception, as the window's\n"
    "\"geen netwerk\" does.\n");

const QString kReportHelp = QStringLiteral(
    "Usage: kvr7314-cli report FILE.kvr -o REPORT.pdf\n"
    "\n"
    "Opens FILE.kvr as the window's \"openen\" does and prints its settings as the window's\n"
    "\"printen\" does, into a PDF file. Needs no display.\n"
    "\n"
    "  -o, --output REPORT.pdf   the PDF file to write (required)\n");

const QString kSimHelp = QStringLiteral(
    "Usage: kvr7314-cli sim [--answer-delay MS] [--no-answer] [--cut-after N] [--garbage TEXT]\n"
    "                       [--firmware V]\n"
    "\n"
    "Runs a simulated KVR7314 on a pseudo-terminal until it is stopped (Ctrl-C, SIGTERM). The\n"
    "first line of standard output is the device to pass as --port DEV; every frame the module\n"
    "takes is listed after it. The options make it a module with a fault, to try the tool on:\n"
    "\n"
    "  --answer-delay MS   milliseconds from the read request to the dump's first byte (20)\n"
    "  --no-answer         never answer the read request\n"
    "  --cut-after N       send only the first N characters of the dump\n"
    "  --garbage TEXT      send TEXT in front of the dump\n"
    "  --firmware V        the firmware version the module reports (1.30)\n");

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

struct CommandOptions {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption port{QStringLiteral("port"), QString(), QStringLiteral("DEV")};
    QCommandLineOption trace{QStringLiteral("trace"), QString(), QStringLiteral("FILE")};
    QCommandLineOption verify{QStringLiteral("verify")};
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("FILE")};
    QCommandLineOption receiver{QStringLiteral("receiver"), QString(), QStringLiteral("TYPE")};
    QCommandLineOption answerDelay{QStringLiteral("answer-delay"), QString(), QStringLiteral("MS")};
    QCommandLineOption noAnswer{QStringLiteral("no-answer")};
    QCommandLineOption cutAfter{QStringLiteral("cut-after"), QString(), QStringLiteral("N")};
    QCommandLineOption garbage{QStringLiteral("garbage"), QString(), QStringLiteral("TEXT")};
    QCommandLineOption firmware{QStringLiteral("firmware"), QString(), QStringLiteral("V")};
};

struct CommandShape {
    int minPositional;
    int maxPositional;
    bool talksToModule;
    bool verify;
    bool output;
    bool receiver;
    bool faults;
};

CommandShape shapeOf(CliCommand command)
{
    switch (command) {
    case CliCommand::Write: return {1, 1, true, true, false, false, false};
    case CliCommand::Read: return {0, 0, true, false, true, true, false};
    case CliCommand::TestCall: return {1, 2, true, false, false, false, false};
    case CliCommand::NoNetwork: return {0, 0, true, false, false, false, false};
    case CliCommand::Report: return {1, 1, false, false, true, false, false};
    case CliCommand::Sim: return {0, 0, false, false, false, false, true};
    case CliCommand::Help: break;
    }
    return {0, 1, false, false, false, false, false};
}

std::optional<CliCommand> commandNamed(const QString &name)
{
    if (name == kWrite) return CliCommand::Write;
    if (name == kRead) return CliCommand::Read;
    if (name == kTestCall) return CliCommand::TestCall;
    if (name == kNoNetwork) return CliCommand::NoNetwork;
    if (name == kReport) return CliCommand::Report;
    if (name == kSim) return CliCommand::Sim;
    if (name == kHelp) return CliCommand::Help;
    return std::nullopt;
}

// A count given to an option: a whole number from 0 on.
std::optional<int> count(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 0 ? std::optional<int>(value) : std::nullopt;
}

// sim's fault options; an error line, or empty.
QString parseModuleFaults(const QCommandLineParser &parser, const CommandOptions &o, ModuleBehaviour *behaviour)
{
    if (parser.isSet(o.answerDelay)) {
        const auto ms = count(parser.value(o.answerDelay));
        if (!ms)
            return QStringLiteral("--answer-delay takes a number of milliseconds");
        behaviour->answerDelayMs = *ms;
    }
    behaviour->answers = !parser.isSet(o.noAnswer);
    if (parser.isSet(o.cutAfter)) {
        const auto n = count(parser.value(o.cutAfter));
        if (!n)
            return QStringLiteral("--cut-after takes a number of characters");
        behaviour->cutAfter = *n;
    }
    if (parser.isSet(o.garbage))
        behaviour->garbage = cp1252::encode(parser.value(o.garbage));
    if (parser.isSet(o.firmware))
        behaviour->firmwareVersion = parser.value(o.firmware);
    return {};
}

} // namespace

std::optional<PortTarget> portTarget(const QString &text)
{
    static const QRegularExpression comName(QStringLiteral("^COM\\s*(\\d+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comName.match(text);
    if (match.hasMatch()) {
        const int n = match.captured(1).toInt();
        if (n < 1 || n > 4)
            return std::nullopt;
        return PortTarget{n, defaultComDevice(n)};
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
    const auto command = commandNamed(topic);
    if (topic.isEmpty() || !command || *command == CliCommand::Help)
        return kProgramHelp + kPortHelp + u'\n' + kExitHelp;
    switch (*command) {
    case CliCommand::Write: return kWriteHelp + kPortHelp + u'\n' + kExitHelp;
    case CliCommand::Read: return kReadHelp + kPortHelp + u'\n' + kExitHelp;
    case CliCommand::TestCall: return kTestCallHelp + u'\n' + kPortHelp + u'\n' + kExitHelp;
    case CliCommand::NoNetwork: return kNoNetworkHelp + u'\n' + kPortHelp + u'\n' + kExitHelp;
    case CliCommand::Report: return kReportHelp + u'\n' + kExitHelp;
    case CliCommand::Sim: return kSimHelp + u'\n' + kExitHelp;
    case CliCommand::Help: break;
    }
    return kProgramHelp;
}

CliParse parseCliArguments(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return usageError(QString(), QStringLiteral("no command given"));

    const QString &first = arguments.first();
    if (first == u"-h" || first == u"--help") {
        CliParse parse;
        parse.request = CliRequest{};
        return parse;
    }
    const std::optional<CliCommand> command = commandNamed(first);
    if (!command) {
        if (first.startsWith(u'-'))
            return usageError(QString(), QStringLiteral("a command comes first, not the option \"%1\"").arg(first));
        return usageError(QString(), QStringLiteral("unknown command \"%1\"").arg(first));
    }
    const QString name = first;
    const CommandShape shape = shapeOf(*command);

    CommandOptions o;
    QCommandLineParser parser;
    parser.addOption(o.help);
    if (shape.talksToModule) {
        parser.addOption(o.port);
        parser.addOption(o.trace);
    }
    if (shape.verify)
        parser.addOption(o.verify);
    if (shape.output)
        parser.addOption(o.output);
    if (shape.receiver)
        parser.addOption(o.receiver);
    if (shape.faults)
        parser.addOptions({o.answerDelay, o.noAnswer, o.cutAfter, o.garbage, o.firmware});

    // QCommandLineParser takes the first entry as the program's name.
    if (!parser.parse(QStringList{name} + arguments.mid(1)))
        return usageError(name, parser.errorText().replace(u'\n', u' ').trimmed());

    CliRequest request;
    if (parser.isSet(o.help) || *command == CliCommand::Help) {
        request.command = CliCommand::Help;
        request.helpTopic = *command == CliCommand::Help ? parser.positionalArguments().value(0) : name;
        if (!request.helpTopic.isEmpty() && !commandNamed(request.helpTopic))
            return usageError(QString(), QStringLiteral("no help for the unknown command \"%1\"").arg(request.helpTopic));
        CliParse parse;
        parse.request = request;
        return parse;
    }
    request.command = *command;

    const QStringList positional = parser.positionalArguments();
    if (positional.size() < shape.minPositional)
        return usageError(name, *command == CliCommand::TestCall ? QStringLiteral("missing CODE")
                                                                 : QStringLiteral("missing FILE.kvr"));
    if (positional.size() > shape.maxPositional)
        return usageError(name, QStringLiteral("unexpected argument \"%1\"").arg(positional.at(shape.maxPositional)));

    if (shape.talksToModule) {
        if (parser.isSet(o.port)) {
            request.port = portTarget(parser.value(o.port));
            if (!request.port)
                return usageError(name, QStringLiteral("--port takes COM1 to COM4 or a device path, not \"%1\"")
                                            .arg(parser.value(o.port)));
        }
        if (parser.isSet(o.trace)) {
            request.trace = parser.value(o.trace);
            if (request.trace.isEmpty())
                return usageError(name, QStringLiteral("--trace needs a file name"));
        }
    }
    request.verify = shape.verify && parser.isSet(o.verify);
    if (shape.output && parser.isSet(o.output)) {
        request.output = parser.value(o.output);
        if (request.output.isEmpty())
            return usageError(name, QStringLiteral("-o needs a file name"));
    }
    if (shape.receiver && parser.isSet(o.receiver)) {
        const QString type = parser.value(o.receiver).toLower();
        if (type != u"flex" && type != u"pocsag")
            return usageError(name, QStringLiteral("--receiver takes flex or pocsag, not \"%1\"").arg(parser.value(o.receiver)));
        request.receiver = type == u"flex" ? ReceiverType::Flex : ReceiverType::Pocsag;
    }

    if (shape.faults) {
        const QString error = parseModuleFaults(parser, o, &request.simBehaviour);
        if (!error.isEmpty())
            return usageError(name, error);
    }

    switch (*command) {
    case CliCommand::Write:
        request.file = positional.at(0);
        break;
    case CliCommand::Report:
        request.file = positional.at(0);
        if (request.output.isEmpty())
            return usageError(name, QStringLiteral("missing -o REPORT.pdf"));
        break;
    case CliCommand::TestCall:
        request.code = positional.at(0);
        if (!isOfferedTestCallCode(request.code))
            return usageError(name, QStringLiteral("CODE is a capcode 1 to 16 or an RI-code 1D to 7D, not \"%1\"")
                                        .arg(request.code));
        request.text = positional.value(1);
        if (const qsizetype at = firstRefusedCharacter(request.text); at >= 0)
            return usageError(name, QStringLiteral("TEXT cannot hold control characters or characters outside "
                                                   "Windows-1252, which the module cannot show (%1 at position %2)")
                                        .arg(refusedCharacterName(request.text[at])).arg(at + 1));
        break;
    case CliCommand::Read:
    case CliCommand::NoNetwork:
    case CliCommand::Sim:
    case CliCommand::Help:
        break;
    }
    // An output that is also an input would be emptied before it is read.
    for (const QString &input : {request.file, request.output}) {
        if (!request.trace.isEmpty() && !input.isEmpty() && isSameFile(request.trace, input))
            return usageError(name, QStringLiteral("--trace %1 would overwrite \"%2\"").arg(request.trace, input));
    }
    if (!request.file.isEmpty() && !request.output.isEmpty() && isSameFile(request.file, request.output))
        return usageError(name, QStringLiteral("-o %1 would overwrite the file it reads").arg(request.output));

    CliParse parse;
    parse.request = request;
    return parse;
}
