#include "app/windowoptions.h"

#include "link/portdirectory.h"
#include "settings/modulesettings.h"

#include <QCommandLineParser>

namespace {

QString optionName(int comPort) { return QStringLiteral("com%1").arg(comPort); }

QString helpText()
{
    QString usage = QStringLiteral("Usage: kvr7314");
    for (int n = 1; n <= kComPortCount; ++n)
        usage += QStringLiteral(" [--%1 DEVICE]").arg(optionName(n));
    usage += QStringLiteral(" [FILE.kvr]");
    return usage + QStringLiteral(
        "\n"
        "\n"
        "The configuration tool for the KVR7314 pager-decoder display module: one\n"
        "window to write the module's settings, read them back, save and open .kvr\n"
        "files and print them.\n"
        "\n"
        "The boxes COM 1 to %1 lead to the serial ports this machine has: first its\n"
        "built-in ports (/dev/ttyS*), then USB-serial adapters (/dev/ttyUSB*,\n"
        "/dev/ttyACM*) in the order of their /dev/serial/by-id names. On Windows COM n\n"
        "is COMn. Each box's tooltip names its port. FILE.kvr is opened at the start\n"
        "as \"openen\" would open it; so is a .kvr file dropped on the window.\n"
        "\n"
        "  --com1 DEVICE .. --%2 DEVICE   put DEVICE behind that COM box, for instance\n"
        "                                   --com1 /dev/ttyUSB0, on Windows --com1 COM7,\n"
        "                                   or a module behind the network:\n"
        "                                   --com1 rfc2217://HOST:PORT (RFC 2217 sets the\n"
        "                                   line), tcp://HOST:PORT (the server's line must\n"
        "                                   be 19200 8N1), either with +tls\n"
        "  -h, --help                       this text\n"
        "  -v, --version                    the program's version\n"
        "\n"
        "A COM box's context menu puts a network address behind it as well. TLS\n"
        "takes its files from KVR7314_TLS_CA (the server's authority; the system's\n"
        "without it), KVR7314_TLS_CERT and KVR7314_TLS_KEY (a client certificate).\n"
        "A --com option holds for this run only. Every read and write leaves a backup\n"
        "and a line in the log of the data folder (KVR7314_DATA_DIR, else\n"
        "~/.local/share/kvr7314, on Windows %APPDATA%\\kvr7314); kvr7314-cli history\n"
        "lists them. Qt's own options (-platform offscreen, -style ...) are accepted\n"
        "too. For scripts and machines without a display, see kvr7314-cli.\n")
        .arg(comPortName(kComPortCount), optionName(kComPortCount));
}

} // namespace

std::optional<QString> windowInformationRequest(const QStringList &arguments)
{
    for (const QString &argument : arguments.mid(1)) {
        if (argument == u"--help" || argument == u"-h")
            return helpText();
        if (argument == u"--version" || argument == u"-v")
            return QStringLiteral("kvr7314 %1\n").arg(kProgramVersion);
    }
    return std::nullopt;
}

std::optional<WindowOptions> parseWindowOptions(const QStringList &arguments, QString *error, bool *fileError)
{
    QCommandLineParser parser;
    for (int n = 1; n <= kComPortCount; ++n)
        parser.addOption(QCommandLineOption(optionName(n), QString(), QStringLiteral("DEVICE")));
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        *error = QStringLiteral("unexpected argument \"%1\": one settings file is opened at the start").arg(files.at(1));
        return std::nullopt;
    }
    WindowOptions options;
    options.file = files.value(0);
    for (int n = 1; n <= kComPortCount; ++n) {
        const QString device = parser.value(optionName(n)).trimmed();
        if (parser.isSet(optionName(n)) && device.isEmpty()) {
            *error = QStringLiteral("--%1 needs a device").arg(optionName(n));
            return std::nullopt;
        }
        // What was typed: a device server's port, or else a device.
        if (NetworkAddress::looksLikeOne(device)) {
            options.networkBehind[size_t(n - 1)] = NetworkAddress::parse(device);
            if (!options.networkBehind[size_t(n - 1)]) {
                *error = QStringLiteral("--%1 takes a device or %2, not \"%3\"")
                             .arg(optionName(n), NetworkAddress::formsTaken(), device);
                return std::nullopt;
            }
            continue;
        }
        options.comDevices[size_t(n - 1)] = device;
    }
    const std::optional<TlsCredentials> tls = TlsCredentials::load(TlsFiles{}.withEnvironment(), error);
    if (!tls) {
        if (fileError)
            *fileError = true;
        return std::nullopt;
    }
    options.tls = *tls;
    return options;
}

ComDeviceMapper comDeviceMapper(const WindowOptions &options)
{
    return [given = options.comDevices](int comPort) {
        const QString &device = given[size_t(comPort - 1)];
        return device.isEmpty() ? PortDirectory::machine().comDevice(comPort) : device;
    };
}
