#include "SubjectSelection.h"

#include "subjects/SubjectTree.h"

SubjectSelection::SubjectSelection(SubjectTree* tree, QObject* parent) : QObject(parent), m_tree(tree)
{
    connect(tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { TreeFolders_NodeClick(item); });
}

void SubjectSelection::TreeFolders_NodeClick(QTreeWidgetItem*) {}
