#include "PgConnection.h"

#include <libpq-fe.h>

#include <QDeadlineTimer>
#include <QRegularExpression>

#include <poll.h>

namespace {

constexpr int SliceMs = 100;
// An answer that takes longer than this means the server or the way to it is gone.
constexpr int AnswerTimeoutMs = 60000;

struct ResultDeleter
{
    void operator()(pg_result* r) const { PQclear(r); }
};
using Result = std::unique_ptr<pg_result, ResultDeleter>;

bool stopped(const std::atomic_bool* stop)
{
    return stop && stop->load();
}

// libpq's words without its framing: "connection to server at "h" (1.2.3.4), port 5432
// failed: Connection refused\n\tIs the server running ..." becomes "connection refused".
QString plainReason(const char* message)
{
    QString text = QString::fromUtf8(message).trimmed();
    text = text.section(QLatin1Char('\n'), 0, 0).trimmed();
    static const QRegularExpression framing(
        QStringLiteral("^connection to server at .*?, port \\d+ failed: "));
    text.remove(framing);
    static const QRegularExpression severity(QStringLiteral("^(FATAL|ERROR):\\s+"));
    text.remove(severity);
    if (!text.isEmpty() && text.at(0).isUpper() && (text.size() < 2 || text.at(1).isLower()))
        text[0] = text.at(0).toLower();
    return text.isEmpty() ? QStringLiteral("unknown error") : text;
}

} // namespace

PgConnection::PgConnection() = default;

PgConnection::~PgConnection()
{
    close();
}

void PgConnection::close()
{
    if (m_conn)
        PQfinish(m_conn);
    m_conn = nullptr;
}

bool PgConnection::isConnected() const
{
    return m_conn && PQstatus(m_conn) == CONNECTION_OK;
}

bool PgConnection::usesTls() const
{
    return m_conn && PQsslInUse(m_conn);
}

QString PgConnection::connectionError() const
{
    return m_conn ? plainReason(PQerrorMessage(m_conn)) : QStringLiteral("no connection");
}

