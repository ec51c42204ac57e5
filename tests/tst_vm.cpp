// The tool on the kernel's own serial drivers: a QEMU guest with the Debian
// kernel serves QEMU's FTDI USB-serial adapter with ftdi_sio and a 16550
// UART with the 8250 driver, udev names the adapter, and the tool runs in
// the guest from this build tree. On the host the simulated module answers
// on the far side of each chip, on a pseudo-terminal whose line settings
// QEMU sets as the guest's driver programs them.
//
// scripts/vm-serial.sh builds the guest's initramfs and runs this with
// KVR_VM_KERNEL, KVR_VM_INITRD and KVR_VM_RESULTS; without them it has
// nothing to test and says so. It prints the frame gaps through each chip
// and the time from a pulled adapter to the end of the write.

#include "link/frames.h"
#include "sim/ptyhost.h"
#include "support/fixtures.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kCommandTimeoutMs = 90000;
const QString kAdapterSerial = QStringLiteral("KVR7314A");

struct GuestRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// A QMP connection to QEMU: the monitor that pulls and replugs the adapter.
class Qmp {
public:
    bool connect(const QString &path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", qPrintable(path));
        if (::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
            return false;
        readReply();   // the greeting
        return execute(R"({"execute":"qmp_capabilities"})").contains("return");
    }
    ~Qmp()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    QByteArray execute(const QByteArray &command)
    {
        const QByteArray line = command + '\n';
        if (::write(m_fd, line.constData(), size_t(line.size())) != line.size())
            return {};
        return readReply();
    }

private:
    // One reply line, past the events QEMU sends between them.
    QByteArray readReply()
    {
        for (;;) {
            QByteArray line;
            char c = 0;
            while (::read(m_fd, &c, 1) == 1 && c != '\n')
                line += c;
            if (!line.contains("\"event\""))
                return line;
        }
    }
    int m_fd = -1;
};

// The line settings of a host pseudo-terminal, as QEMU set them.
struct LineSettings {
    speed_t speed = 0;
    bool eightBits = false;
    bool parity = true;
    bool twoStopBits = true;
    bool hardwareFlow = true;
    bool softwareFlow = true;
};

LineSettings lineSettingsOf(const QString &device)
{
    LineSettings s;
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    termios t{};
    if (fd >= 0 && ::tcgetattr(fd, &t) == 0) {
        s.speed = cfgetospeed(&t);
        s.eightBits = (t.c_cflag & CSIZE) == CS8;
        s.parity = t.c_cflag & PARENB;
        s.twoStopBits = t.c_cflag & CSTOPB;
        s.hardwareFlow = t.c_cflag & CRTSCTS;
        s.softwareFlow = t.c_iflag & (IXON | IXOFF);
    }
    if (fd >= 0)
        ::close(fd);
    return s;
}

// The gaps between the frames a module took, in milliseconds.
QList<qint64> frameGaps(const SimulatedModule &module, qsizetype from)
{
    QList<qint64> gaps;
    const QList<ReceivedFrame> &frames = module.frames();
    for (qsizetype i = from + 1; i < frames.size(); ++i)
        gaps.append(frames[i].receivedAtMs - frames[i - 1].receivedAtMs);
    return gaps;
}

qint64 median(QList<qint64> gaps)
{
    std::sort(gaps.begin(), gaps.end());
    return gaps.isEmpty() ? 0 : gaps[gaps.size() / 2];
}

// A guest under software emulation keeps its timers to tens of
// milliseconds: single gaps stray, their median keeps the pace.
void checkPace(const QList<qint64> &gaps)
{
    QVERIFY2(std::abs(median(gaps) - 300) <= 30, qPrintable(QString::number(median(gaps))));
}

QString gapFigures(QList<qint64> gaps)
{
    if (gaps.isEmpty())
        return QStringLiteral("no gaps");
    std::sort(gaps.begin(), gaps.end());
    const qint64 median = ::median(gaps);
    const qint64 worst = std::max(std::abs(gaps.first() - 300), std::abs(gaps.last() - 300));
    return QStringLiteral("median %1 ms, %2 to %3 ms, worst %4 ms off 300")
        .arg(median).arg(gaps.first()).arg(gaps.last()).arg(worst);
}

} // namespace

