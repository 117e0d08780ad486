#pragma once
// The screen's units in one place: twips (1/1440 inch, in which window placements
// and the canvas geometry are kept), millimetres, and pixels at a given resolution.
namespace quillon {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kMMPerInch = 25.4;
constexpr double kTwipsPerMM = kTwipsPerInch / kMMPerInch;

constexpr double PxPerMM(double dpi) { return dpi / kMMPerInch; }
constexpr double PxPerTwip(double dpi) { return dpi / kTwipsPerInch; }
constexpr double TwipsPerPx(double dpi) { return kTwipsPerInch / dpi; }

} // namespace quillon