bool PgConnection::waitFor(bool forWrite, int timeoutMs, const std::atomic_bool* stop)
{
    const QDeadlineTimer deadline(timeoutMs);
    const int socket = PQsocket(m_conn);
    if (socket < 0)
        return false;
    while (!stopped(stop) && !deadline.hasExpired()) {
        pollfd p{socket, short(forWrite ? POLLOUT : POLLIN), 0};
        const int n = ::poll(&p, 1, SliceMs);
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
    return false;
}

bool PgConnection::connect(const PgTarget& target, QString* error, const std::atomic_bool* stop)
{
    close();
    m_target = target;
    m_lastState.clear();
    const QByteArray host = target.host.toUtf8(), port = QByteArray::number(target.port),
                     db = target.database.toUtf8(), user = target.user.toUtf8(),
                     password = target.password.toUtf8(), ca = target.caFile.toUtf8(),
                     timeout = QByteArray::number(target.connectTimeoutSeconds);
    const char* sslmode = target.verifyCertificate ? "verify-full" : target.requireTls ? "require" : "prefer";
    std::vector<const char*> keys{"host", "port", "dbname", "user", "password", "sslmode", "connect_timeout",
                                  "application_name", "client_encoding",
                                  // A server that goes away mid-answer is noticed within seconds.
                                  "keepalives", "keepalives_idle", "keepalives_interval", "keepalives_count"};
    std::vector<const char*> values{host.constData(),
                                    port.constData(),
                                    db.constData(),
                                    user.constData(),
                                    password.constData(),
                                    sslmode,
                                    timeout.constData(),
                                    "parlanto",
                                    "UTF8",
                                    "1",
                                    "10",
                                    "5",
                                    "3"};
    if (!ca.isEmpty()) {
        keys.push_back("sslrootcert");
        values.push_back(ca.constData());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    m_conn = PQconnectStartParams(keys.data(), values.data(), 0);
    auto fail = [&](const QString& why) {
        // "cannot reach school.example:5432 — connection refused"; the server's own refusals
        // (a wrong password, an unknown database) after its address.
        static const QRegularExpression unreachable(
            QStringLiteral("refused|timed out|timeout|no answer|could not translate|unreachable|no route|"
                           "could not connect|network|server closed"),
            QRegularExpression::CaseInsensitiveOption);
        if (error)
            *error = unreachable.match(why).hasMatch()
                         ? QStringLiteral("cannot reach %1 — %2").arg(target.address(), why)
                         : QStringLiteral("%1: %2").arg(target.address(), why);
        close();
        return false;
    };
    if (!m_conn)
        return fail(QStringLiteral("out of memory"));
    if (PQstatus(m_conn) == CONNECTION_BAD)
        return fail(connectionError());
    const QDeadlineTimer deadline(target.connectTimeoutSeconds * 1000);
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    while (state != PGRES_POLLING_OK) {
        if (state == PGRES_POLLING_FAILED)
            return fail(connectionError());
        if (stopped(stop))
            return fail(QStringLiteral("stopped"));
        if (deadline.hasExpired())
            return fail(QStringLiteral("no answer within %1 seconds").arg(target.connectTimeoutSeconds));
        if (!waitFor(state == PGRES_POLLING_WRITING, int(std::max<qint64>(1, deadline.remainingTime())),
                     stop))
            continue; // the loop's checks say why
        state = PQconnectPoll(m_conn);
    }
    return true;
}

bool PgConnection::exec(const QString& sql, const std::vector<std::optional<QString>>& params, QString* error,
                        PgRows* rows, qint64* affected, const std::atomic_bool* stop)
{
    m_lastState.clear();
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(m_target.address(), why);
        return false;
    };
    if (!isConnected())
        return fail(QStringLiteral("not connected"));
    std::vector<QByteArray> bytes;
    bytes.reserve(params.size());
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const auto& p : params) {
        bytes.push_back(p ? p->toUtf8() : QByteArray());
        values.push_back(p ? bytes.back().constData() : nullptr);
    }
    // Without parameters a text may hold several statements (a script).
    const QByteArray text = sql.toUtf8();
    const int sentOk = values.empty() ? PQsendQuery(m_conn, text.constData())
                                      : PQsendQueryParams(m_conn, text.constData(), int(values.size()),
                                                          nullptr, values.data(), nullptr, nullptr, 0);
    if (!sentOk) {
        const QString why = connectionError();
        close();
        return fail(why);
    }
    // Long parameter lists may not fit the socket at once.
    const QDeadlineTimer deadline(AnswerTimeoutMs);
    int flushed;
    while ((flushed = PQflush(m_conn)) == 1) {
        if (stopped(stop) || deadline.hasExpired()) {
            close();
            return fail(stopped(stop) ? QStringLiteral("stopped") : QStringLiteral("no answer"));
        }
        waitFor(true, SliceMs, stop);
        PQconsumeInput(m_conn);
    }
    if (flushed < 0) {
        const QString why = connectionError();
        close();
        return fail(why);
    }
    std::optional<QString> failure;
    for (;;) {
        while (PQisBusy(m_conn)) {
            if (stopped(stop) || deadline.hasExpired()) {
                // Closing the connection makes the server roll the statement back; a cancel
                // request would need a second connection, which may hang as the first did.
                close();
                return fail(stopped(stop) ? QStringLiteral("stopped") : QStringLiteral("no answer"));
            }
            if (waitFor(false, SliceMs, stop) && !PQconsumeInput(m_conn)) {
                const QString why = connectionError();
                close();
                return fail(why);
            }
        }
        Result result(PQgetResult(m_conn));
        if (!result)
            break;
        const ExecStatusType status = PQresultStatus(result.get());
        if (status == PGRES_TUPLES_OK && rows) {
            rows->columns.clear();
            rows->rows.clear();
            const int nFields = PQnfields(result.get()), nRows = PQntuples(result.get());
            for (int c = 0; c < nFields; ++c)
                rows->columns << QString::fromUtf8(PQfname(result.get(), c));
            rows->rows.reserve(size_t(nRows));
            for (int r = 0; r < nRows; ++r) {
                std::vector<std::optional<QString>> row;
                row.reserve(size_t(nFields));
                for (int c = 0; c < nFields; ++c) {
                    if (PQgetisnull(result.get(), r, c))
                        row.emplace_back(std::nullopt);
                    else
                        row.emplace_back(QString::fromUtf8(PQgetvalue(result.get(), r, c),
                                                           PQgetlength(result.get(), r, c)));
                }
                rows->rows.push_back(std::move(row));
            }
        } else if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK && !failure) {
            const char* state = PQresultErrorField(result.get(), PG_DIAG_SQLSTATE);
            m_lastState = state ? QString::fromLatin1(state) : QString();
            failure = plainReason(PQresultErrorMessage(result.get()));
        }
        if (affected && status == PGRES_COMMAND_OK)
            *affected = QByteArray(PQcmdTuples(result.get())).toLongLong();
    }
    if (PQstatus(m_conn) != CONNECTION_OK) {
        const QString why = failure.value_or(connectionError());
        close();
        return fail(why);
    }
    if (failure)
        return fail(*failure);
    return true;
}
