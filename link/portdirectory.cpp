#include "link/portdirectory.h"

PortDirectory &PortDirectory::machine()
{
    static PortDirectory directory;
    return directory;
}

const QList<FoundPort> &PortDirectory::ports()
{
    if (!m_ports)
        m_ports = foundPorts();
    return *m_ports;
}

void PortDirectory::refresh()
{
    m_ports.reset();
}

QString PortDirectory::comDevice(int comPort)
{
    return comDevices(ports())[size_t(comPort - 1)];
}
