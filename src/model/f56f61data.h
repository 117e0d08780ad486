#pragma once
// Text data (F56, TEXT fields) and shop-name data (F61, SHOPNAME fields).
#include "model/label.h"
#include "model/datafile.h"
#include "model/result.h"

namespace quillon {

// Hexadecimal text of one line in the scale's encoding (code-page settings of the tables).
QString EncodeScaleText(const Tables& t, const QString& text);
// Text of a line read back from its hexadecimal bytes.
QString DecodeScaleText(const Tables& t, const QString& hex);

// The file's line for the fields of fieldType (10 or 11).
QString TextDataRecord(const Label& label, qint32 fieldType);
Result ExportTextData(const Label& label, const QString& strFileName, qint32 fieldType, Sync sync = Sync::Now);
// Reads a line into the label's fields of that type; returns the indices of the
// fields that received lines (for redrawing).
QList<int> ImportTextDataLine(Label& label, const QString& line, qint32 fieldType);
Result ImportTextData(Label& label, const QString& strFileName, qint32 fieldType, QList<int>* changed = nullptr);

// Characters of a text that the scale encoding cannot carry (written as "?").
QString UnencodableCharacters(const Tables& t, const QString& text);

} // namespace quillon
