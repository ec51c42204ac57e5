#include "link/tracingserialport.h"

#include "settings/codec.h"

#include <QIODevice>
#include <QStringList>

namespace {

constexpr int kBytesPerLine = 16;
// Received bytes that follow each other closer than this share a line.
constexpr double kReceivePauseSeconds = 0.005;

QString timeColumn(double seconds)
{
    return QStringLiteral("%1 s").arg(seconds, 9, 'f', 3);
}

// Printable ASCII as itself, everything else (frame bytes, codes) as '.'.
QString textColumn(const QByteArray &bytes)
{
    QString text;
    for (char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        text.append(byte >= 0x20 && byte <= 0x7E ? QChar(byte) : QChar(u'.'));
    }
    return text;
}

} // namespace

QString traceNoteLine(double seconds, const QString &text)
{
    return timeColumn(seconds) + QStringLiteral("  ") + text;
}

QString traceLines(double seconds, const QString &direction, const QByteArray &bytes)
{
    QStringList lines;
    for (qsizetype from = 0; from < bytes.size(); from += kBytesPerLine) {
        const QByteArray part = bytes.mid(from, kBytesPerLine);
        const QString hex = QString::fromLatin1(part.toHex(' ').toUpper());
        const QString lead = from == 0 ? timeColumn(seconds) + QStringLiteral("  ") + direction
                                       : QString(timeColumn(0).size() + 2, u' ') + QStringLiteral("..");
        lines.append(lead + QStringLiteral("  ") + hex.leftJustified(kBytesPerLine * 3 - 1)
                     + QStringLiteral("  |") + textColumn(part) + u'|');
    }
    return lines.join(u'\n');
}

TracingSerialPort::TracingSerialPort(std::unique_ptr<SerialPort> inner, QIODevice *log,
                                     const QElapsedTimer &clock, QObject *parent)
    : SerialPort(parent), m_inner(std::move(inner)), m_log(log), m_clock(clock)
{
    connect(m_inner.get(), &SerialPort::dataArrived, this, &SerialPort::dataArrived);
    connect(m_inner.get(), &SerialPort::failed, this, [this](const QString &description) {
        note(QStringLiteral("port failed: ") + description);
        emit failed(description);
    });
}

TracingSerialPort::~TracingSerialPort()
{
    flushReceived();
    if (m_log)
        note(QStringLiteral("port closed"));
}

bool TracingSerialPort::open(const QString &device)
{
    const bool opened = m_inner->open(device);
    noteOpening(opened);
    return opened;
}

void TracingSerialPort::openThen(const QString &device, const std::function<void(bool)> &done)
{
    m_inner->openThen(device, [this, done](bool opened) {
        noteOpening(opened);
        done(opened);
    });
}

void TracingSerialPort::noteOpening(bool opened)
{
    note(opened ? QStringLiteral("open %1").arg(m_inner->deviceName())
                : QStringLiteral("open %1 failed: %2").arg(m_inner->deviceName(), m_inner->errorString()));
}

void TracingSerialPort::writeBytes(const QByteArray &bytes)
{
    traced(bytes);
    m_inner->writeBytes(bytes);
}

QString TracingSerialPort::readText()
{
    const QString text = m_inner->readText();
    traceReceived(text);
    return text;
}

QString TracingSerialPort::readWaiting()
{
    const QString text = m_inner->readWaiting();
    traceReceived(text);
    return text;
}

void TracingSerialPort::traceReceived(const QString &text)
{
    if (text.isEmpty())
        return;
    const double now = seconds();
    if (!m_received.isEmpty()
        && (m_received.size() >= kBytesPerLine || now - m_receivedLast > kReceivePauseSeconds))
        flushReceived();
    if (m_received.isEmpty())
        m_receivedStart = now;
    m_received.append(cp1252::encode(text));
    m_receivedLast = now;
}

void TracingSerialPort::note(const QString &text)
{
    flushReceived();
    if (m_log)
        m_log->write((traceNoteLine(seconds(), text) + u'\n').toUtf8());
}

void TracingSerialPort::traced(const QByteArray &bytes)
{
    flushReceived();
    if (m_log && !bytes.isEmpty())
        m_log->write((traceLines(seconds(), QStringLiteral("TX"), bytes) + u'\n').toUtf8());
}

void TracingSerialPort::flushReceived()
{
    if (m_received.isEmpty())
        return;
    if (m_log)
        m_log->write((traceLines(m_receivedStart, QStringLiteral("RX"), m_received) + u'\n').toUtf8());
    m_received.clear();
}
