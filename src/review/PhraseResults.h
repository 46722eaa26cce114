#pragma once

#include "review/PhraseIdsFile.h"

#include <QString>

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
    int grade = 0;         // 1 Again, 2 Hard, 3 Good, 4 Easy
};

// A review as the memory model reads it.
struct PhraseReview
{
    qint64 utcSeconds = 0;
    int grade = 0;
};

// The reviews of one phrase by one learner, in time order.
struct PhraseHistory
{
    PhraseIdentity phrase;
    std::vector<PhraseReview> reviews;
};

// The per-phrase results in the users database: tblPhraseResults (tName, tSubjectFile,
// nPhraseNo, tActivity, tUtcTime "yyyy-MM-ddTHH:mm:ssZ", nGrade 1 to 4) and each learner's
// review settings in tblReviewSettings (tName, nDesiredRetention, nDailyGoal). The tables,
// columns and indexes are made where they are missing (an older file), without touching any
// other row.
namespace PhraseResults {

// Creates the tables and their index where they are missing.
bool ensureTables(Database& db, QString* error);
// Adds the rows within the caller's transaction (the tables must exist).
bool insert(Database& db, const std::vector<PhraseResultRow>& rows, QString* error);
// Gives the learner's rows of both tables to another name (the caller's transaction).
bool renameLearner(Database& db, const QString& oldName, const QString& newName, QString* error);

QString utcText(qint64 utcSeconds);
// The seconds of "yyyy-MM-ddTHH:mm:ssZ"; nullopt for any other text.
std::optional<qint64> parseUtc(QStringView text);

// The learner's reviews, phrase by phrase (ordered by subject file and number), each in time
// order. A file without the table has none. A locked file is waited for.
// *lastResultId (when given) gets the key of the newest row of the table the reading saw,
// for reviewsSince.
// *lastOwnResultId (when given) gets the key of the learner's newest row (0 for none).
std::optional<std::vector<PhraseHistory>> historiesOf(const QString& usersDatabase, const QString& learner,
                                                      QString* error, qint64* lastResultId = nullptr,
                                                      qint64* lastOwnResultId = nullptr);
// The learner's rows added after the row afterResultId, in the order recorded; *lastResultId
// gets the key of the table's newest row then.
struct NewReview
{
    PhraseIdentity phrase;
    PhraseReview review;
    qint64 resultId = 0;
};
std::optional<std::vector<NewReview>> reviewsSince(const QString& usersDatabase, const QString& learner,
                                                   qint64 afterResultId, qint64* lastResultId,
                                                   QString* error);
// Every row (of one learner when learner is not empty), in the order recorded.
std::optional<std::vector<PhraseResultRow>> rows(const QString& usersDatabase, const QString& learner,
                                                 QString* error);
// The learners that have per-phrase rows, sorted.
std::optional<QStringList> learners(const QString& usersDatabase, QString* error);

// A learner's memory as worked out from their rows up to the row upToResultId, kept in
// tblPhraseMemory (tName, nUpToResultID, bMemory) so that a login need not replay every row.
// It is only ever a copy: rows are never changed but appended, and a copy whose row
// upToResultId is no longer the learner's (the results cleared or restored, the learner
// renamed) is not given out, so the rows can always rebuild it.
struct StoredMemory
{
    qint64 upToResultId = 0;
    QByteArray bytes; // empty when there is no usable copy
};
bool storedMemory(const QString& usersDatabase, const QString& learner, StoredMemory* stored, QString* error);
bool storeMemory(const QString& usersDatabase, const QString& learner, const StoredMemory& memory,
                 QString* error);

// The learner's desired retention (the default when none was set).
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
