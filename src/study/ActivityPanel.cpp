#include "ActivityPanel.h"

ActivityPanel::ActivityPanel(SubjectTree* tree, QWidget* parent) : QWidget(parent), m_tree(tree)
{
    setObjectName(QStringLiteral("picActs"));
}

void ActivityPanel::Get_Activities() {}
