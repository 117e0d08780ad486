#pragma once
// Printing and picture export of a label, through the same painter as the canvas.
#include "model/label.h"
#include "model/result.h"
#include <QString>

class QPrinter;

namespace quillon {

// Page of the label's true size in millimetres, no margins, portrait.
// False when the label has no size.
bool SetUpPrinterForLabel(QPrinter& printer, const Label& label);
// Paints the label at the top-left of the printer's first page; the printer must
// already be set up (SetUpPrinterForLabel). False when the printer cannot paint.
bool PrintLabel(QPrinter& printer, const Label& label);

// The label as the canvas shows it at `zoom`, as a PNG file written atomically.
Result ExportLabelPng(const Label& label, double zoom, const QString& path);

} // namespace quillon
