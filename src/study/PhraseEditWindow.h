#pragma once

#include "subjects/SubjectNode.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidgetItem;
class SubjectTree;

// The phrase editor (frmEdit): changes the three texts of one phrase of an installed
// subject and shows them on its tree node. Opened modally by the administrator.
class PhraseEditWindow : public QDialog
{
    Q_OBJECT
public:
    // Edits the phrase of `node` (a phrase node of `tree`); the boxes start with its texts.
    PhraseEditWindow(SubjectTree* tree, QTreeWidgetItem* node, QWidget* parent = nullptr);

    // The phrase as its node stood when the editor opened.
    const SubjectNode& editedPhrase() const { return m_phraseNode; }

private:
    void onOkClicked();
    // Writes the boxes to the subject file; false with the reason when that failed.
    bool save(QString* error);
    bool nodeStillShown() const;

    QPointer<SubjectTree> m_tree;
    QTreeWidgetItem* m_node;
    SubjectNode m_phraseNode;
    QLineEdit* m_phrase = nullptr;
    QLineEdit* m_translation = nullptr;
    QLineEdit* m_translation2 = nullptr;
    QLabel* m_warning = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};
