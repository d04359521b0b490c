#pragma once
// Window and control geometry is designed in twips. The windows keep the
// designed proportions at 15 twips per pixel (4950 twips = 330 pixels).

#include <QPoint>
#include <QRect>
#include <cmath>

namespace qpt {

inline constexpr int kTwipsPerPixel = 15;

// Whole-number conversion that rounds halves to even.
inline long long roundHalfEven(double value)
{
    return static_cast<long long>(std::nearbyint(value));  // default mode: to nearest even
}

inline int twipsToPx(double twips) { return int(roundHalfEven(twips / kTwipsPerPixel)); }
inline double pxToTwips(double px) { return px * kTwipsPerPixel; }

inline QRect twipsRect(double left, double top, double width, double height)
{
    return QRect(twipsToPx(left), twipsToPx(top), twipsToPx(width), twipsToPx(height));
}

}  // namespace qpt
