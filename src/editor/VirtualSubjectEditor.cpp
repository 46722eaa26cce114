#include "VirtualSubjectEditor.h"
#include "state/CaptionId.h"

#include "editor/EditorTree.h"
#include "editor/VirtualFolders.h"
#include "platform/Files.h"
#include "platform/Twips.h"
#include "state/AppState.h"
#include "study/PhraseMenu.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectProblem.h"
#include "subjects/SubjectTitle.h"
#include "subjects/SubjectTree.h"
#include "subjects/VirtualSubjectIndex.h"
#include "widgets/AccessibleWindow.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"
#include "widgets/ScreenFit.h"
#include "widgets/TiledBackground.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

using Img = SubjectTree::Image;
constexpr int MenuMargin = 8; // pixels kept between the edit menu and the screen edge

QString caption(Caption id)
{
    return app().captions(id);
}

// The loaders report each item in the progress box; they write it and let events run at
// most once per frame, so filling a large tree costs no more than its nodes.
class Progress
{
public:
    void report(const QString& text)
    {
        if (m_clock.isValid() && m_clock.elapsed() < 16)
            return;
        MessageWindow::setStatusText(text);
        processPendingEvents();
        m_clock.restart();
    }

private:
    QElapsedTimer m_clock;
};

// Input is ignored while a loader runs; the window is enabled again on every way out, and
// the keyboard focus goes back where it was (disabling a window drops it).
class DisabledWhile
{
public:
    explicit DisabledWhile(QWidget* w) : m_w(w), m_focus(QApplication::focusWidget())
    {
        m_w->setEnabled(false);
    }
    ~DisabledWhile()
    {
        if (!m_w)
            return;
        m_w->setEnabled(true);
        if (m_focus && m_w->isAncestorOf(m_focus))
            m_focus->setFocus();
    }
    DisabledWhile(const DisabledWhile&) = delete;
    DisabledWhile& operator=(const DisabledWhile&) = delete;

private:
    QPointer<QWidget> m_w;
    QPointer<QWidget> m_focus;
};

QPushButton* makeButton(QWidget* parent, const char* name)
{
    auto* b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setMinimumHeight(Twips::toPixels(400));
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

bool isUnder(const QTreeWidgetItem* node, const QTreeWidgetItem* ancestor)
{
    for (; node; node = node->parent())
        if (node == ancestor)
            return true;
    return false;
}

// A phrase of a virtual subject as the editor shows it: where it comes from and its own row.
SubjectNode virtualPhraseNode(const VirtualPhrase& p)
{
    SubjectNode node =
        SubjectNode::makePhrase(p.tfilename, p.phraseNo, p.tPhrase, p.tTranslation, p.tTranslation2);
    node.rowKey = p.rowKey;
    return node;
}

} // namespace

// ---------------------------------------------------------------- opening and closing

VirtualSubjectEditor* VirtualSubjectEditor::open(int pauseSeconds)
{
    MessageWindow::showStatus(caption(Caption::PleaseWait) + QStringLiteral("..."), 1800, 0,
                              caption(Caption::Loading));
    Pause(pauseSeconds);
    auto* editor = new VirtualSubjectEditor();
    editor->setAttribute(Qt::WA_DeleteOnClose);
    editor->load();
    editor->show();
    editor->activateWindow();
    MessageWindow::unload();
    return editor;
}

VirtualSubjectEditor::VirtualSubjectEditor(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmCustomSubject"));
    setWindowFlag(Qt::Window);
    AccessibleWindow::expose(this); // a frame named by its title, as screen readers expect
    buildWindow();
    setCaptions();
}

VirtualSubjectEditor::~VirtualSubjectEditor() = default;

