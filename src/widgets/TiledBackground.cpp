#include "TiledBackground.h"

#include "platform/Twips.h"
#include "widgets/Pictures.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

namespace {
// Pictures are stored at 96 dpi: one pixel is 2540/96 hundredths of a millimetre.
int halfPhysicalSizeAsPixels(int pixels)
{
    const int hundredthsOfMm = (pixels * 2540 + 48) / 96;
    return std::max(1, Twips::toPixels(hundredthsOfMm / 2));
}
} // namespace

TiledBackground::TiledBackground(QWidget* window, const QPixmap& picture)
    : QObject(window), m_window(window), m_picture(picture)
{
}

void TiledBackground::install(QWidget* window, const QString& pictureName)
{
    auto* tiling = new TiledBackground(window, Pictures::background(pictureName));
    window->installEventFilter(tiling);
    useLightPalette(window, QBrush(plainBackground()));
    tiling->apply();
}

QSize TiledBackground::stepFor(const QSize& picture)
{
    return QSize(halfPhysicalSizeAsPixels(picture.width()), halfPhysicalSizeAsPixels(picture.height()));
}

QList<QPoint> TiledBackground::tilePositions(const QSize& area, const QSize& picture)
{
    QList<QPoint> positions;
    if (picture.isEmpty())
        return positions;
    const QSize step = stepFor(picture);
    for (int y = 0; y < area.height(); y += step.height()) {
        for (int x = 0; x < area.width(); x += step.width())
            positions << QPoint(x, y);
    }
    return positions;
}

QPixmap TiledBackground::render(const QSize& area, const QPixmap& picture)
{
    QPixmap result(area.expandedTo(QSize(1, 1)));
    result.fill(plainBackground());
    if (picture.isNull())
        return result;
    QPainter painter(&result);
    for (const QPoint& p : tilePositions(area, picture.deviceIndependentSize().toSize()))
        painter.drawPixmap(p, picture);
    return result;
}

void TiledBackground::apply()
{
    QPalette palette = m_window->palette();
    const QBrush brush(render(m_window->size(), m_picture));
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setBrush(group, QPalette::Window, brush);
    m_window->setPalette(palette);
}

bool TiledBackground::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Resize)
        apply();
    return QObject::eventFilter(watched, event);
}

QColor TiledBackground::plainBackground()
{
    return QColor(0xf4, 0xf6, 0xfa);
}

QPalette TiledBackground::lightPalette(const QBrush& window)
{
    QPalette p;
    const QColor text(0x10, 0x10, 0x10);
    const QColor disabledText(0x5f, 0x5f, 0x5f); // 5.5:1 on the lightest field
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        p.setBrush(group, QPalette::Window, window);
        p.setColor(group, QPalette::WindowText, disabled ? disabledText : ink());
        p.setColor(group, QPalette::Base, disabled ? QColor(0xee, 0xee, 0xee) : QColor(Qt::white));
        p.setColor(group, QPalette::AlternateBase, QColor(0xf0, 0xf3, 0xf8));
        p.setColor(group, QPalette::Text, disabled ? disabledText : text);
        p.setColor(group, QPalette::PlaceholderText, disabledText);
        p.setColor(group, QPalette::Button, QColor(0xe6, 0xe9, 0xee));
        p.setColor(group, QPalette::ButtonText, disabled ? disabledText : text);
        p.setColor(group, QPalette::BrightText, Qt::white);
        p.setColor(group, QPalette::Light, Qt::white);
        p.setColor(group, QPalette::Midlight, QColor(0xf2, 0xf2, 0xf2));
        p.setColor(group, QPalette::Mid, QColor(0xa0, 0xa6, 0xae));
        p.setColor(group, QPalette::Dark, QColor(0x6b, 0x72, 0x80));
        p.setColor(group, QPalette::Shadow, QColor(0x30, 0x30, 0x30));
        p.setColor(group, QPalette::Highlight, disabled ? QColor(0x8a, 0x96, 0xa8) : ink());
        p.setColor(group, QPalette::HighlightedText, Qt::white);
        p.setColor(group, QPalette::Link, QColor(0x1a, 0x4f, 0x9c));
        p.setColor(group, QPalette::LinkVisited, QColor(0x5a, 0x2d, 0x82));
        p.setColor(group, QPalette::ToolTipBase, QColor(0xff, 0xff, 0xdc));
        p.setColor(group, QPalette::ToolTipText, text);
    }
    // An unfocused view's selection is grey, so that two views never show the same blue row.
    p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0xd0, 0xd6, 0xe0));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, text);
    return p;
}

void TiledBackground::useLightPalette(QWidget* window, const QBrush& background)
{
    window->setPalette(lightPalette(background));
    window->setAutoFillBackground(true);
}

QColor TiledBackground::ink()
{
    return QColor(0x24, 0x4a, 0x7a);
}

void TiledBackground::setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    widget->setPalette(p);
}
