#pragma once
// Runs a SimulatedModule on a pseudo-terminal, in the current thread's
// event loop: the tool opens the slave side (devicePath()) as its serial
// port, the module lives on the master side. The module's answers go out
// at the pace of a real 19200 baud line, about 1.92 characters per ms, in
// chunks every 16 ms as a USB-serial adapter delivers them.

#include "sim/simulatedmodule.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

class PtyHost : public QObject {
    Q_OBJECT
public:
    static constexpr double kCharactersPerMs = 19200.0 / 10.0 / 1000.0;  // 8N1: 10 bits a character
    static constexpr int kChunkIntervalMs = 16;

    explicit PtyHost(QObject *parent = nullptr);
    ~PtyHost() override;

    // Opens the pseudo-terminal; false (and errorString()) when the system
    // has none to give.
    bool open();
    QString errorString() const { return m_errorString; }

    // The slave device the tool opens, e.g. "/dev/pts/4".
    QString devicePath() const { return m_devicePath; }

    SimulatedModule &module() { return m_module; }
    const SimulatedModule &module() const { return m_module; }

    // Milliseconds since open(): the clock of the module's receive times.
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    double elapsedMsPrecise() const { return m_clock.nsecsElapsed() / 1e6; }

    // Pulls the plug: closes the master side, so the tool's port sees the
    // line vanish (its reads and writes fail from now on).
    void closeMaster();

    // Characters queued for sending but not on the line yet.
    qsizetype pendingAnswer() const { return m_outgoing.size() - m_sent; }

signals:
    // A frame the module took (after the module's own onFrame).
    void frameReceived(const ReceivedFrame &frame);

private:
    void readMaster();
    void queueAnswer(const QByteArray &answer);
    void sendPaced();
    void sendFlood();

    SimulatedModule m_module;
    int m_master = -1;
    int m_slave = -1;   // kept open so the line stays up while the tool closes and reopens it
    QString m_devicePath;
    QString m_errorString;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_floodNotifier = nullptr;   // a line gone mad: bytes as fast as it takes them
    qint64 m_floodLeft = 0;
    QElapsedTimer m_clock;

    // The answer on its way out: sent at line pace from m_sendStartMs on.
    QByteArray m_outgoing;
    qsizetype m_sent = 0;
    double m_sendStartMs = 0;
    QTimer m_paceTimer;
};
