#pragma once
// The one painter of a label. The canvas, `quillon-convert render`, print preview
// and printing all draw through it, so what the user sees is what is exported.
#include "model/label.h"
#include "model/result.h"
#include "model/sampledata.h"
#include "platform/screenunits.h"
#include <QImage>
#include <QRectF>
#include <QSizeF>

class QPainter;

namespace quillon {

struct LabelPaintOptions {
    // Logical pixels per label millimetre (zoom x screen pixels per millimetre).
    double pxPerMM = 96.0 / kMMPerInch;
    // Screen millimetres per label millimetre; the character sizes of the captions
    // are given in screen millimetres.
    double zoom = 1.0;
    bool separator = true;   // the grey line 10 mm below the top edge
    int selected = -1;       // field whose handles and guides may be drawn
    bool handles = false;
    bool guides = false;
    double handleSizePx = 6; // side of one handle square
    // Skip this field (a field being painted elsewhere); -1 paints all.
    int skip = -1;
    // The editor's grid under the fields: its step in pixels (0: none; too dense to see: none).
    double gridStepPx = 0;
    // With a sample item, fields whose sample does not fit are outlined in red; with
    // `preview` too, every field is drawn as it prints with the item.
    const SampleItem* sample = nullptr;
    bool preview = false;
    bool markMisfits = true;   // off for what is printed or exported
};

// Fit of field i with the item, a barcode's modules taken from its real symbol.
FieldFit FieldFitOf(const Label& label, int i, const SampleItem& item);

// Field box in label millimetres from the top-left corner, as drawn. Works on a
// copy, so an N1 field's computed size is not written back.
FieldBox FieldBoxOf(const Label& label, int index);

// Handle k (0..7) of a box given in any unit; `w`, `h` the handle's size in that unit.
QRectF HandleRect(const QRectF& box, int k, double w, double h);

// Character width and height of a field's caption in screen millimetres at `zoom`.
QSizeF CaptionCharSize(const Label& label, int index, double zoom);
// The caption a field shows: the first text line of a TEXT or SHOPNAME field in
// use, else the catalogue name.
QString FieldCaption(const Label& label, int index);

// Paints the label with its top-left corner at the painter's origin: the label
// rectangle (white), the separator, every placed field, and on request the handles
// and guide lines of the selected field.
void PaintLabel(QPainter& p, const Label& label, const LabelPaintOptions& o);
// Paints only field i (its caption box), in the same coordinates.
void PaintField(QPainter& p, const Label& label, int index, const LabelPaintOptions& o);

// Logical DPI used for screen millimetres without a window: the primary screen's,
// or 96 when there is none or the platform is offscreen.
double RenderScreenDpi();
// The label at `zoom` as it appears on the screen (screen mm at RenderScreenDpi),
// one pixel wider and higher than the label, like the canvas. With a sample item
// the label is drawn as it prints with it: the preview, without the editor's aids.
QImage RenderLabelToImage(const Label& label, double zoom, const SampleItem* preview = nullptr);
// A PDF whose single page is the label's true size in millimetres; written atomically.
Result RenderLabelToPdf(const Label& label, const QString& path, const SampleItem* preview = nullptr);

} // namespace quillon
