#include "Dialogs.h"

#include "app/AppState.h"

namespace {
Dialogs::Handler& handler()
{
    static Dialogs::Handler h;
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
        r.title =
            app().edition.EditionTitle.isEmpty() ? QStringLiteral("Parlanto") : app().edition.EditionTitle;
    if (handler())
        return handler()(r);
    QMessageBox box(r.icon, r.title, r.text, r.buttons, parent);
    box.setTextFormat(Qt::PlainText); // texts from files and servers are never rich text
    if (r.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(r.defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

void inform(QWidget* parent, const QString& text, QMessageBox::Icon icon, const QString& title)
{
    message(parent, {title, text, icon, QMessageBox::Ok});
}

bool askYesNo(QWidget* parent, const QString& text, const QString& title, QMessageBox::Icon icon,
              QMessageBox::StandardButton defaultButton)
{
    return message(parent, {title, text, icon, QMessageBox::Yes | QMessageBox::No, defaultButton}) ==
           QMessageBox::Yes;
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

} // namespace Dialogs
