#include "SubjectNode.h"

#include <QTreeWidgetItem>

SubjectNode SubjectNode::makeFolder(Folder folder, const QString& file)
{
    SubjectNode n;
    n.kind = Kind::Folder;
    n.folder = folder;
    n.file = file;
    return n;
}

SubjectNode SubjectNode::makeSubject(const QString& file)
{
    SubjectNode n;
    n.kind = Kind::Subject;
    n.file = file;
    return n;
}

SubjectNode SubjectNode::makeVirtualSubject(qint64 key)
{
    SubjectNode n;
    n.kind = Kind::VirtualSubject;
    n.number = key;
    return n;
}

SubjectNode SubjectNode::makePhraseSet()
{
    SubjectNode n;
    n.kind = Kind::PhraseSet;
    return n;
}

SubjectNode SubjectNode::makePhrase(const QString& file, qint64 number, const QString& phrase,
                                    const QString& translation, const QString& translation2)
{
    SubjectNode n;
    n.kind = Kind::Phrase;
    n.file = file;
    n.number = number;
    n.phrase = phrase;
    n.translation = translation;
    n.translation2 = translation2;
    return n;
}

SubjectNode SubjectNode::makePlaceholder()
{
    SubjectNode n;
    n.kind = Kind::Placeholder;
    return n;
}

SubjectNode SubjectNode::of(const QTreeWidgetItem* item)
{
    if (!item)
        return SubjectNode();
    return item->data(0, Role).value<SubjectNode>();
}

void SubjectNode::set(QTreeWidgetItem* item, const SubjectNode& node)
{
    if (item)
        item->setData(0, Role, QVariant::fromValue(node));
}
