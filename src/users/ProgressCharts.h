#pragma once

#include "users/ResultsHistory.h"

#include <QList>
#include <QWidget>

class QAbstractScrollArea;
class QChartView;
class QLabel;
class QTreeWidget;
class QVBoxLayout;

// A chart per activity of the score (as a percentage) by date, and below them the results
// whose score or date cannot be read, which are listed instead. Shared by the learner's
// progress window and the administrator's results window.
class ProgressCharts : public QWidget
{
    Q_OBJECT
public:
    explicit ProgressCharts(QWidget* parent = nullptr);

    // Replaces the charts with those of these results. emptyText is shown when there are none.
    void setEntries(const QList<HistoryEntry>& entries, const QString& emptyText);

    // What a screen reader calls the charts' area (the window's own view of the results).
    void setAccessibleTitle(const QString& title);

    // Where the keyboard enters the charts.
    QWidget* focusTarget() const;

    QList<QChartView*> chartViews() const { return m_views; }

private:
    QChartView* makeView(const ResultsHistory::Series& series);

    QVBoxLayout* m_chartsLayout = nullptr;
    QList<QChartView*> m_views;
    QLabel* m_empty = nullptr;
    QAbstractScrollArea* m_scroll = nullptr;
    QLabel* m_unreadableLabel = nullptr;
    QTreeWidget* m_unreadable = nullptr;
};
