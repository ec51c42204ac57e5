#pragma once
// Runs a SimulatedModule on a pseudo-terminal, in the current thread's
// event loop: the tool opens the slave side (devicePath()) as its serial
// port, the module lives on the master side (see ModuleLine for the pace).

#include "sim/moduleline.h"

#include <QString>

class QSocketNotifier;

class PtyHost : public ModuleLine {
    Q_OBJECT
public:
    explicit PtyHost(QObject *parent = nullptr);
    ~PtyHost() override;

    // Opens the pseudo-terminal; false (and errorString()) when the system
    // has none to give.
    bool open();
    QString errorString() const { return m_errorString; }

    // The slave device the tool opens, e.g. "/dev/pts/4".
    QString devicePath() const { return m_devicePath; }

    // Pulls the plug: closes the master side, so the tool's port sees the
    // line vanish (its reads and writes fail from now on).
    void closeMaster();

protected:
    qsizetype deliver(QByteArrayView bytes) override;
    bool isConnected() const override { return m_master >= 0; }
    // A flooding module goes on as fast as the line takes it.
    void answerSent() override;
    void hangUp() override { closeMaster(); }

private:
    void readMaster();
    void sendFlood();

    int m_master = -1;
    int m_slave = -1;   // kept open so the line stays up while the tool closes and reopens it
    QString m_devicePath;
    QString m_errorString;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_floodNotifier = nullptr;   // a line gone mad: bytes as fast as it takes them
    qint64 m_floodLeft = 0;
};
