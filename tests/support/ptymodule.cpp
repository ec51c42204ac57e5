#include "support/ptymodule.h"

#include <QTest>

PtyModule::PtyModule(QObject *parent) : PtyHost(parent)
{
    open();
}

ComDeviceMapper PtyModule::comDevice() const
{
    return comDeviceTo(devicePath());
}

bool PtyModule::waitForFrames(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return module().frames().size() >= count; }, timeoutMs);
}

ComDeviceMapper comDeviceTo(const QString &path)
{
    return [path](int) { return path; };
}
