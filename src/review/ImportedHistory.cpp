#include "ImportedHistory.h"

#include "review/PhraseResults.h"
#include "state/AppState.h"

namespace ImportedHistory {

std::optional<int> keep(const QString& usersDatabase, const QString& learner,
                        const VocabularyImport::Result& result, QString* error)
{
    std::vector<PhraseResultRow> rows;
    rows.reserve(result.reviews.size());
    for (const VocabularyImport::Result::Review& r : result.reviews)
        if (const auto grade = Grades::fromStored(r.grade))
            rows.push_back({learner, {r.subjectFile, r.phraseNo}, Activity, r.utcSeconds, *grade});
    if (rows.empty())
        return 0;
    return PhraseResults::insertMissing(usersDatabase, rows, error);
}

std::optional<int> keepForLoggedInLearner(const VocabularyImport::Result& result, QString* error)
{
    const AppState& s = app();
    return keep(s.usersDatabasePath(), s.CurrentUser, result, error);
}

} // namespace ImportedHistory
