#pragma once
// The workstation's ANSI code page (Windows 1250, 1251, 1252, 1256, 936, ...):
// characters to ANSI codes and back. Linux has no such thing, so it is a setting.
#include <QByteArray>
#include <QString>

namespace quillon {

// True when the code page is known to the converter.
bool AnsiCodepageSupported(int codepage);
// Signed ANSI code of one character: 0..255 for a single byte, negative for a
// double-byte character (two bytes as big-endian two's complement). A character
// the code page cannot hold gives 63 ("?"); *ok is false then.
int AnsiCode(int codepage, char32_t ch, bool* ok = nullptr);
// The character of an ANSI code (inverse of AnsiCode); U+FFFD when undefined.
QString AnsiChar(int codepage, int code);
// Whole strings: text to bytes ("?" for what cannot be held) and back.
QByteArray ToAnsi(int codepage, const QString& text, bool* lossless = nullptr);
QString FromAnsi(int codepage, const QByteArray& bytes);
// True when the code page has double-byte characters and b is a lead byte.
bool IsLeadByte(int codepage, unsigned char b);

} // namespace quillon
