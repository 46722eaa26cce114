#pragma once

#include <QString>

// The verdict on an installed subject file (a bare file name in the installed subjects
// folder) for this edition: "VALID", "WRONG_LANGUAGE*" followed by the file's edition code,
// or the description of the error met. Shows nothing, changes nothing, never throws.
QString checkSubject(const QString& fileName);

// The path of an installed subject file named by a file (a virtual subject's row, a tree
// tag): "" unless the name is a plain file name (no folder, no "..", no wildcard), so that
// nothing outside the installed subjects folder is ever opened. Callers treat "" as a
// missing subject file.
QString installedSubjectPath(const QString& folder, const QString& fileName);
QString installedSubjectPath(const QString& fileName); // the learner's or the program's folder

// The kind of a verdict: its first "*" field ("VALID", "WRONG_LANGUAGE" or the description).
QString verdictKind(const QString& verdict);
