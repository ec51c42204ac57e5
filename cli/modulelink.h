#pragma once
// The way to the module for one kvr7314-cli command: the port that --port
// names, or with --sim a simulated module built into the program (on a line
// inside this process), and the --trace file that every port of the command
// writes to. Each operation opens a fresh port, as the window does.

#include "cli/clicommandline.h"
#include "link/serialport.h"
#include "sim/simulatedline.h"

#include <QElapsedTimer>
#include <QFile>

#include <memory>
#include <optional>

class ModuleLink {
public:
    ModuleLink(std::optional<PortTarget> target, QString tracePath);
    ~ModuleLink();

    // `target` nothing: the built-in simulated module (--sim).
    // Starts the built-in module and opens the trace file. False with a
    // one-line reason (and the exit code it calls for) when either fails.
    bool prepare(QString *error, CliExit *exit);

    bool isBuiltIn() const { return !m_target.has_value(); }
    SimulatedLine *builtInModule() { return m_builtIn.get(); }

    // "COM 1 (/dev/ttyUSB0)", "/dev/ttyUSB0" or the built-in module's device.
    QString description() const;
    // The line that says a command uses the built-in module.
    QString builtInNotice() const;

    // Fresh port objects on the command's device, traced when --trace is
    // given, and the COM number they are opened as.
    PortAccess portAccess();

    // A newly opened port, or nothing with a one-line reason.
    std::unique_ptr<SerialPort> open(QString *error);

    // The device the port opens: --port's, the one COM n leads to now, or
    // the built-in module's.
    QString device() const;

    // "cannot open DEV: the cause in plain words, and what to do".
    QString openFailureLine(const PortFailure &failure) const;

    // A line in the trace, with its time (what the command did or why it
    // stopped). Nothing without --trace.
    void note(const QString &text);
    // Why the trace could not be written to the end, or nothing.
    std::optional<QString> traceFailure() const;

private:
    std::optional<PortTarget> m_target;
    QString m_tracePath;
    std::unique_ptr<SimulatedLine> m_builtIn;
    QFile m_trace;
    QElapsedTimer m_clock;
};
