#pragma once
// The way to the module for one kvr7314-cli command: the port that --port
// names, or with --sim a simulated module built into the program (on a line
// inside this process), and the --trace file that every port of the command
// writes to. Its operations open a fresh port each, as the window does.

#include "cli/clirequests.h"
#include "operations/exitcode.h"
#include "operations/moduleaccess.h"
#include "sim/simulatedline.h"

#include <QElapsedTimer>
#include <QFile>

#include <memory>
#include <optional>

class ModuleLink {
public:
    explicit ModuleLink(ModuleChoice choice);
    ~ModuleLink();

    // Starts the built-in module, reads the TLS files and opens the trace
    // file. False with a one-line reason (and the exit code it calls for)
    // when one fails.
    bool prepare(QString *error, ExitCode *exit);

    bool isBuiltIn() const { return !m_choice.port.has_value(); }
    SimulatedLine *builtInModule() { return m_builtIn.get(); }

    // The line that says a command uses the built-in module.
    QString builtInNotice() const;

    // How the command's operations reach the module: fresh port objects on
    // its device, traced when --trace is given.
    ModuleAccess access();

    // A line in the trace, with its time (what the command did or why it
    // stopped). Nothing without --trace.
    void note(const QString &text);
    // Why the trace could not be written to the end, or nothing.
    std::optional<QString> traceFailure() const;

private:
    PortAddress address() const;

    ModuleChoice m_choice;
    std::unique_ptr<SimulatedLine> m_builtIn;
    // The command's one connection to a module behind the network, held
    // for all its steps (a backup read, the write, its verify).
    std::shared_ptr<ModuleConnection> m_connection = std::make_shared<ModuleConnection>();
    QFile m_trace;
    QElapsedTimer m_clock;
};
