#pragma once
// Barcode symbols for the preview: encoded by libzint, drawn on whole printer dots.
#include "model/sampledata.h"
#include <QBitArray>
#include <QRectF>
#include <QVector>

class QPainter;

namespace quillon {

struct BarcodeSymbol {
    int width = 0;              // modules across, without quiet zones
    int quiet = 0;              // modules of quiet zone on each side that the symbology asks for
    QVector<QBitArray> rows;    // one row for a linear symbol, `width` rows for a QR Code
    QString error;              // why the data could not be encoded
    bool ok() const { return width > 0 && error.isEmpty(); }
    int modulesAcross() const { return width + 2 * quiet; }
};

BarcodeSymbol EncodeBarcode(BarcodeKind kind, const QString& data);

// Draws the symbol into `box` (pixels) with modules of whole `dotPx` pixels,
// as wide as the box allows; false when even one dot per module is too wide.
bool DrawBarcode(QPainter& p, const BarcodeSymbol& symbol, const QRectF& box, double dotPx, const QString& text);

} // namespace quillon
