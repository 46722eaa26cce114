#pragma once

class QWidget;

// A window built on a plain QWidget (not a dialog or main window) is shown to screen readers
// as a filler; this makes such a window a frame, named by its title like any other window.
namespace AccessibleWindow {
// Marks the window; it must be a top-level plain QWidget subclass.
void expose(QWidget* window);
} // namespace AccessibleWindow
