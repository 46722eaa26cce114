#pragma once

#include "import/VocabularyImport.h"

#include <QString>

#include <optional>

// The review history a vocabulary import brought along (an Anki package's review log, see
// VocabularyImport::Options::learner) made the learner's per-phrase rows, with "Anki" as
// their activity: in one transaction, so all of them land or none; a review already among the
// learner's rows is not added again, so the same package imported twice adds it once. The
// schedule read next takes the rows in as any others (a row older than the memory kept makes
// it be worked out again from every row).
namespace ImportedHistory {

inline const QString Activity = QStringLiteral("Anki");

// The number of rows added.
std::optional<int> keep(const QString& usersDatabase, const QString& learner,
                        const VocabularyImport::Result& result, QString* error);
// The same for the learner logged in, in the program's users database (what the import
// window is given to keep a history with).
std::optional<int> keepForLoggedInLearner(const VocabularyImport::Result& result, QString* error);

} // namespace ImportedHistory
