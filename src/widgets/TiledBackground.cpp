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
    window->setAutoFillBackground(true);
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
    result.fill(QColor(0x1f, 0x3a, 0x5f));
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
    palette.setBrush(QPalette::Window, QBrush(render(m_window->size(), m_picture)));
    m_window->setPalette(palette);
}

bool TiledBackground::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Resize)
        apply();
    return QObject::eventFilter(watched, event);
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
