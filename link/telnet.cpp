#include "link/telnet.h"

#include <QtEndian>

namespace telnet {

QByteArray escaped(const QByteArray &data)
{
    QByteArray out;
    out.reserve(data.size());
    for (char byte : data) {
        out.append(byte);
        if (static_cast<unsigned char>(byte) == kIac)
            out.append(byte);
    }
    return out;
}

QByteArray command(unsigned char verb, unsigned char option)
{
    const char bytes[] = {char(kIac), char(verb), char(option)};
    return QByteArray(bytes, sizeof bytes);
}

QByteArray subnegotiation(unsigned char option, const QByteArray &payload)
{
    const char start[] = {char(kIac), char(kSb), char(option)};
    const char end[] = {char(kIac), char(kSe)};
    return QByteArray(start, sizeof start) + escaped(payload) + QByteArray(end, sizeof end);
}

void Receiver::take(const QByteArray &bytes, QByteArray *data, QList<Command> *commands)
{
    for (char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        switch (m_state) {
        case State::Data:
            if (byte == kIac)
                m_state = State::Iac;
            else
                data->append(ch);
            break;
        case State::Iac:
            m_command = Command{byte, 0, {}};
            if (byte == kIac) {
                data->append(ch);   // a doubled 0xFF is one data byte
                m_state = State::Data;
            } else if (byte == kSb) {
                m_state = State::SbOption;
            } else if (byte >= kWill) {
                m_state = State::Option;
            } else {
                commands->append(m_command);   // NOP, GA, ...: nothing to answer
                m_state = State::Data;
            }
            break;
        case State::Option:
            m_command.option = byte;
            commands->append(m_command);
            m_state = State::Data;
            break;
        case State::SbOption:
            m_command.option = byte;
            m_state = State::SbPayload;
            break;
        case State::SbPayload:
            if (byte == kIac)
                m_state = State::SbIac;
            else if (m_command.payload.size() < kPayloadLimit)
                m_command.payload.append(ch);
            break;
        case State::SbIac:
            if (byte == kIac) {
                if (m_command.payload.size() < kPayloadLimit)
                    m_command.payload.append(ch);
                m_state = State::SbPayload;
            } else {
                // IAC SE ends it; any other command there ends it as well.
                commands->append(m_command);
                m_state = State::Data;
            }
            break;
        }
    }
}

} // namespace telnet

namespace {

using namespace telnet;

constexpr quint32 kBaudRate = 19200;
constexpr unsigned char kDataBits = 8, kNoParity = 1, kOneStopBit = 1, kNoFlowControl = 1;
constexpr unsigned char kPurgeReceived = 1;   // what the server received from the line
constexpr unsigned char kAcknowledgement = 100;

QByteArray baudRateValue()
{
    QByteArray value(4, '\0');
    qToBigEndian(kBaudRate, value.data());
    return value;
}

QByteArray comPort(unsigned char code, const QByteArray &value)
{
    return subnegotiation(kComPortOption, QByteArray(1, char(code)) + value);
}

QString optionName(unsigned char option)
{
    switch (option) {
    case kBinary: return QStringLiteral("BINARY");
    case kComPortOption: return QStringLiteral("COM-PORT-OPTION");
    case 1: return QStringLiteral("ECHO");
    case 3: return QStringLiteral("SUPPRESS-GO-AHEAD");
    default: return QStringLiteral("option %1").arg(option);
    }
}

QString verbName(unsigned char verb)
{
    switch (verb) {
    case kWill: return QStringLiteral("WILL");
    case kWont: return QStringLiteral("WONT");
    case kDo: return QStringLiteral("DO");
    case kDont: return QStringLiteral("DONT");
    default: return QStringLiteral("command %1").arg(verb);
    }
}

// The settings the module's line needs, each with the value a server must
// acknowledge.
struct LineSetting {
    Rfc2217Client::Code code;
    QByteArray value;
    const char *what;
    bool mustBeAcknowledged;
};

const QList<LineSetting> &lineSettings()
{
    static const QList<LineSetting> settings{
        {Rfc2217Client::SetBaudRate, baudRateValue(), "baud rate", true},
        {Rfc2217Client::SetDataSize, QByteArray(1, char(kDataBits)), "data bits", true},
        {Rfc2217Client::SetParity, QByteArray(1, char(kNoParity)), "parity", true},
        {Rfc2217Client::SetStopSize, QByteArray(1, char(kOneStopBit)), "stop bits", true},
        {Rfc2217Client::SetControl, QByteArray(1, char(kNoFlowControl)), "flow control", false},
        {Rfc2217Client::SetLineStateMask, QByteArray(1, '\0'), "line-state notifications", false},
        {Rfc2217Client::SetModemStateMask, QByteArray(1, '\0'), "modem-state notifications", false},
        {Rfc2217Client::PurgeData, QByteArray(1, char(kPurgeReceived)), "purge", true},
    };
    return settings;
}

QString valueText(const QByteArray &value)
{
    if (value.size() == 4)
        return QString::number(qFromBigEndian<quint32>(value.constData()));
    return QString::fromLatin1(value.toHex(' '));
}

} // namespace

QByteArray Rfc2217Client::start()
{
    m_notes << QStringLiteral("telnet: asking for BINARY both ways and COM-PORT-OPTION");
    return command(kWill, kBinary) + command(kDo, kBinary) + command(kWill, kComPortOption);
}

