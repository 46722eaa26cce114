#pragma once

#include "app/AppState.h"

#include <QString>

// Where the program reads and writes: the program folder when it is writable, otherwise a
// per-user data folder that gets a copy of the shipped virtual subjects folder once.

// True when the write test FAILED (the folder cannot be written). Leaves nothing behind.
bool TestWriteFolder(const QString& folder);
// The per-user data folder (~/.local/share), without trailing "/"; "" when unavailable.
QString Get_Application_Data_Folder();
bool Copy_Folder(const QString& source, const QString& destination, QString* error);

// Fills the working folders of the state. Returns false with the error when a folder
// cannot be created or copied; the folders computed before the failure stay set.
bool Set_Paths(AppState& state, QString* error);
