#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// Every standard message box of the program goes through here: texts are always shown
// as plain text, and tests answer the boxes instead of a person.
namespace Dialogs {

struct Request
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};

// Shows a modal box and returns the button pressed.
QMessageBox::StandardButton message(QWidget* parent, const Request& request);
// OK box with a text and an icon; default title = the edition's title.
void inform(QWidget* parent, const QString& text, QMessageBox::Icon icon = QMessageBox::NoIcon,
            const QString& title = QString());
// Yes/No question; true on Yes.
bool askYesNo(QWidget* parent, const QString& text, const QString& title = QString(),
              QMessageBox::Icon icon = QMessageBox::NoIcon);

// The program's error convention: title "ERROR", critical icon, OK; the first line is the
// error heading caption, then a blank line, "Procedure: " and the description.
void reportError(const QString& procedure, const QString& description, QWidget* parent = nullptr);
QString errorText(const QString& procedure, const QString& description);

// Tests install a handler that sees each request and gives the answer.
using Handler = std::function<QMessageBox::StandardButton(const Request&)>;
void setHandlerForTests(Handler handler);

// The standard save dialog, starting at suggestedPath; empty when cancelled. Tests answer it
// with a handler that gets the title and the suggested path.
QString saveFileName(QWidget* parent, const QString& title, const QString& suggestedPath,
                     const QString& filter);
using SaveHandler = std::function<QString(const QString& title, const QString& suggestedPath)>;
void setSaveHandlerForTests(SaveHandler handler);

} // namespace Dialogs
