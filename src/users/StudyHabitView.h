#pragma once

#include "users/StudyDays.h"

#include <QGroupBox>

#include <optional>

class QComboBox;
class QLabel;
class QSpinBox;
class StudyCalendar;

// The study habit part of "My progress": the calendar of study days (the last 12 months or
// an earlier year), the daily goal, which is stored for the learner at once, and how often it
// was met: the days of the last seven and the longest run of weeks met on most days, with the
// rule said in a sentence. The last 12 months are read before the window opens; the whole
// history (the earlier years and the longest run) once the calendar has been painted.
class StudyHabitView : public QGroupBox
{
    Q_OBJECT
public:
    StudyHabitView(const QString& learner, QWidget* parent = nullptr);

    // Reads the learner's goal and the days of the last 12 months; false with the reason
    // otherwise.
    bool load(const QString& usersDatabasePath, const QDate& today, QString* error);

    StudyCalendar* calendar() const { return m_calendar; }
    QComboBox* yearChoice() const { return m_year; }
    QSpinBox* dailyGoal() const { return m_goal; }

signals:
    // The whole history has been read and shown.
    void historyRead();

private:
    void readHistory();
    void showYear(int index);
    void showGoal();
    void onGoalChanged(int goal);

    QString m_learner;
    QString m_path;
    QDate m_today;
    int m_storedGoal = 0;
    bool m_wholeHistory = false;
    std::optional<StudyDays> m_days;
    QComboBox* m_year = nullptr;
    StudyCalendar* m_calendar = nullptr;
    QSpinBox* m_goal = nullptr;
    QLabel* m_recent = nullptr;
    QLabel* m_longest = nullptr;
    QLabel* m_rule = nullptr;
};
