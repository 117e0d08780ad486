#pragma once
// The shop's barcode formats and each label's choice among them, kept in the main
// database (tables BARCODE_FORMAT and LABEL_BARCODE_FORMAT, made by its seeds) so
// that every workstation sharing it previews the same symbols.
#include "model/result.h"
#include "model/sampledata.h"
#include <QList>
#include <QSqlDatabase>

namespace quillon {

// The formats by name; rows the program cannot use (unknown symbology, bad
// pattern) are left out and counted in `skipped`.
QList<BarcodeFormat> LoadBarcodeFormats(QSqlDatabase db, Result* result = nullptr, int* skipped = nullptr);
// Replaces every format in one transaction; a label whose format is gone keeps
// no choice. Refuses formats that CheckBarcodeFormat refuses or duplicate names.
Result SaveBarcodeFormats(QSqlDatabase db, const QList<BarcodeFormat>& formats);

// The format chosen for the label saved as `labelFile` (its name without folder;
// "" for none), and setting it ("" removes the choice).
QString LabelBarcodeFormat(QSqlDatabase db, const QString& labelFile);
Result SetLabelBarcodeFormat(QSqlDatabase db, const QString& labelFile, const QString& formatName);

} // namespace quillon
