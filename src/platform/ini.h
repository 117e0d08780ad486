#pragma once
// The INI settings file, read and written line by line so that comments, other
// keys and values with commas stay exactly as the user wrote them.
#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace quillon {

// The value's text ("" when the file, the section or the key is missing).
// Sections and keys match regardless of case; blanks around the value and one
// pair of enclosing quotes are dropped; at most 254 characters, as the program
// has always read them.
QString ReadIniString(const QString& section, const QString& key, const QString& file);
// The same, on the file's bytes.
QString IniValue(const QByteArray& data, const QString& section, const QString& key);

// The number rule of the settings: the leading number of the text (0 when there
// is none), rounded half to even. A value beyond the 16-bit range is not a
// setting anyone meant and gives 0, like a missing one; *valid tells the two apart.
qint16 IniNumber(const QString& text, bool* valid = nullptr);
qint16 ReadIniNumber(const QString& section, const QString& key, const QString& file);

// Leading number of a text: blanks skipped, optional sign, figures, one ".",
// an exponent; 0 when there is none.
double LeadingNumber(QStringView text);
// Round half to even; *overflow is set (and 0 returned) outside the 16-bit range.
qint16 RoundToInt16(double v, bool* overflow = nullptr);

// Sets the key, keeping every other line of the file; creates the file or the
// section when missing. Atomic. False (after ReportError) when the file cannot
// be written or a name or value would break the file's lines.
bool WriteIniString(const QString& section, const QString& key, const QString& value, const QString& file);
// The file's bytes with the key set, as WriteIniString stores them; nothing when
// a name or value would break the file's lines.
std::optional<QByteArray> WithIniValue(const QByteArray& data, const QString& section, const QString& key,
                                       const QString& value);

} // namespace quillon
