#include "ProgressWindow.h"
#include "state/CaptionId.h"

#include "platform/Clock.h"
#include "platform/Twips.h"
#include "state/AppState.h"
#include "study/ActivityNames.h"
#include "users/MemoryView.h"
#include "users/ProgressCharts.h"
#include "users/StudyHabitView.h"
#include "widgets/Dialogs.h"
#include "widgets/ScreenFit.h"
#include "widgets/TiledBackground.h"

#include <QChartView>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

ProgressWindow::ProgressWindow(const QString& learner, QWidget* parent) : QDialog(parent), m_learner(learner)
{
    setObjectName(QStringLiteral("frmProgress"));
    TiledBackground::install(this, QStringLiteral("admin"));
    const Captions& c = app().captions;
    setWindowTitle(c(Caption::MyProgress) + QStringLiteral(" - ") + learner);

    m_sessions = new QLabel(this);
    m_sessions->setObjectName(QStringLiteral("lblSessions"));
    m_subjectCount = new QLabel(this);
    m_subjectCount->setObjectName(QStringLiteral("lblSubjects"));
    for (QLabel* l : {m_sessions, m_subjectCount}) {
        l->setTextFormat(Qt::PlainText);
        TiledBackground::setTextColour(l, TiledBackground::ink());
    }

    m_subjects = new QTreeWidget(this);
    m_subjects->setObjectName(QStringLiteral("lstSubjects"));
    m_subjects->setAccessibleName(c(Caption::SubjectsStudied));
    m_subjects->setRootIsDecorated(false);
    m_subjects->setHeaderLabels(
        {c(Caption::Subject), c(Caption::Activities), c(Caption::Best), c(Caption::Latest)});
    m_subjects->setColumnWidth(0, Twips::toPixels(3600));
    m_subjects->setMaximumHeight(Twips::toPixels(1800));
    m_subjectCount->setBuddy(m_subjects);

    m_charts = new ProgressCharts(this);
    m_memory = new MemoryView(learner, this);
    m_habit = new StudyHabitView(learner, this);

    m_close = new QPushButton(c(Caption::Close), this);
    m_close->setObjectName(QStringLiteral("btnClose"));
    m_close->setAccessibleName(c(Caption::Close));
    m_close->setDefault(true);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);

    auto* figures = new QHBoxLayout;
    figures->addWidget(m_sessions);
    figures->addSpacing(Twips::toPixels(600));
    figures->addWidget(m_subjectCount);
    figures->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(figures);
    layout->addWidget(m_subjects);
    layout->addWidget(m_memory);
    layout->addWidget(m_habit);
    layout->addWidget(m_charts, 1);
    layout->addLayout(buttons);

    setTabOrder(m_subjects, m_memory->forecastChart());
    setTabOrder(m_memory->forecastChart(), m_memory->desiredRetention());
    setTabOrder(m_memory->desiredRetention(), m_habit->yearChoice());
    setTabOrder(m_habit->dailyGoal(), m_charts->focusTarget());
    setTabOrder(m_charts->focusTarget(), m_close);
    ScreenFit::resize(this, Twips::size(10500, 10200));
}

bool ProgressWindow::load(const QString& usersDatabasePath, const QDate& today, QString* error)
{
    ResultsFilter filter;
    filter.learner = m_learner;
    const auto entries = ResultsHistory::load(usersDatabasePath, filter, error);
    if (!entries)
        return false;
    const Captions& c = app().captions;
    const ResultsHistory::Summary summary =
        ResultsHistory::summarize(*entries, today, c(Caption::ReviewSubject));
    m_sessions->setText(c(Caption::SessionsThisWeek) + QLatin1Char(' ') +
                        QString::number(summary.sessionsThisWeek));
    m_subjectCount->setText(c(Caption::SubjectsStudied) + QLatin1Char(' ') +
                            QString::number(summary.subjectCount));
    m_sessions->setAccessibleName(m_sessions->text());
    m_subjectCount->setAccessibleName(m_subjectCount->text());
    m_subjects->clear();
    for (const ResultsHistory::SubjectSummary& s : summary.subjects) {
        const QString best = s.best ? ResultsHistory::percentText(*s.best) : QString();
        new QTreeWidgetItem(m_subjects, {s.subject, ActivityNames::displayName(s.activity), best, s.latest});
    }
    m_subjects->setVisible(!summary.subjects.isEmpty());
    m_charts->setEntries(*entries, c(Caption::NoResultsToBegin));
    return m_memory->load(usersDatabasePath, today.toJulianDay(), error) &&
           m_habit->load(usersDatabasePath, today, error);
}

void ProgressWindow::open(QWidget* parent, const QString& learner)
{
    // On the heap and run by runModal: the parent may go while the window's loop runs, and
    // the window with it.
    auto* window = new ProgressWindow(learner, parent);
    QString error;
    if (!window->load(app().usersDatabasePath(), Clock::now().date(), &error)) {
        delete window;
        Dialogs::reportError(QStringLiteral("ProgressWindow"), error, parent);
        return;
    }
    Dialogs::runModal(window);
}
