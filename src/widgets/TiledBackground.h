#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QSize>

class QWidget;

// Paints a window's background picture in overlapping tiles over its whole area
// (TileBackground). The steps are half the picture's physical size in hundredths of a
// millimetre, taken as twips: a little less than the drawn picture, so the tiles overlap.
class TiledBackground : public QObject
{
    Q_OBJECT
public:
    // Installs the tiling on a window; the picture is Pictures::background(name). Without
    // a picture the window gets a plain dark background so its white texts stay readable.
    static void install(QWidget* window, const QString& pictureName);

    // The step between tiles, in pixels, for a picture of the given size in pixels.
    static QSize stepFor(const QSize& picture);
    // The top-left corners of every tile over an area, rows first.
    static QList<QPoint> tilePositions(const QSize& area, const QSize& picture);
    // The whole background of an area.
    static QPixmap render(const QSize& area, const QPixmap& picture);

    // The text colour readable on the program's light background pictures.
    static QColor ink();
    static void setTextColour(QWidget* widget, const QColor& colour);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TiledBackground(QWidget* window, const QPixmap& picture);
    void apply();
    QWidget* m_window;
    QPixmap m_picture;
};
