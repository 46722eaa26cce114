#pragma once

#include "review/PhraseMemory.h"

#include <QGroupBox>

#include <optional>

class QBarSet;
class QChartView;
class QDoubleSpinBox;
class QLabel;

// The memory part of "My progress": how many phrases are new, being learnt and known, the
// reviews falling due on each of the next 14 days as a bar chart, the share remembered over
// the last 30 days beside the desired retention, and the desired retention itself (0.70 to
// 0.97), which is stored for the learner at once; and in one sentence whether the schedule is
// fitted to the learner's answers yet.
class MemoryView : public QGroupBox
{
    Q_OBJECT
public:
    static constexpr int ForecastDays = 14;
    static constexpr int RetentionDays = 30;

    MemoryView(const QString& learner, QWidget* parent = nullptr);

    // Reads the learner's per-phrase rows; false with the reason otherwise.
    bool load(const QString& usersDatabasePath, qint64 today, QString* error);
    // The controls the window places in its tab order.
    QChartView* forecastChart() const { return m_chart; }
    QDoubleSpinBox* desiredRetention() const { return m_desired; }

    // The figures shown: reviews due on each day from today.
    const std::vector<int>& forecast() const { return m_forecast; }

private:
    void show(const PhraseMemory& memory);
    void showModel(const std::optional<PhraseResults::FittedParameters>& fitted);
    void onDesiredRetentionChanged(double value);

    QString m_learner;
    QString m_path;
    qint64 m_today = 0;
    std::optional<PhraseMemory> m_memory;
    std::vector<int> m_forecast;
    QLabel* m_counts = nullptr;
    QLabel* m_retention = nullptr;
    QLabel* m_model = nullptr;
    QChartView* m_chart = nullptr;
    QBarSet* m_bars = nullptr;
    QDoubleSpinBox* m_desired = nullptr;
};