class TestVm : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void adapterIsBehindTheComBoxTheReadmePromises();
    void writeAndReadThroughTheAdapter();
    void writeAndReadThroughTheUart();
    void userOutsideDialoutIsRefused();
    void pulledAdapterEndsTheWrite();
    void replugPutsTheAdapterBehindTheSameBox();
    void windowSendsATestCallThroughTheAdapter();

private:
    // Starts a command in the guest; its result with finish().
    int start(const QString &command);
    GuestRun finish(int n, int timeoutMs = kCommandTimeoutMs);
    GuestRun run(const QString &command) { return finish(start(command)); }
    QString cli() const { return QStringLiteral("%1/cli/kvr7314-cli").arg(m_build); }

    QString m_results;
    QString m_build;
    PtyHost m_adapter;   // the module behind the FTDI chip
    PtyHost m_uart;      // the module behind the 16550
    QProcess m_qemu;
    Qmp m_qmp;
    int m_commands = 0;
    QElapsedTimer m_stage;
};

void TestVm::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("KVR_VM_KERNEL"))
        QSKIP("no guest to test: scripts/vm-serial.sh runs this with one");
    m_stage.start();
    m_results = qEnvironmentVariable("KVR_VM_RESULTS");
    m_build = QDir(QCoreApplication::applicationDirPath() + "/..").canonicalPath();
    QVERIFY(m_adapter.open());
    QVERIFY(m_uart.open());

    const QString qmp = m_results + "/qmp.sock";
    // Software emulation: KVM is not usable on these machines.
    m_qemu.setProcessChannelMode(QProcess::ForwardedChannels);
    m_qemu.start("qemu-system-x86_64", {
        "-accel", "tcg", "-cpu", "max", "-m", "1536", "-smp", "1", "-nographic", "-no-reboot", "-nodefaults",
        "-kernel", qEnvironmentVariable("KVR_VM_KERNEL"), "-initrd", qEnvironmentVariable("KVR_VM_INITRD"),
        "-append", "console=hvc0 quiet panic=-1 kvr.results=" + m_results,
        "-device", "virtio-serial-pci", "-chardev", "file,id=console,path=" + m_results + "/console.log",
        "-device", "virtconsole,chardev=console",
        "-virtfs", "local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap",
        "-virtfs", "local,path=" + m_results + ",mount_tag=results,security_model=none",
        // The 16550 (ttyS0), and the FTDI adapter on an xHCI bus.
        "-chardev", "serial,id=uart,path=" + m_uart.devicePath(), "-serial", "chardev:uart",
        "-device", "qemu-xhci,id=xhci", "-chardev", "serial,id=usbline,path=" + m_adapter.devicePath(),
        "-device", "usb-serial,id=ftdi,chardev=usbline,bus=xhci.0,serial=" + kAdapterSerial,
        "-qmp", "unix:" + qmp + ",server=on,wait=off",
    });
    QVERIFY(m_qemu.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_results + "/ready") || m_qemu.state() == QProcess::NotRunning, 120000);
    if (!QFile::exists(m_results + "/ready")) {
        // Why, on screen: what the guest's own programs said (the kernel's
        // lines begin with its clock), and how the kernel ended.
        const QStringList console = QString::fromUtf8(readFile(m_results + "/console.log")).split(u'\n');
        QStringList said;
        for (const QString &line : console) {
            if (!line.startsWith(u'['))
                said.append(line);
        }
        said += console.mid(std::max<qsizetype>(0, console.size() - 4));
        std::printf("the guest's console:\n%s\n", qPrintable(said.mid(std::max<qsizetype>(0, said.size() - 40)).join(u'\n')));
        QFAIL(qPrintable("the guest did not start; see " + m_results + "/console.log"));
    }
    QVERIFY(m_qmp.connect(qmp));
    std::printf("guest ready after %.1f s\n", m_stage.elapsed() / 1000.0);
}

