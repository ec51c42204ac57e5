#pragma once
// A simulated module on a line inside this process: the ports it makes
// hand what they write to the module at once, and get its answers back at
// the line's pace. For --sim, and for the demo where there are no
// pseudo-terminals (Windows).

#include "link/serialport.h"
#include "sim/moduleline.h"

class SimulatedLinePort;

class SimulatedLine : public ModuleLine {
    Q_OBJECT
public:
    using ModuleLine::ModuleLine;
    ~SimulatedLine() override;

    // New ports on this line; the one opened last is connected, as a new
    // opening of a serial port replaces the one before.
    SerialPortFactory portFactory();

    // How the line is named to a user.
    static QString description() { return QStringLiteral("a simulated line in this program"); }

protected:
    qsizetype deliver(QByteArrayView bytes) override;
    bool isConnected() const override { return m_port != nullptr; }
    void hangUp() override;

private:
    friend class SimulatedLinePort;
    void attach(SimulatedLinePort *port) { m_port = port; }
    void detach(SimulatedLinePort *port);

    SimulatedLinePort *m_port = nullptr;
};
