#include "Dialogs.h"

#include "app/AppState.h"

#include <QFileDialog>

namespace {
Dialogs::Handler& handler()
{
    static Dialogs::Handler h;
    return h;
}
Dialogs::SaveHandler& saveHandler()
{
    static Dialogs::SaveHandler h;
    return h;
}
} // namespace

namespace Dialogs {

void setHandlerForTests(Handler h)
{
    handler() = std::move(h);
}

QMessageBox::StandardButton message(QWidget* parent, const Request& request)
{
    Request r = request;
    if (r.title.isEmpty())
        r.title = app().edition.EditionTitle.isEmpty() ? QStringLiteral("Parlanto") : app().edition.EditionTitle;
    if (handler())
        return handler()(r);
    QMessageBox box(r.icon, r.title, r.text, r.buttons, parent);
    box.setTextFormat(Qt::PlainText); // texts from files and servers are never rich text
    return QMessageBox::StandardButton(box.exec());
}

void inform(QWidget* parent, const QString& text, QMessageBox::Icon icon, const QString& title)
{
    message(parent, {title, text, icon, QMessageBox::Ok});
}

bool askYesNo(QWidget* parent, const QString& text, const QString& title, QMessageBox::Icon icon)
{
    return message(parent, {title, text, icon, QMessageBox::Yes | QMessageBox::No}) == QMessageBox::Yes;
}

QString errorText(const QString& procedure, const QString& description)
{
    return app().captions.errorHeading() + QStringLiteral("\n\n") + procedure + QStringLiteral(": ") +
           description;
}

void reportError(const QString& procedure, const QString& description, QWidget* parent)
{
    message(parent, {QStringLiteral("ERROR"), errorText(procedure, description), QMessageBox::Critical,
                     QMessageBox::Ok});
}

QString saveFileName(QWidget* parent, const QString& title, const QString& suggestedPath,
                     const QString& filter)
{
    if (saveHandler())
        return saveHandler()(title, suggestedPath);
    return QFileDialog::getSaveFileName(parent, title, suggestedPath, filter);
}

void setSaveHandlerForTests(SaveHandler h)
{
    saveHandler() = std::move(h);
}

} // namespace Dialogs
