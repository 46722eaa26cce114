#pragma once

#include <QString>

#include <memory>

class MainWindow;
class WindowFlow;

// What the learners' window tests share: a fresh program in a temporary folder, and the
// clean-up after each test.
namespace WindowFixture {
// Resets the program's state with numbered captions, points its folders under root and
// writes the users template.
bool prepare(const QString& root, QString* error);
// Deletes login windows left open, then the window flow and the main window. When the program had ended it
// asked every event loop to quit; entering the application's loop once clears that, so the next test's modal
// windows run again.
void finish(std::unique_ptr<MainWindow>& main, std::unique_ptr<WindowFlow>& flow);
} // namespace WindowFixture
