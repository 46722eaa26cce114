#pragma once

#include <QWidget>

class SubjectTree;

// The right side of the main window: one picture button per activity program found in
// the activities folder, and the launch of an activity on the subject chosen in the tree.
class ActivityPanel : public QWidget
{
    Q_OBJECT
public:
    ActivityPanel(SubjectTree* tree, QWidget* parent = nullptr);
    void Get_Activities();

private:
    SubjectTree* m_tree;
};
