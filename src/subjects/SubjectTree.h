#pragma once

#include <QStringList>
#include <QTreeWidget>

// The main window's subject tree (objectName "TreeFolders"): three fixed folders
// (installed subjects, random subject, random phrases), one folder per virtual subject
// file, subjects under them and, once opened, their phrases. Each node carries its tag
// fields as a QStringList in Qt::UserRole, so a "*" inside a phrase cannot shift them.
class SubjectTree : public QTreeWidget
{
    Q_OBJECT
public:
    // Picture numbers of the tree's image list.
    enum Image {
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
    static constexpr int TagRole = Qt::UserRole;
    static constexpr int ImageRole = Qt::UserRole + 1;
    static constexpr int SelectedImageRole = Qt::UserRole + 2;

    explicit SubjectTree(QWidget* parent = nullptr);

    void Create_Folders();
    void Get_Subjects();
    void Get_vSubjects();
    void Refresh_Subjects();

    static QStringList tag(const QTreeWidgetItem* item);
    static void setTag(QTreeWidgetItem* item, const QStringList& fields);
    // Field n (0-based) of the node's tag; "" when missing.
    static QString Tag_Item(int n, const QTreeWidgetItem* item);
    void setImages(QTreeWidgetItem* item, int image, int selectedImage);

    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& text, const QStringList& tag, int image,
                             int selectedImage = NoImage, bool bold = false);
    QTreeWidgetItem* installedFolder() const { return topLevelItem(0); }
    QTreeWidgetItem* randomSubjectFolder() const { return topLevelItem(1); }
    QTreeWidgetItem* randomPhrasesFolder() const { return topLevelItem(2); }
    QTreeWidgetItem* selectedNode() const { return currentItem(); }
};
