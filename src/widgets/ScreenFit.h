#pragma once

#include <QSize>

class QWidget;

// Windows on small screens (or large scale factors): a window's design size is a wish, the
// screen's room, in device-independent pixels, the limit.
namespace ScreenFit {
// Resizes window to wanted, or to the room its screen has where that is smaller.
void resize(QWidget* window, const QSize& wanted);
} // namespace ScreenFit
