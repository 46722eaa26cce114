#include "MessageWindow.h"
#include "state/CaptionId.h"

#include "platform/Twips.h"
#include "state/AppState.h"
#include "widgets/Dialogs.h"
#include "widgets/TiledBackground.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

namespace {
// Design values in twips.
constexpr int LabelLeft = 360;
constexpr int LabelTop = 240;
constexpr int LabelWidth = 5055;
constexpr int LabelHeight = 2355;
constexpr int OkLeft = 1920;
constexpr int OkTop = 2640;
constexpr int OkWidth = 1890;
constexpr int OkHeight = 320;
constexpr int WindowWidth = LabelLeft + LabelWidth + LabelLeft;
constexpr int WindowHeight = OkTop + OkHeight + 360;
constexpr int DefaultPointSize = 12;

QPointer<MessageWindow>& shared()
{
    static QPointer<MessageWindow> w;
    return w;
}
} // namespace

MessageWindow::MessageWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmMsgBox"));
    setWindowTitle(app().edition.EditionTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedWidth(Twips::toPixels(WindowWidth));
    TiledBackground::install(this, QStringLiteral("message"));

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("lblMsg"));
    m_label->setTextFormat(Qt::PlainText); // texts from files and servers are never rich text
    m_label->setWordWrap(true);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label->setGeometry(Twips::rect(LabelLeft, LabelTop, LabelWidth, LabelHeight));
    // The system's font, as in every other window; only the size is the message's own.
    QFont f = QApplication::font(m_label);
    f.setPointSize(DefaultPointSize);
    m_label->setFont(f);
    TiledBackground::setTextColour(m_label, TiledBackground::ink());

    m_ok = new QPushButton(app().captions(Caption::OkButton), this);
    m_ok->setObjectName(QStringLiteral("btnOK"));
    m_ok->setAccessibleName(app().captions(Caption::OkButton));
    m_ok->setGeometry(Twips::rect(OkLeft, OkTop, OkWidth, OkHeight));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

MessageWindow* MessageWindow::instance()
{
    if (!shared())
        shared() = new MessageWindow();
    return shared();
}

// A closed box is never reused: the next message gets a fresh window.
void MessageWindow::forget()
{
    if (shared() == this)
        shared() = nullptr;
}

void MessageWindow::closeEvent(QCloseEvent* event)
{
    forget();
    QDialog::closeEvent(event);
}

void MessageWindow::done(int result)
{
    forget();
    QDialog::done(result);
    deleteLater();
}

void MessageWindow::unload()
{
    // A box the learner already closed is simply gone.
    if (shared())
        shared()->close();
}

bool MessageWindow::isShown()
{
    return shared() && shared()->isVisible();
}

namespace {
void prepare(MessageWindow* w, const QString& text, int fontPointSize, int heightTwips)
{
    w->lblMsg()->setText(text);
    w->lblMsg()->setAccessibleName(text);
    QFont f = w->lblMsg()->font();
    f.setPointSize(fontPointSize > 0 ? fontPointSize : DefaultPointSize);
    w->lblMsg()->setFont(f);
    w->setFixedHeight(Twips::toPixels(heightTwips));
    // A status box ends above the OK button: the button is out of reach, also for the keyboard.
    w->btnOK()->setVisible(heightTwips > OkTop);
    w->setAccessibleName(text);
}
} // namespace

void MessageWindow::showModal(const QString& text, int fontPointSize, QWidget* parent)
{
    // Tests answer the message through the one handler of every box.
    if (Dialogs::handlerAnswer({app().edition.EditionTitle, text, QMessageBox::NoIcon, QMessageBox::Ok,
                                 QMessageBox::Ok, Dialogs::Request::Kind::Message}))
        return;
    MessageWindow* w = instance();
    if (parent && w->parentWidget() != parent)
        w->setParent(parent, w->windowFlags());
    prepare(w, text, fontPointSize, WindowHeight);
    w->setWindowModality(Qt::ApplicationModal);
    w->btnOK()->setFocus();
    w->exec();
}

void MessageWindow::showStatus(const QString& text, int heightTwips, int fontPointSize, const QString& title)
{
    MessageWindow* w = instance();
    prepare(w, text, fontPointSize, heightTwips > 0 ? heightTwips : WindowHeight);
    w->setWindowTitle(title.isEmpty() ? app().edition.EditionTitle : title);
    w->setWindowModality(Qt::NonModal);
    w->show();
    w->raise();
}

void MessageWindow::setStatusText(const QString& text)
{
    if (shared()) {
        shared()->m_label->setText(text);
        shared()->m_label->setAccessibleName(text);
    }
}
