#pragma once

#include "study/StudySet.h"

#include <vector>

class QTreeWidgetItem;
class QWidget;
class SubjectTree;

// The tree side of collecting phrases: which phrases a subject node stands for, the check
// of a virtual subject before study, and drawing the random phrases set into the tree.

// The (file, number) pairs of a subject node's phrase children, in tree order.
std::vector<PhraseRef> phraseRefs(const QTreeWidgetItem* subject);

// Fills the study set from a subject node and writes the sound files; returns the count.
// An installed subject gives its first ten phrases; a virtual subject or the random
// phrases set gives its phrase children's phrases read from their installed subjects.
// A failure (a file that cannot be read or written) is shown to the learner, leaves no file
// of the set behind, returns 0 and sets failed.
// A launch passes the sources it made from phraseRefs(subject), so that each file is opened
// once for both this and checkVirtualSubject.
int collectPhrasesToStudy(const QTreeWidgetItem* subject, QWidget* parent, bool* failed = nullptr,
                          StudySet::SourceSubjects* sources = nullptr);

// True when the virtual subject (or random phrases set) has at least one phrase that can
// be studied. Phrases whose subject file is missing are listed for the learner, with the
// offer of the help page about subjects. A subject without a valid phrase gets image 11.
bool checkVirtualSubject(SubjectTree* tree, QTreeWidgetItem* subject, QWidget* parent,
                         StudySet::SourceSubjects* sources = nullptr);

// Draws ten phrases into the random phrases set node (nothing when it has them already).
// When no installed subject can give a phrase, says so and removes the set node.
void randomPhrases(SubjectTree* tree, QTreeWidgetItem* set);
