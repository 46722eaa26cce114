#pragma once

#include "subjects/SubjectFile.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// The learner's virtual subject files seen as folders of the editor: naming, creating,
// renaming and deleting the files, and copying installed subjects and phrases into them.
// No widgets: the editor window calls these and shows what they return.
namespace VirtualFolders {

// A virtual subject takes a dropped phrase only while it holds fewer than this many.
constexpr int MaxPhrases = 10;

// The file name of a folder: its name, ".v" and the edition's language code.
QString fileName(const QString& folderName, const QString& languageCode);

// The default name for a new folder: base alone, or base, a blank and a number. count is
// how many nodes of the tree have a text that begins with base; a candidate is taken while
// a node has exactly its text or taken(candidate) says so (its file exists, say).
QString defaultName(const QString& base, int count, const QSet<QString>& texts,
                    const std::function<bool(const QString&)>& taken);
// How many of the texts begin with base (exact comparison, letter case counts).
int countStartingWith(const QString& base, const QStringList& texts);

// Whether a folder name can become a file name here: not blank, no "/", no leading "."
// or blank, no trailing blank, not too long for the file system. Accents, blanks inside
// and apostrophes are ordinary.
enum class NameCheck
{
    Valid,
    Blank,
    NotAFileName,
};
NameCheck checkName(const QString& name, const QString& languageCode);

// A new folder: a copy of the template under the given name. Never overwrites a file.
bool create(const QString& templatePath, const QString& path, QString* error);

// Renames folder file oldFile in folder to newName. The file is renamed in one step and an
// existing file is never replaced; on any failure the old file stays as it was.
enum class RenameOutcome
{
    Renamed,
    Unchanged, // the same name: nothing to do
    Exists,    // another file already has the name
    BadName,
    Failed, // see error
};
RenameOutcome rename(const QString& folder, const QString& oldFile, const QString& newName,
                     const QString& languageCode, QString* newFile, QString* error);

// Deletes a folder's file: moved to the desktop's trash where there is one, removed for
// good only where there is none.
enum class DeleteOutcome
{
    Trashed,
    Deleted,
    Failed,
};
DeleteOutcome remove(const QString& path, QString* error);

// Copies every phrase of an installed subject (texts, file name and number; never the
// sound) into a new virtual subject named name, in one transaction. The returned phrases
// carry their new keys.
struct CopiedSubject
{
    qint64 nParent = 0;
    std::vector<VirtualPhrase> phrases;
};
std::optional<CopiedSubject> copySubject(const QString& installedPath, const QString& virtualPath,
                                         const QString& name, QString* error);

// Appends one phrase to a virtual subject; returns it with its new key.
std::optional<VirtualPhrase> copyPhrase(const QString& virtualPath, qint64 nParent,
                                        const VirtualPhrase& phrase, QString* error);

// The deletions of virtual subjects and phrases made since the editor opened, newest last,
// so that each can be undone: the rows come back exactly (VirtualSubjectFile::restoreRows).
// Folders are named by their file's full path; a rename or deletion of a folder is told here
// so that the entries follow it.
class DeletionHistory
{
public:
    struct Entry
    {
        QString path; // the virtual subject file
        VirtualSubjectFile::DeletedRows rows;
    };
    bool deleteSubject(const QString& path, qint64 nParent, QString* error);
    bool deletePhrase(const QString& path, qint64 phraseNo, QString* error);
    bool canUndo() const { return !m_entries.empty(); }
    // Puts the newest deletion back and returns it; nullopt when there is none (error left
    // empty) or when it could not be written (error set; it stays to be tried again).
    std::optional<Entry> undo(QString* error);
    void folderRenamed(const QString& oldPath, const QString& newPath);
    void folderDeleted(const QString& path);

private:
    std::vector<Entry> m_entries;
};

} // namespace VirtualFolders
