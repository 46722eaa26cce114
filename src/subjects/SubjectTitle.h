#pragma once

#include <QString>

// Display title of an installed subject file: the pieces between "_" each preceded by one
// space, the dot and three-letter extension dropped, every word in proper case.
// "basic_phrases.ita" -> " Basic Phrases", "MyTopic.ita" -> " Mytopic". The leading space
// is kept; the installed subjects list trims it, the random subject shows it as it is.
QString properTitle(const QString& fileName);

// Folder name of a virtual subject file: the file name without its last five characters
// (".v" and the three-letter code), underscores and case unchanged.
QString virtualFolderTitle(const QString& fileName);
