#pragma once

#include "platform/Database.h"
#include "platform/LockedRetry.h"
#include "review/PhraseResults.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <vector>

// One learner of tblUsers. A Null password reads as "": no password.
struct Learner
{
    qint64 pkStudentID = 0;
    QString tFirstname;
    QString tLastname;
    QString tPassword;
    int nIcon = 1;

    // The name everywhere else: the login list, CurrentUser, the activities, tblscores.tName.
    QString displayName() const { return tFirstname + QLatin1Char(' ') + tLastname; }
    bool hasPassword() const { return !tPassword.isEmpty(); }
};

// One result row of tblscores, as the activity programs record it. A score left out is
// stored as Null, as a program of the contract may do.
struct ScoreRow
{
    QString tName;
    QString tActivity;
    QString tSubject;
    std::optional<QString> textScore;
    std::optional<double> numberScore;
    QString nDate; // "yyyy-MM-dd", local time
    QString nTime; // "HH:mm:ss"

    // nDate and nTime of a moment, in local time as the activities have always stored them.
    void setWhen(const QDateTime& when);
};

// One line of the administration's result list: the name the view leaves open (subject,
// learner or activity), the score as shown and the date and time as the activity stored them.
struct ResultRow
{
    QString name;
    QString score; // textScore when it is not empty, otherwise numberScore
    QString nDate;
    QString nTime;
};

// What opening the list of learners for the login came to.
struct LearnerList
{
    enum class Outcome
    {
        Read,           // the learners are in learners
        Created,        // there was no file: an empty one was made from the template
        CannotCreate,   // there was no file, and none could be made (error)
        SetAside,       // the file was damaged: kept as keptAs, a fresh one made (createError)
        CannotSetAside, // the file was damaged and could not be moved (error)
        Unavailable,    // a passing failure (failure, error): the file was left as it was
    };
    Outcome outcome = Outcome::CannotCreate;
    QList<Learner> learners;
    QString error;
    DatabaseFailure failure = DatabaseFailure::None;
    QString keptAs;
    QString createError; // SetAside: empty when the fresh file was made
    // Read: per-learner tables of another shape, kept under new names ("old -> new").
    QStringList tablesSetAside;
};

// The users database "Users.dat": the learners and the results of the activities. It
// starts life as a copy of the template database and is never deleted on an error: a file
// that cannot be read is moved aside under a name that keeps it.
class UsersDatabase
{
public:
    UsersDatabase(const QString& path, const QString& templatePath);
    // The program's own file in the data folder, made from the program's template.
    static UsersDatabase forApp();

    QString path() const { return m_path; }
    QString templatePath() const { return m_templatePath; }
    bool exists() const;

    // Copies the template beside the target, makes the copy writable (the template may be
    // read-only) and renames it into place, so a failure leaves no half-made file. When
    // another process made the file meanwhile, that file is kept.
    bool createFromTemplate(QString* error) const;

    // The learners in ascending key order: the first one is the administrator. A locked
    // file is waited for; *failure tells a file that is not a users database at all
    // (Damaged) from a passing failure (a full disk, a refused permission, a lasting lock).
    std::optional<QList<Learner>> readLearners(QString* error, DatabaseFailure* failure = nullptr) const;

    // Reads the learners for the login: makes the file when there is none, and sets a
    // damaged one aside for a fresh one. A passing failure never touches the file.
    LearnerList openLearnerList() const;

    // Moves the file (with its journal, if any) to path + ".damaged-yyyyMMdd-HHmmss" and
    // returns the new path. Nothing is deleted.
    std::optional<QString> moveAside(QString* error,
                                     const QDateTime& now = QDateTime::currentDateTime()) const;

    // Adds the learner and returns the key the database assigned. An empty password is
    // stored as Null. *administrator tells whether the learner is the administrator (the
    // first in key order), decided in the same transaction as the addition.
    std::optional<qint64> addLearner(const Learner& learner, QString* error,
                                     bool* administrator = nullptr) const;
    // Changes the learner with learner.pkStudentID. An empty password is stored as "".
    bool updateLearner(const Learner& learner, QString* error) const;

    bool appendScore(const ScoreRow& row, QString* error) const;
    // Makes the tables a file of an older program lacks (the per-phrase results), keeping
    // every row; a table of another shape is set aside under a new name (*setAside, when
    // given, names each as "old -> new") and made again.
    bool addMissingTables(QString* error, QStringList* setAside = nullptr) const;
    // Rows of tblscores (tests and the benchmark count what arrived).
    std::optional<qint64> scoreCount(QString* error) const;

    // The names of the activities and of the subjects that results speak of, as the views
    // qryActivities and qrySubjects list them.
    std::optional<QStringList> activityNames(QString* error) const;
    std::optional<QStringList> subjectNames(QString* error) const;
    // The results of one learner (display name) in one activity, named by subject; of one
    // activity in one subject, named by learner; of one subject for one learner, named by
    // activity. Rows in the order they were recorded.
    std::optional<QList<ResultRow>> resultsOfLearnerInActivity(const QString& learner,
                                                               const QString& activity, QString* error) const;
    std::optional<QList<ResultRow>> resultsOfActivityInSubject(const QString& activity,
                                                               const QString& subject, QString* error) const;
    std::optional<QList<ResultRow>> resultsOfSubjectForLearner(const QString& subject, const QString& learner,
                                                               QString* error) const;
    // The score as a result list shows it: the text when there is one, otherwise the number
    // (empty when that is Null too).
    static QString shownScore(const QString& textScore, const QVariant& numberScore);

    // Deletes the file with its journal files: the next start makes an empty one from the
    // template. The database file goes first, so a failure never leaves the file without
    // the changes its journal still holds. True when nothing of it is left.
    bool remove(QString* error) const;

    // True when a learner of the list has this display name, compared without regard to case.
    static bool isDuplicateName(const QList<Learner>& learners, const QString& displayName);
    // How long a locked file is waited for before giving up, in milliseconds; the events
    // of the program's windows run meanwhile.
    static constexpr int LockWaitMs = LockedRetry::WaitMs;

private:
    QString m_path;
    QString m_templatePath;
};

// Appends one result row to the users database at usersDatabasePath: the one score writer,
// used by the launcher and by the activity programs alike. A locked file is tried again for
// up to UsersDatabase::LockWaitMs; a write that fails (a full disk) leaves the database as
// it was, and the error ("The result could not be saved in <file>: <reason>") names the file.
bool appendScore(const QString& usersDatabasePath, const ScoreRow& row, QString* error);
// The same with the rows of the phrases answered, in the same transaction as the score (the
// per-phrase table is made first in a file that lacks it).
bool appendScore(const QString& usersDatabasePath, const ScoreRow& row,
                 const std::vector<PhraseResultRow>& phrases, QString* error);
