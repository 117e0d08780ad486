#pragma once
// Millimetres (single precision) and printer dots (16-bit) of a scale model.
#include <QtGlobal>

namespace quillon {

// q = mm * 1000 / mmPerKDot computed in single precision, rounded half to even.
qint16 MMToDot(float mm, float mmPerKDot);
// dots * mmPerKDot / 1000 in single precision.
float DotToMM(float dots, float mmPerKDot);
// DotToMM(MMToDot(mm)).
float AdjustMMtoDot(float mm, float mmPerKDot);

} // namespace quillon
