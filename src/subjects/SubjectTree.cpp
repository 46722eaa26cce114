#include "SubjectTree.h"
#include "state/CaptionId.h"

#include "content/LoadingLog.h"
#include "content/WebPage.h"
#include "platform/ShownText.h"
#include "state/AppState.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectTitle.h"
#include "subjects/VirtualSubjectIndex.h"
#include "widgets/Dialogs.h"
#include "widgets/FocusedSelection.h"
#include "widgets/MessageWindow.h"
#include "widgets/Pictures.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QStringBuilder>
#include <QTimer>
#include <QUrl>

namespace {
using Kind = SubjectNode::Kind;
constexpr int FixedFolderCount = 4;
} // namespace

// Marks the tree as being filled. The loaders let events run after each item, so a
// rebuild asked for meanwhile (the editor closing, say) would delete the nodes the loader
// is filling: it is put off until the running build is over.
class SubjectTree::BuildGuard
{
public:
    explicit BuildGuard(SubjectTree* tree) : m_tree(tree) { ++m_tree->m_building; }
    ~BuildGuard()
    {
        if (--m_tree->m_building == 0 && m_tree->m_refreshPending) {
            m_tree->m_refreshPending = false;
            QTimer::singleShot(0, m_tree, &SubjectTree::refreshSubjects);
        }
    }
    BuildGuard(const BuildGuard&) = delete;
    BuildGuard& operator=(const BuildGuard&) = delete;

private:
    SubjectTree* m_tree;
};

SubjectTree::SubjectTree(QWidget* parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("TreeFolders"));
    FocusedSelection::install(this);
    setHeaderHidden(true);
    setFocusPolicy(Qt::StrongFocus);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    // A click opens and closes folders; a double click is for listening to a phrase.
    setExpandsOnDoubleClick(false);
    // The main window resets its hover states whenever the pointer moves over the tree.
    setMouseTracking(true);
    viewport()->setMouseTracking(true);

    connect(this, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { expandedOrCollapsed(item, true); });
    connect(this, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* item) { expandedOrCollapsed(item, false); });
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
                updateIcon(previous);
                updateIcon(current);
            });
}

// ---------------------------------------------------------------- building

void SubjectTree::createFolders()
{
    if (isBuilding())
        return;
    const Captions& cap = app().captions;
    setAccessibleName(cap(Caption::SubjectsAndPhrases));
    clear();
    addNode(nullptr, cap(Caption::InstalledSubjects),
            SubjectNode::makeFolder(SubjectNode::Folder::InstalledSubjects), ClosedFolder, NoImage, true);
    addNode(nullptr, cap(Caption::RandomSubject), SubjectNode::makeFolder(SubjectNode::Folder::RandomSubject),
            ClosedFolder, NoImage, true);
    addNode(nullptr, cap(Caption::RandomPhrases), SubjectNode::makeFolder(SubjectNode::Folder::RandomPhrases),
            ClosedFolder, NoImage, true);
    QTreeWidgetItem* review =
        addNode(nullptr, cap(Caption::ReviewSubject), SubjectNode::makeFolder(SubjectNode::Folder::Review),
                ClosedFolder, NoImage, true);
    // Said on hovering and by screen readers, whatever the count: what the folder holds.
    review->setToolTip(0, cap(Caption::ReviewNodeDescription));
    review->setData(0, Qt::AccessibleDescriptionRole, cap(Caption::ReviewNodeDescription));
    emit foldersCreated();
}

void SubjectTree::ensureFixedFolders()
{
    if (topLevelItemCount() < FixedFolderCount)
        createFolders();
}

void SubjectTree::loadSubjects()
{
    if (isBuilding())
        return;
    BuildGuard guard(this);
    ensureFixedFolders();
    QTreeWidgetItem* folder = installedFolder();
    qDeleteAll(folder->takeChildren());

    m_installedFiles = installedSubjectNames(app());
    QList<QTreeWidgetItem*> nodes;
    nodes.reserve(m_installedFiles.size());
    for (const QString& file : std::as_const(m_installedFiles)) {
        const QString title = properTitle(file, app().edition.InterfaceLanguage).trimmed();
        nodes << makeNode(title, SubjectNode::makeSubject(file), SubjectImage, SelectedSubjectImage);
        reportProgress(title);
    }
    folder->addChildren(nodes);
    addPlaceholderIfEmpty(folder);
    setCurrentItem(folder);
}