void TestVm::cleanupTestCase()
{
    if (m_qemu.state() != QProcess::NotRunning) {
        m_qmp.execute(R"({"execute":"quit"})");
        if (!m_qemu.waitForFinished(10000))
            m_qemu.kill();
    }
    if (m_stage.isValid())
        std::printf("stage: %.1f s\n", m_stage.elapsed() / 1000.0);
}

int TestVm::start(const QString &command)
{
    const int n = ++m_commands;
    const QString path = QStringLiteral("%1/cmd-%2").arg(m_results).arg(n);
    writeFile(path + ".new", command.toUtf8() + '\n');
    QFile::rename(path + ".new", path);
    return n;
}

GuestRun TestVm::finish(int n, int timeoutMs)
{
    const QString rc = QStringLiteral("%1/rc-%2").arg(m_results).arg(n);
    GuestRun result;
    if (!QTest::qWaitFor([&] { return QFile::exists(rc); }, timeoutMs))
        return result;
    result.exitCode = readFile(rc).trimmed().toInt();
    result.out = QString::fromUtf8(readFile(QStringLiteral("%1/out-%2").arg(m_results).arg(n)));
    result.err = QString::fromUtf8(readFile(QStringLiteral("%1/err-%2").arg(m_results).arg(n)));
    return result;
}

void TestVm::adapterIsBehindTheComBoxTheReadmePromises()
{
    // The built-in UART first, then the adapter by its by-id name.
    const GuestRun ports = run(cli() + " ports");
    QCOMPARE(ports.exitCode, 0);
    QVERIFY2(ports.out.contains(QRegularExpression("^COM 1  /dev/ttyS0$", QRegularExpression::MultilineOption)),
             qPrintable(ports.out));
    QVERIFY2(ports.out.contains(QRegularExpression("^COM 2  /dev/ttyUSB0$", QRegularExpression::MultilineOption)),
             qPrintable(ports.out));
    const QRegularExpression adapter("^/dev/ttyUSB0  .*USB.*  " + kAdapterSerial + "  /dev/serial/by-id/usb-\\S*"
                                     + kAdapterSerial + "\\S*$", QRegularExpression::MultilineOption);
    QVERIFY2(ports.out.contains(adapter), qPrintable(ports.out));
}

// What the guest's driver set the chip to, while the tool has the port open
// (on closing, the serial port puts back the settings it found).
LineSettings settingsDuringTheWrite(PtyHost &line, qsizetype before)
{
    if (!QTest::qWaitFor([&] { return line.module().frames().size() - before >= 3; }, kCommandTimeoutMs))
        return {};
    return lineSettingsOf(line.devicePath());
}

void checkModuleSettings(const LineSettings &line)
{
    QCOMPARE(line.speed, speed_t(B19200));
    QVERIFY(line.eightBits);
    QVERIFY(!line.parity);
    QVERIFY(!line.twoStopBits);
    QVERIFY(!line.hardwareFlow);
    QVERIFY(!line.softwareFlow);
}

void TestVm::writeAndReadThroughTheAdapter()
{
    const qsizetype before = m_adapter.module().frames().size();
    const int n = start(cli() + " write " + examplePath("flex.kvr") + " --port COM2 --verify");
    checkModuleSettings(settingsDuringTheWrite(m_adapter, before));
    const GuestRun write = finish(n);
    QVERIFY2(write.exitCode == 0, qPrintable(write.err));
    QCOMPARE(m_adapter.module().frames().size() - before, kProgrammingStepCount + 1);   // and the read request
    QList<qint64> gaps = frameGaps(m_adapter.module(), before);
    gaps.removeLast();   // the read request follows the last step after the verify's start
    std::printf("frame gaps through the FTDI adapter (ftdi_sio): %s\n", qPrintable(gapFigures(gaps)));
    checkPace(gaps);

    const GuestRun read = run(cli() + " read --port /dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_" + kAdapterSerial
                              + "-if00-port0 --json");
    QVERIFY2(read.exitCode == 0, qPrintable(read.err));
    QVERIFY(read.out.contains("\"alias01\": \"Brandweer Zuid\""));
}

