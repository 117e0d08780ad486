#include "app/zoom.h"
#include "model/numberspelling.h"
#include <algorithm>
#include <cmath>

namespace quillon {

int ZoomStepPercent(float sngLabelScale, int direction)
{
    const double step = direction < 0 ? -0.1 : 0.1;
    const int p = CInt((double(sngLabelScale) + step) * 10) * 10;
    return Clamp(p, kZoomMaxPercent, kZoomMinPercent);
}

int ZoomBoxPercent(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || !(t.at(0).isDigit() || t.at(0) == QLatin1Char('.')))
        return 0;
    const double v = Val(t);
    if (!std::isfinite(v))
        return 0;
    return int(std::lround(std::clamp(v, double(kZoomMinPercent), double(kZoomMaxPercent))));
}

QString ZoomBoxText(float sngLabelScale)
{
    return QString::number(CInt(double(sngLabelScale) * 100)) + QLatin1Char('%');
}

} // namespace quillon
