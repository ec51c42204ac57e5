#pragma once
// A simulated KVR7314 on a pseudo-terminal for tests: the window's COM
// ports all lead to it, and tests can wait for what it receives.

#include "link/serialport.h"
#include "sim/ptyhost.h"

class PtyModule : public PtyHost {
    Q_OBJECT
public:
    // Opens the pseudo-terminal at once; check isOpen() (QVERIFY) after.
    explicit PtyModule(QObject *parent = nullptr);

    bool isOpen() const { return !devicePath().isEmpty(); }

    // Every COM n leads to this module.
    ComDeviceMapper comDevice() const;

    // Runs the event loop until the module has taken `count` frames in all
    // (or `timeoutMs` passed); true when they arrived.
    bool waitForFrames(int count, int timeoutMs = 5000);
};

// Maps every COM n to `path` (a missing device, a port someone else holds).
ComDeviceMapper comDeviceTo(const QString &path);
