#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

struct pg_conn;
struct pg_result;

// Where and how to reach a PostgreSQL server.
struct PgTarget
{
    QString host;
    int port = 5432;
    QString database;
    QString user;
    QString password;
    // TLS is used whenever the server offers it; these make it a condition.
    bool requireTls = false;
    bool verifyCertificate = false; // the server's name and certificate, against caFile
    QString caFile;                 // empty: libpq's own default (~/.postgresql/root.crt)
    int connectTimeoutSeconds = 10;

    // "host:port", as messages name the server.
    QString address() const { return host + QLatin1Char(':') + QString::number(port); }
};

// The rows of one answer, every value as text (std::nullopt for Null).
struct PgRows
{
    QStringList columns;
    std::vector<std::vector<std::optional<QString>>> rows;
};

// One connection to a PostgreSQL server through libpq. Every wait (connecting, an answer)
// runs in short slices and ends early when *stop becomes true, so a thread using it can be
// ended at once, even while the server does not answer. Errors are returned as text.
class PgConnection
{
public:
    PgConnection();
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Connects (closing an earlier connection). False with the reason ("cannot reach
    // school.example:5432: connection refused", the server's own words for a refused login).
    bool connect(const PgTarget& target, QString* error, const std::atomic_bool* stop = nullptr);
    bool isConnected() const;
    void close();
    // Whether the connection is encrypted.
    bool usesTls() const;

    // Runs one statement with text parameters (std::nullopt binds Null); without parameters
    // the text may hold several statements. Rows of a SELECT
    // come back in *rows when given. A lost connection is closed, so the next use connects
    // again.
    bool exec(const QString& sql, const std::vector<std::optional<QString>>& params, QString* error,
              PgRows* rows = nullptr, qint64* affected = nullptr, const std::atomic_bool* stop = nullptr);
    bool exec(const QString& sql, QString* error, const std::atomic_bool* stop = nullptr)
    {
        return exec(sql, {}, error, nullptr, nullptr, stop);
    }
    // The SQLSTATE of the last failed statement ("" when the failure was not the server's).
    QString lastState() const { return m_lastState; }

private:
    bool waitFor(bool forWrite, int timeoutMs, const std::atomic_bool* stop);
    QString connectionError() const;

    pg_conn* m_conn = nullptr;
    PgTarget m_target;
    QString m_lastState;
};