QByteArray Rfc2217Client::purgeRequest()
{
    return comPort(PurgeData, QByteArray(1, char(kPurgeReceived)));
}

QByteArray Rfc2217Client::baudRateQuery()
{
    return comPort(SetBaudRate, QByteArray(4, '\0'));
}

QByteArray Rfc2217Client::handle(const Receiver::Command &command)
{
    if (m_state == State::Failed)
        return {};
    if (m_state == State::Negotiating && ++m_commands > kCommandLimit) {
        fail(OpenCause::NotRfc2217,
             QStringLiteral("the server sent more than %1 telnet commands without finishing the negotiation")
                 .arg(kCommandLimit));
        return {};
    }
    if (command.verb == kSb) {
        if (command.option == kComPortOption && !command.payload.isEmpty()
            && static_cast<unsigned char>(command.payload[0]) >= kAcknowledgement)
            acknowledged(static_cast<unsigned char>(command.payload[0]) - kAcknowledgement, command.payload.mid(1));
        return {};
    }
    if (command.verb >= kWill)
        return answerOption(command.verb, command.option);
    return {};
}

QByteArray Rfc2217Client::refuseOnce(unsigned char verb, unsigned char option)
{
    // Each unwanted option is refused once: a server that asks again is
    // not answered again, so no two sides keep a loop going.
    std::array<bool, 256> &refused = verb == kDont ? m_refusedWill : m_refusedDo;
    if (std::exchange(refused[option], true))
        return {};
    m_notes << QStringLiteral("telnet: refusing %1").arg(optionName(option));
    return telnet::command(verb, option);
}

QByteArray Rfc2217Client::answerOption(unsigned char verb, unsigned char option)
{
    const bool wanted = option == kBinary || option == kComPortOption;
    if (m_state == State::Negotiating)
        m_notes << QStringLiteral("telnet: server %1 %2").arg(verbName(verb), optionName(option));
    switch (verb) {
    case kWill:
        // BINARY from the server's side we asked for; anything else it offers is refused.
        return option == kBinary ? QByteArray() : refuseOnce(kDont, option);
    case kDo:
        if (!wanted)
            return refuseOnce(kWont, option);
        return option == kComPortOption ? comPortAccepted() : QByteArray();
    case kWont:
    case kDont:
        if (wanted && m_state == State::Negotiating) {
            fail(OpenCause::NotRfc2217, option == kComPortOption
                     ? QStringLiteral("the server does not speak RFC 2217: it refused COM-PORT-OPTION and cannot set the line")
                     : QStringLiteral("the server refused telnet BINARY mode, which the module's bytes need"));
        }
        return {};
    default:
        return {};
    }
}

QByteArray Rfc2217Client::comPortAccepted()
{
    if (std::exchange(m_settingsSent, true))
        return {};
    QByteArray out;
    QStringList sent;
    for (const LineSetting &setting : lineSettings()) {
        out += comPort(setting.code, setting.value);
        sent << QStringLiteral("%1 %2").arg(QLatin1String(setting.what), valueText(setting.value));
    }
    m_notes << QStringLiteral("rfc2217: setting ") + sent.join(QStringLiteral(", "));
    return out;
}

void Rfc2217Client::acknowledged(unsigned char code, const QByteArray &value)
{
    // A server may answer the purge before the line settings: the flow
    // control's answer can come once the line is in use, and counts then too.
    if (m_state == State::Ready && code == SetBaudRate)
        ++m_baudRateAnswers;
    if (m_state == State::Failed || (m_state == State::Ready && code != SetControl))
        return;
    QByteArray applied = value;
    // sredird answers the baud rate as a C long: eight bytes on a 64-bit
    // machine, the value in the first four and zeros after them.
    if (code == SetBaudRate && applied.size() > 4 && applied.mid(4).count('\0') == applied.size() - 4)
        applied.truncate(4);
    for (const LineSetting &setting : lineSettings()) {
        if (setting.code != code)
            continue;
        // The masks' values are the server's business; a line setting must be ours.
        const bool isLineSetting = code <= SetControl;
        if (isLineSetting && applied != setting.value) {
            fail(OpenCause::LineRefused, QStringLiteral("the server applied %1 %2, not %3")
                                             .arg(QLatin1String(setting.what), valueText(applied), valueText(setting.value)));
            return;
        }
        m_acknowledged[code] = true;
        m_notes << QStringLiteral("rfc2217: server acknowledged %1 %2").arg(QLatin1String(setting.what), valueText(applied));
    }
    checkReady();
}

void Rfc2217Client::checkReady()
{
    for (const LineSetting &setting : lineSettings()) {
        if (setting.mustBeAcknowledged && !m_acknowledged[setting.code])
            return;
    }
    if (m_state == State::Ready)
        return;
    m_state = State::Ready;
    if (!m_acknowledged[SetControl])
        m_notes << QStringLiteral("rfc2217: no acknowledgement of the flow control (a device without modem lines); going on");
    m_notes << QStringLiteral("rfc2217: line set to 19200 8N1, no flow control");
}

void Rfc2217Client::fail(OpenCause cause, const QString &why)
{
    m_state = State::Failed;
    m_failureCause = cause;
    m_failure = why;
    m_notes << QStringLiteral("rfc2217: ") + why;
}
