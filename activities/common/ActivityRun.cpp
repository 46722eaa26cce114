#include "ActivityRun.h"

#include "ActivityResult.h"

#include <algorithm>

ActivityRun::ActivityRun(const ActivityInput& input, const QString& activity)
    : m_input(input), m_activity(activity), m_grades(input.phrases.size())
{
}

bool ActivityRun::grade(Grade grade)
{
    if (m_ended || m_index >= size() || currentGraded())
        return false;
    m_grades[size_t(m_index)] = grade;
    return true;
}

int ActivityRun::answered() const
{
    return int(std::count_if(m_grades.begin(), m_grades.end(), [](const auto& g) { return g.has_value(); }));
}

int ActivityRun::right() const
{
    return int(std::count_if(m_grades.begin(), m_grades.end(),
                             [](const auto& g) { return g && Grades::recalled(*g); }));
}

std::vector<int> ActivityRun::missed() const
{
    std::vector<int> found;
    for (size_t i = 0; i < m_grades.size(); ++i)
        if (m_grades[i] == Grade::Again)
            found.push_back(int(i));
    return found;
}

bool ActivityRun::next()
{
    if (m_ended || !currentGraded() || isLast())
        return false;
    ++m_index;
    return true;
}

bool ActivityRun::end(QWidget* window, const QString& failureText, QString* error)
{
    if (m_ended)
        return true;
    m_ended = true;
    if (answered() == 0)
        return true;
    return ActivityResult::record(window, m_input, m_activity, right(), answered(), failureText, error,
                                  m_grades);
}