void VirtualSubjectEditor::buildWindow()
{
    ScreenFit::resize(this, Twips::size(11400, 8100));
    TiledBackground::install(this, QStringLiteral("main"));

    m_btnNewFolder = makeButton(this, "btnNewFolder");
    m_btnNewSubject = makeButton(this, "btnNewSubject");
    m_btnRename = makeButton(this, "btnRename");
    m_btnDelete = makeButton(this, "btnDelete");
    m_btnUndo = makeButton(this, "btnUndo"); // made in its place in the row: Tab reaches it there
    m_btnCopy = makeButton(this, "btnCopy");
    m_btnDone = makeButton(this, "btnDone");
    m_btnUndo->setEnabled(false);
    m_btnNewSubject->setEnabled(false);
    m_btnRename->setEnabled(false);
    m_btnDelete->setEnabled(false);

    auto* buttons = new QHBoxLayout();
    for (QPushButton* b : {m_btnNewFolder, m_btnNewSubject, m_btnRename, m_btnDelete, m_btnUndo, m_btnCopy})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(m_btnDone);

    m_treeSubjects = new EditorTree(EditorTree::Side::Installed, this);
    m_treeSubjects->setObjectName(QStringLiteral("TreeSubjects"));
    m_treeVirtual = new EditorTree(EditorTree::Side::Virtual, this);
    m_treeVirtual->setObjectName(QStringLiteral("TreeVirtual"));
    m_activeTree = m_treeSubjects;

    auto* trees = new QHBoxLayout();
    for (int i = 0; i < 2; ++i) {
        m_lblCaption[i] = new QLabel(this);
        m_lblCaption[i]->setObjectName(QStringLiteral("lblCaption_%1").arg(i));
        m_lblCaption[i]->setTextFormat(Qt::PlainText);
        TiledBackground::setTextColour(m_lblCaption[i], TiledBackground::ink());
        QFont f = m_lblCaption[i]->font();
        f.setBold(true);
        m_lblCaption[i]->setFont(f);
        EditorTree* tree = i == 0 ? m_treeSubjects : m_treeVirtual;
        m_lblCaption[i]->setBuddy(tree);
        auto* column = new QVBoxLayout();
        column->addWidget(m_lblCaption[i]);
        column->addWidget(tree, 1);
        trees->addLayout(column, 1);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(Twips::toPixels(180), Twips::toPixels(180), Twips::toPixels(180),
                               Twips::toPixels(180));
    layout->addLayout(buttons);
    layout->addLayout(trees, 1);
    setTabOrder(m_treeSubjects, m_treeVirtual);

    m_mnuEdit = new QMenu(this);
    m_mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    m_mnuNewFolder = m_mnuEdit->addAction(QString());
    m_mnuNewFolder->setObjectName(QStringLiteral("mnuNewFolder"));
    m_mnuNew = m_mnuEdit->addAction(QString());
    m_mnuNew->setObjectName(QStringLiteral("mnuNew"));
    m_mnuDelete = m_mnuEdit->addAction(QString());
    m_mnuDelete->setObjectName(QStringLiteral("mnuDelete"));
    m_mnuRename = m_mnuEdit->addAction(QString());
    m_mnuRename->setObjectName(QStringLiteral("mnuRename"));
    m_mnuEdit->addSeparator();
    m_mnuUndo = m_mnuEdit->addAction(QString());
    m_mnuUndo->setObjectName(QStringLiteral("mnuUndo"));
    m_mnuUndo->setShortcut(QKeySequence::Undo);
    m_mnuUndo->setEnabled(false);
    // Keyboard ways to the two commands that make something; rename and delete have F2 and
    // the Delete key in the right tree.
    m_mnuNewFolder->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    m_mnuNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    for (QAction* a : {m_mnuNewFolder, m_mnuNew, m_mnuUndo}) {
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }

    m_scrollTimer = new QTimer(this);
    m_scrollTimer->setObjectName(QStringLiteral("timScroll"));
    m_scrollTimer->setInterval(200);
    m_timerEdit = new QTimer(this);
    m_timerEdit->setObjectName(QStringLiteral("timEdit"));
    m_timerEdit->setInterval(100);
    m_timerEdit->setSingleShot(true);

    connect(m_btnNewFolder, &QPushButton::clicked, this, &VirtualSubjectEditor::onNewFolderClicked);
    connect(m_btnNewSubject, &QPushButton::clicked, this, &VirtualSubjectEditor::onNewSubjectClicked);
    connect(m_btnRename, &QPushButton::clicked, this, &VirtualSubjectEditor::onRenameClicked);
    connect(m_btnDelete, &QPushButton::clicked, this, &VirtualSubjectEditor::onDeleteClicked);
    connect(m_btnCopy, &QPushButton::clicked, this, &VirtualSubjectEditor::onCopyClicked);
    connect(m_btnUndo, &QPushButton::clicked, this, &VirtualSubjectEditor::onUndoClicked);
    connect(m_btnDone, &QPushButton::clicked, this, &VirtualSubjectEditor::onDoneClicked);
    connect(m_mnuNewFolder, &QAction::triggered, this, &VirtualSubjectEditor::onNewFolderClicked);
    connect(m_mnuNew, &QAction::triggered, this, &VirtualSubjectEditor::onNewSubjectClicked);
    connect(m_mnuDelete, &QAction::triggered, this, &VirtualSubjectEditor::onDeleteClicked);
    connect(m_mnuRename, &QAction::triggered, this, &VirtualSubjectEditor::onRenameClicked);
    connect(m_mnuUndo, &QAction::triggered, this, &VirtualSubjectEditor::onUndoClicked);
    connect(m_scrollTimer, &QTimer::timeout, this, &VirtualSubjectEditor::onScrollTimer);
    connect(m_timerEdit, &QTimer::timeout, this, &VirtualSubjectEditor::onEditTimer);

    for (EditorTree* tree : {m_treeSubjects, m_treeVirtual}) {
        connect(tree, &EditorTree::activatedByUser, this, [this, tree] {
            m_activeTree = tree;
            // The keyboard reaches the right tree without a click: its buttons follow the
            // node it shows as current.
            if (tree == m_treeVirtual && tree->hasFocus())
                setButtonsFor(tree->currentItem());
            updateDeleteAndUndo();
        });
        connect(tree, &QTreeWidget::itemExpanded, this,
                [this, tree](QTreeWidgetItem* node) { onExpandedOrCollapsed(tree, node, true); });
        connect(tree, &QTreeWidget::itemCollapsed, this,
                [this, tree](QTreeWidgetItem* node) { onExpandedOrCollapsed(tree, node, false); });
        connect(tree, &EditorTree::enterPressed, this,
                [this, tree](QTreeWidgetItem* node) { onEnterPressed(tree, node); });
        connect(tree, &EditorTree::phraseDoubleClicked, this, [this, tree] {
            m_activeTree = tree;
            playSelectedPhrase();
        });
    }
    connect(m_treeSubjects, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* node) {
        onInstalledNodeClicked(node, !m_treeSubjects->pressWasOnDecoration());
    });
    connect(m_treeVirtual, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* node) {
        onVirtualNodeClicked(node, !m_treeVirtual->pressWasOnDecoration());
    });
    connect(m_treeSubjects, &EditorTree::currentMovedByKey, this,
            [this](QTreeWidgetItem* node) { onInstalledNodeClicked(node, false); });
    connect(m_treeVirtual, &EditorTree::currentMovedByKey, this,
            [this](QTreeWidgetItem* node) { onVirtualNodeClicked(node, false); });
    connect(m_treeVirtual, &EditorTree::deletePressed, this, &VirtualSubjectEditor::onDeleteClicked);
    connect(m_treeVirtual, &QTreeWidget::currentItemChanged, this,
            &VirtualSubjectEditor::updateDeleteAndUndo);
    connect(m_treeVirtual, &EditorTree::menuRequested, this, &VirtualSubjectEditor::showEditMenu);
    connect(m_treeVirtual, &EditorTree::labelEditStarted, this, &VirtualSubjectEditor::BeforeLabelEdit);
    connect(m_treeVirtual, &EditorTree::labelEdited, this, &VirtualSubjectEditor::AfterLabelEdit);
    connect(m_treeVirtual, &EditorTree::dragMovedTo, this, &VirtualSubjectEditor::dragHover);
    connect(m_treeVirtual, &EditorTree::droppedAt, this, &VirtualSubjectEditor::dropAt);
    connect(m_treeVirtual, &EditorTree::dragLeft, this, &VirtualSubjectEditor::stopDrag);
    connect(m_treeVirtual, &EditorTree::mouseReleased, m_scrollTimer, &QTimer::stop);
}

