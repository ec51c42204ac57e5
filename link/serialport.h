#pragma once
// The serial line to the module: 19200 baud, 8 data bits, no parity,
// 1 stop bit, no flow control. Every operation that talks to the module
// opens the port anew; a new SerialPort object replaces the previous one,
// which closes its port first.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class SerialPort : public QObject {
    Q_OBJECT
public:
    // The code lastEvent() gives once received characters are waiting.
    static constexpr int kEventReceive = 2;

    using QObject::QObject;
    ~SerialPort() override = default;

    // Opens COM `comPort` (1..4) with the module's line settings. On failure
    // returns false and leaves a short description in errorString().
    virtual bool open(int comPort) = 0;
    virtual QString errorString() const = 0;

    // Queue bytes for sending, in order, without waiting for the line.
    virtual void writeText(const QString &text) = 0;   // Windows-1252, one byte per character
    virtual void writeByte(quint8 value) = 0;
    virtual void writeBytes(const QByteArray &bytes) = 0;

    // The most recent port event; kEventReceive once characters have arrived.
    virtual int lastEvent() const = 0;
    // The next received character not read yet, or the empty text.
    virtual QString readText() = 0;

    // After failed(): whether the failure cost written bytes, i.e. whether
    // bytes of the last operation had not all left the port. False when the
    // line went away later, while the port sat idle. A port that cannot tell
    // says true.
    virtual bool failureLostData() const { return true; }

signals:
    // A write or read on the opened port failed (adapter pulled, line gone).
    // Emitted once per opening, however many errors the port reports.
    void failed(const QString &description);
};

using SerialPortFactory = std::function<std::unique_ptr<SerialPort>()>;

// COM n -> the device it opens: "COMn" on Windows, /dev/ttyS(n-1) on Linux.
QString defaultComDevice(int comPort);
using ComDeviceMapper = std::function<QString(int comPort)>;
