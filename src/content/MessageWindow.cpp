#include "MessageWindow.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>

namespace {
QPointer<MessageWindow>& shared()
{
    static QPointer<MessageWindow> w;
    return w;
}
MessageWindow::ModalHandler& modalHandler()
{
    static MessageWindow::ModalHandler h;
    return h;
}
} // namespace

MessageWindow::MessageWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmMsgBox"));
    auto* layout = new QVBoxLayout(this);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("lblMsg"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setWordWrap(true);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("btnOK"));
    layout->addWidget(m_label);
    layout->addWidget(m_ok);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    setAttribute(Qt::WA_DeleteOnClose);
}

MessageWindow* MessageWindow::instance()
{
    if (!shared())
        shared() = new MessageWindow();
    return shared();
}

void MessageWindow::unload()
{
    if (shared())
        shared()->close();
}

bool MessageWindow::isShown()
{
    return shared() && shared()->isVisible();
}

void MessageWindow::showModal(const QString& text, int, QWidget*)
{
    if (modalHandler()) {
        modalHandler()(text);
        return;
    }
    MessageWindow* w = instance();
    w->m_label->setText(text);
    w->exec();
}

void MessageWindow::showStatus(const QString& text, int, int, const QString&)
{
    MessageWindow* w = instance();
    w->m_label->setText(text);
    w->show();
}

void MessageWindow::setStatusText(const QString& text)
{
    if (shared())
        shared()->m_label->setText(text);
}

void MessageWindow::setModalHandlerForTests(ModalHandler handler)
{
    modalHandler() = std::move(handler);
}