void VirtualSubjectEditor::setCaptions()
{
    setWindowTitle(app().edition.EditionTitle + QStringLiteral(" - ") +
                   caption(Caption::CreateMyOwnSubjects));
    const std::pair<QPushButton*, Caption> buttons[] = {
        {m_btnNewFolder, Caption::NewFolder}, {m_btnNewSubject, Caption::NewSubject},
        {m_btnRename, Caption::Rename},       {m_btnDelete, Caption::Delete},
        {m_btnUndo, Caption::Undo},           {m_btnCopy, Caption::CopyToMySubjects},
        {m_btnDone, Caption::Done},
    };
    for (const auto& [button, n] : buttons) {
        button->setText(caption(n));
        button->setAccessibleName(caption(n));
    }
    // Copying from the left tree to the right one without a drag (two-pane style F5); set
    // after the text, which replaces a button's shortcut with its mnemonic.
    m_btnCopy->setShortcut(QKeySequence(Qt::Key_F5));
    m_btnCopy->setAccessibleDescription(m_btnCopy->shortcut().toString(QKeySequence::NativeText));
    // Ctrl+Z is the menu's window-wide shortcut; the button says it.
    m_btnUndo->setAccessibleDescription(m_mnuUndo->shortcut().toString(QKeySequence::NativeText));
    m_btnUndo->setToolTip(m_btnUndo->accessibleDescription());
    for (int i = 0; i < 2; ++i)
        m_lblCaption[i]->setText(caption(i == 0 ? Caption::InstalledSubjects : Caption::MySubjects));
    m_treeSubjects->setAccessibleName(caption(Caption::InstalledSubjects));
    m_treeVirtual->setAccessibleName(caption(Caption::MySubjects));
    m_mnuEdit->setAccessibleName(caption(Caption::CreateMyOwnSubjects));
    m_mnuNewFolder->setText(caption(Caption::NewFolder));
    m_mnuNew->setText(caption(Caption::NewSubject));
    m_mnuDelete->setText(caption(Caption::Delete));
    m_mnuRename->setText(caption(Caption::Rename));
    m_mnuUndo->setText(caption(Caption::Undo));
}

void VirtualSubjectEditor::load()
{
    {
        DisabledWhile disabled(this);
        m_treeSubjects->clear();
        m_treeVirtual->clear();
        // Create_Installed_Root
        m_treeSubjects->addNode(nullptr, caption(Caption::InstalledSubjects),
                                SubjectNode::makeFolder(SubjectNode::Folder::InstalledSubjects),
                                Img::ClosedFolder, Img::NoImage, true);
        loadInstalledSubjects();
        loadVirtualFolders();
    }
    QTreeWidgetItem* root = m_treeSubjects->topLevelItem(0);
    root->setExpanded(true);
    selectFromCode(m_treeSubjects, root);
    if (m_treeVirtual->topLevelItemCount() > 0)
        selectFromCode(m_treeVirtual, m_treeVirtual->topLevelItem(0));
}

void VirtualSubjectEditor::onDoneClicked()
{
    close();
}

void VirtualSubjectEditor::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        onDoneClicked();
        return;
    }
    QWidget::keyPressEvent(event);
}

void VirtualSubjectEditor::closeEvent(QCloseEvent* event)
{
    // Form_Unload
    if (m_closing) {
        event->accept();
        return;
    }
    m_closing = true;
    m_scrollTimer->stop();
    m_timerEdit->stop();
    hide();
    emit closed(m_subjectsChanged);
    event->accept();
}

// ---------------------------------------------------------------- loading

