#include "MemoryView.h"

#include "platform/Twips.h"
#include "review/FsrsFitter.h"
#include "review/ReviewSchedule.h"
#include "state/AppState.h"
#include "widgets/Dialogs.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDate>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace {

QString percent(double share)
{
    return QString::number(qRound(share * 100)) + QLatin1Char('%');
}

} // namespace

MemoryView::MemoryView(const QString& learner, QWidget* parent) : QGroupBox(parent), m_learner(learner)
{
    const Captions& c = app().captions;
    setObjectName(QStringLiteral("grpMemory"));
    setTitle(c(Caption::ReviewMemory));
    setAccessibleName(c(Caption::ReviewMemory));

    m_counts = new QLabel(this);
    m_counts->setObjectName(QStringLiteral("lblMemoryCounts"));
    m_counts->setToolTip(c(Caption::ReviewThresholds));
    m_retention = new QLabel(this);
    m_retention->setObjectName(QStringLiteral("lblRetention"));
    m_model = new QLabel(this);
    m_model->setObjectName(QStringLiteral("lblMemoryModel"));
    m_model->setWordWrap(true);
    for (QLabel* l : {m_counts, m_retention, m_model})
        l->setTextFormat(Qt::PlainText);

    m_bars = new QBarSet(c(Caption::ReviewForecast));
    auto* series = new QBarSeries;
    series->append(m_bars);
    // Each day's count on its bar: fourteen bars leave no room to read them off the axis.
    series->setLabelsVisible(true);
    series->setLabelsFormat(QStringLiteral("@value"));
    series->setLabelsPosition(QAbstractBarSeries::LabelsInsideBase);
    m_bars->setLabelColor(palette().color(QPalette::WindowText));
    auto* chart = new QChart;
    chart->setTitle(c(Caption::ReviewForecast));
    chart->legend()->hide();
    chart->addSeries(series);
    auto* days = new QBarCategoryAxis;
    auto* counts = new QValueAxis;
    counts->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(days, Qt::AlignBottom);
    chart->addAxis(counts, Qt::AlignLeft);
    series->attachAxis(days);
    series->attachAxis(counts);
    m_chart = new QChartView(chart, this);
    m_chart->setObjectName(QStringLiteral("chartForecast"));
    m_chart->setAccessibleName(c(Caption::ReviewForecast));
    m_chart->setMinimumHeight(Twips::toPixels(1800));
    m_chart->setFocusPolicy(Qt::TabFocus);
    // The viewport would otherwise report the view's focus as its own as well.
    m_chart->viewport()->setFocusProxy(nullptr);
    m_chart->viewport()->setFocusPolicy(Qt::NoFocus);
    m_chart->viewport()->setAccessibleName(m_chart->accessibleName());

    m_desired = new QDoubleSpinBox(this);
    m_desired->setObjectName(QStringLiteral("spnDesiredRetention"));
    m_desired->setRange(FsrsScheduler::MinRetention, FsrsScheduler::MaxRetention);
    m_desired->setSingleStep(0.01);
    m_desired->setDecimals(2);
    m_desired->setLocale(app().edition.interfaceLocale()); // "0,90" in Spanish
    m_desired->setValue(FsrsScheduler::DefaultRetention);
    m_desired->setAccessibleName(c(Caption::ReviewDesiredRetention));
    m_desired->setKeyboardTracking(false); // stored once a value is typed whole, not per key
    auto* desiredLabel = new QLabel(c(Caption::ReviewDesiredRetention), this);
    desiredLabel->setBuddy(m_desired);
    connect(m_desired, &QDoubleSpinBox::valueChanged, this, &MemoryView::onDesiredRetentionChanged);

    auto* setting = new QFormLayout;
    setting->addRow(desiredLabel, m_desired);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_counts);
    layout->addWidget(m_chart, 1);
    layout->addWidget(m_retention);
    layout->addWidget(m_model);
    layout->addLayout(setting);
}

bool MemoryView::load(const QString& usersDatabasePath, qint64 today, QString* error)
{
    m_path = usersDatabasePath;
    m_today = today;
    ReviewSchedule schedule(usersDatabasePath, m_learner);
    if (!schedule.refresh(error))
        return false;
    m_memory.emplace(schedule.memory());
    std::optional<PhraseResults::FittedParameters> fitted;
    if (!PhraseResults::fittedParameters(usersDatabasePath, m_learner, &fitted, error))
        return false;
    showModel(fitted);
    {
        const QSignalBlocker quiet(m_desired);
        m_desired->setValue(m_memory->scheduler().desiredRetention());
    }
    show(*m_memory);
    return true;
}

