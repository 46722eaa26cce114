#pragma once

#include <QObject>

class QTreeWidgetItem;
class SubjectTree;

// What a click on the subject tree does: folders open and close, the random folders draw,
// subjects show their phrases, a phrase is checked against its subject. Enter and Space on
// a node do the same as a click.
class SubjectSelection : public QObject
{
    Q_OBJECT
public:
    explicit SubjectSelection(SubjectTree* tree, QObject* parent = nullptr);
    void onNodeClicked(QTreeWidgetItem* node);

    // Adds the phrases of a subject node under it (once), as a click on it does.
    void loadPhrases(QTreeWidgetItem* subject);
    // Adds the phrases of an installed subject under the subject node (once).
    void loadSubjectPhrases(const QString& fileName, QTreeWidgetItem* node);
    // Adds the phrases of one virtual subject of a virtual subject file under its node (once).
    void loadVirtualPhrases(const QString& fileName, qint64 nParent, QTreeWidgetItem* node);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showLoadProblem(QTreeWidgetItem* node, const QString& fileName, const QString& error);

    SubjectTree* m_tree;
};
