#include "operations/moduleaccess.h"

ModuleAccess ModuleAccess::at(const PortAddress &address)
{
    ModuleAccess access;
    access.address = [address] { return address; };
    return access;
}

QString ModuleAccess::device() const
{
    return address().deviceNow(comDevice);
}

QString ModuleAccess::description() const
{
    return address().description(comDevice);
}

PortOpener ModuleAccess::opener() const
{
    return [access = *this](const PortOpened &done) { access.address().open(access.comDevice, access.newPort, done); };
}
