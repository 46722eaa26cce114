#include "NamedComboBox.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>

namespace {

class NamedComboBoxAccessible : public QAccessibleWidget
{
public:
    explicit NamedComboBoxAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return box()->currentText();
        return QAccessibleWidget::text(t);
    }
    // The list of entries, as the screen reader walks it.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && child->object() == box()->view() ? 0 : -1;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& action) override
    {
        if (action == showMenuAction() || action == pressAction())
            box()->showPopup();
    }
};

QAccessibleInterface* namedComboBoxFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("NamedComboBox") && object && object->isWidgetType())
        return new NamedComboBoxAccessible(static_cast<QComboBox*>(object));
    return nullptr;
}

} // namespace

NamedComboBox::NamedComboBox(QWidget* parent) : QComboBox(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(namedComboBoxFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
}
