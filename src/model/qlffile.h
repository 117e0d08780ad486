#pragma once
// The program's own format file (*.QLF): comma-separated text, CR LF lines,
// strings in the ANSI code page.
#include "model/label.h"
#include "model/datafile.h"
#include "model/result.h"

namespace quillon {

enum class QlfError { None, Format, Read };

struct QlfReadResult {
    QlfError error = QlfError::None;
    QString message;   // description for Read errors
    bool ok() const { return error == QlfError::None; }
};

// Bytes of the file for the label (lines 1 to 4 and one line per field).
QByteArray FormatFileBytes(const Label& label);
// Characters a QLF string cannot carry (a double quote, line breaks): empty when none.
QString QlfForbiddenCharacters(const QString& text);
// True when every string of the label can be stored and read back.
bool LabelIsStorable(const Label& label, QString* why = nullptr);

// Writes the label atomically; the label is not changed (the caller sets the
// caption and clears the modified flag on success).
Result SaveToFile(const Label& label, const QString& strFileName, Sync sync = Sync::Now);

// Reads a whole file into `out` (which must have been made with the same tables).
// `out` is only meaningful when the result is ok; the caller replaces its label then.
QlfReadResult ParseFormatFile(const QByteArray& bytes, Label& out);
QlfReadResult OpenFromFile(const QString& strFileName, Label& out);
// OpenFromFile, then every field snapped into the label as the canvas draws it:
// the one reading that the window, the converter and the renderer share.
QlfReadResult OpenLabel(const QString& strFileName, Label& out);

// Number spelling of the format file.
QByteArray FormatSingle(float v);
QByteArray FormatDouble(double v);

} // namespace quillon