void VirtualSubjectEditor::loadInstalledSubjects()
{
    QTreeWidgetItem* root = m_treeSubjects->topLevelItem(0);
    qDeleteAll(root->takeChildren());
    m_installedFiles = installedSubjectNames(app());
    QList<QTreeWidgetItem*> nodes;
    nodes.reserve(m_installedFiles.size());
    Progress progress;
    for (int i = 0; i < m_installedFiles.size(); ++i) {
        const QString title = properTitle(m_installedFiles.at(i), app().edition.InterfaceLanguage);
        nodes << m_treeSubjects->makeNode(title.trimmed(), SubjectNode::makeSubject(m_installedFiles.at(i)),
                                          Img::SubjectImage, Img::SelectedSubjectImage);
        progress.report(title);
    }
    root->addChildren(nodes);
}

void VirtualSubjectEditor::loadVirtualFolders()
{
    const QString folder = app().virtualSubjectsFolder;
    const QStringList files = virtualSubjectFiles(folder, app().edition.LanguageCode);
    QList<QTreeWidgetItem*> folders;
    folders.reserve(files.size());
    Progress progress;
    // The same index as the main tree's: files unchanged since are not opened again.
    VirtualSubjectIndex index(app());
    index.readAhead(files);
    for (const QString& file : files) {
        QTreeWidgetItem* node = m_treeVirtual->makeNode(
            virtualFolderTitle(file), SubjectNode::makeFolder(SubjectNode::Folder::VirtualFile, file),
            Img::ClosedVirtualFolder, Img::NoImage, true, true);
        folders << node;
        QString error;
        const auto subjects = index.subjects(file, &error);
        if (!subjects) {
            // A damaged file stays visible, marked, and the files after it still load.
            m_treeVirtual->setImages(node, Img::FailedSubjectImage, Img::FailedSubjectImage);
            reportError(QStringLiteral("Get_Virtual_Folders"), file + QStringLiteral(": ") + error);
            continue;
        }
        QList<QTreeWidgetItem*> children;
        children.reserve(int(subjects->size()));
        for (const VirtualSubject& s : *subjects) {
            children << m_treeVirtual->makeNode(s.name, SubjectNode::makeVirtualSubject(s.nParent),
                                                Img::VirtualSubjectImage, Img::SelectedVirtualSubjectImage,
                                                false, true);
            progress.report(s.name);
        }
        node->addChildren(children);
    }
    index.save();
    m_treeVirtual->addTopLevelItems(folders);
}

bool VirtualSubjectEditor::loadInstalledPhraseNodes(QTreeWidgetItem* subject, bool expand)
{
    if (EditorTree::isLoaded(subject) || subject->childCount() > 0)
        return true;
    DisabledWhile disabled(this);
    const QString file = SubjectNode::of(subject).file;
    QString error;
    const auto phrases = InstalledSubject::phrases(installedSubjectPath(app(), file), false, &error);
    if (!phrases) {
        reportError(QStringLiteral("Get_Installed_Phrases"), file + QStringLiteral(": ") + error);
        return false;
    }
    QList<QTreeWidgetItem*> nodes;
    for (const Phrase& p : *phrases)
        nodes << m_treeSubjects->makeNode(
            p.tTranslation,
            SubjectNode::makePhrase(file, p.phraseNo, p.tPhrase, p.tTranslation, p.tTranslation2),
            Img::PhraseImage);
    showLoaded(subject, nodes, expand);
    return true;
}

void VirtualSubjectEditor::showLoaded(QTreeWidgetItem* subject, const QList<QTreeWidgetItem*>& phrases,
                                      bool expand)
{
    subject->addChildren(phrases);
    EditorTree::setLoaded(subject);
    // A click opens what it loaded; moving through the list with the keys does not, so
    // the arrow keys walk from subject to subject (Right opens one).
    if (expand)
        subject->setExpanded(true);
}

bool VirtualSubjectEditor::loadVirtualPhraseNodes(QTreeWidgetItem* subject, bool expand)
{
    if (EditorTree::isLoaded(subject))
        return true;
    QString error;
    const auto phrases =
        VirtualSubjectFile::phrases(folderPath(subject->parent()), SubjectNode::of(subject).number, &error);
    if (!phrases) {
        reportError(QStringLiteral("Get_Virtual_Phrases"), error);
        return false;
    }
    QList<QTreeWidgetItem*> nodes;
    for (const VirtualPhrase& p : *phrases)
        nodes << m_treeVirtual->makeNode(p.tTranslation, virtualPhraseNode(p), Img::VirtualPhraseImage);
    showLoaded(subject, nodes, expand);
    return true;
}

// ---------------------------------------------------------------- clicks and keys

void VirtualSubjectEditor::onInstalledNodeClicked(QTreeWidgetItem* node, bool toggle)
{
    if (!node)
        return;
    if (EditorTree::isFolder(node)) {
        if (toggle)
            toggleFolder(m_treeSubjects, node);
        return;
    }
    if (!EditorTree::isSubject(node) || EditorTree::isLoaded(node) || node->childCount() > 0)
        return;
    const QString file = SubjectNode::of(node).file;
    const QString verdict = checkSubject(file);
    if (verdict != QLatin1String("VALID")) {
        m_treeSubjects->setImages(node, Img::FailedSubjectImage, Img::FailedSubjectImage);
        reportSubjectProblem(file, verdict, this, Repeat::Quiet);
        selectFromCode(m_treeSubjects, m_treeSubjects->topLevelItem(0));
        return;
    }
    m_treeSubjects->setImages(node, Img::SubjectImage, Img::SelectedSubjectImage);
    loadInstalledPhraseNodes(node, toggle);
}