void SubjectTree::loadVirtualSubjects()
{
    if (isBuilding())
        return;
    BuildGuard guard(this);
    ensureFixedFolders();
    // Called again, it replaces the folders it made before instead of adding them twice.
    while (topLevelItemCount() > FixedFolderCount)
        delete takeTopLevelItem(FixedFolderCount);

    const QStringList files = virtualSubjectFiles(app().virtualSubjectsFolder, app().edition.LanguageCode);
    // Files unchanged since the last fill are not opened again.
    VirtualSubjectIndex index(app());
    index.readAhead(files);
    for (const QString& file : files) {
        // The folder joins the tree with its subjects (a collapsed folder looks the same).
        QTreeWidgetItem* folder = makeNode(virtualFolderTitle(file),
                                           SubjectNode::makeFolder(SubjectNode::Folder::VirtualFile, file),
                                           ClosedVirtualFolder, NoImage, true);
        QString error;
        const auto subjects = index.subjects(file, &error);
        if (subjects) {
            for (const VirtualSubject& subject : *subjects) {
                folder->addChild(makeNode(subject.name, SubjectNode::makeVirtualSubject(subject.nParent),
                                          VirtualSubjectImage, SelectedVirtualSubjectImage));
                reportProgress(subject.name);
            }
            addPlaceholderIfEmpty(folder);
        } else {
            // One damaged file must not hide the files after it: it stays visible, marked
            // as failed, and the learner is told which file it is.
            setImages(folder, FailedSubjectImage, FailedSubjectImage);
        }
        addTopLevelItem(folder);
        if (!subjects)
            Dialogs::reportError(QStringLiteral("Get_vSubjects"),
                                 app().captions(Caption::VirtualFileUnreadable) + QStringLiteral(" \"") +
                                     file + QStringLiteral("\"\n\n") + error,
                                 isVisible() ? this : nullptr);
    }
    index.save();
    m_virtualFilesRead = index.filesRead();
}

void SubjectTree::selectFile(const QString& fileName)
{
    if (fileName.isEmpty() || topLevelItemCount() < FixedFolderCount)
        return;
    QTreeWidgetItem* folder = installedFolder();
    for (int i = 0; i < folder->childCount(); ++i) {
        if (SubjectNode::of(folder->child(i)).file == fileName) {
            folder->setExpanded(true);
            setCurrentItem(folder->child(i));
            return;
        }
    }
    for (int i = FixedFolderCount; i < topLevelItemCount(); ++i) {
        if (SubjectNode::of(topLevelItem(i)).file == fileName) {
            setCurrentItem(topLevelItem(i));
            return;
        }
    }
}

void SubjectTree::refreshSubjects()
{
    if (isBuilding()) {
        m_refreshPending = true;
        return;
    }
    rebuild();
}

void SubjectTree::rebuild()
{
    createFolders();
    loadSubjects();
    loadVirtualSubjects();
}

void SubjectTree::reportProgress(const QString& name)
{
    const QString title = ShownText::cut(name, ShownText::NameLimit);
    if (MessageWindow::isShown())
        MessageWindow::setStatusText(title);
    // Also lets pending window events run. One allocation for the line: there is one for
    // each of thousands of subjects.
    LoadingLog::addLine(QString(app().captions(Caption::LoadingItem) % QLatin1Char(' ') % title));
}

void SubjectTree::addPlaceholderIfEmpty(QTreeWidgetItem* folder)
{
    if (folder->childCount() == 0)
        addNode(folder, app().captions(Caption::Empty), SubjectNode::makePlaceholder(), NoImage);
}

// ---------------------------------------------------------------- images

void SubjectTree::setImages(QTreeWidgetItem* item, int image, int selectedImage)
{
    if (!item)
        return;
    item->setData(0, ImageRole, image);
    item->setData(0, SelectedImageRole, selectedImage);
    updateIcon(item);
}

int SubjectTree::shownImage(const QTreeWidgetItem* item) const
{
    if (!item)
        return NoImage;
    const int selected = item->data(0, SelectedImageRole).toInt();
    if (item == currentItem() && selected != NoImage)
        return selected;
    return item->data(0, ImageRole).toInt();
}

QIcon SubjectTree::icon(int image)
{
    if (image <= NoImage || image > FailedSubjectImage)
        return QIcon();
    // Each picture is drawn once per tree, not once per node.
    if (!m_iconLoaded[image]) {
        m_icons[image] = Pictures::treeImage(image);
        m_iconLoaded[image] = true;
    }
    return m_icons[image];
}

