#pragma once

#include <QHash>
#include <QImage>
#include <QPalette>
#include <QRect>

#include <algorithm>
#include <cmath>
#include <optional>

// The contrast of rendered text, as the accessibility guidelines measure it (4.5:1 for text),
// shared by the contrast checks of the launcher's windows and of the activities.
namespace Contrast {

inline double luminance(QRgb c)
{
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

inline double ratio(QRgb a, QRgb b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// How often each colour covers the area of the picture.
inline QHash<QRgb, int> colourCounts(const QImage& image, const QRect& area)
{
    QHash<QRgb, int> counts;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000];
    return counts;
}

// The colour that covers most of the area: its background.
inline QRgb commonest(const QHash<QRgb, int>& counts)
{
    QRgb common = counts.isEmpty() ? 0 : counts.constBegin().key();
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it)
        if (it.value() > counts.value(common))
            common = it.key();
    return common;
}

// The contrast of the text in an area of the picture: the background colours are those
// that cover at least a tenth of the area (a tiled picture has more than one), the text's
// colour is the pixel that stands out most from the commonest; the weakest pairing counts.
// Nothing is measured where no pixel differs from the background (no text drawn).
inline std::optional<double> ofText(const QImage& image, const QRect& area)
{
    const QHash<QRgb, int> counts = colourCounts(image, area);
    if (counts.isEmpty())
        return std::nullopt;
    const QRgb common = commonest(counts);
    QRgb text = common;
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it)
        if (ratio(it.key(), common) > ratio(text, common))
            text = it.key();
    if (text == common)
        return std::nullopt;
    const QRect r = area.intersected(image.rect());
    const int total = r.width() * r.height();
    double weakest = ratio(text, common);
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it)
        if (it.value() * 10 >= total)
            weakest = std::min(weakest, ratio(text, it.key()));
    return weakest;
}

inline QPalette highContrastPalette()
{
    QPalette p(Qt::white, Qt::black);
    p.setColor(QPalette::Base, Qt::black);
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::Button, Qt::black);
    p.setColor(QPalette::ButtonText, Qt::white);
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Highlight, Qt::yellow);
    p.setColor(QPalette::HighlightedText, Qt::black);
    return p;
}

} // namespace Contrast
