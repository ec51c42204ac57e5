#pragma once
// The module, the serial line and the .kvr files all work in single bytes:
// Windows-1252. This is the one place where texts become bytes and back.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace cp1252 {

// True when the character has a Windows-1252 byte, so it can reach the
// module and a file unchanged.
bool canEncode(QChar c);
bool canEncode(QStringView text);

// One byte per character. A character without a Windows-1252 byte becomes
// '?'; the window's text boxes refuse such characters, so this only guards
// text put in by code.
QByteArray encode(QStringView text);

// One character per byte. The five byte values that Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the control character
// of the same value, so every byte string survives decode + encode.
QString decode(QByteArrayView bytes);

QChar decodeByte(unsigned char byte);

// For a port's bytes received and not read yet: the first one taken off as
// its character (the empty text when there is none), or all of them.
QString takeCharacter(QByteArray &received);
QString takeAll(QByteArray &received);

} // namespace cp1252
