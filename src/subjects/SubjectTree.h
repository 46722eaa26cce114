#pragma once

#include "subjects/SubjectNode.h"

#include <QIcon>
#include <QStringList>
#include <QTreeWidget>

#include <array>

// The main window's subject tree (objectName "TreeFolders"): four fixed folders
// (installed subjects, random subject, random phrases, the review), one folder per virtual subject
// file, subjects under them and, once opened, their phrases. Each node carries what it
// stands for as a SubjectNode in its data.
//
// Images 1..11 are kept per node (ImageRole, SelectedImageRole) and shown as icons; the
// current node shows its selected image when it has one.
class SubjectTree : public QTreeWidget
{
    Q_OBJECT
public:
    // Picture numbers of the tree's image list.
    enum Image
    {
        NoImage = 0,
        ClosedFolder = 1,
        OpenFolder = 2,
        ClosedVirtualFolder = 3,
        OpenVirtualFolder = 4,
        SubjectImage = 5,
        SelectedSubjectImage = 6,
        VirtualSubjectImage = 7,
        SelectedVirtualSubjectImage = 8,
        PhraseImage = 9,
        VirtualPhraseImage = 10,
        FailedSubjectImage = 11,
    };
    static constexpr int ImageRole = Qt::UserRole + 1;
    static constexpr int SelectedImageRole = Qt::UserRole + 2;

    explicit SubjectTree(QWidget* parent = nullptr);

    // Removes every node and adds the four fixed folders (then emits foldersCreated).
    void createFolders();
    // Fills the installed subjects folder from the installed subjects folder on disk.
    void loadSubjects();
    // Adds one folder per virtual subject file with its virtual subjects, replacing any
    // virtual subject file folders already shown. A file that cannot be read is reported
    // and shown as a folder with the failed-subject image; the files after it still load.
    void loadVirtualSubjects();
    // Rebuilds the whole tree from the subjects on disk (their list changed); asked while
    // the tree is being filled, once that fill is over.
    void refreshSubjects();

    void setImages(QTreeWidgetItem* item, int image, int selectedImage);
    // The image number the node shows now (its selected image while it is current).
    int shownImage(const QTreeWidgetItem* item) const;

    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& text, const SubjectNode& node, int image,
                             int selectedImage = NoImage, bool bold = false);
    // A node in no tree yet: children added to it, or it added with others, cost the view
    // one announcement rather than one each.
    QTreeWidgetItem* makeNode(const QString& text, const SubjectNode& node, int image,
                              int selectedImage = NoImage, bool bold = false);
    QTreeWidgetItem* installedFolder() const { return topLevelItem(0); }
    QTreeWidgetItem* randomSubjectFolder() const { return topLevelItem(1); }
    QTreeWidgetItem* randomPhrasesFolder() const { return topLevelItem(2); }
    // Filled by the study's ReviewNode with the phrases due for review.
    QTreeWidgetItem* reviewFolder() const { return topLevelItem(3); }
    QTreeWidgetItem* selectedNode() const { return currentItem(); }
    // Makes the installed subject of that file name, or else the virtual subject file's
    // folder of that name, the current node (nothing when there is none).
    void selectFile(const QString& fileName);
    // The installed subject files the tree was last filled from (name order): clicks use
    // it instead of listing the folder again.
    const QStringList& installedFiles() const { return m_installedFiles; }
    // Virtual subject files the last loadVirtualSubjects opened (the others were unchanged).
    int virtualFilesRead() const { return m_virtualFilesRead; }

    // A phrase node: its parent is a subject node.
    static bool isPhrase(const QTreeWidgetItem* item);
    // Phrases of installed subjects and of the drawn random subject have the phrase menu;
    // phrases of virtual subjects and of the random phrases set do not.
    bool hasPhraseMenu(const QTreeWidgetItem* item) const;
    // True while the tree is being filled (loaders let events run meanwhile).
    bool isBuilding() const { return m_building > 0; }

    // Opens the learner's subjects folder in the file manager.
    static void openSubjectsFolder();

signals:
    // Right button (or the keyboard's menu key) on a phrase that has the phrase menu.
    void phraseMenuRequested(QTreeWidgetItem* item, const QPoint& globalPos);
    // False when a folder is pressed: the phrase menu must not be offered for it.
    void phraseMenuAvailabilityChanged(bool available);
    // The pointer moved over the tree: the main window resets its hover states.
    void hovered();
    // Double click on a phrase: play its sound.
    void listenRequested(QTreeWidgetItem* item);
    // The fixed folders were made anew (their contents are gone).
    void foldersCreated();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    class BuildGuard;

    void updateIcon(QTreeWidgetItem* item);
    QIcon icon(int image);
    void expandedOrCollapsed(QTreeWidgetItem* item, bool expanded);
    void handlePress(QTreeWidgetItem* item, bool rightButton, const QPoint& globalPos);
    void ensureFixedFolders();
    void reportProgress(const QString& name);
    void addPlaceholderIfEmpty(QTreeWidgetItem* folder);
    void rebuild();

    std::array<QIcon, FailedSubjectImage + 1> m_icons;
    std::array<bool, FailedSubjectImage + 1> m_iconLoaded{};
    QStringList m_installedFiles;
    int m_building = 0;
    int m_virtualFilesRead = 0;
    bool m_refreshPending = false;
};
