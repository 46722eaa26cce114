#pragma once

#include "editor/VirtualFolders.h"
#include "subjects/SubjectNode.h"

#include <QPersistentModelIndex>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class EditorTree;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class QTreeWidgetItem;

// The virtual subject editor (frmCustomSubject): the installed subjects on the left, the
// learner's virtual subject files (folders) and their virtual subjects on the right. The
// learner drags subjects and phrases across (or copies them with the keyboard), makes,
// renames and deletes folders and virtual subjects. Every change is written at once by
// the core (VirtualFolders, VirtualSubjectFile); the window only keeps the trees in step,
// reports what the core returns and says when it closes whether anything changed.
class VirtualSubjectEditor : public QWidget
{
    Q_OBJECT
public:
    // Shows the progress box for pauseSeconds, then loads and shows the editor. It deletes
    // itself when closed, after announcing whether the subjects changed (closed).
    static VirtualSubjectEditor* open(int pauseSeconds = 1);

    explicit VirtualSubjectEditor(QWidget* parent = nullptr);
    ~VirtualSubjectEditor() override;

    // Fills both trees (the window ignores input meanwhile).
    void load();

    const QStringList& installedFiles() const { return m_installedFiles; }
    QString OldLabel() const { return m_oldLabel; }
    int ScrollDirection() const { return m_scrollDirection; }

    // The selected node of the tree last pressed or focused.
    SubjectNode selectedNode() const;

    // The command handlers; the buttons, the pop-up menu and the keys run these.
    void onNewFolderClicked();
    void onNewSubjectClicked();
    void onRenameClicked();
    // Deletes the right tree's selected node, only while the right tree is the one in use
    // (never what the learner cannot see); a whole folder only after a question.
    void onDeleteClicked();
    // Brings back the newest deletion of a virtual subject or phrase made since the window
    // opened (the Undo button, Ctrl+Z and the menu).
    void onUndoClicked();
    void onDoneClicked();
    // Copies the selected node of the left tree to the selected node of the right tree,
    // by the rules of a drop.
    void onCopyClicked();

    // Top and bottom bands of the virtual tree where a hovering drag scrolls it, in twips.
    static constexpr int ScrollUpBandTwips = 100;
    static constexpr int ScrollDownBandTwips = 200;

signals:
    // The window closed; subjectsChanged: a virtual subject or folder was added, renamed or
    // deleted, so lists of subjects made before are out of date.
    void closed(bool subjectsChanged);

protected:
    void closeEvent(QCloseEvent* event) override;
    // Escape closes the window as Done does (a rename in progress takes it first).
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildWindow();
    void setCaptions();
    void loadInstalledSubjects();
    void loadVirtualFolders();
    bool loadInstalledPhraseNodes(QTreeWidgetItem* subject, bool expand);
    bool loadVirtualPhraseNodes(QTreeWidgetItem* subject, bool expand);
    void showLoaded(QTreeWidgetItem* subject, const QList<QTreeWidgetItem*>& phrases, bool expand);
    void onInstalledNodeClicked(QTreeWidgetItem* node, bool toggle);
    void onVirtualNodeClicked(QTreeWidgetItem* node, bool toggle);
    void setButtonsFor(QTreeWidgetItem* node);
    void setNewSubjectEnabled(bool enabled);
    // Delete acts on the right tree's selection, and only while that tree is the one in use.
    bool deleteTargetShown() const;
    void updateDeleteAndUndo();
    void onExpandedOrCollapsed(EditorTree* tree, QTreeWidgetItem* node, bool expanded);
    void toggleFolder(EditorTree* tree, QTreeWidgetItem* node);
    void onEnterPressed(EditorTree* tree, QTreeWidgetItem* node);
    void playSelectedPhrase();
    void showEditMenu(const QPoint& globalPos);

    void dragHover(const QPoint& pos);
    void dropAt(const QPoint& pos);
    void onScrollTimer();
    void stopDrag();
    void copyTo(QTreeWidgetItem* target);
    void copySubjectNode(QTreeWidgetItem* source, QTreeWidgetItem* target);
    void copyPhraseNode(QTreeWidgetItem* source, QTreeWidgetItem* target);

    void BeforeLabelEdit(QTreeWidgetItem* node);
    void AfterLabelEdit(const QPersistentModelIndex& index, const QString& text);
    void refuseLabel(QTreeWidgetItem* node, const QString& message);
    void onEditTimer();

    QString folderPath(const QTreeWidgetItem* folder) const;
    void selectFromCode(EditorTree* tree, QTreeWidgetItem* node);
    void removeNode(QTreeWidgetItem* node);
    void reportError(const QString& procedure, const QString& error);

    EditorTree* m_treeSubjects = nullptr;
    EditorTree* m_treeVirtual = nullptr;
    EditorTree* m_activeTree = nullptr; // the active-tree mark
    QLabel* m_lblCaption[2] = {nullptr, nullptr};
    QPushButton* m_btnNewFolder = nullptr;
    QPushButton* m_btnNewSubject = nullptr;
    QPushButton* m_btnRename = nullptr;
    QPushButton* m_btnDelete = nullptr;
    QPushButton* m_btnCopy = nullptr;
    QPushButton* m_btnUndo = nullptr;
    QPushButton* m_btnDone = nullptr;
    QMenu* m_mnuEdit = nullptr;
    QAction* m_mnuNewFolder = nullptr;
    QAction* m_mnuNew = nullptr;
    QAction* m_mnuDelete = nullptr;
    QAction* m_mnuRename = nullptr;
    QAction* m_mnuUndo = nullptr;
    VirtualFolders::DeletionHistory m_deletions;
    QTimer* m_scrollTimer = nullptr;
    QTimer* m_timerEdit = nullptr;

    QStringList m_installedFiles;
    QString m_oldLabel;
    QPersistentModelIndex m_editNode; // the node whose refused edit restarts
    QPoint m_dragPos;                 // DragX, DragY (in pixels of the tree's viewport)
    int m_scrollDirection = 0;
    bool m_closing = false;
    bool m_subjectsChanged = false; // announced by closed
};
