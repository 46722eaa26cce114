#pragma once

#include <QString>
#include <QStringList>

struct AppState;

// Installed subjects come from two folders: the program's own (read-only once installed)
// and the learner's (DataFolder + the subjects folder's caption name), where a learner
// of an installed copy adds subjects. They are one list: a learner's file of the same
// name stands in for the program's. When the program folder is writable both folders are
// the same. Everything that reads an installed subject by name goes through here.

// The file names of both folders, sorted by name without regard to case, each once.
QStringList installedSubjectNames(const AppState& state);
// The path of an installed subject by its bare file name: the learner's file when there
// is one, otherwise the program folder's (which need not exist); "" for a name that is not
// a plain file name.
QString installedSubjectPath(const AppState& state, const QString& fileName);

// Adding a file to the learner's subjects (a file opened with the program). A subject file
// holds texts and short sounds: a file over this size is refused before it is read.
constexpr qint64 MaxSubjectFileBytes = 64LL * 1024 * 1024;
struct SubjectImport
{
    enum Kind
    {
        InstalledSubjectFile, // a subject file of this edition that passed the check
        VirtualSubjectFile,   // a virtual subject file that can be read
        Refused,              // failed the check: verdict says why
        WrongName,            // readable, but its name would not be listed
    };
    Kind kind = Refused;
    QString verdict;       // the check's verdict (or the read error of a virtual subject file)
    QString target;        // where it is copied to
    bool exists = false;   // a file of that name is already there
    bool sameFile = false; // the file opened is that file already
};

// Checks the file as the program checks subjects and says where it would go.
SubjectImport checkSubjectImport(const AppState& state, const QString& path);
// Copies the file to the import's target, replacing an existing one only when asked.
// The copy is written beside the target and renamed into place.
bool copySubjectImport(const QString& path, const SubjectImport& import, bool replace, QString* error);
