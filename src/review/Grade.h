#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// How a learner did on one phrase: the four answers of the scheduler, stored as the integers
// 1 to 4 (tblPhraseResults.nGrade, the class server's grade column, the export's Grade).
enum class Grade : int
{
    Again = 1,
    Hard = 2,
    Good = 3,
    Easy = 4
};

namespace Grades {

// The grade a stored integer stands for; none for any other number (a row no program of ours
// wrote). The one place that knows the range.
constexpr std::optional<Grade> fromStored(qint64 value)
{
    if (value < qint64(Grade::Again) || value > qint64(Grade::Easy))
        return std::nullopt;
    return Grade(int(value));
}

constexpr int stored(Grade grade)
{
    return int(grade);
}

// Every grade but Again: the phrase was recalled.
constexpr bool recalled(Grade grade)
{
    return grade != Grade::Again;
}

// The grade's English name, as files written for other programs give it.
inline QString name(Grade grade)
{
    switch (grade) {
    case Grade::Again:
        return QStringLiteral("Again");
    case Grade::Hard:
        return QStringLiteral("Hard");
    case Grade::Good:
        return QStringLiteral("Good");
    case Grade::Easy:
        break;
    }
    return QStringLiteral("Easy");
}

} // namespace Grades