void VirtualSubjectEditor::onVirtualNodeClicked(QTreeWidgetItem* node, bool toggle)
{
    if (!node)
        return;
    if (EditorTree::isFolder(node)) {
        if (toggle)
            toggleFolder(m_treeVirtual, node);
    } else if (EditorTree::isSubject(node)) {
        loadVirtualPhraseNodes(node, toggle);
    } else {
        const QString file = SubjectNode::of(node).file;
        const QString verdict = checkSubject(file);
        if (verdict != QLatin1String("VALID")) {
            reportSubjectProblem(file, verdict, this, Repeat::Quiet);
            selectFromCode(m_treeVirtual, node->parent());
        }
    }
    setButtonsFor(node);
}

void VirtualSubjectEditor::setButtonsFor(QTreeWidgetItem* node)
{
    if (!node)
        return;
    if (EditorTree::isFolder(node)) {
        setNewSubjectEnabled(true);
        m_btnRename->setEnabled(true);
    } else if (EditorTree::isSubject(node)) {
        setNewSubjectEnabled(false);
        m_btnRename->setEnabled(true);
    } else {
        setNewSubjectEnabled(false);
        m_btnRename->setEnabled(false);
    }
    updateDeleteAndUndo();
}

bool VirtualSubjectEditor::deleteTargetShown() const
{
    return m_activeTree == m_treeVirtual && m_treeVirtual->currentItem() && !m_treeSubjects->hasFocus();
}

void VirtualSubjectEditor::updateDeleteAndUndo()
{
    const bool shown = deleteTargetShown();
    m_btnDelete->setEnabled(shown);
    m_mnuDelete->setEnabled(shown);
    m_btnUndo->setEnabled(m_deletions.canUndo());
    m_mnuUndo->setEnabled(m_deletions.canUndo());
}

void VirtualSubjectEditor::setNewSubjectEnabled(bool enabled)
{
    m_btnNewSubject->setEnabled(enabled);
    m_mnuNew->setEnabled(enabled);
}

void VirtualSubjectEditor::toggleFolder(EditorTree* tree, QTreeWidgetItem* node)
{
    const bool expand = !node->isExpanded();
    node->setExpanded(expand);
    // An empty folder never sends the expand signals, but still shows open or closed.
    if (node->childCount() == 0)
        onExpandedOrCollapsed(tree, node, expand);
}

void VirtualSubjectEditor::onExpandedOrCollapsed(EditorTree* tree, QTreeWidgetItem* node, bool expanded)
{
    if (!EditorTree::isBold(node) || EditorTree::image(node) == Img::FailedSubjectImage)
        return;
    if (tree == m_treeSubjects)
        tree->setImages(node, expanded ? Img::OpenFolder : Img::ClosedFolder, Img::NoImage);
    else
        tree->setImages(node, expanded ? Img::OpenVirtualFolder : Img::ClosedVirtualFolder, Img::NoImage);
}

void VirtualSubjectEditor::onEnterPressed(EditorTree* tree, QTreeWidgetItem* node)
{
    if (!node)
        return;
    m_activeTree = tree;
    if (EditorTree::isPhrase(node)) {
        playSelectedPhrase();
        return;
    }
    if (tree == m_treeSubjects)
        onInstalledNodeClicked(node, true);
    else
        onVirtualNodeClicked(node, true);
}

void VirtualSubjectEditor::showEditMenu(const QPoint& globalPos)
{
    m_activeTree = m_treeVirtual;
    const QTreeWidgetItem* node = m_treeVirtual->currentItem();
    m_mnuRename->setEnabled(node && !EditorTree::isPhrase(node)); // a phrase has no name to change
    updateDeleteAndUndo();
    // A small margin keeps the menu off the screen's edge.
    QPoint at = globalPos;
    if (const QScreen* screen = QGuiApplication::screenAt(globalPos)) {
        const QRect room =
            screen->availableGeometry().adjusted(MenuMargin, MenuMargin, -MenuMargin, -MenuMargin);
        const QSize size = m_mnuEdit->sizeHint();
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - size.width())));
        at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - size.height())));
    }
    m_mnuEdit->popup(at);
}

SubjectNode VirtualSubjectEditor::selectedNode() const
{
    const EditorTree* tree = m_activeTree ? m_activeTree : m_treeVirtual;
    return SubjectNode::of(tree->currentItem());
}

void VirtualSubjectEditor::playSelectedPhrase()
{
    if (!EditorTree::isPhrase(m_activeTree->currentItem()))
        return;
    const SubjectNode phrase = selectedNode();
    PhraseMenu::listenTo(phrase.file, QString::number(phrase.number), phrase.phrase,
                         QStringLiteral("Play_Selected_Phrase"), this);
}

// ---------------------------------------------------------------- new folders and subjects

