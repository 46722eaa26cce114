#pragma once

#include <QDateTime>
#include <QSize>

#include <functional>
#include <optional>

class QApplication;
class WindowFlow;
class QCoreApplication;
class QWidget;

// The start-up sequence of the main window: edition, captions, folders, published
// settings, splash, settings, login window, contents, screen check and the weekly
// update check.
namespace Startup {

int run(QApplication& application, const QString& openedFile = QString());

// Runs the sequence on the flow's main window, the program folder set in app(). Returns false
// when the program must end (the learner refused a small screen, or an update asked to quit).
// openedFile: a subject file or virtual subject file given on the command line, added to
// the learner's subjects before the tree is built ("" for none).
bool start(WindowFlow& flow, const QString& openedFile = QString());

// Adds a file opened with the program to the learner's subjects after the program's own
// check: a refused file gets the usual message and is not copied; an existing file of the
// same name is replaced only when the learner says so. Returns the file name added ("" if
// none).
QString addOpenedFile(const QString& path, QWidget* parent = nullptr);

// False when the screen has fewer than 460,000 pixels and the learner answered No.
bool checkResolution(const QSize& screenPixels, QWidget* parent = nullptr);

// Loads Qt's own translations (the texts of standard buttons and dialogs: Yes, No, OK,
// Cancel) for the edition's interface language; English needs none. False when a language
// other than English has no translation installed.
bool installQtTranslations(QCoreApplication& application, const QString& interfaceLanguage);

// The screen size in device-independent pixels; tests give their own.
QSize screenSize();
void setScreenSizeForTests(std::optional<QSize> size);

} // namespace Startup
