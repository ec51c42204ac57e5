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
#include <optional>

// Why a port could not be opened, in the terms a technician can act on.
enum class OpenCause {
    Other,          // anything else the system said
    NotPresent,     // no such device (an adapter not plugged in, a wrong name)
    InUse,          // another program holds it (on a device server: another client)
    NoPermission,   // the user may not open it (not in the dialout group)
    // A port on the network:
    NameUnknown,    // the host's name does not resolve
    Refused,        // nothing listens on that port
    NoAnswer,       // no answer within the time allowed
    NotRfc2217,     // the server cannot set the line, or did not finish negotiating
    LineRefused,    // the server applied other line settings than the module's
    Tls,            // the TLS handshake failed: certificate, name, client certificate
    Closed,         // the server closed the connection at once
};

// What ended an operation on the serial line.
struct PortFailure {
    enum Kind {
        CannotOpen,   // the port could not be opened: nothing was sent
        LineFailed,   // the opened port failed (adapter pulled, line gone)
    };
    Kind kind = LineFailed;
    QString device;          // the device it was about ("/dev/ttyUSB0", "COM3")
    QString description;     // what the system said ("No such file or directory")
    // LineFailed: bytes written had not all left the port when it failed.
    bool lostWrites = true;
    // It was a device server's port (the details then speak of the network).
    bool atDeviceServer = false;
    OpenCause cause = OpenCause::Other;   // CannotOpen
    QString holder;          // InUse: the program that holds the port, when known
};

// The port's most recent event, by the codes of the module's own serial
// control: 2 once received characters are waiting.
enum class PortEvent { None = 0, Received = 2 };

class SerialPort : public QObject {
    Q_OBJECT
public:
    // The most received bytes a port keeps unread. A dump is under 1 KB; a
    // line that floods must not fill the memory.
    static constexpr qsizetype kReceiveLimit = 16 * 1024;

    using QObject::QObject;
    ~SerialPort() override = default;

    // Opens `device` ("/dev/ttyUSB0", "COM3") with the module's line
    // settings. On failure returns false and leaves a short description in
    // errorString().
    virtual bool open(const QString &device) = 0;
    // The same, for a port that may need time (one that connects over the
    // network): `done` is called with open()'s result, at once by default.
    virtual void openThen(const QString &device, const std::function<void(bool opened)> &done) { done(open(device)); }
    virtual QString errorString() const = 0;
    // The device the last open() tried ("/dev/ttyUSB0", "COM3").
    virtual QString deviceName() const = 0;
    // After a failed open(): why, as far as the port can tell.
    virtual OpenCause openCause() const { return OpenCause::Other; }
    virtual QString holder() const { return {}; }

    // Queues bytes for sending, in order, without waiting for the line.
    // The tool writes every frame in one call: the bytes on the line are
    // the contract, not how they were handed over.
    virtual void writeBytes(const QByteArray &bytes) = 0;

    // The most recent port event: Received once characters have arrived.
    virtual PortEvent lastEvent() const = 0;
    // Takes up, now, what the system already holds for the port but has not
    // handed on yet (the event loop was busy when it came): a first poll
    // that comes late must still find an answer that came in time.
    virtual void takeUpWaiting() {}
    // The next received character not read yet, or the empty text.
    virtual QString readText() = 0;
    // Every received character not read yet, at once.
    virtual QString readWaiting();

    // How far the bytes written have come. A local port's have left once
    // written; a port on the network's count only once the device server
    // has acknowledged them, since a line that dies silently swallows
    // whatever is still on its way.
    // A mark for everything written so far:
    virtual int writeMark() { return 0; }
    // Whether everything up to `mark` has reached the far end.
    virtual bool hasReached(int mark) { return mark >= 0; }
    // Makes sure the far end has everything written so far: `done` gets
    // nothing once it has (at once for a local port), or why not.
    using Confirmed = std::function<void(const std::optional<QString> &failure)>;
    virtual void confirmWritten(const Confirmed &done) { done(std::nullopt); }
    // Whether the far end is a device server (how messages count steps).
    virtual bool reachesDeviceServer() const { return false; }

    // After failed(): whether the failure cost written bytes, i.e. whether
    // bytes of the last operation had not all left the port. False when the
    // line went away later, while the port sat idle. A port that cannot tell
    // says true.
    virtual bool lostWrites() const { return m_lostWrites; }

protected:
    // The opened port failed: failed() is emitted once per opening, however
    // many errors the system reports, and from the event loop rather than
    // from inside the caller's write or the system's notifier, since the
    // receiver may show a modal box. False when this opening had already
    // failed; the caller closes its port when true.
    bool reportFailure(const QString &description, bool lostWrites);
    bool hasFailed() const { return m_failed; }
    // A new opening: it may fail again.
    void clearFailure() { m_failed = false; }

signals:
    // Characters have arrived (lastEvent() is now PortEvent::Received).
    void dataArrived();

    // A write or read on the opened port failed (adapter pulled, line gone).
    // Emitted once per opening, however many errors the port reports.
    void failed(const QString &description);

private:
    bool m_failed = false;
    bool m_lostWrites = true;
};

using SerialPortFactory = std::function<std::unique_ptr<SerialPort>()>;

// COM n -> the device it opens: "COMn" on Windows, /dev/ttyS(n-1) on Linux.
QString defaultComDevice(int comPort);
using ComDeviceMapper = std::function<QString(int comPort)>;

// A port that could not be opened: nothing was sent.
PortFailure openingFailure(const QString &device, const QString &description, OpenCause cause,
                           const QString &holder = {});

// The failure of an opened `port` that reported `description`.
PortFailure lineFailure(const SerialPort &port, const QString &description);

// What an opening gave: the open port, or why there is none.
struct PortOpening {
    std::unique_ptr<SerialPort> port;
    PortFailure failure;   // when there is no port
};
using PortOpened = std::function<void(PortOpening opening)>;

// Opens a fresh port to the module and hands it to `done`, or why it could
// not be opened. A local port has opened (or failed) before the call
// returns, so a run's timing is its own; one that must connect first
// reports later.
using PortOpener = std::function<void(const PortOpened &done)>;

// Opens `device` on `port`, a fresh object, and hands the outcome to `done`.
void openDeviceThen(std::unique_ptr<SerialPort> port, const QString &device, const PortOpened &done);
