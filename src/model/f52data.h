#pragma once
// Scale format data (F52): one line of upper-case hexadecimal text per file,
// one record per label.
#include "model/label.h"
#include "model/datafile.h"
#include "model/result.h"
#include <QStringList>

namespace quillon {

// Entry text of one field.
QString FieldToHex(const Tables& t, const FieldRecord& record, qint32 fieldType, float mmPerKDot);
// The whole record of a label (no line end).
QString FormatRecord(const Label& label);
Result ExportFormatData(const Label& label, const QString& strFileName, Sync sync = Sync::Now);

// Fills one field from its entry text; returns false when the length did not match
// (the record is then unchanged).
bool HexToField(const Tables& t, const QString& piece, FieldRecord& record, qint32 fieldType, float mmPerKDot);
// Fills the label from one record. The format number is always taken; the rest
// only when the length field matches. Fields are normalised, nothing is selected
// and the modified flag is cleared. Returns false when the length check failed.
bool ImportFormatData(Label& label, const QString& strData);

// Splits the first line of a received format data file into records. "E2" or an
// empty line gives none; a record length that is not positive or runs past the end
// stops the split (the incomplete tail is reported in *trailing).
QStringList SplitFormatRecords(const QString& line, QString* trailing = nullptr);

} // namespace quillon
