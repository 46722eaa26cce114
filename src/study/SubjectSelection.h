#pragma once

#include <QObject>

class QTreeWidgetItem;
class SubjectTree;

// What a click on the subject tree does: folders open and close, the random folders draw,
// subjects show their phrases, a phrase is checked against its subject.
class SubjectSelection : public QObject
{
    Q_OBJECT
public:
    explicit SubjectSelection(SubjectTree* tree, QObject* parent = nullptr);
    void TreeFolders_NodeClick(QTreeWidgetItem* node);

private:
    SubjectTree* m_tree;
};
