#include "StudyHabitView.h"

#include "review/PhraseResults.h"
#include "state/AppState.h"
#include "state/CaptionId.h"
#include "users/StudyCalendar.h"
#include "widgets/Dialogs.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

StudyHabitView::StudyHabitView(const QString& learner, QWidget* parent)
    : QGroupBox(parent), m_learner(learner)
{
    const Captions& c = app().captions;
    setObjectName(QStringLiteral("grpStudyDays"));
    setTitle(c(Caption::StudyDays));
    setAccessibleName(c(Caption::StudyDays));

    m_year = new QComboBox(this);
    m_year->setObjectName(QStringLiteral("cboStudyYear"));
    m_year->setAccessibleName(c(Caption::StudyShowYear));
    auto* yearLabel = new QLabel(c(Caption::StudyShowYear), this);
    yearLabel->setBuddy(m_year);
    connect(m_year, &QComboBox::currentIndexChanged, this, &StudyHabitView::showYear);

    m_calendar = new StudyCalendar(this);
    connect(m_calendar, &StudyCalendar::firstPainted, this,
            [this] { QTimer::singleShot(0, this, &StudyHabitView::readHistory); });

    m_goal = new QSpinBox(this);
    m_goal->setObjectName(QStringLiteral("spnDailyGoal"));
    m_goal->setRange(0, PhraseResults::MaxDailyGoal);
    m_goal->setValue(PhraseResults::DefaultDailyGoal);
    m_goal->setAccessibleName(c(Caption::DailyGoal));
    m_goal->setKeyboardTracking(false); // stored once a value is typed whole, not per key
    auto* goalLabel = new QLabel(c(Caption::DailyGoal), this);
    goalLabel->setBuddy(m_goal);
    connect(m_goal, &QSpinBox::valueChanged, this, &StudyHabitView::onGoalChanged);

    m_recent = new QLabel(this);
    m_recent->setObjectName(QStringLiteral("lblGoalRecent"));
    m_longest = new QLabel(this);
    m_longest->setObjectName(QStringLiteral("lblGoalLongestRun"));
    m_rule = new QLabel(c(Caption::GoalRule), this);
    m_rule->setObjectName(QStringLiteral("lblGoalRule"));
    m_rule->setWordWrap(true);
    for (QLabel* l : {m_recent, m_longest, m_rule})
        l->setTextFormat(Qt::PlainText);
    m_rule->setAccessibleName(m_rule->text());

    auto* top = new QHBoxLayout;
    top->addWidget(yearLabel);
    top->addWidget(m_year);
    top->addStretch(1);
    top->addWidget(goalLabel);
    top->addWidget(m_goal);
    auto* figures = new QHBoxLayout;
    figures->addWidget(m_recent);
    figures->addSpacing(24);
    figures->addWidget(m_longest);
    figures->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_calendar);
    layout->addLayout(figures);
    layout->addWidget(m_rule);
    setTabOrder(m_year, m_calendar);
    setTabOrder(m_calendar, m_goal);
}

bool StudyHabitView::load(const QString& usersDatabasePath, const QDate& today, QString* error)
{
    m_path = usersDatabasePath;
    m_today = today;
    const auto goal = PhraseResults::dailyGoal(usersDatabasePath, m_learner, error);
    if (!goal)
        return false;
    // What the first picture needs; a long history is read once the calendar shows.
    m_days = StudyDays::load(usersDatabasePath, m_learner, today.addYears(-1).addDays(1), error);
    if (!m_days)
        return false;
    m_wholeHistory = false;
    m_storedGoal = *goal;
    {
        const QSignalBlocker quiet(m_goal);
        m_goal->setValue(*goal);
    }
    const QSignalBlocker quiet(m_year);
    m_year->clear();
    m_year->addItem(app().captions(Caption::StudyLastYear), 0);
    showYear(0);
    showGoal();
    return true;
}

void StudyHabitView::readHistory()
{
    if (m_wholeHistory || !m_days)
        return;
    QString error;
    auto all = StudyDays::load(m_path, m_learner, QDate(), &error);
    if (!all) {
        Dialogs::reportError(QStringLiteral("StudyHabitView"), error, window());
        return;
    }
    m_wholeHistory = true;
    *m_days = std::move(*all); // the calendar keeps pointing at the same days
    // Every year back to the first day studied.
    {
        const QSignalBlocker quiet(m_year);
        const int firstYear = m_days->first().isValid() ? std::min(m_days->first().year(), m_today.year())
                                                        : m_today.year();
        for (int year = m_today.year(); year >= firstYear; --year)
            m_year->addItem(QString::number(year), year);
    }
    showYear(m_year->currentIndex());
    showGoal();
    emit historyRead();
}

void StudyHabitView::showYear(int index)
{
    if (!m_days || index < 0)
        return;
    const int year = m_year->itemData(index).toInt();
    if (year == 0)
        m_calendar->setDays(&*m_days, m_today.addYears(-1).addDays(1), m_today, m_today, m_storedGoal);
    else
        m_calendar->setDays(&*m_days, QDate(year, 1, 1),
                            std::min(QDate(year, 12, 31), std::max(m_today, QDate(year, 1, 1))), m_today,
                            m_storedGoal);
}

void StudyHabitView::showGoal()
{
    const Captions& c = app().captions;
    const int goal = m_storedGoal;
    const int recent = m_days ? m_days->daysMetInLastWeek(m_today, goal) : 0;
    m_recent->setText(c(goal > 0 ? Caption::GoalMetRecently : Caption::StudiedRecently).arg(recent));
    // The longest run needs the whole history.
    if (m_wholeHistory)
        m_longest->setText(c(goal > 0 ? Caption::GoalLongestRun : Caption::StudyLongestRun)
                               .arg(m_days->longestWeekRun(goal)));
    m_longest->setVisible(m_wholeHistory);
    m_recent->setAccessibleName(m_recent->text());
    m_longest->setAccessibleName(m_longest->text());
}

void StudyHabitView::onGoalChanged(int goal)
{
    if (!m_days)
        return;
    QString error;
    if (!PhraseResults::setDailyGoal(m_path, m_learner, goal, &error)) {
        QPointer<StudyHabitView> self(this);
        Dialogs::reportError(QStringLiteral("StudyHabitView"), error, window());
        if (!self)
            return;
        const QSignalBlocker quiet(m_goal);
        m_goal->setValue(m_storedGoal);
        return;
    }
    m_storedGoal = goal;
    showGoal();
    showYear(m_year->currentIndex()); // the shades follow the goal
}
