#pragma once

#include <QString>
#include <QStringList>

// The main window's hidden file lists: the installed subjects (installedFiles), the virtual subject
// files (File2) and the activity programs (FileAct), as bare file names in name order.
namespace FileLists {

// Regular files of a folder whose names match the pattern ("*.ita").
QStringList matching(const QString& folder, const QString& pattern);
// Every executable regular file of the activities folder that is not a ".cfg" file.
QStringList activityPrograms(const QString& folder);

} // namespace FileLists
