#pragma once

#include <QString>

struct AppState;

// The files handed to activity programs: per launch an input file "~prl<handle>.txt" and
// one sound file "~prl<handle><slot>.wav" per phrase, where the handle is a number of its
// own for every launch. They live in this launcher's folder, named by its process id, inside
// a private per-user folder "parlanto-<uid>" (mode 0700, checked to be our own real folder)
// where no other user can make it first: in the learner's runtime folder, or, without one,
// in the temporary folder, under another name of the kind when another user took that one
// (see userPrivateFolder). The launcher's folder is the activities' working folder.
//
// A set stays while its activity runs; it is removed at the next launch after the activity
// has ended, and every set goes when the launcher ends (also on SIGTERM or SIGHUP). Folders
// left by launchers that no longer run are removed when the next one starts.
namespace HandOverFiles {

// Makes the private folder and this launcher's folder, removes what ended launchers left,
// and sets state.handOverFolder. Returns false with the reason when no private folder can be had.
bool prepare(AppState& state, QString* error);

// Starts a new set: removes the sets of activities that have ended and gives the state a new
// launch handle, which names the set's files. Prepares the folder first if needed.
bool beginSet(AppState& state, QString* error);
// The activity of the newest set was started with that process id.
void setStarted(AppState& state, qint64 activityPid);
// Removes the newest set at once (it could not be written whole or not be started).
void discardNewest(AppState& state);
// Removes the sets whose activity has ended or was never started.
void removeEnded(AppState& state);
// Removes every set and this launcher's folder (when the launcher ends); the set of an
// activity still running stays, and the folder with it.
void removeAll(AppState& state);

// Writes a new file of that bare name in the launcher's folder, relative to the folder
// opened by prepare(): never through a link, never over a file already there, and not at
// all when the folder's name no longer leads to it. False with the reason otherwise.
bool writeFile(const AppState& state, const QString& name, const QByteArray& bytes, QString* error);
// Renames a file of the launcher's folder within it, under the same checks.
bool renameFile(const AppState& state, const QString& from, const QString& to, QString* error);
// Removes a file of the launcher's folder (a link itself, never what it leads to).
void removeFile(const AppState& state, const QString& name);

} // namespace HandOverFiles

// Deletes the files handed to activities that are no longer running; a running activity
// keeps its files. Every failure is ignored.
void CleanTempFiles(AppState& state);
