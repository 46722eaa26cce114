#pragma once

#include "review/FsrsScheduler.h"
#include "review/Grade.h"
#include "review/PhraseIdsFile.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class Database;

// One answered phrase, a row of tblPhraseResults in the users database.
struct PhraseResultRow
{
    QString learner; // the display name, as tblscores.tName
    PhraseIdentity phrase;
    QString activity;
    qint64 utcSeconds = 0; // seconds since 1970-01-01 UTC
    Grade grade = Grade::Again;
};

// A review as the memory model reads it.
struct PhraseReview
{
    qint64 utcSeconds = 0;
    Grade grade = Grade::Again;
};

// The reviews of one phrase by one learner, in time order.
struct PhraseHistory
{
    PhraseIdentity phrase;
    std::vector<PhraseReview> reviews;
};

// The per-phrase results in the users database: tblPhraseResults (learner, subject file,
// phrase number, activity, UTC time "yyyy-MM-ddTHH:mm:ssZ", grade 1 to 4), each learner's
// review settings in tblReviewSettings (tName, nDesiredRetention, nDailyGoal), the memory copy
// in tblPhraseMemory and the weights fitted to each learner in tblFsrsParameters. The tables
// are made where they are missing (an older file), without touching any other row.
namespace PhraseResults {

// A table of the users database that holds one learner's rows by display name (tName), beside
// tblscores: a rename carries its rows, "Clear all learners" empties it, and a restore puts
// back the backup's rows (or, for a copy worked out from the other tables, empties it so that
// it is worked out again). A further per-learner table is one more entry of learnerTables().
struct LearnerTable
{
    const char* name;
    const char* definition; // what follows "CREATE TABLE <name>"
    const char* columns;    // the columns the program uses, comma-separated
    const char* key;        // the columns of its primary key, comma-separated
    const char* index;      // the name of its index, or nullptr
    const char* indexColumns;
    bool derived; // only a copy of what the other tables hold
};
const std::vector<LearnerTable>& learnerTables();

// Makes the per-learner tables and their index where they are missing. A table of the same
// name but another shape (a column missing, another key, a further column that must be given)
// is set aside under a new name, nothing deleted, and made again; *setAside (when given) gets
// "old name -> new name" for each. A derived table of another shape is only made again.
bool ensureTables(Database& db, QString* error, QStringList* setAside = nullptr);
// Adds the rows within the caller's transaction (the tables must exist).
bool insert(Database& db, const std::vector<PhraseResultRow>& rows, QString* error);
// Adds, in one transaction of its own, the rows not there yet: a row of the same learner,
// phrase, moment and grade counts as there (rows another program's history brought, taken
// in twice). The number added.
std::optional<int> insertMissing(const QString& usersDatabase, const std::vector<PhraseResultRow>& rows,
                                 QString* error);
// Gives the learner's rows of every per-learner table to another name (the caller's
// transaction).
bool renameLearner(Database& db, const QString& oldName, const QString& newName, QString* error);

QString utcText(qint64 utcSeconds);
// The seconds of "yyyy-MM-ddTHH:mm:ssZ"; nullopt for any other text.
std::optional<qint64> parseUtc(QStringView text);

// Rows a reading skipped because they cannot be replayed: a time or grade no program of ours
// writes, or a subject name longer than a file name.
struct SkippedRows
{
    int count = 0;
    qint64 lastResultId = 0; // the key of the newest of them
};

// The learner's reviews, phrase by phrase (ordered by subject file and number), each in time
// order. A file without the table (or with one of another shape) has none. A locked file is
// waited for. Rows that cannot be replayed are skipped and counted in *skipped (when given).
// *lastResultId (when given) gets the key of the newest row of the table the reading saw,
// for reviewsSince.
// *lastOwnResultId (when given) gets the key of the learner's newest row (0 for none).
std::optional<std::vector<PhraseHistory>> historiesOf(const QString& usersDatabase, const QString& learner,
                                                      QString* error, qint64* lastResultId = nullptr,
                                                      qint64* lastOwnResultId = nullptr,
                                                      SkippedRows* skipped = nullptr);
// The learner's rows added after the row afterResultId, in the order recorded (those that
// cannot be replayed skipped and counted in *skipped); *lastResultId gets the key of the
// table's newest row then.
struct NewReview
{
    PhraseIdentity phrase;
    PhraseReview review;
    qint64 resultId = 0;
};
std::optional<std::vector<NewReview>> reviewsSince(const QString& usersDatabase, const QString& learner,
                                                   qint64 afterResultId, qint64* lastResultId, QString* error,
                                                   SkippedRows* skipped = nullptr);
// Every row (of one learner when learner is not empty), in the order recorded.
std::optional<std::vector<PhraseResultRow>> rows(const QString& usersDatabase, const QString& learner,
                                                 QString* error);
// The learners that have per-phrase rows, sorted.
std::optional<QStringList> learners(const QString& usersDatabase, QString* error);

// A learner's memory as worked out from their rows up to the row upToResultId, kept in
// tblPhraseMemory (tName, nPart, nUpToResultID, bMemory) so that a login need not replay every
// row: in parts of at most MemoryPartBytes each, so that no value nears the engine's limit.
// It is only ever a copy: rows are never changed but appended, and a copy whose row
// upToResultId is no longer the learner's (the results cleared or restored, the learner
// renamed) is not given out, so the rows can always rebuild it.
struct StoredMemory
{
    qint64 upToResultId = 0;
    QByteArray bytes; // empty when there is no usable copy
};
constexpr int MemoryPartBytes = 8 * 1024 * 1024;
// A longer copy is not kept (each login replays the rows instead).
constexpr qint64 MaxMemoryBytes = qint64(64) * MemoryPartBytes;
bool storedMemory(const QString& usersDatabase, const QString& learner, StoredMemory* stored, QString* error);
bool storeMemory(const QString& usersDatabase, const QString& learner, const StoredMemory& memory,
                 QString* error);

// The last fitting of the FSRS weights to a learner's rows, kept in tblFsrsParameters (tName,
// tWeights: the 21 weights separated by spaces, empty when the defaults predicted better;
// nReviews: the rows it was fitted on; nFittedLoss, nDefaultLoss: the log loss of the
// fitted and the default weights on the newest reviews held out; tUtcTime).
struct FittedParameters
{
    std::optional<FsrsScheduler::Weights> weights; // nullopt: the defaults stay in use
    int reviews = 0;
    double fittedLoss = 0;
    double defaultLoss = 0;
    qint64 utcSeconds = 0;
};
// *fitted gets nullopt when the learner was never fitted.
bool fittedParameters(const QString& usersDatabase, const QString& learner,
                      std::optional<FittedParameters>* fitted, QString* error);
bool storeFittedParameters(const QString& usersDatabase, const QString& learner,
                           const FittedParameters& fitted, QString* error);
// The number of the learner's rows.
std::optional<int> reviewCount(const QString& usersDatabase, const QString& learner, QString* error);
// The scheduler the learner's reviews are due by: their desired retention, and their fitted
// weights when there are any.
std::optional<FsrsScheduler> schedulerOf(const QString& usersDatabase, const QString& learner,
                                         QString* error);

// The learner's desired retention: the default when none was set or the stored value is no
// number between FsrsScheduler::MinRetention and MaxRetention.
std::optional<double> desiredRetention(const QString& usersDatabase, const QString& learner, QString* error);
bool setDesiredRetention(const QString& usersDatabase, const QString& learner, double retention,
                         QString* error);

// The phrases a day the learner means to answer; 0 is no goal.
constexpr int DefaultDailyGoal = 10;
constexpr int MaxDailyGoal = 1000;
// The learner's daily goal (the default when none was set, clamped to 0 to MaxDailyGoal).
std::optional<int> dailyGoal(const QString& usersDatabase, const QString& learner, QString* error);
bool setDailyGoal(const QString& usersDatabase, const QString& learner, int goal, QString* error);

} // namespace PhraseResults
