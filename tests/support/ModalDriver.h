#pragma once

#include <QObject>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

namespace TestSupport {

// Runs open(), which shows a modal window of type Window under host, and once that window
// is up runs action on it as a person would, then closes it if it is still open.
// Returns whether the window stayed open after the action; empty if it never opened.
template <typename Window>
std::optional<bool> driveModal(QObject* host, const std::function<void(Window*)>& action,
                               const std::function<void()>& open)
{
    std::optional<bool> stayedOpen;
    QTimer timer; // stops with this function when the window did not open
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, host, [&] {
        auto* w = host->findChild<Window*>();
        if (!w || !w->isVisible())
            return;
        action(w);
        stayedOpen = w->isVisible();
        if (w->isVisible())
            w->reject();
    });
    timer.start(0);
    open();
    return stayedOpen;
}

} // namespace TestSupport
