#pragma once

#include "subjects/SubjectTree.h"

#include <QPersistentModelIndex>
#include <QTreeWidget>

#include <array>

// One of the two trees of the virtual subject editor. A node's kind is told by its bold
// flag alone: bold nodes are the left tree's root and the right tree's folders, the
// children of bold nodes are subjects, and every other node is a phrase. Node values
// (SubjectNode), images and their roles are those of the main window's subject tree.
//
// The installed side is a drag source; the virtual side takes drops (it reports them and
// keeps the drop highlight) and lets folders and virtual subjects be renamed in place.
class EditorTree : public QTreeWidget
{
    Q_OBJECT
public:
    enum class Side
    {
        Installed,
        Virtual,
    };
    static constexpr int ImageRole = SubjectTree::ImageRole;
    static constexpr int SelectedImageRole = SubjectTree::SelectedImageRole;
    // Set once a subject's phrases were read, so they are never read twice.
    static constexpr int LoadedRole = Qt::UserRole + 3;
    // The format a drag from the installed side carries: the process id, so that a drop
    // from another running copy of the program is refused.
    static QString mimeType();

    EditorTree(Side side, QWidget* parent = nullptr);
    Side side() const { return m_side; }

    // A node not yet in the tree (fill many at once with addChildren / addTopLevelItems).
    QTreeWidgetItem* makeNode(const QString& text, const SubjectNode& node, int image,
                              int selectedImage = SubjectTree::NoImage, bool bold = false,
                              bool editable = false);
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& text, const SubjectNode& node, int image,
                             int selectedImage = SubjectTree::NoImage, bool bold = false,
                             bool editable = false);
    void setImages(QTreeWidgetItem* item, int image, int selectedImage);
    static int image(const QTreeWidgetItem* item);
    // The picture the node shows now (its selected picture while it is current).
    int shownImage(const QTreeWidgetItem* item) const;

    static bool isBold(const QTreeWidgetItem* item);
    // Left root or right folder.
    static bool isFolder(const QTreeWidgetItem* item) { return isBold(item); }
    // Installed subject or virtual subject.
    static bool isSubject(const QTreeWidgetItem* item);
    static bool isPhrase(const QTreeWidgetItem* item);
    static bool isLoaded(const QTreeWidgetItem* item);
    static void setLoaded(QTreeWidgetItem* item);

    // Every node text, in tree order.
    QStringList allTexts() const;
    QTreeWidgetItem* item(const QPersistentModelIndex& index) const;
    QModelIndex index(QTreeWidgetItem* item) const { return indexFromItem(item); }

    // The virtual side's drop target, shown highlighted; null for none.
    QTreeWidgetItem* dropHighlight() const { return m_dropHighlight; }
    void setDropHighlight(QTreeWidgetItem* item);
    bool isEditingLabel() const { return state() == EditingState; }
    // The press that led to the last click fell on the expand mark, not on the node.
    bool pressWasOnDecoration() const { return m_pressOnDecoration; }

signals:
    // A mouse press or the keyboard focus: this tree's selection is the one meant.
    void activatedByUser();
    // The current node moved by a key (arrow keys, Home, End...).
    void currentMovedByKey(QTreeWidgetItem* item);
    void enterPressed(QTreeWidgetItem* item);
    void deletePressed();
    void phraseDoubleClicked(QTreeWidgetItem* item);
    void menuRequested(const QPoint& globalPos);
    // Virtual side: label editing of a node begins (its text before the edit) and ends.
    void labelEditStarted(QTreeWidgetItem* item);
    void labelEdited(const QPersistentModelIndex& index, const QString& text);
    // Virtual side: a drag from the installed side moves at pos (viewport coordinates),
    // leaves the tree, or is dropped at pos.
    void dragMovedTo(const QPoint& pos);
    void dragLeft();
    void droppedAt(const QPoint& pos);
    void mouseReleased();

protected:
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
    Qt::DropActions supportedDropActions() const override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void commitData(QWidget* editor) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    bool acceptsDrag(const QMimeData* data) const;
    QIcon icon(int image);
    void updateIcon(QTreeWidgetItem* item);

    Side m_side;
    std::array<QIcon, SubjectTree::FailedSubjectImage + 1> m_icons;
    std::array<bool, SubjectTree::FailedSubjectImage + 1> m_iconLoaded{};
    QTreeWidgetItem* m_dropHighlight = nullptr;
    QPersistentModelIndex m_editIndex;
    bool m_pressOnDecoration = false;
};
