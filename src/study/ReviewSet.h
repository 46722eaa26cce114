#pragma once

#include "review/PhraseMemory.h"
#include "subjects/SubjectFile.h"

#include <vector>

struct AppState;

// Which due phrases the review studies: the most overdue first, leaving out those that can no
// longer be studied (the subject file is not installed or fails the edition check, the phrase
// is no longer in it, the number is not a phrase's or the name no plain installed file name),
// so that they never hold the others back.
namespace ReviewSet {

struct Choice
{
    struct Chosen
    {
        QString subjectFile;
        Phrase phrase; // its texts, without the sound
    };
    std::vector<Chosen> phrases; // at most limit, most overdue first
    int studyable = 0;           // phrases due that can be studied, as far as was looked
    int unstudyable = 0;         // phrases due that cannot be
};

// Each subject file is opened at most once per round of ten, and only for the phrases looked
// at; the others due are counted by their subject file's name alone.
Choice choose(const AppState& state, const PhraseMemory& memory, qint64 day, int limit);

} // namespace ReviewSet
