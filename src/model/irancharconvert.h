#pragma once
// Persian text to the scale's Iran System bytes and back.
#include <QString>

namespace quillon {

class IranCharConvert {
public:
    // A whole line of Unicode text to Iran System: every character of the result
    // carries one byte (its code point is the byte value, 0..255).
    QString Uni2IrSys(const QString& text) const;
    // One received byte (a one-character string whose code point is the byte) to Unicode.
    QString IrSys2Uni(const QString& oneByte) const;
};

} // namespace quillon
