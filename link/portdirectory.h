#pragma once
// The machine's serial ports as the program knows them, walked when first
// asked and then shared by everything that asks: where the COM boxes lead,
// the adapter and serial number a log line names, the list an error shows.
// A walk over the system's serial devices blocks the event loop a while, so
// a command or a fleet walks once; the window walks anew before each
// opening and each tooltip, so an adapter plugged in meanwhile is found.

#include "link/portlist.h"

#include <QList>
#include <QString>

#include <optional>

class PortDirectory {
public:
    // The machine's own, shared by the whole program.
    static PortDirectory &machine();

    const QList<FoundPort> &ports();
    // The next ports() walks anew.
    void refresh();
    // The device COM `comPort` (1..4) leads to.
    QString comDevice(int comPort);

private:
    std::optional<QList<FoundPort>> m_ports;
};
