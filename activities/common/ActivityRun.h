#pragma once

#include "ActivityInput.h"
#include "review/Grade.h"

#include <QString>

#include <optional>
#include <vector>

class QWidget;

// One run of an activity through the phrases of its input file, whatever window shows it:
// which phrase is current, how each phrase was graded and the end, where the score and the
// graded phrases are recorded once through the one score writer. A phrase counts as right
// when graded anything but Again.
class ActivityRun
{
public:
    ActivityRun(const ActivityInput& input, const QString& activity);

    const ActivityInput& input() const { return m_input; }
    const QString& activity() const { return m_activity; }
    int size() const { return int(m_input.phrases.size()); }
    int index() const { return m_index; }
    const ActivityPhrase& phrase() const { return m_input.phrases.at(size_t(m_index)); }
    bool isLast() const { return m_index + 1 >= size(); }

    // Grades the current phrase; a phrase is graded once, and not after the end.
    bool grade(Grade grade);
    bool currentGraded() const { return m_index < size() && m_grades[size_t(m_index)].has_value(); }
    // Each phrase's grade; none where a phrase was not graded.
    const std::vector<std::optional<Grade>>& grades() const { return m_grades; }
    int answered() const;
    int right() const;
    // The phrases graded Again, in their order.
    std::vector<int> missed() const;

    // Goes on from a graded phrase to the next one; false at the last phrase (or ungraded).
    bool next();

    bool ended() const { return m_ended; }
    // Records right of the phrases graded (all of them at the end; those so far when left
    // early, and nothing when none was), once. When that fails the learner is told in window,
    // with failureText; false with the reason in *error.
    bool end(QWidget* window, const QString& failureText, QString* error);

private:
    const ActivityInput m_input;
    const QString m_activity;
    int m_index = 0;
    bool m_ended = false;
    std::vector<std::optional<Grade>> m_grades;
};
