#include "Dialogs.h"
#include "state/CaptionId.h"

#include "platform/Database.h"
#include "platform/ShownText.h"
#include "state/AppState.h"

#include <QApplication>
#include <QPointer>

#include <cstdio>

#include <QFileDialog>

namespace {
Dialogs::Handler& handler()
{
    static Dialogs::Handler h;
    if (!h && qEnvironmentVariableIsSet("PARLANTO_PRINT_MESSAGE_BOXES")) {
        // Tests of the whole program: each box is a line on the standard output, answered
        // with its default button (or OK, or No) instead of waiting for a person.
        h = [](const Dialogs::Request& r) -> Dialogs::Answer {
            if (r.kind == Dialogs::Request::Kind::SaveFile)
                return QString(); // cancelled
            std::printf("message box: %s\n", qPrintable(QString(r.text).replace(QLatin1Char('\n'), "\\n")));
            std::fflush(stdout);
            if (r.defaultButton != QMessageBox::NoButton)
                return r.defaultButton;
            return r.buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::No;
        };
    }
    return h;
}
} // namespace

namespace Dialogs {

void setHandlerForTests(Handler h)
{
    handler() = std::move(h);
}

std::optional<Answer> handlerAnswer(const Request& request)
{
    if (!handler())
        return std::nullopt;
    return handler()(request);
}

QMessageBox::StandardButton message(QWidget* parent, const Request& request)
{
    Request r = request;
    // Texts from files and servers can be of any size: the box keeps within the screen.
    r.text = ShownText::message(r.text);
    r.title = ShownText::cut(r.title, ShownText::NameLimit);
    if (r.title.isEmpty())
        r.title =
            app().edition.EditionTitle.isEmpty() ? QStringLiteral("Parlanto") : app().edition.EditionTitle;
    if (handler())
        return handler()(r).button;
    // On the heap: the parent may be deleted while the box is open, and the box with it.
    auto* box = new QMessageBox(r.icon, r.title, r.text, r.buttons, parent);
    box->setTextFormat(Qt::PlainText); // texts from files and servers are never rich text
    // Addresses, folders and errors can be copied from the box.
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    if (r.defaultButton != QMessageBox::NoButton)
        box->setDefaultButton(r.defaultButton);
    const auto result = runModal(box);
    return result ? QMessageBox::StandardButton(*result) : QMessageBox::NoButton;
}

bool canShowBoxes()
{
    if (handler())
        return true;
    const QString platform = QGuiApplication::platformName();
    return !platform.isEmpty() && platform != QLatin1String("offscreen") &&
           platform != QLatin1String("minimal");
}

bool isBehindModal(const QWidget* widget)
{
    const QWidget* modal = QApplication::activeModalWidget();
    return modal && widget && modal != widget->window();
}

std::optional<int> runModal(QDialog* dialog)
{
    dialog->setAttribute(Qt::WA_DeleteOnClose, false); // deleted here, once its loop has ended
    QPointer<QDialog> guard(dialog);
    const int result = dialog->exec();
    if (!guard)
        return std::nullopt;
    delete dialog;
    return result;
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

QString fileFailureText(DatabaseFailure failure, const QString& path)
{
    Caption caption = Caption::FileUnusable;
    switch (failure) {
    case DatabaseFailure::Locked:
        caption = Caption::FileLocked;
        break;
    case DatabaseFailure::DiskFull:
        caption = Caption::DiskFull;
        break;
    case DatabaseFailure::AccessDenied:
        caption = Caption::AccessDenied;
        break;
    case DatabaseFailure::ReadOnly:
        caption = Caption::ReadOnly;
        break;
    case DatabaseFailure::DiskError:
        caption = Caption::DiskError;
        break;
    case DatabaseFailure::OutOfMemory:
        caption = Caption::OutOfMemory;
        break;
    default:
        break;
    }
    return app().captions(caption) + QLatin1Char('\n') + path;
}

QString saveFileName(QWidget* parent, const QString& title, const QString& suggestedPath,
                     const QString& filter)
{
    if (handler())
        return handler()({title, suggestedPath, QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::NoButton,
                          Request::Kind::SaveFile})
            .path;
    return QFileDialog::getSaveFileName(parent, title, suggestedPath, filter);
}

} // namespace Dialogs
