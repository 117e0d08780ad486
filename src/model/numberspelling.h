#pragma once
// Numeric helpers with the rounding and parsing rules the label files and the
// scale depend on: banker's rounding into 16/32-bit integers, and the lenient
// "leading number" reading used for every typed or stored numeric text.
#include <QString>
#include <QStringView>
#include <QtGlobal>

namespace quillon {

// Round half to even, saturating at the 16-bit range; *overflow is set when it saturated.
qint16 CInt(double v, bool* overflow = nullptr);
// Round half to even, saturating at the 32-bit range.
qint32 CLng(double v, bool* overflow = nullptr);

// Leading number of a text: blanks skipped, optional sign, figures, one ".",
// an exponent (E or D), reading stops at the first other character; "&H" starts a
// hexadecimal and "&O" an octal number. No leading number gives 0. Never NaN/inf.
double Val(QStringView text);

// Leading hexadecimal figures of a text (no sign, no prefix); stops at the first
// non-hex character; empty gives 0. Reads at most 8 figures.
quint32 HexLeading(QStringView text);

// Leading decimal figures (no sign); none gives 0. Saturates at quint32 max.
quint32 DecLeading(QStringView text);

template <typename T> constexpr T Min(T a, T b) { return a < b ? a : b; }
template <typename T> constexpr T Max(T a, T b) { return a > b ? a : b; }
// Argument order is value, upper bound, lower bound; the lower bound wins when they cross.
template <typename T> constexpr T Clamp(T value, T high, T low) { return Max(Min(value, high), low); }

// "0" added on the left up to n characters; longer text comes back unchanged.
QString PadLeft(int n, const QString& text);
// Upper-case hexadecimal of v padded to n characters; negative 16-bit values as two's complement.
QString HexN(int n, qint64 v);
// Decimal figures of v (no sign) padded to n characters.
QString DecN(int n, qint64 v);

} // namespace quillon
