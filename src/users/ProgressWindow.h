#pragma once

#include "users/ResultsHistory.h"

#include <QDate>
#include <QDialog>

class MemoryView;
class ProgressCharts;
class QLabel;
class QPushButton;
class QTreeWidget;
class StudyHabitView;

// "My progress": the logged-in learner's results over time, for every learner. A short
// summary (sessions this week, subjects studied, best and latest score per subject) above
// a chart per activity, what the learner remembers of the phrases studied (MemoryView), and
// the calendar of study days with the daily goal (StudyHabitView).
class ProgressWindow : public QDialog
{
    Q_OBJECT
public:
    ProgressWindow(const QString& learner, QWidget* parent = nullptr);

    // Reads the learner's results from the users database; false with the reason otherwise.
    bool load(const QString& usersDatabasePath, const QDate& today, QString* error);
    // Shows the learner's window modally over parent; errors are reported there.
    static void open(QWidget* parent, const QString& learner);

private:
    QString m_learner;
    QLabel* m_sessions = nullptr;
    QLabel* m_subjectCount = nullptr;
    QTreeWidget* m_subjects = nullptr;
    ProgressCharts* m_charts = nullptr;
    MemoryView* m_memory = nullptr;
    StudyHabitView* m_habit = nullptr;
    QPushButton* m_close = nullptr;
};
