#pragma once

#include <QString>

#include <vector>

struct AppState;

// A phrase pointed to by the tree: the installed subject file and its pkPhraseNo.
struct PhraseRef
{
    QString subjectFile;
    qint64 phraseNo = 0;
};

// Collecting the study set: at most ten phrases read from their installed subjects into
// the state's StudyPhrases (slots 1..n), each phrase's sound written unchanged to the
// slot's own wave file of a new hand-over set (HandOverFiles). Sets of activities that have
// ended are deleted first.
namespace StudySet {

struct Result
{
    int count = 0;
    QString error; // set when something went wrong; then count is 0 and no file of the set is left
};

// The first ten phrases of an installed subject, in table order.
Result collectInstalledSubject(AppState& state, const QString& fileName);
// The phrases of a virtual subject or of the random phrases set, texts re-read from their
// installed subjects. Phrases whose file is missing, fails the edition check or no longer
// holds that phrase are skipped.
Result collectPhrases(AppState& state, const std::vector<PhraseRef>& phrases);

} // namespace StudySet
