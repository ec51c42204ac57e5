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
    return address().deviceNow(comDevice);
}

QString ModuleAccess::description() const
{
    return address().description(comDevice);
}

std::unique_ptr<SerialPort> ModuleAccess::newPortNow() const
{
    return newPort ? newPort() : newPortFor(device(), network);
}

PortOpener ModuleAccess::opener() const
{
    return [access = *this](const PortOpened &done) {
        access.address().open(access.comDevice, [&access] { return access.newPortNow(); }, done);
    };
}

void ModuleAccess::connectFirst(const std::function<void(std::optional<PortFailure>)> &done) const
{
    const std::optional<NetworkAddress> now = address().networkNow(comDevice);
    if (!now || !network) {
        done(std::nullopt);
        return;
    }
    network->connectFirst(*now, done);
}

bool ModuleAccess::keepsPortOpen() const
{
    return keepPortOpen && !address().networkNow(comDevice);
}

void ModuleAccess::operationEnded() const
{
    if (network && !oneConnectionForAll)
        network->close();
}
