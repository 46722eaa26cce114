#pragma once

#include <QPersistentModelIndex>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class EditorTree;
class MainWindow;
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
// the core (VirtualFolders, VirtualSubjectFile) and sets SubjectsChanged; the window only
// keeps the trees in step and reports what the core returns.
class VirtualSubjectEditor : public QWidget
{
    Q_OBJECT
public:
    // Opens the editor from the main window: hides it, shows the progress box for
    // pauseSeconds, loads and shows the editor. Closing the editor rebuilds the main tree
    // when something changed and shows the main window again.
    static VirtualSubjectEditor* open(MainWindow* main, int pauseSeconds = 1);

    explicit VirtualSubjectEditor(MainWindow* main = nullptr, QWidget* parent = nullptr);
    ~VirtualSubjectEditor() override;

    // Fills both trees (the window ignores input meanwhile).
    void Form_Load();
    // The pause shown with the progress box while the main tree is rebuilt on closing.
    void setPauseSeconds(int seconds) { m_pauseSeconds = seconds; }

    EditorTree* TreeSubjects() const { return m_treeSubjects; }
    EditorTree* TreeVirtual() const { return m_treeVirtual; }
    QTimer* Timer1() const { return m_timer1; }
    QTimer* TimerEdit() const { return m_timerEdit; }
    QMenu* mnuEdit() const { return m_mnuEdit; }
    const QStringList& File1() const { return m_file1; }
    QString OldLabel() const { return m_oldLabel; }
    int ScrollDirection() const { return m_scrollDirection; }

    // Field n of the tag of the selected node of the tree last pressed or focused.
    QString Phrase_Field(int n) const;

    // The command handlers; the buttons, the pop-up menu and the keys run these.
    void btnNewFolder_Click();
    void btnNewSubject_Click();
    void btnRename_Click();
    void btnDelete_Click();
    void btnDone_Click();
    // Copies the selected node of the left tree to the selected node of the right tree,
    // by the rules of a drop.
    void btnCopy_Click();

    // Top and bottom bands of the virtual tree where a hovering drag scrolls it, in twips.
    static constexpr int ScrollUpBandTwips = 100;
    static constexpr int ScrollDownBandTwips = 200;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void setCaptions();
    void Get_Installed_Subjects();
    void Get_Virtual_Folders();
    bool Get_Installed_Phrases(QTreeWidgetItem* subject, bool expand);
    bool Get_Virtual_Phrases(QTreeWidgetItem* subject, bool expand);
    void showLoaded(QTreeWidgetItem* subject, const QList<QTreeWidgetItem*>& phrases, bool expand);
    void TreeSubjects_NodeClick(QTreeWidgetItem* node, bool toggle);
    void TreeVirtual_NodeClick(QTreeWidgetItem* node, bool toggle);
    void setButtonsFor(QTreeWidgetItem* node);
    void setNewSubjectEnabled(bool enabled);
    void onExpandedOrCollapsed(EditorTree* tree, QTreeWidgetItem* node, bool expanded);
    void toggleFolder(EditorTree* tree, QTreeWidgetItem* node);
    void onEnterPressed(EditorTree* tree, QTreeWidgetItem* node);
    void Play_Selected_Phrase();
    void showEditMenu(const QPoint& globalPos);

    void OLEDragOver(const QPoint& pos);
    void OLEDragDrop(const QPoint& pos);
    void Timer1_Timer();
    void stopDrag();
    void copyTo(QTreeWidgetItem* target);
    void Copy_Subject(QTreeWidgetItem* source, QTreeWidgetItem* target);
    void Copy_Phrase(QTreeWidgetItem* source, QTreeWidgetItem* target);

    void BeforeLabelEdit(QTreeWidgetItem* node);
    void AfterLabelEdit(const QPersistentModelIndex& index, const QString& text);
    void refuseLabel(QTreeWidgetItem* node, const QString& message);
    void TimerEdit_Timer();

    QString folderPath(const QTreeWidgetItem* folder) const;
    void selectFromCode(EditorTree* tree, QTreeWidgetItem* node);
    void removeNode(QTreeWidgetItem* node);
    void reportError(const QString& procedure, const QString& error);

    QPointer<MainWindow> m_main;
    EditorTree* m_treeSubjects = nullptr;
    EditorTree* m_treeVirtual = nullptr;
    EditorTree* m_activeTree = nullptr; // the active-tree mark
    QLabel* m_lblCaption[2] = {nullptr, nullptr};
    QPushButton* m_btnNewFolder = nullptr;
    QPushButton* m_btnNewSubject = nullptr;
    QPushButton* m_btnRename = nullptr;
    QPushButton* m_btnDelete = nullptr;
    QPushButton* m_btnCopy = nullptr;
    QPushButton* m_btnDone = nullptr;
    QMenu* m_mnuEdit = nullptr;
    QAction* m_mnuNewFolder = nullptr;
    QAction* m_mnuNew = nullptr;
    QAction* m_mnuDelete = nullptr;
    QAction* m_mnuRename = nullptr;
    QTimer* m_timer1 = nullptr;
    QTimer* m_timerEdit = nullptr;

    QStringList m_file1;
    QString m_oldLabel;
    QPersistentModelIndex m_editNode; // the node whose refused edit restarts
    QPoint m_dragPos;                 // DragX, DragY (in pixels of the tree's viewport)
    int m_scrollDirection = 0;
    int m_pauseSeconds = 1;
    bool m_closing = false;
};
