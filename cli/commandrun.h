#pragma once
// One kvr7314-cli command that runs on the program's event loop: its
// operations one after the other, what they say and how far they are on
// the console, a stop signal (Ctrl-C, SIGTERM) handed to the one that runs,
// and at the end the exit code.

#include "cli/cliconsole.h"
#include "operations/operation.h"

#include <QObject>

#include <functional>

class StopSignals;

class CommandRun : public QObject {
    Q_OBJECT
public:
    CommandRun(StopSignals &stop, bool dataOnStandardOutput = false);
    ~CommandRun() override;

    virtual void start() = 0;

signals:
    // The command has ended with this exit code.
    void ended(int exitCode);

protected:
    using Then = std::function<void(const OperationOutcome &outcome)>;
    // Starts `operation` (a child of this run), with its lines and progress
    // on the console; `then` gets its outcome.
    void run(Operation *operation, Then then);
    // The outcome's last line (on standard error when it failed), its data
    // and what could not be kept of it.
    void report(const OperationOutcome &outcome);
    virtual void end(ExitCode exit);
    // A stop signal came while `operation` ran.
    virtual void stopping(int signalNumber);

    CliConsole m_console;
    StopSignals &m_stop;

private:
    void showReceived(int characters, bool complete);

    Operation *m_running = nullptr;
    ReadProgress m_progress;   // on a terminal every 10 characters; in a log every 200
};