void MemoryView::show(const PhraseMemory& memory)
{
    const Captions& c = app().captions;
    const PhraseMemory::Counts counts = memory.counts();
    m_counts->setText(c(Caption::ReviewNewCount).arg(counts.newPhrases) + QStringLiteral("   ") +
                      c(Caption::ReviewLearningCount).arg(counts.learning) + QStringLiteral("   ") +
                      c(Caption::ReviewKnownCount).arg(counts.known));
    m_counts->setAccessibleName(m_counts->text());

    m_forecast = memory.forecast(m_today, ForecastDays);
    QStringList days;
    const QLocale locale = app().edition.interfaceLocale();
    QStringList spoken;
    m_bars->remove(0, m_bars->count());
    for (int i = 0; i < ForecastDays; ++i) {
        const QDate day = QDate::fromJulianDay(m_today + i);
        // The day of the month alone fits under a bar; the axis's title names the months.
        days << QString::number(day.day());
        m_bars->append(m_forecast[size_t(i)]);
        spoken << locale.toString(day, QStringLiteral("d MMM")) + QStringLiteral(": ") +
                      QString::number(m_forecast[size_t(i)]);
    }
    auto* chart = m_chart->chart();
    if (auto* axis = qobject_cast<QBarCategoryAxis*>(chart->axes(Qt::Horizontal).value(0))) {
        axis->clear();
        axis->append(days);
        const QDate first = QDate::fromJulianDay(m_today),
                    last = QDate::fromJulianDay(m_today + ForecastDays - 1);
        axis->setTitleText(locale.toString(first, QStringLiteral("d MMMM")) + QStringLiteral(" - ") +
                           locale.toString(last, QStringLiteral("d MMMM")));
    }
    if (auto* axis = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).value(0)))
        axis->setRange(0, std::max(1, *std::max_element(m_forecast.begin(), m_forecast.end())));
    // What a screen reader says of the chart: every day's count.
    m_chart->setAccessibleDescription(spoken.join(QStringLiteral(", ")));

    const auto achieved = memory.achievedRetention(m_today, RetentionDays);
    m_retention->setText(c(Caption::ReviewRetention)
                             .arg(achieved ? percent(*achieved) : c(Caption::ReviewNoReviewsYet),
                                  percent(memory.scheduler().desiredRetention())));
    m_retention->setAccessibleName(m_retention->text());
}

void MemoryView::showModel(const std::optional<PhraseResults::FittedParameters>& fitted)
{
    const Captions& c = app().captions;
    const QLocale locale = app().edition.interfaceLocale();
    int answers = 0;
    for (const PhraseMemoryItem& item : m_memory->items())
        answers += item.reviews;
    const int toGo = FsrsFitter::NewReviews - (answers - (fitted ? fitted->reviews : 0));
    const QString after =
        toGo > 0 ? c(Caption::ReviewModelAfter).arg(locale.toString(toGo)) : c(Caption::ReviewModelNext);
    if (fitted && fitted->weights && fitted->defaultLoss > 0) {
        const double better = 1.0 - fitted->fittedLoss / fitted->defaultLoss;
        m_model->setText(
            c(Caption::ReviewModelFitted).arg(locale.toString(fitted->reviews), percent(better)));
    } else if (fitted && toGo > 0) {
        m_model->setText(
            c(Caption::ReviewModelNotBetter).arg(locale.toString(fitted->reviews), locale.toString(toGo)));
    } else {
        m_model->setText(after);
    }
    m_model->setAccessibleName(m_model->text());
}

void MemoryView::onDesiredRetentionChanged(double value)
{
    if (!m_memory)
        return;
    QString error;
    if (!PhraseResults::setDesiredRetention(m_path, m_learner, value, &error)) {
        QPointer<MemoryView> self(this);
        Dialogs::reportError(QStringLiteral("MemoryView"), error, window());
        if (!self)
            return;
        const QSignalBlocker quiet(m_desired);
        m_desired->setValue(m_memory->scheduler().desiredRetention());
        return;
    }
    m_memory->setScheduler(FsrsScheduler(value, m_memory->scheduler().weights()));
    show(*m_memory);
}
