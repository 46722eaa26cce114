#include "ProgressCharts.h"
#include "state/CaptionId.h"

#include "platform/Twips.h"
#include "state/AppState.h"
#include "study/ActivityNames.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QScrollArea>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QValueAxis>

namespace {
constexpr int ChartHeightTwips = 3300;
constexpr qint64 DayMs = 24 * 3600 * 1000;
constexpr qsizetype MaxMarkedPoints = 200;
} // namespace

ProgressCharts::ProgressCharts(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("progressCharts"));
    const Captions& c = app().captions;

    auto* charts = new QWidget;
    m_chartsLayout = new QVBoxLayout(charts);
    m_chartsLayout->setContentsMargins(0, 0, 0, 0);
    m_empty = new QLabel(charts);
    m_empty->setObjectName(QStringLiteral("lblNoResults"));
    m_empty->setTextFormat(Qt::PlainText);
    m_empty->setWordWrap(true);
    m_empty->setAlignment(Qt::AlignCenter);
    m_chartsLayout->addWidget(m_empty);

    m_unreadableLabel = new QLabel(c(Caption::ResultsNotCharted), charts);
    m_unreadableLabel->setObjectName(QStringLiteral("lblUnreadable"));
    m_unreadableLabel->setTextFormat(Qt::PlainText);
    m_unreadableLabel->setWordWrap(true);
    m_unreadable = new QTreeWidget(charts);
    m_unreadable->setObjectName(QStringLiteral("lstUnreadable"));
    m_unreadable->setAccessibleName(c(Caption::ResultsNotCharted));
    m_unreadable->setRootIsDecorated(false);
    m_unreadable->setHeaderLabels(
        {c(Caption::Activities), c(Caption::Subject), c(Caption::Score), c(Caption::Date), c(Caption::Time)});
    m_unreadable->setMinimumHeight(Twips::toPixels(1200));
    m_unreadableLabel->setBuddy(m_unreadable);
    m_chartsLayout->addWidget(m_unreadableLabel);
    m_chartsLayout->addWidget(m_unreadable);
    m_chartsLayout->addStretch(1);

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrCharts"));
    scroll->setAccessibleName(c(Caption::MyProgress));
    m_scroll = scroll;
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::StrongFocus); // arrow keys and Page Down scroll the charts
    scroll->setWidget(charts);
    // The viewport would otherwise report the scroll area's focus as its own as well.
    scroll->viewport()->setFocusProxy(nullptr);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    setEntries({}, QString());
}

QWidget* ProgressCharts::focusTarget() const
{
    return m_scroll;
}

void ProgressCharts::setAccessibleTitle(const QString& title)
{
    m_scroll->setAccessibleName(title);
}

void ProgressCharts::setEntries(const QList<HistoryEntry>& entries, const QString& emptyText)
{
    qDeleteAll(m_views);
    m_views.clear();
    m_unreadable->clear();

    const ResultsHistory::ChartData data = ResultsHistory::chartData(entries);
    int at = 0;
    for (const ResultsHistory::Series& series : data.activities)
        m_chartsLayout->insertWidget(at++, m_views.emplace_back(makeView(series)));

    QList<QTreeWidgetItem*> items;
    for (const HistoryEntry& e : data.unreadable)
        items.append(new QTreeWidgetItem({e.activity, e.subject, e.score, e.nDate, e.nTime}));
    m_unreadable->addTopLevelItems(items);
    m_unreadable->setVisible(!items.isEmpty());
    m_unreadableLabel->setVisible(!items.isEmpty());
    m_empty->setText(emptyText);
    m_empty->setVisible(entries.isEmpty() && !emptyText.isEmpty());
}

QChartView* ProgressCharts::makeView(const ResultsHistory::Series& series)
{
    const Captions& c = app().captions;
    auto* line = new QLineSeries;
    // Markers help to read a few results; thousands of them only hide the line.
    line->setPointsVisible(series.points.size() <= MaxMarkedPoints);
    line->replace(series.points); // one call: fast for thousands of points

    auto* chart = new QChart;
    const QString activity = ActivityNames::displayName(series.activity);
    chart->setTitle(activity);
    chart->legend()->hide();
    chart->addSeries(line);

    auto* dates = new QDateTimeAxis;
    dates->setFormat(QStringLiteral("yyyy-MM-dd"));
    dates->setTitleText(c(Caption::Date));
    // The axis runs from midday before the first day to midday after the last, with ticks a
    // whole number of days (at least one) apart: a date is never shown twice, also for a
    // single day's results.
    const qint64 first = qint64(series.points.first().x());
    const qint64 last = qint64(series.points.last().x());
    const qint64 from = first - ((first % DayMs) + DayMs) % DayMs - DayMs / 2;
    const qint64 to = last - ((last % DayMs) + DayMs) % DayMs + DayMs + DayMs / 2;
    const qint64 days = (to - from) / DayMs;
    dates->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
    dates->setTickCount(int(days <= 4 ? days + 1 : 5));
    auto* scores = new QValueAxis;
    scores->setRange(0, 100);
    scores->setLabelFormat(QStringLiteral("%d"));
    scores->setTitleText(c(Caption::ScorePercent));
    chart->addAxis(dates, Qt::AlignBottom);
    chart->addAxis(scores, Qt::AlignLeft);
    line->attachAxis(dates);
    line->attachAxis(scores);

    auto* view = new QChartView(chart);
    view->setObjectName(QStringLiteral("chart_") + series.activity);
    view->setRenderHint(QPainter::Antialiasing);
    // High enough for the side title written upwards along the plot ("Puntuación (%)"):
    // the plot is the chart less about 130 pixels of titles, labels and margins.
    const int sideTitle = QFontMetrics(scores->titleFont()).horizontalAdvance(scores->titleText());
    view->setMinimumHeight(std::max(Twips::toPixels(ChartHeightTwips), sideTitle + 150));
    // What a screen reader says of the chart: its activity, how many results, the latest.
    view->setAccessibleName(c(Caption::ScoresIn) + QLatin1Char(' ') + activity);
    const qsizetype count = series.points.size();
    view->setAccessibleDescription(QString::number(count) + QLatin1Char(' ') +
                                   c(count == 1 ? Caption::OneResult : Caption::ResultsCount) +
                                   QStringLiteral(", ") + c(Caption::Latest) + QStringLiteral(": ") +
                                   ResultsHistory::percentText(series.points.last().y()));
    view->setFocusPolicy(Qt::TabFocus);
    // The drawing area is the chart as well: named as the chart, never a focus of its own.
    view->viewport()->setFocusProxy(nullptr);
    view->viewport()->setFocusPolicy(Qt::NoFocus);
    view->viewport()->setAccessibleName(view->accessibleName());
    return view;
}
