#pragma once
// The telnet layer of a device server's port, and RFC 2217's COM-PORT-OPTION
// on top of it, as plain code on bytes: what the network port sends to set
// the module's line, and what it makes of what the server sends back. No
// socket here, so a fuzzer and the tests feed it directly.

#include "link/serialport.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>

namespace telnet {

inline constexpr unsigned char kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250, kSe = 240;
inline constexpr unsigned char kBinary = 0, kComPortOption = 44;

// `data` as it goes on a telnet connection: every 0xFF doubled.
QByteArray escaped(const QByteArray &data);
// IAC `verb` `option`.
QByteArray command(unsigned char verb, unsigned char option);
// IAC SB `option` `payload` IAC SE, the payload escaped.
QByteArray subnegotiation(unsigned char option, const QByteArray &payload);

// What a server sent, taken apart as it arrives in pieces: its data bytes
// (a doubled 0xFF undone) and its commands between them.
class Receiver {
public:
    struct Command {
        unsigned char verb = 0;    // kWill, kWont, kDo, kDont, kSb; another verb alone (NOP, GA)
        unsigned char option = 0;
        QByteArray payload;        // kSb: what came between the option and IAC SE
    };
    // The longest subnegotiation kept: RFC 2217's are a few bytes; more is
    // cut off rather than kept growing.
    static constexpr qsizetype kPayloadLimit = 64;

    // Appends the data in `bytes` to `data` and the commands to `commands`.
    void take(const QByteArray &bytes, QByteArray *data, QList<Command> *commands);

private:
    enum class State { Data, Iac, Option, SbOption, SbPayload, SbIac };
    State m_state = State::Data;
    Command m_command;
};

} // namespace telnet

// The client's side of RFC 2217: it asks for BINARY both ways and for
// COM-PORT-OPTION, then sets 19200 baud, 8 data bits, no parity, 1 stop bit
// and no flow control, silences the line-state and modem-state
// notifications, and purges what the server held from the line before. The
// line is ready once the server has acknowledged each value with the one it
// applied. A missing acknowledgement of the flow control alone is forgiven
// (ser2net gives none on a device without modem lines); a wrong value never.
class Rfc2217Client {
public:
    enum class State { Negotiating, Ready, Failed };
    // Commands a server may send before the line is ready; one that sends
    // more floods, and the opening fails rather than answer it for ever.
    static constexpr int kCommandLimit = 200;

    // What opens the negotiation.
    QByteArray start();
    // The reply to one of the server's commands (often nothing).
    QByteArray handle(const telnet::Receiver::Command &command);

    State state() const { return m_state; }
    // Failed: why, in English, and the kind of cause.
    QString failure() const { return m_failure; }
    OpenCause failureCause() const { return m_failureCause; }
    // What happened since the last call, for a trace.
    QStringList takeNotes() { return std::exchange(m_notes, {}); }

    // COM-PORT-OPTION's commands (the server answers each with 100 more).
    enum Code : unsigned char {
        SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, SetControl = 5,
        SetLineStateMask = 10, SetModemStateMask = 11, PurgeData = 12,
    };
    // The request to drop what the server holds from the line (PURGE-DATA 1).
    static QByteArray purgeRequest();
    // A request every server answers and that changes nothing: the current
    // baud rate (SET-BAUDRATE 0). Its answer proves the server has read
    // all that was sent before it.
    static QByteArray baudRateQuery();
    // The answers to it since the line was ready.
    int baudRateAnswers() const { return m_baudRateAnswers; }

private:
    QByteArray answerOption(unsigned char verb, unsigned char option);
    QByteArray comPortAccepted();
    void acknowledged(unsigned char code, const QByteArray &value);
    void fail(OpenCause cause, const QString &why);
    void checkReady();
    QByteArray refuseOnce(unsigned char verb, unsigned char option);

    State m_state = State::Negotiating;
    QString m_failure;
    OpenCause m_failureCause = OpenCause::Other;
    QStringList m_notes;
    int m_commands = 0;
    int m_baudRateAnswers = 0;
    bool m_settingsSent = false;
    std::array<bool, 13> m_acknowledged{};
    std::array<bool, 256> m_refusedWill{};   // options answered with DONT already
    std::array<bool, 256> m_refusedDo{};     // options answered with WONT already
};
