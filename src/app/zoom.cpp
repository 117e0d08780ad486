#include "app/zoom.h"
#include "model/numberspelling.h"

namespace quillon {

int ZoomStepPercent(float sngLabelScale, int direction)
{
    const double step = direction < 0 ? -0.1 : 0.1;
    const int p = CInt((double(sngLabelScale) + step) * 10) * 10;
    return Clamp(p, kZoomMaxPercent, kZoomMinPercent);
}

int ZoomBoxPercent(const QString& text)
{
    const int p = CInt(Val(text) / 10) * 10;
    return Clamp(p, kZoomMaxPercent, kZoomMinPercent);
}

QString ZoomBoxText(float sngLabelScale)
{
    return QString::number(CInt(double(sngLabelScale) * 10) * 10) + QLatin1Char('%');
}

} // namespace quillon
