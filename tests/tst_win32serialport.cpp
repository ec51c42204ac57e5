// What the Win32 serial port asks of Windows: the module's line settings in
// the DCB, reads that return at once, and the causes of a failed opening.
// Built for Windows only (run under wine).

#include "link/win32serialport.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

class TestWin32SerialPort : public QObject {
    Q_OBJECT
private slots:
    void lineSettings_data();
    void lineSettings();
    void readsReturnAtOnce();
    void openCauses_data();
    void openCauses();
    void aCountrysSocketsOpen();
};

void TestWin32SerialPort::lineSettings_data()
{
    // Whatever the port was left with by a program before, the module's
    // line comes out: 19200 8N1, no flow control, every byte through.
    DCB before{};
    before.BaudRate = CBR_9600;
    before.ByteSize = 7;
    before.Parity = EVENPARITY;
    before.StopBits = TWOSTOPBITS;
    before.fOutxCtsFlow = before.fOutxDsrFlow = before.fOutX = before.fInX = TRUE;
    before.fRtsControl = RTS_CONTROL_HANDSHAKE;
    before.fDtrControl = DTR_CONTROL_HANDSHAKE;
    before.fNull = before.fParity = before.fAbortOnError = before.fErrorChar = TRUE;
    const DCB dcb = moduleLineSettings(before);

    QTest::addColumn<unsigned>("asked");
    QTest::addColumn<unsigned>("expected");
    QTest::newRow("BaudRate") << unsigned(dcb.BaudRate) << unsigned(CBR_19200);
    QTest::newRow("ByteSize") << unsigned(dcb.ByteSize) << 8u;
    QTest::newRow("Parity") << unsigned(dcb.Parity) << unsigned(NOPARITY);
    QTest::newRow("fParity") << unsigned(dcb.fParity) << 0u;
    QTest::newRow("StopBits") << unsigned(dcb.StopBits) << unsigned(ONESTOPBIT);
    QTest::newRow("fOutxCtsFlow") << unsigned(dcb.fOutxCtsFlow) << 0u;
    QTest::newRow("fOutxDsrFlow") << unsigned(dcb.fOutxDsrFlow) << 0u;
    QTest::newRow("fRtsControl") << unsigned(dcb.fRtsControl) << unsigned(RTS_CONTROL_ENABLE);
    QTest::newRow("fDtrControl") << unsigned(dcb.fDtrControl) << unsigned(DTR_CONTROL_ENABLE);
    QTest::newRow("fOutX") << unsigned(dcb.fOutX) << 0u;
    QTest::newRow("fInX") << unsigned(dcb.fInX) << 0u;
    QTest::newRow("fBinary") << unsigned(dcb.fBinary) << 1u;
    QTest::newRow("fNull") << unsigned(dcb.fNull) << 0u;
    QTest::newRow("fErrorChar") << unsigned(dcb.fErrorChar) << 0u;
    QTest::newRow("fAbortOnError") << unsigned(dcb.fAbortOnError) << 0u;
    QTest::newRow("DCBlength") << unsigned(dcb.DCBlength) << unsigned(sizeof(DCB));
}

void TestWin32SerialPort::lineSettings()
{
    QFETCH(unsigned, asked);
    QTEST(asked, "expected");
}

void TestWin32SerialPort::readsReturnAtOnce()
{
    const COMMTIMEOUTS t = moduleLineTimeouts();
    QCOMPARE(t.ReadIntervalTimeout, MAXDWORD);
    QCOMPARE(t.ReadTotalTimeoutMultiplier, DWORD(0));
    QCOMPARE(t.ReadTotalTimeoutConstant, DWORD(0));
}

void TestWin32SerialPort::openCauses_data()
{
    QTest::addColumn<unsigned>("error");
    QTest::addColumn<int>("cause");
    QTest::newRow("no such port") << unsigned(ERROR_FILE_NOT_FOUND) << int(OpenCause::NotPresent);
    QTest::newRow("open in another program") << unsigned(ERROR_ACCESS_DENIED) << int(OpenCause::InUse);
    QTest::newRow("anything else") << unsigned(ERROR_GEN_FAILURE) << int(OpenCause::Other);
}

void TestWin32SerialPort::openCauses()
{
    QFETCH(unsigned, error);
    QTEST(int(openCauseOfWin32Error(DWORD(error))), "cause");
}

void TestWin32SerialPort::aCountrysSocketsOpen()
{
    // A national fleet holds a connection to every module at once: Windows
    // (and wine) must give one program 1,200 sockets.
    QTcpServer server;
    server.setMaxPendingConnections(2000);
    // Windows refuses a connection its listener has no room for: the
    // modules' servers are many, this one takes them all.
    server.setListenBacklogSize(2000);
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 1200; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, server.serverPort());
    }
    int accepted = 0;
    QVERIFY(QTest::qWaitFor([&] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            socket->setParent(&server);
            ++accepted;
        }
        return accepted == 1200;
    }, 60000));
    QCOMPARE(accepted, 1200);
    QVERIFY(std::all_of(clients.begin(), clients.end(),
                        [](const auto &c) { return c->state() == QAbstractSocket::ConnectedState; }));
}

QTEST_GUILESS_MAIN(TestWin32SerialPort)
#include "tst_win32serialport.moc"
