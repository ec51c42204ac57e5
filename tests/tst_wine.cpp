// The Windows release's programs under wine, against a simulated module on
// a pseudo-terminal that wine maps as COM1: the 26 frames of a write arrive
// byte for byte and 300 ms apart, a read saves the module's values, the
// window program tells its version, the report module prints a PDF and the
// fleet window checks its demonstration's simulated modules.
// With ser2net on this machine, the release also writes and reads a module
// behind it (wine's sockets are the host's), over RFC 2217 and in TLS.
//
// It needs the release (KVR_WINDOWS_RELEASE, the unpacked folder) and wine,
// which scripts/windows.sh --test provides; without them it has nothing to
// test and says so.

#include "files/settingsfile.h"
#include "link/frames.h"
#include "readback/dumpcomparison.h"
#include "support/fixtures.h"
#include "support/ptymodule.h"

#include <QProcess>
#include <QTcpSocket>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// A Windows program under wine, while this process's event loop keeps the
// simulated module going.
Run wineRun(const QStringList &command, int timeoutMs = 60000,
            const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("wine"), command);
    Run run;
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// A program of the release.
Run wine(const QString &program, const QStringList &arguments, int timeoutMs = 60000)
{
    return wineRun(QStringList{QDir(qEnvironmentVariable("KVR_WINDOWS_RELEASE")).filePath(program)} + arguments,
                   timeoutMs);
}

// What `reg query KEY` prints, or nothing when there is no such key.
std::optional<QString> registryKey(const QString &key)
{
    const Run run = wineRun({"reg", "query", key});
    if (run.exitCode != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(run.out);
}

// COM1 of the wine prefix leads to `device` (a pseudo-terminal).
bool mapCom1(const QString &device)
{
    QProcess reg;
    reg.start(QStringLiteral("wine"), {"reg", "add", R"(HKLM\Software\Wine\Ports)", "/v", "COM1", "/t", "REG_SZ",
                                      "/d", device, "/f"});
    reg.waitForFinished(60000);
    QProcess wait;
    wait.start(QStringLiteral("wineserver"), {"-w"});
    wait.waitForFinished(60000);
    return reg.exitStatus() == QProcess::NormalExit && reg.exitCode() == 0;
}

// A path as the Windows program takes it (wine's Z: is the root).
QString windowsPath(const QString &path)
{
    return QStringLiteral("Z:") + QString(path).replace(u'/', u'\\');
}

// Where a folder of the prefix's C: drive is on this machine.
QString windowsFolderOnDisk(const QString &folder)
{
    Q_ASSERT(folder.startsWith(QLatin1String("C:\\")));
    return qEnvironmentVariable("WINEPREFIX") + QStringLiteral("/drive_c/") + folder.mid(3).replace(u'\\', u'/');
}

ModuleSettings settingsOf(const QString &path)
{
    return applyUpdate(startupSettings(), readSettingsFile(path).update);
}

// A program of this machine, to its end; true when it exits 0.
bool hostRun(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// A test authority and a server certificate for 127.0.0.1 signed by it, RSA
// (Windows' TLS takes no other keys), in `dir`: ca.pem, srv.key, and
// chain.pem, the server's certificate followed by the authority's. Wine's
// certificate chains do not look for an issuer among the authorities given
// (Windows' do), so the server sends its whole chain, as many do.
bool makeCertificates(const QString &dir)
{
    const auto at = [&dir](const char *name) { return QDir(dir).filePath(QLatin1String(name)); };
    QFile extensions(at("san.cnf"));
    if (!extensions.open(QIODevice::WriteOnly))
        return false;
    extensions.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n");
    extensions.close();
    return hostRun("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", at("ca.key"), "-out",
                               at("ca.pem"), "-days", "2", "-subj", "/CN=kvr7314 test CA"})
        && hostRun("openssl", {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", at("srv.key"), "-out",
                               at("srv.csr"), "-subj", "/CN=localhost"})
        && hostRun("openssl", {"x509", "-req", "-in", at("srv.csr"), "-CA", at("ca.pem"), "-CAkey", at("ca.key"),
                               "-CAcreateserial", "-out", at("srv.pem"), "-days", "2", "-extfile", at("san.cnf")})
        && [&at] {
               QFile chain(at("chain.pem")), server(at("srv.pem")), authority(at("ca.pem"));
               return chain.open(QIODevice::WriteOnly) && server.open(QIODevice::ReadOnly)
                   && authority.open(QIODevice::ReadOnly) && chain.write(server.readAll() + authority.readAll()) > 0;
           }();
}

// A loopback port nothing listens on.
quint16 freePort(quint16 from)
{
    for (quint16 port = from; port < from + 100; ++port) {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), port);
        if (!probe.waitForConnected(200))
            return port;
    }
    return 0;
}

} // namespace

class TestWine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void writeSendsTheFramesByteForByte();
    void readSavesTheModuleValues();
    void windowTellsItsVersion();
    void reportPrintsAPdf();
    void windowOpensTheFileItIsGiven();
    void fleetWindowChecksItsDemonstration();
    void installerAssociatesKvrFiles();
    void writesAndReadsBehindSer2net();

