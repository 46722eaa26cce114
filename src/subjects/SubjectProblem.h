#pragma once

#include <QString>

class QWidget;

// Tells the learner why a subject cannot be used, from a verdict of checkSubject:
// another edition's subject gets an OK box naming the file and this edition; a damaged file
// or one that is no subject of this program is said in plain words, naming the file, with
// a warning icon, and the help page about subjects ("subjects.htm") is offered with No as
// the default. That question is asked once per file in a run; afterwards the box only says
// what is wrong, or nothing at all when the caller passes Repeat::Quiet (a click in the
// editor's tree, which marks the subject itself). A "VALID" verdict shows nothing.
enum class Repeat
{
    Tell,
    Quiet
};
void reportSubjectProblem(const QString& fileName, const QString& verdict, QWidget* parent = nullptr,
                          Repeat repeat = Repeat::Tell);

// The plain words for a verdict that is neither valid nor another edition's: damaged, not a
// subject of this program, or could not be read; the file name follows.
QString subjectProblemText(const QString& fileName, const QString& verdict);
