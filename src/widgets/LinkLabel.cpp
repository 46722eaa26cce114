#include "LinkLabel.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {

// A link for screen readers: its role, its name and the action that follows it.
class LinkLabelAccessible : public QAccessibleWidget
{
public:
    explicit LinkLabelAccessible(LinkLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}
    LinkLabel* label() const { return static_cast<LinkLabel*>(widget()); }

    QAccessible::Role role() const override
    {
        return label()->isActive() ? QAccessible::Link : QAccessible::StaticText;
    }
    QString text(QAccessible::Text t) const override
    {
        QString s = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && s.isEmpty())
            s = label()->text();
        return s;
    }
    QStringList actionNames() const override
    {
        return label()->isActive() ? QStringList{pressAction()} : QStringList{};
    }
    void doAction(const QString& action) override
    {
        if (action == pressAction() && label()->isActive())
            emit label()->clicked();
    }
};

QAccessibleInterface* linkLabelFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("LinkLabel") && object && object->isWidgetType())
        return new LinkLabelAccessible(static_cast<LinkLabel*>(object));
    return nullptr;
}

} // namespace

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(linkLabelFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setFocusPolicy(Qt::StrongFocus);
}

void LinkLabel::setPressColours(const QColor& pressed, const QColor& released)
{
    m_pressedColour = pressed;
    m_releasedColour = released;
}

void LinkLabel::setTextColour(const QColor& colour)
{
    if (!colour.isValid())
        return;
    QPalette p = palette();
    p.setColor(QPalette::WindowText, colour);
    setPalette(p);
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
    if (m_pressed && active())
        setTextColour(m_pressedColour);
    QLabel::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    const bool wasPressed = m_pressed;
    m_pressed = false;
    if (wasPressed && active())
        setTextColour(m_releasedColour);
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
