#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>

class QTreeWidgetItem;

// What a node of a subject tree stands for, kept whole in the item's data (so that a "*" or
// any other character inside a phrase or a name cannot be taken for a separator).
struct SubjectNode
{
    enum class Kind
    {
        None,
        Folder,         // a fixed folder or a virtual subject file
        Subject,        // an installed subject: file
        VirtualSubject, // a virtual subject: number is its key in the folder's file
        PhraseSet,      // phrases drawn for study (the random phrases), studied as a virtual subject's
        Phrase,         // file and number identify it; its texts as the tree shows them
        Placeholder,    // "empty" and similar lines that stand for nothing
    };
    enum class Folder
    {
        None,
        InstalledSubjects,
        RandomSubject,
        RandomPhrases,
        Review,      // the phrases due for review (its text says how many)
        VirtualFile, // file: the virtual subject file's name
    };

    Kind kind = Kind::None;
    Folder folder = Folder::None;
    // Subject and Phrase: the installed subject file; a virtual file folder: its file name.
    QString file;
    // VirtualSubject: its key (nParent); Phrase: phraseNo.
    qint64 number = 0;
    // A phrase of a virtual subject in the editor: its own row key.
    qint64 rowKey = 0;
    QString phrase;
    QString translation;
    QString translation2;

    static SubjectNode makeFolder(Folder folder, const QString& file = QString());
    static SubjectNode makeSubject(const QString& file);
    static SubjectNode makeVirtualSubject(qint64 key);
    static SubjectNode makePhraseSet();
    static SubjectNode makePhrase(const QString& file, qint64 number, const QString& phrase,
                                  const QString& translation, const QString& translation2);
    static SubjectNode makePlaceholder();

    bool is(Kind k) const { return kind == k; }
    // A node an activity studies (through itself, not its parent).
    bool isStudied() const
    {
        return kind == Kind::Subject || kind == Kind::VirtualSubject || kind == Kind::PhraseSet;
    }
    // Studied through the phrase nodes under it, each from its own installed subject.
    bool isStudiedByPhrase() const { return kind == Kind::VirtualSubject || kind == Kind::PhraseSet; }

    // The node's value; a default one (Kind::None) for no item or an item without one.
    static SubjectNode of(const QTreeWidgetItem* item);
    static void set(QTreeWidgetItem* item, const SubjectNode& node);
    static constexpr int Role = Qt::UserRole;

    friend bool operator==(const SubjectNode&, const SubjectNode&) = default;
};

Q_DECLARE_METATYPE(SubjectNode)