void TestVm::writeAndReadThroughTheUart()
{
    const qsizetype before = m_uart.module().frames().size();
    const int n = start(cli() + " write " + examplePath("pocsag.kvr") + " --port COM1 --verify");
    checkModuleSettings(settingsDuringTheWrite(m_uart, before));
    const GuestRun write = finish(n);
    QVERIFY2(write.exitCode == 0, qPrintable(write.err));
    QCOMPARE(m_uart.module().frames().size() - before, kProgrammingStepCount + 1);
    QList<qint64> gaps = frameGaps(m_uart.module(), before);
    gaps.removeLast();
    std::printf("frame gaps through the 16550 UART (8250): %s\n", qPrintable(gapFigures(gaps)));
    checkPace(gaps);
}

void TestVm::userOutsideDialoutIsRefused()
{
    const QString asUser = "KVR7314_DATA_DIR=/tmp/kvr7314-user setpriv --reuid 1000 --regid 1000 ";
    const GuestRun refused = run(asUser + "--clear-groups " + cli() + " read --port COM2");
    QCOMPARE(refused.exitCode, 4);
    QVERIFY2(refused.err.contains("no permission") && refused.err.contains("dialout"), qPrintable(refused.err));
    const GuestRun allowed = run(asUser + "--groups dialout " + cli() + " read --port COM2");
    QVERIFY2(allowed.exitCode == 0, qPrintable(allowed.err));
}

void TestVm::pulledAdapterEndsTheWrite()
{
    const qsizetype before = m_adapter.module().frames().size();
    const int n = start(cli() + " write " + examplePath("flex.kvr") + " --port COM2");
    QVERIFY(QTest::qWaitFor([&] { return m_adapter.module().frames().size() - before >= 8; }, kCommandTimeoutMs));
    QElapsedTimer sincePull;
    sincePull.start();
    QVERIFY(m_qmp.execute(R"({"execute":"device_del","arguments":{"id":"ftdi"}})").contains("return"));
    const GuestRun write = finish(n, 30000);
    const qint64 ended = sincePull.elapsed();
    std::printf("from the pull to the end of the write: %lld ms\n", qlonglong(ended));
    QCOMPARE(write.exitCode, 4);
    QVERIFY2(write.err.contains("of 26 steps were sent") && write.err.contains("partly programmed"), qPrintable(write.err));
    QVERIFY2(ended < 3000, qPrintable(QString::number(ended)));
}

void TestVm::replugPutsTheAdapterBehindTheSameBox()
{
    QVERIFY(m_qmp.execute(R"({"execute":"device_add","arguments":{"driver":"usb-serial","id":"ftdi",)"
                          R"("chardev":"usbline","bus":"xhci.0","serial":"KVR7314A"}})")
                .contains("return"));
    const GuestRun settled = run("for i in $(seq 100); do ls /dev/serial/by-id/*" + kAdapterSerial
                                 + "* >/dev/null 2>&1 && break; sleep 0.1; done; udevadm settle");
    QCOMPARE(settled.exitCode, 0);
    const GuestRun ports = run(cli() + " ports");
    QVERIFY2(ports.out.contains(QRegularExpression("^COM 2  /dev/ttyUSB\\d$", QRegularExpression::MultilineOption)),
             qPrintable(ports.out));
    const GuestRun call = run(cli() + " test-call 4 --port COM2");
    QVERIFY2(call.exitCode == 0, qPrintable(call.err));
}

void TestVm::windowSendsATestCallThroughTheAdapter()
{
    const qsizetype calls = m_adapter.module().testCalls().size();
    const GuestRun window = run(m_build + "/tests/vm_window_call 2");
    QVERIFY2(window.exitCode == 0, qPrintable(window.err));
    QTRY_COMPARE(m_adapter.module().testCalls().size(), calls + 1);
    QCOMPARE(m_adapter.module().testCalls().last().code, QString("1"));
}

QTEST_GUILESS_MAIN(TestVm)
#include "tst_vm.moc"