void SubjectTree::updateIcon(QTreeWidgetItem* item)
{
    // A node being made (in no tree yet) takes its icon too.
    if (item && (item->treeWidget() == this || !item->treeWidget()))
        item->setIcon(0, icon(shownImage(item)));
}

QTreeWidgetItem* SubjectTree::addNode(QTreeWidgetItem* parent, const QString& text, const SubjectNode& node,
                                      int image, int selectedImage, bool bold)
{
    QTreeWidgetItem* item = makeNode(text, node, image, selectedImage, bold);
    if (parent)
        parent->addChild(item);
    else
        addTopLevelItem(item);
    return item;
}

QTreeWidgetItem* SubjectTree::makeNode(const QString& text, const SubjectNode& node, int image,
                                       int selectedImage, bool bold)
{
    // Made whole before it joins the tree: each change to a node in the tree is announced to
    // the view, which with thousands of subjects cost a sixth of the start-up.
    auto* item = new QTreeWidgetItem;
    // Names and phrases come from files: a node stays one sane line whatever they hold.
    item->setText(0, ShownText::cut(text, ShownText::NameLimit));
    SubjectNode::set(item, node);
    if (bold) {
        QFont f = item->font(0);
        f.setBold(true);
        item->setFont(0, f);
    }
    setImages(item, image, selectedImage);
    return item;
}

void SubjectTree::expandedOrCollapsed(QTreeWidgetItem* item, bool expanded)
{
    if (!SubjectNode::of(item).is(Kind::Folder))
        return;
    const int index = indexOfTopLevelItem(item);
    if (index < 0)
        return;
    // A virtual subject file that could not be read keeps its failed mark.
    if (item->data(0, ImageRole).toInt() == FailedSubjectImage)
        return;
    const int selected = item->data(0, SelectedImageRole).toInt();
    if (index >= FixedFolderCount)
        setImages(item, expanded ? OpenVirtualFolder : ClosedVirtualFolder, selected);
    else
        setImages(item, expanded ? OpenFolder : ClosedFolder, selected);
}

// ---------------------------------------------------------------- pointer and keyboard

bool SubjectTree::isPhrase(const QTreeWidgetItem* item)
{
    return item && item->parent() && SubjectNode::of(item).is(Kind::Phrase);
}

bool SubjectTree::hasPhraseMenu(const QTreeWidgetItem* item) const
{
    if (!isPhrase(item))
        return false;
    const QTreeWidgetItem* grandparent = item->parent()->parent();
    return grandparent && (grandparent == installedFolder() || grandparent == randomSubjectFolder());
}

void SubjectTree::handlePress(QTreeWidgetItem* item, bool rightButton, const QPoint& globalPos)
{
    if (!item)
        return;
    if (SubjectNode::of(item).is(Kind::Folder)) {
        emit phraseMenuAvailabilityChanged(false);
        return;
    }
    if (rightButton && hasPhraseMenu(item)) {
        // The menu acts on the selected phrase, so the phrase pressed becomes the selection.
        if (currentItem() != item)
            setCurrentItem(item);
        emit phraseMenuAvailabilityChanged(true);
        emit phraseMenuRequested(item, globalPos);
    }
}

void SubjectTree::mousePressEvent(QMouseEvent* event)
{
    QTreeWidget::mousePressEvent(event);
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    if (!item)
        item = currentItem();
    handlePress(item, event->button() == Qt::RightButton, event->globalPosition().toPoint());
}

void SubjectTree::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    // The pointer's right button was handled on press; this is the keyboard's menu key.
    if (event->reason() == QContextMenuEvent::Mouse)
        return;
    QTreeWidgetItem* item = currentItem();
    if (!item)
        return;
    handlePress(item, true, viewport()->mapToGlobal(visualItemRect(item).center()));
}

void SubjectTree::mouseMoveEvent(QMouseEvent* event)
{
    emit hovered();
    QTreeWidget::mouseMoveEvent(event);
}

void SubjectTree::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeWidget::mouseDoubleClickEvent(event);
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && item && item == currentItem() && isPhrase(item))
        emit listenRequested(item);
}

void SubjectTree::openSubjectsFolder()
{
    // The learner's own folder: the one a learner of an installed copy can add subjects to.
    const AppState& s = app();
    openWithDesktop(QUrl::fromLocalFile(s.learnerSubjectsFolder.isEmpty() ? s.installedSubjectsFolder
                                                                          : s.learnerSubjectsFolder));
}
