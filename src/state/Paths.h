#pragma once

#include "state/AppState.h"

#include <QString>

// Where the program reads and writes: the program folder when it is writable, otherwise a
// per-user data folder that gets a copy of the shipped virtual subjects folder once.

// True when the write test FAILED (the folder cannot be written). Leaves nothing behind.
bool TestWriteFolder(const QString& folder);
// The per-user data folder (~/.local/share), without trailing "/"; "" when unavailable.
QString applicationDataFolder();
// Copies source to destination once: a new copy is made beside it and renamed into place.
bool copyFolderOnce(const QString& source, const QString& destination, QString* error);

// Fills the working folders of the state. Returns false with the error when a folder
// cannot be created or copied; the folders computed before the failure stay set, except
// the data folder, which is left empty when the program has no folder of its own to
// write in (the program must then end).
bool setPaths(AppState& state, QString* error);

// True when the data folder is a last resort in the temporary folder, which the system
// may empty.
bool dataFolderIsTemporary(const AppState& state);
// True the first time for such a data folder (and never for another): the learner is to
// be told where the data is kept and that it may not last. Marks the folder as told.
bool takeTemporaryDataNotice(const AppState& state);
