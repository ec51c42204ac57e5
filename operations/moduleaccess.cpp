#include "operations/moduleaccess.h"

ModuleAccess ModuleAccess::at(const PortAddress &address, TlsCredentials tls)
{
    ModuleAccess access;
    access.address = [address] { return address; };
    access.connection = std::make_shared<ModuleConnection>(std::move(tls));
    return access;
}

PortTarget ModuleAccess::target() const
{
    return address().target(comDevice);
}

QString ModuleAccess::description() const
{
    return address().description(comDevice);
}

PortOpener ModuleAccess::opener() const
{
    return [access = *this](const PortOpened &done) {
        if (access.beforeOpening)
            access.beforeOpening();
        // Where a COM box leads is looked up once per opening: a walk over
        // the machine's serial ports.
        const PortTarget target = access.target();
        openDeviceThen(access.newPort ? access.newPort() : newPortFor(target, access.connection), target.device, done);
    };
}

void ModuleAccess::connectFirst(const std::function<void(std::optional<PortFailure>)> &done) const
{
    const PortAddress where = address();
    if (!where.isNetwork() || !connection) {
        done(std::nullopt);
        return;
    }
    connection->connectFirst(*where.networkAddress(), done);
}
