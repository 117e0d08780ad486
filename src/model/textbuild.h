#pragma once
// Building and reading the file texts in place: numbers and ANSI strings appended
// to one buffer instead of being made as temporary strings. Same output as the
// general routines (FormatSingle, ToAnsi, HexN ...), only without the allocations.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace quillon {

// v as printf's "%.<figures>g" writes it, exponent mark "E" ("1E+07"); zero and
// non-finite values as "0". figures is 1..17.
void AppendGeneral(QByteArray& out, double v, int figures);
// Decimal figures of v with its sign.
void AppendDecimal(QByteArray& out, qint64 v);

// The same into raw room of at least kMaxGeneral / kMaxDecimal bytes; they return
// the end of what they wrote.
constexpr int kMaxGeneral = 40;
constexpr int kMaxDecimal = 24;
char* WriteGeneral(char* p, double v, int figures);
char* WriteDecimal(char* p, qint64 v);

// Value of a decimal number (sign, figures, one point, exponent), rounded as strtod
// rounds it. The text must already have been checked to be such a number.
double DecimalToDouble(QByteArrayView text);

// ToAnsi and FromAnsi into an existing buffer / from a view. WriteAnsi needs room
// for two bytes per UTF-16 unit of the text.
void AppendAnsi(QByteArray& out, int codepage, QStringView text, bool* lossless = nullptr);
char* WriteAnsi(char* p, int codepage, QStringView text, bool* lossless = nullptr);
QString FromAnsiView(int codepage, QByteArrayView bytes);
// out += AnsiChar(codepage, code).
void AppendAnsiChar(QString& out, int codepage, int code);

// Upper-case hexadecimal of u, padded with "0" to width figures.
void AppendHexFigures(QString& out, quint64 u, int width);

} // namespace quillon