private:
    PtyModule m_module;
    QTemporaryDir m_dir;
};

void TestWine::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("KVR_WINDOWS_RELEASE") || QStandardPaths::findExecutable("wine").isEmpty())
        QSKIP("no Windows release to test: scripts/windows.sh --test runs this with one");
    QVERIFY(m_module.isOpen());
    QVERIFY(mapCom1(m_module.devicePath()));
}

void TestWine::writeSendsTheFramesByteForByte()
{
    const Run run = wine("kvr7314-cli.exe", {"write", windowsPath(examplePath("flex.kvr")), "--port", "COM1"});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QVERIFY(m_module.waitForFrames(kProgrammingStepCount));

    ModuleSettings sent = settingsOf(examplePath("flex.kvr"));
    normaliseTimers(sent);
    const QList<ReceivedFrame> &frames = m_module.module().frames();
    QCOMPARE(frames.size(), kProgrammingStepCount);
    for (int step = 1; step <= kProgrammingStepCount; ++step) {
        const ReceivedFrame &frame = frames[step - 1];
        QCOMPARE(moduleFrame(frame.code, frame.content), programmingStepFrame(step, sent));
        if (step > 1) {
            const qint64 gap = frame.receivedAtMs - frames[step - 2].receivedAtMs;
            QVERIFY2(gap > 250 && gap < 350, qPrintable(QStringLiteral("step %1: %2 ms").arg(step).arg(gap)));
        }
    }
    QCOMPARE(m_module.module().rejectedFrames(), 0);
}

void TestWine::readSavesTheModuleValues()
{
    const QString output = m_dir.filePath("gelezen.kvr");
    const Run run = wine("kvr7314-cli.exe", {"read", "--port", "COM1", "-o", windowsPath(output)});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(m_module.module().readRequests(), 1);
    ModuleSettings expected = asModuleHolds(m_module.module().stored());
    QCOMPARE(settingsOf(output), expected);
}

void TestWine::windowTellsItsVersion()
{
    const Run run = wine("kvr7314.exe", {"-platform", "offscreen", "--version"});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.startsWith("kvr7314 1.09"), run.out.constData());
}

void TestWine::reportPrintsAPdf()
{
    const QString pdf = m_dir.filePath("rapport.pdf");
    const Run run = wine("kvr7314-cli.exe", {"report", windowsPath(examplePath("pocsag.kvr")), "-o", windowsPath(pdf)});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    const QByteArray bytes = readFile(pdf);
    QVERIFY(bytes.startsWith("%PDF-"));
    QVERIFY(bytes.right(32).contains("%%EOF"));
    if (!QStandardPaths::findExecutable("pdftotext").isEmpty())
        QVERIFY(pdfText(pdf).contains("KVR7314 - INSTELLINGEN"));
}

void TestWine::windowOpensTheFileItIsGiven()
{
    // As Explorer starts it for a double-clicked file; its log says what
    // became of the file.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KVR7314_DATA_DIR", windowsPath(m_dir.filePath("data")));
    QProcess window;
    window.setProcessEnvironment(env);
    window.start("wine", {QDir(qEnvironmentVariable("KVR_WINDOWS_RELEASE")).filePath("kvr7314.exe"), "-platform",
                          "offscreen", windowsPath(examplePath("flex.kvr"))});
    const QString log = m_dir.filePath("data/kvr7314-log.jsonl");
    const bool logged = QTest::qWaitFor([&] { return QFile(log).size() > 0; }, 60000);
    window.kill();
    window.waitForFinished();
    QVERIFY(logged);
    const QByteArray line = readFile(log);
    QVERIFY2(line.contains("\"operation\":\"open\"") && line.contains("\"outcome\":\"ok\""), line.constData());
}

void TestWine::fleetWindowChecksItsDemonstration()
{
    // kvr7314-fleet.exe runs "Controleren" on its simulated modules and
    // exits 0 only when it found the one that differs and the silent one.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KVR7314_DATA_DIR", windowsPath(m_dir.filePath("fleet-data")));
    const QString picture = m_dir.filePath("vloot.png");
    const Run run = wineRun({QDir(qEnvironmentVariable("KVR_WINDOWS_RELEASE")).filePath("kvr7314-fleet.exe"), "-platform",
                             "offscreen", "--demo", "--picture", windowsPath(picture)},
                            120000, env);
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QVERIFY(readFile(picture).startsWith("\x89PNG"));
}

