#include "SubjectTree.h"

SubjectTree::SubjectTree(QWidget* parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("TreeFolders"));
    setHeaderHidden(true);
}

void SubjectTree::Create_Folders() {}
void SubjectTree::Get_Subjects() {}
void SubjectTree::Get_vSubjects() {}
void SubjectTree::Refresh_Subjects() {}

QStringList SubjectTree::tag(const QTreeWidgetItem* item)
{
    return item ? item->data(0, TagRole).toStringList() : QStringList();
}

void SubjectTree::setTag(QTreeWidgetItem* item, const QStringList& fields)
{
    if (item)
        item->setData(0, TagRole, fields);
}

QString SubjectTree::Tag_Item(int n, const QTreeWidgetItem* item)
{
    const QStringList t = tag(item);
    return n >= 0 && n < t.size() ? t.at(n) : QString("");
}

void SubjectTree::setImages(QTreeWidgetItem* item, int image, int selectedImage)
{
    if (!item)
        return;
    item->setData(0, ImageRole, image);
    item->setData(0, SelectedImageRole, selectedImage);
}

QTreeWidgetItem* SubjectTree::addNode(QTreeWidgetItem* parent, const QString& text, const QStringList& tag,
                                      int image, int selectedImage, bool bold)
{
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, text);
    setTag(item, tag);
    setImages(item, image, selectedImage);
    if (bold) {
        QFont f = item->font(0);
        f.setBold(true);
        item->setFont(0, f);
    }
    return item;
}
