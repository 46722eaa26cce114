#include "FocusedSelection.h"

#include <QAbstractItemView>
#include <QEvent>

namespace {

QColor blend(const QColor& a, const QColor& b, double share)
{
    return QColor::fromRgbF(float(a.redF() * share + b.redF() * (1 - share)),
                            float(a.greenF() * share + b.greenF() * (1 - share)),
                            float(a.blueF() * share + b.blueF() * (1 - share)));
}

class SelectionFollower : public QObject
{
public:
    explicit SelectionFollower(QAbstractItemView* view) : QObject(view), m_view(view) { apply(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type t = event->type();
        if (watched == m_view && (t == QEvent::FocusIn || t == QEvent::FocusOut || t == QEvent::ParentChange))
            apply();
        return QObject::eventFilter(watched, event);
    }

private:
    void apply()
    {
        // The window's colours, so that a palette set on the window later still counts.
        const QPalette from = m_view->parentWidget() ? m_view->parentWidget()->palette() : m_view->palette();
        QPalette p = m_view->palette();
        const bool focused = m_view->hasFocus();
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            const QColor highlight = from.color(QPalette::Active, QPalette::Highlight);
            p.setColor(group, QPalette::Highlight,
                       focused ? highlight
                               : blend(highlight, from.color(QPalette::Active, QPalette::Base), 0.3));
            p.setColor(group, QPalette::HighlightedText,
                       from.color(QPalette::Active, focused ? QPalette::HighlightedText : QPalette::Text));
        }
        m_view->setPalette(p);
    }

    QAbstractItemView* m_view;
};

} // namespace

namespace FocusedSelection {

void install(QAbstractItemView* view)
{
    view->installEventFilter(new SelectionFollower(view));
}

} // namespace FocusedSelection
