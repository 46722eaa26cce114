#include "ProgressWindow.h"

#include "app/AppState.h"
#include "app/Dialogs.h"
#include "app/Startup.h"
#include "app/TiledBackground.h"
#include "platform/Twips.h"
#include "users/MemoryView.h"
#include "users/ProgressCharts.h"

#include <QChartView>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

ProgressWindow::ProgressWindow(const QString& learner, QWidget* parent) : QDialog(parent), m_learner(learner)
{
    setObjectName(QStringLiteral("frmProgress"));
    TiledBackground::install(this, QStringLiteral("admin"));
    const Captions& c = app().captions;
    setWindowTitle(c(301) + QStringLiteral(" - ") + learner);

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
    m_subjects->setAccessibleName(c(303));
    m_subjects->setRootIsDecorated(false);
    m_subjects->setHeaderLabels({c(103), c(304), c(305)});
    m_subjects->setColumnWidth(0, Twips::toPixels(3600));
    m_subjects->setMaximumHeight(Twips::toPixels(1800));
    m_subjectCount->setBuddy(m_subjects);

    m_charts = new ProgressCharts(this);
    m_memory = new MemoryView(learner, this);

    m_close = new QPushButton(c(309), this);
    m_close->setObjectName(QStringLiteral("btnClose"));
    m_close->setAccessibleName(c(309));
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
    layout->addWidget(m_charts, 1);
    layout->addLayout(buttons);

    setTabOrder(m_subjects, m_memory->forecastChart());
    setTabOrder(m_memory->forecastChart(), m_memory->desiredRetention());
    setTabOrder(m_memory->desiredRetention(), m_charts);
    setTabOrder(m_charts, m_close);
    resize(Twips::size(10500, 11000));
}

bool ProgressWindow::load(const QString& usersDatabasePath, const QDate& today, QString* error)
{
    ResultsFilter filter;
    filter.learner = m_learner;
    const auto entries = ResultsHistory::load(usersDatabasePath, filter, error);
    if (!entries)
        return false;
    const Captions& c = app().captions;
    const ResultsHistory::Summary summary = ResultsHistory::summarize(*entries, today);
    m_sessions->setText(c(302) + QLatin1Char(' ') + QString::number(summary.sessionsThisWeek));
    m_subjectCount->setText(c(303) + QLatin1Char(' ') + QString::number(summary.subjects.size()));
    m_sessions->setAccessibleName(m_sessions->text());
    m_subjectCount->setAccessibleName(m_subjectCount->text());
    m_subjects->clear();
    for (const ResultsHistory::SubjectSummary& s : summary.subjects) {
        const QString best = s.best ? ResultsHistory::percentText(*s.best) : QString();
        new QTreeWidgetItem(m_subjects, {s.subject, best, s.latest});
    }
    m_subjects->setVisible(!summary.subjects.isEmpty());
    m_charts->setEntries(*entries, c(308));
    return m_memory->load(usersDatabasePath, today.toJulianDay(), error);
}

void ProgressWindow::open(QWidget* parent, const QString& learner)
{
    ProgressWindow window(learner, parent);
    QString error;
    if (!window.load(app().usersDatabasePath(), Startup::now().date(), &error)) {
        Dialogs::reportError(QStringLiteral("ProgressWindow"), error, parent);
        return;
    }
    window.exec();
}
