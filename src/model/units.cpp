#include "model/units.h"
#include "model/numberspelling.h"

namespace quillon {

// Every step stays in float: the dot values the scale receives depend on it.
qint16 MMToDot(float mm, float mmPerKDot)
{
    const float scaled = mm * 1000.0f;
    const float q = scaled / mmPerKDot;
    return CInt(double(q));
}

float DotToMM(float dots, float mmPerKDot)
{
    const float product = dots * mmPerKDot;
    return product / 1000.0f;
}

float AdjustMMtoDot(float mm, float mmPerKDot) { return DotToMM(float(MMToDot(mm, mmPerKDot)), mmPerKDot); }

} // namespace quillon
