#pragma once

#include "users/UsersBackup.h"

#include <QString>

class QWidget;

// Bringing a backup of the users database back, as the windows ask for it.
namespace BackupRestore {

// "2026-12-08 14:30 (taken before clearing)": how a copy is named to people.
QString describe(const BackupCopy& copy);

// Asks whether to bring the copy back, naming its date; on Yes keeps the present file in a
// copy of its own and restores. Errors are shown. True when the copy was brought back.
bool askAndRestore(QWidget* parent, const UsersBackup& backup, const BackupCopy& copy);

// After a damaged users database was set aside: offers the newest copy that opens. True
// when it was brought back.
bool offerNewestCopy(QWidget* parent, const QString& usersDatabasePath);

} // namespace BackupRestore
