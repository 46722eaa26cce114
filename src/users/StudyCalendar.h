#pragma once

#include "users/StudyDays.h"

#include <QDate>
#include <QWidget>

// The calendar of study days: one cell a day, a column a week (Monday at the top), shaded by
// the phrases answered that day, today framed. Arrow keys move the current day (up and down a
// day, left and right a week), Home and End to the first and last day; the current day's text
// ("Tuesday, 8 December: 34 phrases") is the calendar's accessible description and each
// cell's tooltip.
class StudyCalendar : public QWidget
{
    Q_OBJECT
public:
    explicit StudyCalendar(QWidget* parent = nullptr);

    // Shows the days from first to last (inclusive) of these counts; the current day stays
    // when it lies within them, else becomes today when it does, else the last day.
    void setDays(const StudyDays* days, const QDate& first, const QDate& last, const QDate& today, int goal);
    QDate currentDay() const { return m_current; }
    // What a day says to the learner, in the interface's language.
    QString dayText(const QDate& day) const;

    QSize sizeHint() const override;

signals:
    // The calendar has been painted for the first time.
    void firstPainted();

public:
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Geometry
    {
        int cell = 0; // side of a cell, in pixels
        int step = 0; // cell and gap
        int top = 0;  // below the month names
        qint64 firstMonday = 0;
    };
    Geometry geometry() const;
    QRect cellRect(const Geometry& g, const QDate& day) const;
    QDate dayAt(const QPoint& point) const;
    void setCurrent(const QDate& day);
    int level(int count) const;

    const StudyDays* m_days = nullptr;
    QDate m_first, m_last, m_today, m_current;
    int m_goal = 0;
    bool m_painted = false;
};
