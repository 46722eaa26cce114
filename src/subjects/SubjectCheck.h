#pragma once

#include <QString>

// The verdict on an installed subject file (a bare file name in the installed subjects
// folder) for this edition: "VALID", "WRONG_LANGUAGE*" followed by the file's edition code,
// or the description of the error met. Shows nothing, changes nothing, never throws.
QString Check_Subject(const QString& fileName);

// The kind of a verdict: its first "*" field ("VALID", "WRONG_LANGUAGE" or the description).
QString verdictKind(const QString& verdict);
