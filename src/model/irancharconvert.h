#pragma once
// Persian text to the scale's Iran System bytes and back.
//
// Bytes are written in logical order (first character first, as typed); the
// scale lays them out right to left itself. Each letter is shaped by its
// neighbours (isolated, initial, medial, final), lam followed by alef becomes
// the lam-alef byte, Arabic-Indic digits become Persian digits, ASCII passes
// unchanged. Reading gives the base letters, never presentation forms, so a
// shop name comes back as it was typed. What the chart cannot carry becomes "?";
// diacritics and the zero-width non-joiner are dropped.
#include <QHash>
#include <QString>
#include <array>

namespace quillon {

class IranCharConvert {
public:
    IranCharConvert();

    // A whole line of Unicode text to Iran System: every character of the result
    // carries one byte (its code point is the byte value, 0..255).
    QString Uni2IrSys(const QString& text) const;
    // One received byte (a one-character string whose code point is the byte) to Unicode.
    QString IrSys2Uni(const QString& oneByte) const;
    // The same for one byte, appended to out.
    void AppendIrSys2Uni(QString& out, quint8 byte) const;

private:
    std::array<QString, 128> m_decode;                   // byte - 0x80 -> base text
    QHash<char32_t, std::array<quint8, 4>> m_letterBytes; // base letter -> byte per form
    QHash<char32_t, quint8> m_plainBytes;                 // digits, punctuation, box drawing
};

} // namespace quillon