void VirtualSubjectEditor::onNewFolderClicked()
{
    const QString base = caption(Caption::NewFolder);
    const QStringList texts = m_treeVirtual->allTexts();
    const QSet<QString> textSet(texts.cbegin(), texts.cend());
    const QString folder = app().virtualSubjectsFolder;
    const QString code = app().edition.LanguageCode;
    const QString name = VirtualFolders::defaultName(
        base, VirtualFolders::countStartingWith(base, texts), textSet, [&](const QString& candidate) {
            // A file that exists is taken, also when the file system ignores letter case.
            return VirtualFolders::checkName(candidate, code) != VirtualFolders::NameCheck::Valid ||
                   QFileInfo::exists(folder + VirtualFolders::fileName(candidate, code));
        });
    const QString file = VirtualFolders::fileName(name, code);
    QString error;
    if (!VirtualFolders::create(app().customTemplatePath(), folder + file, &error)) {
        reportError(QStringLiteral("btnNewFolder_Click"), error);
        return;
    }
    QTreeWidgetItem* node =
        m_treeVirtual->addNode(nullptr, name, SubjectNode::makeFolder(SubjectNode::Folder::VirtualFile, file),
                               Img::ClosedVirtualFolder, Img::NoImage, true, true);
    m_subjectsChanged = true;
    setNewSubjectEnabled(true);
    m_btnRename->setEnabled(true);
    selectFromCode(m_treeVirtual, node);
    m_treeVirtual->setFocus();
    m_activeTree = m_treeVirtual;
    updateDeleteAndUndo();
    m_treeVirtual->editItem(node);
}

void VirtualSubjectEditor::onNewSubjectClicked()
{
    QTreeWidgetItem* selected = m_treeVirtual->currentItem();
    QTreeWidgetItem* folder = EditorTree::isFolder(selected)    ? selected
                              : EditorTree::isSubject(selected) ? selected->parent()
                                                                : nullptr;
    if (!folder)
        return;
    const QString name = caption(Caption::NewSubjectName);
    QString error;
    const auto nParent = VirtualSubjectFile::addSubject(folderPath(folder), name, &error);
    if (!nParent) {
        reportError(QStringLiteral("btnNewSubject_Click"), error);
        return;
    }
    m_subjectsChanged = true;
    QTreeWidgetItem* node =
        m_treeVirtual->addNode(folder, name, SubjectNode::makeVirtualSubject(*nParent),
                               Img::VirtualSubjectImage, Img::SelectedVirtualSubjectImage, false, true);
    EditorTree::setLoaded(node); // new, so it has no phrases to read
    folder->setExpanded(true);
    selectFromCode(m_treeVirtual, node);
    m_treeVirtual->setFocus();
    m_treeVirtual->editItem(node);
}

// ---------------------------------------------------------------- rename

void VirtualSubjectEditor::onRenameClicked()
{
    QTreeWidgetItem* node = m_treeVirtual->currentItem();
    if (!node || EditorTree::isPhrase(node))
        return;
    m_treeVirtual->setFocus();
    m_treeVirtual->editItem(node);
}

void VirtualSubjectEditor::BeforeLabelEdit(QTreeWidgetItem* node)
{
    if (node && !node->text(0).isEmpty())
        m_oldLabel = node->text(0);
}

void VirtualSubjectEditor::AfterLabelEdit(const QPersistentModelIndex& index, const QString& text)
{
    QTreeWidgetItem* node = m_treeVirtual->item(index);
    if (!node || m_closing)
        return;
    if (text.trimmed().isEmpty()) {
        refuseLabel(node, caption(Caption::TypeAName));
        return;
    }
    if (EditorTree::isFolder(node)) {
        QString newFile;
        QString error;
        switch (VirtualFolders::rename(app().virtualSubjectsFolder, SubjectNode::of(node).file, text,
                                       app().edition.LanguageCode, &newFile, &error)) {
        case VirtualFolders::RenameOutcome::Renamed:
            m_deletions.folderRenamed(folderPath(node), app().virtualSubjectsFolder + newFile);
            node->setText(0, text);
            SubjectNode::set(node, SubjectNode::makeFolder(SubjectNode::Folder::VirtualFile, newFile));
            m_subjectsChanged = true;
            return;
        case VirtualFolders::RenameOutcome::Unchanged:
            return; // the name it has: nothing to rename
        case VirtualFolders::RenameOutcome::Exists:
            refuseLabel(node, caption(Caption::FolderExists));
            return;
        case VirtualFolders::RenameOutcome::BadName:
            refuseLabel(node, caption(Caption::NotAFileName));
            return;
        case VirtualFolders::RenameOutcome::Failed:
            reportError(QStringLiteral("TreeVirtual_AfterLabelEdit"), error);
            return;
        }
        return;
    }
    if (EditorTree::isSubject(node)) {
        QString error;
        if (!VirtualSubjectFile::renameSubject(folderPath(node->parent()), SubjectNode::of(node).number, text,
                                               &error)) {
            reportError(QStringLiteral("TreeVirtual_AfterLabelEdit"), error);
            return;
        }
        node->setText(0, text);
        m_subjectsChanged = true;
    }
}

void VirtualSubjectEditor::refuseLabel(QTreeWidgetItem* node, const QString& message)
{
    MessageWindow::showModal(message, 0, this);
    // 100 ms after the message is closed the old text comes back and the edit starts again.
    m_editNode = QPersistentModelIndex(m_treeVirtual->index(node));
    m_timerEdit->start();
}

void VirtualSubjectEditor::onEditTimer()
{
    m_timerEdit->stop();
    QTreeWidgetItem* node = m_treeVirtual->item(m_editNode);
    m_editNode = QPersistentModelIndex();
    if (!node || m_closing)
        return;
    node->setText(0, m_oldLabel);
    selectFromCode(m_treeVirtual, node);
    m_treeVirtual->setFocus();
    m_treeVirtual->editItem(node);
}

