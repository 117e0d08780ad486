#pragma once
// The zoom commands' arithmetic, in whole per cent (50..500).
#include <QString>

namespace quillon {

constexpr int kZoomMinPercent = 50;
constexpr int kZoomMaxPercent = 500;

// Zoom out (direction -1) or in (+1) by ten per cent from a zoom factor.
int ZoomStepPercent(float sngLabelScale, int direction);
// The zoom box: its leading number as a whole percentage, clamped; 0 when the
// text does not start with a number.
int ZoomBoxPercent(const QString& text);
// What the zoom box shows for a zoom factor ("250%").
QString ZoomBoxText(float sngLabelScale);

} // namespace quillon
