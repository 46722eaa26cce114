#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// File and folder helpers shared by the whole program. Every folder path ends with "/";
// a file path is a folder path followed by a bare file name.

// The folder of the running executable, ending with "/".
QString ProgramFolder();
// The system temporary folder, ending with "/".
QString TempFolder();
// Appends "/" unless the path already ends with one (so the root "/" stays "/").
QString withTrailingSlash(const QString& folder);
// True when a regular, non-hidden file matches; a pattern with * or ? counts when any file matches.
bool FileExists(const QString& pathOrPattern);
// The names of the files in a folder (regular files and links to them; hidden ones and
// anything else left out), in no particular order. Only names and types are read, so a
// folder of thousands of files costs little. A missing or unreadable folder has none.
QStringList fileNamesIn(const QString& folder);
// A name from a caption, a person or a file that may be used as one path component:
// not empty, no "/", not "." or "..", no NUL, no leading or trailing blank.
bool isSafeFileName(const QString& name);
// How a replaced file reaches the disk. ToDisk: the bytes are on the disk before the file
// is renamed into place. Eventually: the system writes them when it likes, which spares a
// wait of milliseconds (tens on a spinning disk); only for files the program can make
// again and checks when it reads them, since a crash may leave one empty or cut short.
enum class Durability
{
    ToDisk,
    Eventually
};
// Writes the bytes to a temporary file beside the target and renames it into place, so a
// reader never sees half a file. Returns false with the reason in error.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error,
                         Durability durability = Durability::ToDisk);
// Copies a file into place the same way, reading and writing a megabyte at a time: a file
// of any size costs no more memory than that.
bool copyFileAtomically(const QString& source, const QString& target, QString* error);
// Tests send the writes of chosen paths elsewhere (for example "/dev/full", a real device
// that refuses every byte); the function returns the path to open or "" for the file itself.
// PrivateFolder's writes follow it.
void setWriteRedirectForTests(std::function<QString(const QString& path)> redirect);
QString writeRedirectFor(const QString& path);
// Makes sure the folder exists as a private folder of this user: created with mode 0700,
// otherwise it must be a real folder (never a link) owned by this user; group and others
// lose any access. Returns false with the reason otherwise.
bool makePrivateFolder(const QString& folder, QString* error);
// A folder only this user can write, for the files of the running program (its single-copy
// socket, the files it hands to activities), ending with "/": $XDG_RUNTIME_DIR when that is a
// private folder of this user; otherwise a private folder "run-<host>" in the program's
// folder of the user's cache. Empty when neither can be had.
QString userRuntimeFolder();
// A private folder of this user in parent, a folder every user may write (the temporary
// folder): named name, or, when another user has taken that name, name-1 to name-9, the
// first that is or can be made this user's; ends with "/". Empty with the reason when every
// name is taken.
QString privateFolderIn(const QString& parent, const QString& name, QString* error);
// The private folder "parlanto-<uid>" of the running program's files: in runtimeFolder when
// there is one, otherwise in the temporary folder (see privateFolderIn). Empty with the
// reason when none can be had.
QString userPrivateFolder(const QString& runtimeFolder, const QString& tempFolder, QString* error);
// True while the process with that id exists (a finished process not yet reaped counts as ended).
bool processIsRunning(qint64 pid);
// Copies a folder tree; existing files at the destination are overwritten.
bool copyFolder(const QString& source, const QString& destination, QString* error);
// Returns after the given seconds, letting pending events run meanwhile.
void Pause(int seconds);
// Lets pending events run once (the long loaders call this after each item).
void processPendingEvents();
// Milliseconds since Pause() or processPendingEvents() last let events run: a loader that
// starts straight after them need not let events run again at once.
qint64 msSinceEventsRan();
