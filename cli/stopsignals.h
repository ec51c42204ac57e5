#pragma once
// Ctrl-C (SIGINT) and SIGTERM end a kvr7314-cli command cleanly instead of
// killing it: a run in progress stops where it stands, the trace and the
// progress line are completed, and the user is told what state the module
// was left in.

#include "operations/outcome.h"

#include <QObject>

class StopSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; one instance per program, made after the
    // application exists.
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

    // The signal that arrived (SIGINT, SIGTERM), or 0.
    int received() const { return m_received; }

signals:
    void stopRequested(int signalNumber);

private slots:
    void onNotified(int signalNumber);

private:
    int m_received = 0;
};

// "Ctrl-C (SIGINT)", "SIGTERM": how messages and the trace name a stop.
QString stopSignalName(int signalNumber);

// What a stop signal tells an operation: its name, and the exit code.
StopCause stopCauseOf(int signalNumber);
