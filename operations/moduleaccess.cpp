#include "operations/moduleaccess.h"

ModuleAccess ModuleAccess::at(const PortAddress &address, TlsCredentials tls)
{
    ModuleAccess access;
    access.address = [address] { return address; };
    access.network = std::make_shared<NetworkLines>(std::move(tls));
    return access;
}

QString ModuleAccess::device() const
{
    if (const std::optional<NetworkAddress> server = networkNow())
        return server->text;
    return address().deviceNow(comDevice);
}

QString ModuleAccess::description() const
{
    if (const std::optional<NetworkAddress> server = networkNow(); server && !address().isNetwork())
        return QStringLiteral("%1 (%2)").arg(address().name(), server->text);
    return address().description(comDevice);
}

std::optional<NetworkAddress> ModuleAccess::networkNow() const
{
    return networkAddress ? networkAddress() : address().networkAddress();
}

PortOpener ModuleAccess::opener() const
{
    return [access = *this](const PortOpened &done) {
        if (access.beforeOpening)
            access.beforeOpening();
        // Where a COM box leads is looked up once per opening: a walk over
        // the machine's serial ports.
        const QString device = access.device();
        openDeviceThen(access.newPort ? access.newPort() : newPortFor(device, access.network), device, done);
    };
}

void ModuleAccess::connectFirst(const std::function<void(std::optional<PortFailure>)> &done) const
{
    const std::optional<NetworkAddress> server = networkNow();
    if (!server || !network) {
        done(std::nullopt);
        return;
    }
    network->connectFirst(*server, done);
}

bool ModuleAccess::keepsPortOpen() const
{
    return keepPortOpen && !networkNow();
}

void ModuleAccess::operationEnded() const
{
    if (network && !oneConnectionForAll)
        network->close();
}
