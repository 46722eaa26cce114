#include "LinkLabel.h"

#include <QKeyEvent>
#include <QMouseEvent>

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setFocusPolicy(Qt::StrongFocus);
}

void LinkLabel::setLink(const QString& link)
{
    m_link = link;
    setCursor(active() ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (!active())
        setUnderline(false);
}

void LinkLabel::setUnderline(bool on)
{
    QFont f = font();
    if (f.underline() == on)
        return;
    f.setUnderline(on);
    setFont(f);
}

void LinkLabel::enterEvent(QEnterEvent* event)
{
    setUnderline(active());
    QLabel::enterEvent(event);
}

void LinkLabel::leaveEvent(QEvent* event)
{
    if (!hasFocus())
        setUnderline(false);
    QLabel::leaveEvent(event);
}

void LinkLabel::focusInEvent(QFocusEvent* event)
{
    setUnderline(active());
    QLabel::focusInEvent(event);
}

void LinkLabel::focusOutEvent(QFocusEvent* event)
{
    setUnderline(false);
    QLabel::focusOutEvent(event);
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click && active())
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void LinkLabel::keyPressEvent(QKeyEvent* event)
{
    if (active() &&
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space)) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}
