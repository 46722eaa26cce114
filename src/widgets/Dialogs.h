#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>
#include <optional>

enum class DatabaseFailure;
class QDialog;
class QWidget;

// Every standard message box of the program goes through here: texts are always shown
// as plain text, and tests answer the boxes instead of a person.
namespace Dialogs {

struct Request
{
    // What asks: a standard box, the program's own message window (MessageWindow, OK only)
    // or the save dialog (text = the suggested path).
    enum class Kind
    {
        Box,
        Message,
        SaveFile
    };
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    // The button Enter presses; NoButton leaves the choice to the box.
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    Kind kind = Kind::Box;
};

// Shows a modal box and returns the button pressed.
QMessageBox::StandardButton message(QWidget* parent, const Request& request);
// OK box with a text and an icon; default title = the edition's title.
void inform(QWidget* parent, const QString& text, QMessageBox::Icon icon = QMessageBox::NoIcon,
            const QString& title = QString());
// Yes/No question; true on Yes. Questions before something that cannot be undone give
// No as the default button, so that Enter keeps everything.
bool askYesNo(QWidget* parent, const QString& text, const QString& title = QString(),
              QMessageBox::Icon icon = QMessageBox::NoIcon,
              QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// The program's error convention: title "ERROR", critical icon, OK; the first line is the
// error heading caption, then a blank line, "Procedure: " and the description.
void reportError(const QString& procedure, const QString& description, QWidget* parent = nullptr);
QString errorText(const QString& procedure, const QString& description);

// Why a database file of the learner's cannot be used just now, naming the file: a caption
// for the kind of failure, a line break and the path.
QString fileFailureText(DatabaseFailure failure, const QString& path);

// Window lifetimes around nested event loops. Screen readers and automation tools can
// press a button behind a modal window, so a handler may run while a child window's loop
// is still open; the window that owns that loop must not go away under it.
//
// True when a modal window other than widget's own window is open: a handler that opens a
// window, closes its own or changes what the open window works on returns at once then.
bool isBehindModal(const QWidget* widget);
// Runs a window made with new modally, then deletes it. Returns its result, or
// std::nullopt when the window was deleted while it ran (its owner went away): the caller
// must then return without touching its own members.
std::optional<int> runModal(QDialog* dialog);

// What a test answers: the button pressed, or for the save dialog the chosen path (empty:
// cancelled).
struct Answer
{
    Answer(QMessageBox::StandardButton b = QMessageBox::NoButton) : button(b) {}
    Answer(const QString& p) : path(p) {}
    QMessageBox::StandardButton button = QMessageBox::NoButton;
    QString path;
};
// The one replacement of the learner at every box, message window and save dialog: tests
// install a handler that sees each request and gives the answer. Tests of the whole
// program set PARLANTO_PRINT_MESSAGE_BOXES instead: each box is then printed as one line
// "message box: <text>" (line breaks as \n) and answered with its default button.
using Handler = std::function<Answer(const Request&)>;
void setHandlerForTests(Handler handler);
// The handler's answer to a request, or std::nullopt when no handler is installed (a
// person answers). MessageWindow sends its modal messages through here.
std::optional<Answer> handlerAnswer(const Request& request);
// Whether a box can be answered: false on the offscreen and minimal platforms (no display),
// where it would wait for ever, unless tests answer the boxes.
bool canShowBoxes();

// The standard save dialog, starting at suggestedPath; empty when cancelled. Tests answer it
// through the handler (Kind::SaveFile, the title and the suggested path as text).
QString saveFileName(QWidget* parent, const QString& title, const QString& suggestedPath,
                     const QString& filter);

} // namespace Dialogs
