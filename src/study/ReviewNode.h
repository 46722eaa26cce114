#pragma once

#include "review/FsrsFitter.h"
#include "review/ReviewLoader.h"

#include <QObject>
#include <QPointer>
#include <QTreeWidgetItem>

#include <memory>

class QWidget;
class SubjectTree;

// The main tree's review folder for the logged-in learner: its text says how many phrases
// are due today ("Review: 14 due"), and under it are up to ten of them, listed as any
// subject's phrases, the most overdue (lowest chance of recall) first, studied under the
// subject "Review" as a virtual subject's phrases are. A phrase answered Again is due again
// the same day until it is recalled. The learner's schedule is read on a thread at login
// (ReviewLoader); the node is brought up to date whenever the folder is opened, an activity
// is pressed on it or an activity has ended (activityEnded). After an activity, the
// learner's memory model is also fitted anew in the background when enough new answers call
// for it (FsrsFitter); the schedule is then read again with the new weights.
class ReviewNode : public QObject
{
    Q_OBJECT
public:
    static constexpr int StudiedAtOnce = 10;

    ReviewNode(SubjectTree* tree, QObject* parent = nullptr);

    // At login: reads the learner's schedule in the background (the folder says how many
    // are due once that is done).
    void start(const QString& usersDatabase, const QString& learner);
    // Whether the node is the review folder or anything under it.
    bool owns(const QTreeWidgetItem* node) const;
    // An activity has ended: the node takes in its answers, and the memory model is fitted
    // anew when due.
    void activityEnded();
    // Before an activity studies the review: brings the schedule and the node up to date
    // and returns the set to study (a phrase set in no tree, titled "Review", holding the
    // phrases the folder lists; kept until the next call). With nothing due the learner is told so, and when
    // the next review is, and nullptr is returned (also after a read error, which is reported).
    QTreeWidgetItem* prepareStudy(QWidget* window);
    // The number of phrases due today (-1 while the schedule is being read).
    int dueCount() const { return m_due; }

private:
    void show(const ReviewSchedule* schedule);
    void update();

    QPointer<SubjectTree> m_tree;
    ReviewLoader m_loader;
    FsrsFitter m_fitter;
    QString m_usersDatabase;
    QString m_learner;
    int m_due = -1;
    int m_unstudyable = 0; // due phrases that can no longer be studied
    std::optional<qint64> m_nextDay;
    std::unique_ptr<QTreeWidgetItem> m_studySet;
    bool m_studied = false; // whether the learner has studied anything yet
    bool m_preparing = false;
};
