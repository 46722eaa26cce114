#include "ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ScreenFit {

void resize(QWidget* window, const QSize& wanted)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    window->resize(screen ? wanted.boundedTo(screen->availableGeometry().size()) : wanted);
}

} // namespace ScreenFit
