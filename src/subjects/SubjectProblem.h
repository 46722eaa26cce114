#pragma once

#include <QString>

class QWidget;

// Tells the learner why a subject cannot be used, from a verdict of checkSubject:
// another edition's subject gets an OK box naming the file and this edition; any other
// problem gets a Yes/No box offering the help page about subjects ("subjects.htm").
// A "VALID" verdict shows nothing.
void reportSubjectProblem(const QString& fileName, const QString& verdict, QWidget* parent = nullptr);
