#pragma once
// The way to the module for one kvr7314-cli command: the port that --port
// names, or a simulated module built into the program (a PtyHost on a
// pseudo-terminal in this process's event loop), and the --trace file that
// every port of the command writes to. Each operation opens a fresh port,
// as the window does.

#include "cli/clicommandline.h"
#include "link/serialport.h"
#include "sim/ptyhost.h"

#include <QElapsedTimer>
#include <QFile>

#include <memory>
#include <optional>

class ModuleLink {
public:
    ModuleLink(std::optional<PortTarget> target, QString tracePath);
    ~ModuleLink();

    // Starts the built-in module and opens the trace file. False with a
    // one-line reason (and the exit code it calls for) when either fails.
    bool prepare(QString *error, CliExit *exit);

    bool isBuiltIn() const { return !m_target.has_value(); }
    PtyHost *builtInModule() { return m_builtIn.get(); }

    // "COM 1 (/dev/ttyS0)", "/dev/ttyUSB0" or the built-in module's device.
    QString description() const;
    // The line that says a command uses the built-in module.
    QString builtInNotice() const;

    // A newly opened port, or nothing with a one-line reason.
    std::unique_ptr<SerialPort> open(QString *error);

private:
    std::optional<PortTarget> m_target;
    QString m_tracePath;
    std::unique_ptr<PtyHost> m_builtIn;
    QFile m_trace;
    QElapsedTimer m_clock;
};
