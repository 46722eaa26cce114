#include "EditorTree.h"

#include "widgets/Pictures.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTreeWidgetItemIterator>

QString EditorTree::mimeType()
{
    return QStringLiteral("application/x-parlanto-installed-node");
}

EditorTree::EditorTree(Side side, QWidget* parent) : QTreeWidget(parent), m_side(side)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFocusPolicy(Qt::StrongFocus);
    setUniformRowHeights(true);
    // A click opens and closes folders; a double click is for hearing a phrase.
    setExpandsOnDoubleClick(false);
    // The scroll timer moves the virtual tree one line at a time.
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setAutoScroll(false);
    if (side == Side::Installed) {
        setDragEnabled(true);
        setDragDropMode(QAbstractItemView::DragOnly);
        setDefaultDropAction(Qt::CopyAction);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
    } else {
        setAcceptDrops(true);
        viewport()->setAcceptDrops(true);
        setDragDropMode(QAbstractItemView::DropOnly);
        setDropIndicatorShown(false); // the drop highlight shows the target instead
        setEditTriggers(QAbstractItemView::EditKeyPressed);
    }
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
                updateIcon(previous);
                updateIcon(current);
            });
}

// ---------------------------------------------------------------- nodes

QTreeWidgetItem* EditorTree::makeNode(const QString& text, const SubjectNode& node, int image,
                                      int selectedImage, bool bold, bool editable)
{
    auto* item = new QTreeWidgetItem();
    item->setText(0, text);
    SubjectNode::set(item, node);
    item->setData(0, ImageRole, image);
    item->setData(0, SelectedImageRole, selectedImage);
    item->setIcon(0, icon(image));
    if (bold) {
        QFont f = font();
        f.setBold(true);
        item->setFont(0, f);
    }
    if (editable)
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    return item;
}

QTreeWidgetItem* EditorTree::addNode(QTreeWidgetItem* parent, const QString& text, const SubjectNode& node,
                                     int image, int selectedImage, bool bold, bool editable)
{
    QTreeWidgetItem* item = makeNode(text, node, image, selectedImage, bold, editable);
    if (parent)
        parent->addChild(item);
    else
        addTopLevelItem(item);
    return item;
}

void EditorTree::setImages(QTreeWidgetItem* item, int image, int selectedImage)
{
    if (!item)
        return;
    item->setData(0, ImageRole, image);
    item->setData(0, SelectedImageRole, selectedImage);
    updateIcon(item);
}

int EditorTree::image(const QTreeWidgetItem* item)
{
    return item ? item->data(0, ImageRole).toInt() : 0;
}

int EditorTree::shownImage(const QTreeWidgetItem* item) const
{
    if (!item)
        return SubjectTree::NoImage;
    const int selected = item->data(0, SelectedImageRole).toInt();
    if (item == currentItem() && selected != SubjectTree::NoImage)
        return selected;
    return image(item);
}

QIcon EditorTree::icon(int image)
{
    if (image <= SubjectTree::NoImage || image > SubjectTree::FailedSubjectImage)
        return QIcon();
    // Each picture is drawn once per tree, not once per node.
    if (!m_iconLoaded[image]) {
        m_icons[image] = Pictures::treeImage(image);
        m_iconLoaded[image] = true;
    }
    return m_icons[image];
}

void EditorTree::updateIcon(QTreeWidgetItem* item)
{
    if (item && item->treeWidget() == this)
        item->setIcon(0, icon(shownImage(item)));
}

bool EditorTree::isBold(const QTreeWidgetItem* item)
{
    return item && item->font(0).bold();
}

bool EditorTree::isSubject(const QTreeWidgetItem* item)
{
    return item && !isBold(item) && isBold(item->parent());
}

bool EditorTree::isPhrase(const QTreeWidgetItem* item)
{
    return item && !isBold(item) && !isBold(item->parent());
}

bool EditorTree::isLoaded(const QTreeWidgetItem* item)
{
    return item && item->data(0, LoadedRole).toBool();
}

void EditorTree::setLoaded(QTreeWidgetItem* item)
{
    if (item)
        item->setData(0, LoadedRole, true);
}

QStringList EditorTree::allTexts() const
{
    QStringList texts;
    for (QTreeWidgetItemIterator it(const_cast<EditorTree*>(this)); *it; ++it)
        texts << (*it)->text(0);
    return texts;
}

QTreeWidgetItem* EditorTree::item(const QPersistentModelIndex& index) const
{
    return index.isValid() ? itemFromIndex(index) : nullptr;
}

