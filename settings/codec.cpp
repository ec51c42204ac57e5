#include "settings/codec.h"

#include <array>

namespace cp1252 {
namespace {

// Unicode code points of the bytes 0x80..0x9F; the rest of the byte range
// is the same as Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The byte for a character, or -1 when Windows-1252 has none.
int byteFor(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int i = 0; i < int(kHighControls.size()); ++i) {
        if (kHighControls[i] == u)
            return 0x80 + i;
    }
    return -1;
}

} // namespace

QChar decodeByte(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return QChar(kHighControls[byte - 0x80]);
    return QChar(char16_t(byte));
}

bool canEncode(QChar c) { return byteFor(c) >= 0; }

bool canEncode(QStringView text)
{
    for (QChar c : text) {
        if (!canEncode(c))
            return false;
    }
    return true;
}

QByteArray encode(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar c : text) {
        const int b = byteFor(c);
        bytes.append(b >= 0 ? char(b) : '?');
    }
    return bytes;
}

QString decode(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char b : bytes)
        text.append(decodeByte(static_cast<unsigned char>(b)));
    return text;
}

QString takeCharacter(QByteArray &received)
{
    if (received.isEmpty())
        return {};
    const QString c(decodeByte(static_cast<unsigned char>(received.front())));
    received.remove(0, 1);
    return c;
}

QString takeAll(QByteArray &received)
{
    const QString all = decode(received);
    received.clear();
    return all;
}

} // namespace cp1252
