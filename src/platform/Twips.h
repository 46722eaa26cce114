#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Window layouts are designed in twips: 1440 per inch, so 15 twips are one
// device-independent pixel at 96 dpi. Qt scales the pixels on HiDPI screens.
namespace Twips {
constexpr int PerPixel = 15;
constexpr int toPixels(int twips) { return (twips + (twips >= 0 ? PerPixel / 2 : -PerPixel / 2)) / PerPixel; }
constexpr int fromPixels(int pixels) { return pixels * PerPixel; }
inline QSize size(int w, int h) { return QSize(toPixels(w), toPixels(h)); }
inline QPoint point(int x, int y) { return QPoint(toPixels(x), toPixels(y)); }
inline QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}
} // namespace Twips