void EditorTree::setDropHighlight(QTreeWidgetItem* item)
{
    if (item == m_dropHighlight)
        return;
    if (m_dropHighlight && m_dropHighlight->treeWidget() == this)
        m_dropHighlight->setData(0, Qt::BackgroundRole, QVariant());
    m_dropHighlight = item;
    if (item) {
        QColor c = palette().color(QPalette::Highlight);
        c.setAlpha(110);
        item->setBackground(0, c);
    }
}

// ---------------------------------------------------------------- drag and drop

QStringList EditorTree::mimeTypes() const
{
    return {mimeType()};
}

QMimeData* EditorTree::mimeData(const QList<QTreeWidgetItem*>& items) const
{
    if (m_side != Side::Installed || items.isEmpty())
        return nullptr;
    // The drop copies the node selected in the installed tree; the data only says that the
    // drag comes from this program.
    auto* data = new QMimeData();
    data->setData(mimeType(), QByteArray::number(QCoreApplication::applicationPid()));
    return data;
}

Qt::DropActions EditorTree::supportedDropActions() const
{
    // The item model offers the same actions for drags that start here: copying only.
    return Qt::CopyAction;
}

bool EditorTree::acceptsDrag(const QMimeData* data) const
{
    return m_side == Side::Virtual && data && data->hasFormat(mimeType()) &&
           data->data(mimeType()) == QByteArray::number(QCoreApplication::applicationPid());
}

void EditorTree::dragEnterEvent(QDragEnterEvent* event)
{
    if (!acceptsDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit dragMovedTo(event->position().toPoint());
}

void EditorTree::dragMoveEvent(QDragMoveEvent* event)
{
    if (!acceptsDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    const QPoint pos = event->position().toPoint();
    emit dragMovedTo(pos);
    // Empty space takes no drop; the moves keep coming, so scrolling goes on.
    if (itemAt(pos)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void EditorTree::dragLeaveEvent(QDragLeaveEvent* event)
{
    event->accept();
    emit dragLeft();
}

void EditorTree::dropEvent(QDropEvent* event)
{
    if (!acceptsDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit droppedAt(event->position().toPoint());
}

// ---------------------------------------------------------------- label editing

bool EditorTree::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    QTreeWidgetItem* node = itemFromIndex(index);
    if (m_side != Side::Virtual || !node || !(node->flags() & Qt::ItemIsEditable))
        return QTreeWidget::edit(index, trigger, event);
    if (trigger != AllEditTriggers && !(editTriggers() & trigger))
        return false;
    emit labelEditStarted(node);
    const bool started = QTreeWidget::edit(index, trigger, event);
    if (started)
        m_editIndex = index;
    return started;
}

void EditorTree::commitData(QWidget* editor)
{
    // The new text is not stored by the view: the editor window decides, after the edit
    // has closed, whether to keep it (a refusal shows a message and restarts the edit).
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line || !m_editIndex.isValid())
        return;
    const QPersistentModelIndex index = m_editIndex;
    const QString text = line->text();
    m_editIndex = QPersistentModelIndex();
    QMetaObject::invokeMethod(
        this, [this, index, text] { emit labelEdited(index, text); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------- pointer and keys

void EditorTree::mousePressEvent(QMouseEvent* event)
{
    emit activatedByUser();
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem* node = itemAt(pos);
    m_pressOnDecoration = node && pos.x() < visualItemRect(node).left();
    QTreeWidget::mousePressEvent(event);
    // Whatever the button, the node pressed becomes the selection, so a drag always starts
    // from it and the pop-up menu acts on it.
    if (node && currentItem() != node)
        setCurrentItem(node);
}

void EditorTree::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeWidget::mouseReleaseEvent(event);
    emit mouseReleased();
}

void EditorTree::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeWidget::mouseDoubleClickEvent(event);
    QTreeWidgetItem* node = itemAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && node && node == currentItem() && isPhrase(node))
        emit phraseDoubleClicked(node);
}

void EditorTree::keyPressEvent(QKeyEvent* event)
{
    if (state() != EditingState) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            emit enterPressed(currentItem());
            return;
        case Qt::Key_Delete:
            if (m_side == Side::Virtual) {
                event->accept();
                emit deletePressed();
                return;
            }
            break;
        default:
            break;
        }
    }
    QTreeWidgetItem* before = currentItem();
    QTreeWidget::keyPressEvent(event);
    if (currentItem() != before)
        emit currentMovedByKey(currentItem());
}

void EditorTree::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    QPoint at = event->globalPos();
    if (event->reason() != QContextMenuEvent::Mouse && currentItem())
        at = viewport()->mapToGlobal(visualItemRect(currentItem()).center());
    emit menuRequested(at);
}

void EditorTree::focusInEvent(QFocusEvent* event)
{
    QTreeWidget::focusInEvent(event);
    emit activatedByUser();
}