void TestWine::installerAssociatesKvrFiles()
{
    const QString installer = qEnvironmentVariable("KVR_WINDOWS_INSTALLER");
    if (installer.isEmpty())
        QSKIP("no installer to test: scripts/windows.sh --test runs this with one");
    const QString progId = "KVR7314.Instellingen";
    QCOMPARE(wineRun({installer, "/S"}, 120000).exitCode, 0);
    QVERIFY(registryKey(R"(HKCR\.kvr\OpenWithProgids)").value_or("").contains(progId));
    const QString command = registryKey(QString(R"(HKCR\%1\shell\open\command)").arg(progId)).value_or("");
    QVERIFY2(command.contains("kvr7314.exe") && command.contains("\"%1\""), qPrintable(command));
    // The fleet window has its Start menu entry.
    QProcess find;
    find.start("find", {qEnvironmentVariable("WINEPREFIX") + "/drive_c", "-name", "KVR7314 vloot.lnk"});
    find.waitForFinished(60000);
    QVERIFY2(!find.readAllStandardOutput().trimmed().isEmpty(), "no Start menu entry \"KVR7314 vloot\"");

    // The uninstaller takes the association away again. Run in place with
    // _?=, it has ended when wine returns; otherwise it copies itself to
    // Temp and returns at once.
    const QString installed = registryKey(R"(HKLM\Software\KVR7314)").value_or(registryKey(R"(HKCU\Software\KVR7314)").value_or(""));
    const QRegularExpressionMatch folder = QRegularExpression("InstallDir\\s+REG_SZ\\s+(.+?)\\s*$",
                                                              QRegularExpression::MultilineOption).match(installed);
    QVERIFY2(folder.hasMatch(), qPrintable(installed));
    const QString dir = folder.captured(1);
    // NSIS takes all that follows "_?=" as the folder, but only when no
    // quote comes before it, and wine quotes an argument with a space: the
    // folder's words go as arguments of their own, which wine joins by spaces.
    QCOMPARE(wineRun(QStringList{dir + "\\Verwijderen.exe", "/S"} + ("_?=" + dir).split(u' '), 120000).exitCode, 0);
    QVERIFY(!QFileInfo::exists(windowsFolderOnDisk(dir) + "/kvr7314.exe"));
    QDir(windowsFolderOnDisk(dir)).removeRecursively();   // the uninstaller, which ran in place
    QVERIFY(!registryKey(QString(R"(HKCR\%1)").arg(progId)));
    QVERIFY(!registryKey(R"(HKCR\.kvr\OpenWithProgids)").value_or("").contains(progId));
}

void TestWine::writesAndReadsBehindSer2net()
{
    if (QStandardPaths::findExecutable("ser2net", {"/usr/sbin", "/usr/bin"}).isEmpty()
        || QStandardPaths::findExecutable("openssl").isEmpty())
        QSKIP("no ser2net or openssl on this machine: scripts/ser2net.sh installs them");
    PtyModule module;
    QVERIFY(module.isOpen());
    QVERIFY(makeCertificates(m_dir.path()));
    const quint16 plain = freePort(24501);
    const quint16 secured = freePort(plain + 1);
    QVERIFY(plain != 0 && secured != 0);
    QFile config(m_dir.filePath("ser2net.yaml"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    const QString connector = QStringLiteral("serialdev(nouucplock=true),%1,9600n81,local").arg(module.devicePath());
    config.write(QStringLiteral("%YAML 1.1\n---\n"
                                "connection: &plain\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n  connector: %3\n"
                                "connection: &secured\n  accepter: telnet(rfc2217),ssl(key=%4,cert=%5),tcp,127.0.0.1,%2\n"
                                "  connector: %3\n")
                     .arg(plain)
                     .arg(secured)
                     .arg(connector, m_dir.filePath("srv.key"), m_dir.filePath("chain.pem"))
                     .toUtf8());
    config.close();
    QProcess ser2net;
    ser2net.start(QStandardPaths::findExecutable("ser2net", {"/usr/sbin", "/usr/bin"}),
                  {"-n", "-c", config.fileName()});
    QVERIFY(ser2net.waitForStarted());
    const auto stop = qScopeGuard([&ser2net] {
        ser2net.kill();
        ser2net.waitForFinished();
    });
    QVERIFY(QTest::qWaitFor([plain] {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), plain);
        return probe.waitForConnected(200);
    }, 5000));

    const QString address = QStringLiteral("rfc2217://127.0.0.1:%1").arg(plain);
    Run run = wine("kvr7314-cli.exe", {"write", windowsPath(examplePath("flex.kvr")), "--port", address, "--verify"});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(module.module().frames().size(), kProgrammingStepCount + 1);   // and the verify's read request

    const QString output = m_dir.filePath("behind-ser2net.kvr");
    run = wine("kvr7314-cli.exe", {"read", "--port", address, "-o", windowsPath(output)});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(settingsOf(output), asModuleHolds(module.module().stored()));

    // Windows' own TLS (under wine, on GnuTLS) with the test authority.
    run = wine("kvr7314-cli.exe", {"write", windowsPath(examplePath("pocsag.kvr")), "--port",
                                   QStringLiteral("rfc2217+tls://localhost:%1").arg(secured), "--tls-ca",
                                   windowsPath(m_dir.filePath("ca.pem"))});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(module.module().frames().size(), 2 * kProgrammingStepCount + 2);
}

QTEST_GUILESS_MAIN(TestWine)
#include "tst_wine.moc"