// ---------------------------------------------------------------- delete

void VirtualSubjectEditor::onDeleteClicked()
{
    QTreeWidgetItem* node = m_treeVirtual->currentItem();
    if (!node || !deleteTargetShown() || Dialogs::isBehindModal(this))
        return;
    QString error;
    if (EditorTree::isFolder(node)) {
        // A whole file, which Undo cannot bring back: asked first, Cancel the default.
        const QPersistentModelIndex asked(m_treeVirtual->index(node));
        const QPointer<VirtualSubjectEditor> self(this);
        if (Dialogs::message(
                this, {caption(Caption::Delete), caption(Caption::DeleteFolderQuestion).arg(node->text(0)),
                       QMessageBox::Question, QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel}) !=
            QMessageBox::Yes)
            return;
        // The window may have changed, or gone, under the question.
        if (!self)
            return;
        node = m_treeVirtual->item(asked);
        if (!node || m_closing)
            return;
        const QString path = folderPath(node);
        if (VirtualFolders::remove(path, &error) == VirtualFolders::DeleteOutcome::Failed) {
            reportError(QStringLiteral("btnDelete_Click"), error);
            // A file already gone leaves nothing for its folder to show.
            if (QFileInfo::exists(path))
                return;
        }
        m_deletions.folderDeleted(path);
        setNewSubjectEnabled(false);
    } else if (EditorTree::isSubject(node)) {
        if (!m_deletions.deleteSubject(folderPath(node->parent()), SubjectNode::of(node).number, &error)) {
            reportError(QStringLiteral("btnDelete_Click"), error);
            return;
        }
        setNewSubjectEnabled(false);
    } else {
        // Exactly the row of this node's own key, even when the same phrase is there twice.
        if (!m_deletions.deletePhrase(folderPath(node->parent()->parent()), SubjectNode::of(node).rowKey,
                                      &error)) {
            reportError(QStringLiteral("btnDelete_Click"), error);
            return;
        }
    }
    removeNode(node);
    updateDeleteAndUndo();
    m_subjectsChanged = true;
}

void VirtualSubjectEditor::onUndoClicked()
{
    if (Dialogs::isBehindModal(this))
        return;
    QString error;
    const auto undone = m_deletions.undo(&error);
    updateDeleteAndUndo();
    if (!undone) {
        if (!error.isEmpty())
            reportError(QStringLiteral("mnuUndo_Click"), error);
        else
            MessageWindow::showModal(caption(Caption::NothingToUndo), 0, this);
        return;
    }
    m_subjectsChanged = true;
    QTreeWidgetItem* folder = nullptr;
    for (int i = 0; i < m_treeVirtual->topLevelItemCount() && !folder; ++i)
        if (folderPath(m_treeVirtual->topLevelItem(i)) == undone->path)
            folder = m_treeVirtual->topLevelItem(i);
    if (!folder)
        return;
    const VirtualSubjectFile::DeletedRows& rows = undone->rows;
    // Nodes go where their rows are: in the order of their keys, as a fresh load shows them.
    auto placeFor = [](QTreeWidgetItem* parent, qint64 key, bool byRowKey) {
        int at = 0;
        while (at < parent->childCount()) {
            const SubjectNode n = SubjectNode::of(parent->child(at));
            if ((byRowKey ? n.rowKey : n.number) > key)
                break;
            ++at;
        }
        return at;
    };
    if (rows.wholeSubject) {
        QTreeWidgetItem* subject =
            m_treeVirtual->makeNode(rows.name, SubjectNode::makeVirtualSubject(rows.nParent),
                                    Img::VirtualSubjectImage, Img::SelectedVirtualSubjectImage, false, true);
        folder->insertChild(placeFor(folder, rows.nParent, false), subject);
        folder->setExpanded(true);
        selectFromCode(m_treeVirtual, subject);
        setButtonsFor(subject);
        return;
    }
    QTreeWidgetItem* subject = nullptr;
    for (int i = 0; i < folder->childCount() && !subject; ++i)
        if (SubjectNode::of(folder->child(i)).number == rows.nParent)
            subject = folder->child(i);
    if (!subject)
        return;
    if (!EditorTree::isLoaded(subject)) {
        loadVirtualPhraseNodes(subject, true);
    } else {
        for (const VirtualPhrase& p : rows.phrases)
            subject->insertChild(
                placeFor(subject, p.rowKey, true),
                m_treeVirtual->makeNode(p.tTranslation, virtualPhraseNode(p), Img::VirtualPhraseImage));
        subject->setExpanded(true);
    }
    for (int i = 0; i < subject->childCount(); ++i)
        if (SubjectNode::of(subject->child(i)).rowKey == rows.phrases.front().rowKey) {
            selectFromCode(m_treeVirtual, subject->child(i));
            setButtonsFor(subject->child(i));
        }
}

void VirtualSubjectEditor::removeNode(QTreeWidgetItem* node)
{
    if (isUnder(m_treeVirtual->dropHighlight(), node))
        m_treeVirtual->setDropHighlight(nullptr);
    delete node;
}

// ---------------------------------------------------------------- drag and drop

