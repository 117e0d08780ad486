#pragma once
// Printing and picture export of a label, through the same painter as the canvas.
#include "model/label.h"
#include "model/result.h"
#include "model/sampledata.h"
#include <QString>

class QPrinter;

namespace quillon {

// Page of the label's true size in millimetres, no margins, portrait.
// False when the label has no size.
bool SetUpPrinterForLabel(QPrinter& printer, const Label& label);
// Paints the label at the top-left of the printer's first page; the printer must
// already be set up (SetUpPrinterForLabel). False when the printer cannot paint.
// Printed and exported labels are drawn as they print with the sample item.
bool PrintLabel(QPrinter& printer, const Label& label, const SampleItem& sample);

// The label at `zoom` as a PNG file written atomically.
Result ExportLabelPng(const Label& label, double zoom, const QString& path, const SampleItem& sample);

} // namespace quillon
