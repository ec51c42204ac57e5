#include "bench/benchsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QSet>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>

double median(std::vector<double> values)
{
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double seconds(const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

// Lets the event loop run for `ms`, so the modules go on answering.
void serveFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QString ser2netProgram()
{
    QString found = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    // Debian puts it in /usr/sbin, which a user's PATH may leave out.
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin")});
    return found;
}

namespace {

// `count` loopback ports nothing listens on, held together while they are
// chosen so that no two are the same.
QList<quint16> freeLoopbackPorts(int count)
{
    std::vector<std::unique_ptr<QTcpServer>> held;
    QList<quint16> ports;
    for (int i = 0; i < count; ++i) {
        auto server = std::make_unique<QTcpServer>();
        if (!server->listen(QHostAddress::LocalHost, 0))
            return {};
        ports.append(server->serverPort());
        held.push_back(std::move(server));
    }
    return ports;
}

// The ports the kernel has a listening socket on. Read from its table
// rather than by connecting: ser2net takes a probe for its one client.
QSet<quint16> listeningPorts()
{
    QSet<quint16> ports;
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        file.readLine();   // the header
        while (!file.atEnd()) {
            const QList<QByteArray> fields = file.readLine().simplified().split(' ');
            // "sl local_address rem_address st ...": st 0A is LISTEN.
            if (fields.size() > 3 && fields[3] == "0A")
                ports.insert(quint16(fields[1].mid(fields[1].indexOf(':') + 1).toUInt(nullptr, 16)));
        }
    }
    return ports;
}

bool waitUntilListening(const QList<quint16> &ports, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        const QSet<quint16> listening = listeningPorts();
        if (std::all_of(ports.begin(), ports.end(), [&](quint16 port) { return listening.contains(port); }))
            return true;
        serveFor(50);
    }
    return false;
}

// One RFC 2217 connection per device, the line at 9600 until the tool
// sets it, no lock files and no modem lines (a pseudo-terminal has none).
QByteArray ser2netConfig(const QStringList &devices, const QList<quint16> &ports)
{
    QByteArray yaml = "%YAML 1.1\n---\n";
    for (qsizetype i = 0; i < devices.size(); ++i) {
        yaml += QStringLiteral("connection: &m%1\n"
                               "  accepter: telnet(rfc2217),tcp,127.0.0.1,%2\n"
                               "  connector: serialdev(nouucplock=true),%3,9600n81,local\n")
                    .arg(i + 1)
                    .arg(ports[i])
                    .arg(devices[i])
                    .toUtf8();
    }
    return yaml;
}

} // namespace

std::optional<QStringList> startSer2net(QProcess &ser2net, const QString &folder, const QStringList &devices)
{
    const QString program = ser2netProgram();
    const QList<quint16> ports = freeLoopbackPorts(int(devices.size()));
    QFile config(QDir(folder).filePath(QStringLiteral("ser2net.yaml")));
    if (program.isEmpty() || ports.size() != devices.size() || !config.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "no ser2net (apt-get install ser2net), no free loopback ports or no configuration file\n");
        return std::nullopt;
    }
    config.write(ser2netConfig(devices, ports));
    config.close();
    const QString logPath = QDir(folder).filePath(QStringLiteral("ser2net.log"));
    ser2net.setProcessChannelMode(QProcess::MergedChannels);
    ser2net.setStandardOutputFile(logPath);
    ser2net.start(program, {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-c"), config.fileName()});
    if (!ser2net.waitForStarted(3000) || !waitUntilListening(ports, 5000)) {
        std::fprintf(stderr, "ser2net did not listen on its %d ports; see its log:\n", int(ports.size()));
        QFile log(logPath);
        if (log.open(QIODevice::ReadOnly))
            std::fprintf(stderr, "%s\n", log.readAll().constData());
        return std::nullopt;
    }
    QStringList addresses;
    for (const quint16 port : ports)
        addresses.append(QStringLiteral("rfc2217://127.0.0.1:%1").arg(port));
    return addresses;
}