void VirtualSubjectEditor::dragHover(const QPoint& pos)
{
    m_treeVirtual->setDropHighlight(m_treeVirtual->itemAt(pos));
    m_dragPos = pos;
    const int height = m_treeVirtual->viewport()->height();
    const int y = pos.y();
    if (0 < y && y < Twips::toPixels(ScrollUpBandTwips)) {
        m_scrollDirection = -1;
        m_scrollTimer->start();
    } else if (height - Twips::toPixels(ScrollDownBandTwips) < y && y < height) {
        m_scrollDirection = 1;
        m_scrollTimer->start();
    } else {
        m_scrollTimer->stop();
    }
}

void VirtualSubjectEditor::onScrollTimer()
{
    m_treeVirtual->setDropHighlight(m_treeVirtual->itemAt(m_dragPos));
    m_treeVirtual->verticalScrollBar()->triggerAction(
        m_scrollDirection < 0 ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd);
}

void VirtualSubjectEditor::stopDrag()
{
    m_treeVirtual->setDropHighlight(nullptr);
    m_scrollTimer->stop();
}

void VirtualSubjectEditor::dropAt(const QPoint& pos)
{
    m_activeTree = m_treeSubjects;
    copyTo(m_treeVirtual->itemAt(pos));
}

void VirtualSubjectEditor::onCopyClicked()
{
    copyTo(m_treeVirtual->currentItem());
}

void VirtualSubjectEditor::copyTo(QTreeWidgetItem* target)
{
    // The node copied is the one selected in the left tree, whatever the drag carried.
    QTreeWidgetItem* source = m_treeSubjects->currentItem();
    if (!source || EditorTree::isFolder(source)) {
        stopDrag();
        return;
    }
    if (EditorTree::isSubject(source))
        copySubjectNode(source, target);
    else
        copyPhraseNode(source, target);
}

void VirtualSubjectEditor::copySubjectNode(QTreeWidgetItem* source, QTreeWidgetItem* target)
{
    if (!target) {
        stopDrag();
        return;
    }
    if (!EditorTree::isFolder(target)) {
        stopDrag();
        Dialogs::inform(this, caption(Caption::SubjectOnSubject));
        return;
    }
    const QString name = source->text(0);
    const QString file = SubjectNode::of(source).file;
    target->setExpanded(true);
    selectFromCode(m_treeVirtual, target);
    stopDrag();

    QString error;
    const auto copy =
        VirtualFolders::copySubject(installedSubjectPath(app(), file), folderPath(target), name, &error);
    if (!copy) {
        reportError(QStringLiteral("Copy_Subject"), error);
        return;
    }
    m_subjectsChanged = true;
    QTreeWidgetItem* subject =
        m_treeVirtual->addNode(target, name, SubjectNode::makeVirtualSubject(copy->nParent),
                               Img::VirtualSubjectImage, Img::SelectedVirtualSubjectImage, false, true);
    QList<QTreeWidgetItem*> nodes;
    for (const VirtualPhrase& p : copy->phrases)
        nodes << m_treeVirtual->makeNode(p.tTranslation, virtualPhraseNode(p), Img::VirtualPhraseImage);
    subject->addChildren(nodes);
    EditorTree::setLoaded(subject);
    m_btnRename->setEnabled(true);
    updateDeleteAndUndo();
}

void VirtualSubjectEditor::copyPhraseNode(QTreeWidgetItem* source, QTreeWidgetItem* target)
{
    if (!target) {
        stopDrag();
        return;
    }
    target->setExpanded(true);
    selectFromCode(m_treeVirtual, target);
    stopDrag();
    if (EditorTree::isFolder(target)) {
        Dialogs::inform(this, caption(Caption::PhraseOnFolder));
        return;
    }
    QTreeWidgetItem* subject = EditorTree::isSubject(target) ? target : target->parent();
    // The limit counts what the file holds, so the phrases are read first if they were not.
    if (!loadVirtualPhraseNodes(subject, false))
        return;
    if (subject->childCount() >= VirtualFolders::MaxPhrases) {
        Dialogs::inform(this, caption(Caption::VirtualSubjectFull));
        return;
    }
    const SubjectNode from = SubjectNode::of(source);
    VirtualPhrase phrase;
    phrase.tfilename = from.file;
    phrase.phraseNo = from.number;
    phrase.tPhrase = from.phrase;
    phrase.tTranslation = from.translation;
    phrase.tTranslation2 = from.translation2;
    QString error;
    const auto added = VirtualFolders::copyPhrase(folderPath(subject->parent()),
                                                  SubjectNode::of(subject).number, phrase, &error);
    if (!added) {
        reportError(QStringLiteral("Copy_Phrase"), error);
        return;
    }
    m_subjectsChanged = true;
    QTreeWidgetItem* node = m_treeVirtual->addNode(subject, added->tTranslation, virtualPhraseNode(*added),
                                                   Img::VirtualPhraseImage);
    subject->setExpanded(true);
    selectFromCode(m_treeVirtual, node);
}

// ---------------------------------------------------------------- helpers

QString VirtualSubjectEditor::folderPath(const QTreeWidgetItem* folder) const
{
    // The folder's tag always holds its current file name.
    return app().virtualSubjectsFolder + SubjectNode::of(folder).file;
}

void VirtualSubjectEditor::selectFromCode(EditorTree* tree, QTreeWidgetItem* node)
{
    if (node)
        tree->setCurrentItem(node);
}

void VirtualSubjectEditor::reportError(const QString& procedure, const QString& error)
{
    Dialogs::reportError(procedure, error, isVisible() ? this : nullptr);
}
