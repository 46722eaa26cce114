#pragma once

#include "platform/PgConnection.h"

#include <QString>

#include <atomic>
#include <optional>

// The class server as the administrator set it: a PostgreSQL database where the results of
// every machine of a class meet (the tables of data/server/class-server.sql). Kept in the
// edition's settings; the password is kept apart (ServerSecret), never in the users database.
struct ClassServerSettings
{
    QString host;
    int port = 5432;
    QString database;
    QString className;
    QString role;
    bool requireTls = false;
    bool verifyCertificate = false;
    QString caFile;

    bool isSet() const
    {
        return !host.isEmpty() && !database.isEmpty() && !className.isEmpty() && !role.isEmpty();
    }
    PgTarget target(const QString& password) const;
    // The edition's settings (programCode names them).
    static ClassServerSettings load(const QString& programCode);
    void save(const QString& programCode) const;
    // The name the password is kept under in the secret store: role@host:port/database.
    QString secretName() const;
};

// What goes between a users database and the class server. Every row is sent with its
// identity (RowOrigins); the server refuses a row it has (ON CONFLICT DO NOTHING), so a row
// sent twice is there once. A row counts as sent only once the server committed it.
namespace ClassSync {

struct Sent
{
    qint64 scores = 0;
    qint64 phrases = 0;
};

// Sends every row of tblscores and tblPhraseResults the server may lack, in batches, each
// committed on the server before the file notes it as sent. The file's identities are
// prepared first (prepareIdentities). *sent (when given) counts the rows handed over.
bool sendPending(const QString& usersDatabase, PgConnection& connection, const QString& className,
                 QString* error, Sent* sent = nullptr, const std::atomic_bool* stop = nullptr);

// Gives the file its row identities (made where missing, renewed for a copied file). The
// program does it at start, before anyone can record a result.
bool prepareIdentities(const QString& usersDatabase, QString* error);

// The results (rows of tblscores) not yet sent.
std::optional<qint64> unsentScores(const QString& usersDatabase, QString* error);

// Fetches the learner's per-phrase rows of the class from the server and adds those the
// file lacks (by identity), so the learner's memory is rebuilt from every machine's rows.
// *added gets the number of rows added.
bool fetchLearner(const QString& usersDatabase, PgConnection& connection, const QString& className,
                  const QString& learner, QString* error, int* added = nullptr,
                  const std::atomic_bool* stop = nullptr);

// Writes a users database at mirrorPath (made from templatePath; replaced if there) holding
// the whole class's results, learners and per-phrase rows as the server has them, so that
// every local reader (the results views, the exports) works on the class as on one machine.
bool mirrorClass(const QString& mirrorPath, const QString& templatePath, PgConnection& connection,
                 const QString& className, QString* error, const std::atomic_bool* stop = nullptr);

} // namespace ClassSync
