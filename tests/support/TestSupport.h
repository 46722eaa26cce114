#pragma once

#include "subjects/SubjectFile.h"

struct AppState;

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

// Helpers shared by the tests: real files in temporary folders, never the user's own.
namespace TestSupport {

// A small valid WAVE file (PCM mono 16 bit) whose samples depend on seed.
QByteArray makeWave(int seed, int milliseconds = 100);
// Writes an installed subject with n phrases numbered 1..n for the given edition.
bool writeSubject(const QString& path, const QString& programCode, int phraseCount, QString* error = nullptr);
// The edition this build was made for ("prlita"), and editions that are not it
// (n = 0, 1, 2: "prlspa", "prlfre", "prlger", skipping the build's own).
QString ownEdition();
QString otherEdition(int n = 0);
// File names of the build's edition: "a" gives "a.ita" and "a.vita" in the Italian one.
QString subjectFile(const QString& base);
QString virtualFile(const QString& base);
// Bytes of a file that exists but is not a database.
void writeGarbage(const QString& path, int bytes = 4096);

// "caption 1" ... "caption 359": a test can tell which caption a text was made of.
QString captionText(int n);
void useNumberedCaptions(AppState& state);
// Points the working folders into root (program/, data/, temp/ and the subject and
// activity folders below them, the learner's subjects in data/Subjects/) and creates
// program/, data/ and temp/.
bool useFoldersUnder(AppState& state, const QString& root);

// The command prefix that runs a program as an unprivileged user: empty when the tests do
// not run as root (they are unprivileged already), setpriv or runuser as root. Sets
// *available to false when root has neither.
QStringList unprivilegedCommand(bool* available = nullptr);
// Hands a file or folder to that user (as root; otherwise it is the tester's already).
bool giveToUnprivilegedUser(const QString& path);

// A writer of the virtual subject file in a process of its own, killed (SIGKILL) in the middle
// of a transaction whose pages already reached the file: a hot journal is left beside it.
// False when the writer did not die that way.
bool killVirtualSubjectWrite(const QString& path, char fill);

// A widget of a window found as a user's tool finds it, by its objectName; a missing
// widget fails the calling test instead of crashing it.
template <typename T>
T* child(const QObject* parent, const char* name)
{
    T* found = parent ? parent->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    if (!found)
        qWarning("no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

} // namespace TestSupport
