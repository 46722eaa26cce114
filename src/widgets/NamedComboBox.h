#pragma once

#include <QComboBox>

// A combo box that keeps its accessible name (what it is for) on the accessibility bus;
// the chosen entry is its value. Qt's own combo box on Linux shows the chosen entry as its
// name, so a screen reader would announce "Learners" instead of "View by".
class NamedComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit NamedComboBox(QWidget* parent = nullptr);
};
