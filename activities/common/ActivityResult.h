#pragma once

#include "ActivityInput.h"
#include "review/Grade.h"
#include "review/PhraseResults.h"

#include <QString>

#include <optional>
#include <vector>

class QWidget;

// The one form of a score in every activity and in the results: right of total and the
// percentage rounded, "6/9 (67%)". tblscores keeps that text in textScore and the
// percentage in numberScore.
namespace ActivityResult {

int percentage(int right, int total);
QString scoreText(int right, int total);

// Appends the learner's score to the users database named in the input, with the phrases'
// grades in the same transaction when the launcher named the phrases (the ids file beside the
// input file) and grades holds one per phrase (none: not graded). When that fails the learner is
// told, with the score so that it is not lost from sight; the database is left as it was.
// Returns false with the reason in error.
bool record(QWidget* window, const ActivityInput& input, const QString& activity, int right, int total,
            const QString& failureText, QString* error, const std::vector<std::optional<Grade>>& grades = {});

// The per-phrase rows of the graded phrases whose identity the ids file beside the input file
// gives; none without that file (an older launcher) or when it does not match the input.
std::vector<PhraseResultRow> phraseRows(const ActivityInput& input, const QString& activity,
                                        const std::vector<std::optional<Grade>>& grades, qint64 utcSeconds);

} // namespace ActivityResult
