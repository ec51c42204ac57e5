#pragma once
// The fleet window without hardware: a demonstration list of simulated
// modules inside the program, so every button works on a machine with no
// module. Most hold their file, one holds other values (an alias and the
// relay time), one never answers.

#include "fleet/fleetplan.h"
#include "sim/simulatedline.h"

#include <QTemporaryDir>

#include <map>
#include <memory>

class FleetDemo {
public:
    FleetDemo();
    ~FleetDemo();

    // False when the list could not be written.
    bool isValid() const { return m_valid; }
    QString listPath() const;
    // The data folder of the demo's log and backups, apart from the modules
    // a technician touched.
    static QString dataFolder();

    // The port objects of each module of the list, by its port.
    std::function<SerialPortFactory(const FleetModule &module)> ports();
    // The module behind a port of the list.
    SimulatedModule *module(const QString &port);

private:
    QTemporaryDir m_dir;
    std::map<QString, std::unique_ptr<SimulatedLine>> m_lines;   // by port
    bool m_valid = false;
};
