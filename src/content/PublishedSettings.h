#pragma once

#include "state/AppState.h"

#include <QDate>
#include <QStringList>

#include <functional>

// The values the program keeps in the edition's settings key: the three folders it
// publishes for other programs, and the date of the last update check.
namespace PublishedSettings {

// Writes "ProgramDir", "InstalledSubjectsDir" and "VirtualSubjectsDir" where the stored
// value differs from the folder, letter case ignored. Returns the names written.
QStringList publishFolders(const AppState& state);

// "DateChecked" as a date; a missing or unreadable value gives an invalid date.
QDate dateChecked(const QString& key);
// Dates are stored as yyyy-MM-dd.
QString dateText(const QDate& date);

// The weekly schedule: a missing or unreadable "DateChecked" becomes today. When today is
// seven or more days after it and there is a connection, today is stored and the update
// check is due (true). The connection state is asked for only when the date is due.
bool updateCheckDue(const QString& key, const QDate& today, const std::function<bool()>& connected);

// The weekly check can be switched off with the text value "CheckForUpdates" ("false",
// "no", "off" or "0"; "true", "yes", "on" or "1" switch it on). Without the value the
// build decides (on, unless the build was configured with PARLANTO_UPDATE_CHECK=OFF).
bool updateCheckEnabled(const QString& key);

} // namespace PublishedSettings
