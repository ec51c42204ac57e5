#pragma once
// Why a serial port could not be opened, found out from what the system
// says, and told to the technician with what to do about it. The window's
// box keeps its own words; these are its "Details" and the command line's
// one line.

#include "link/portlist.h"
#include "link/serialport.h"

#include <QString>

// What the system said about a failed opening.
struct OpenFacts {
    bool deviceNotFound = false;   // QSerialPort::DeviceNotFoundError
    bool permissionError = false;  // QSerialPort::PermissionError: no access, a lock or an exclusive holder
    QString errorString;           // QSerialPort's text ("Permission error while locking the device")
    int probeErrno = 0;            // errno of a plain open() of the device, 0 when it opened
    QString lockHolder;            // the program named in the port's lock file, if one is there
};

OpenCause classifyOpenFailure(const OpenFacts &facts);

// The program that holds the lock file of `device` ("minicom (PID 1234)"),
// or empty when there is no lock file.
QString lockFileHolder(const QString &device);

// Dutch, for the box's details: the device, the cause, what to do. For a
// missing port, the ports that are present.
QString openFailureDetails(const PortFailure &failure, const QList<FoundPort> &ports);

// English, one line, for the command line: "cannot open /dev/ttyUSB0: ...".
QString openFailureLine(const PortFailure &failure, const QList<FoundPort> &ports);

// Dutch, for the box's details when an opened port failed: for a port
// behind the network its address and what happened to the connection;
// nothing for a serial port, whose box says it all.
QString lineFailureDetails(const PortFailure &failure);
