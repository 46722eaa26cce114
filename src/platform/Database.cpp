#include "Database.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <sqlite3.h>

#include <sys/resource.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>

const QString Database::SubjectPassword = QStringLiteral("tamarind9051");
const QString Database::TemplatePassword = QStringLiteral("qrv6180");

namespace {

// The passwords are fixed in the program, so a slow key derivation protects nothing and
// would cost about 80 ms on every open. A small iteration count keeps an open well under
// a millisecond; the sqlcipher shell opens the files with the same two pragmas.
constexpr int KdfIterations = 64;

// For the same reason the encryption layer's locking of its key buffers in memory keeps
// nothing secret, and it is half the cost of an open: an mlock and a munlock for each of
// about twenty buffers per connection. Its version has no switch for it, so while a
// connection is set up the soft limit of locked memory is zero, which makes each of those
// locks fail at once; the layer carries on without them. The limit is back before open()
// returns. Files are also read on reader threads while a tree fills, so a program
// started in that moment inherits the zero; that only makes its own locks fail as these do,
// and the hard limit, up to which it may raise the soft one, is untouched. Root is not bound
// by the limit and still locks.
class KeyBufferLockOff
{
public:
    KeyBufferLockOff()
    {
        const std::lock_guard lock(s_mutex);
        if (s_depth++ > 0 || getrlimit(RLIMIT_MEMLOCK, &s_saved) != 0 || s_saved.rlim_cur == 0)
            return;
        rlimit none = s_saved;
        none.rlim_cur = 0;
        s_lowered = setrlimit(RLIMIT_MEMLOCK, &none) == 0;
    }
    ~KeyBufferLockOff()
    {
        const std::lock_guard lock(s_mutex);
        if (--s_depth == 0 && s_lowered) {
            setrlimit(RLIMIT_MEMLOCK, &s_saved);
            s_lowered = false;
        }
    }
    KeyBufferLockOff(const KeyBufferLockOff&) = delete;
    KeyBufferLockOff& operator=(const KeyBufferLockOff&) = delete;

private:
    static inline std::mutex s_mutex;
    static inline int s_depth = 0;
    static inline bool s_lowered = false;
    static inline rlimit s_saved{};
};

// No file may hold the program: every statement's work is bounded, and the end of the
// program (a SIGTERM) stops every long statement at once. The engine calls the handler
// every ProgressInterval instructions of its machine (a short statement never), and a
// non-zero answer interrupts the statement.
constexpr int ProgressInterval = 100;
// Far beyond what any of the program's statements needs (a few million instructions for
// the largest results table), and reached in seconds by a statement that never ends.
constexpr qint64 MaxInstructions = 500'000'000;
constexpr auto MaxStatementTime = std::chrono::seconds(10);
// The memory a statement may add to the process's peak: the program's files never need
// more than a few megabytes at once; a file made to loop fills memory in a moment.
constexpr long MaxStatementGrowthKb = 192L * 1024;
// No text or blob of the program's files comes near this (a subject file is at most
// 64 MB in all); a value built up without end stops here.
constexpr int MaxValueBytes = 64 * 1024 * 1024;

// The engine keeps a file's full path, and its journal's (the path and "-journal"), in 512
// bytes: it cannot open a file whose path is longer than this at all.
constexpr int MaxPathBytes = 512 - 8;

std::atomic<bool> g_stopAll{false};

struct StatementBudget
{
    qint64 calls = 0;
    long startPeakKb = 0;
    std::chrono::steady_clock::time_point start;
};
thread_local StatementBudget t_budget;

// The process's peak resident memory so far: one cheap system call.
long peakResidentKb()
{
    rusage usage{};
    return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : 0;
}

void startBudget()
{
    t_budget.calls = 0;
}

extern "C" int onProgress(void*)
{
    StatementBudget& b = t_budget;
    // Short statements still finish while the program ends (what it saves on the way out);
    // a long one stops.
    if (g_stopAll.load(std::memory_order_relaxed) && b.calls > 1000)
        return 1;
    if (b.calls++ == 0) {
        b.start = std::chrono::steady_clock::now();
        b.startPeakKb = peakResidentKb();
        return 0;
    }
    if (b.calls * ProgressInterval > MaxInstructions ||
        peakResidentKb() - b.startPeakKb > MaxStatementGrowthKb)
        return 1;
    return b.calls % 1024 == 0 && std::chrono::steady_clock::now() - b.start > MaxStatementTime;
}

QString engineError(sqlite3* db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

// The extended result code of the last failure. The engine reports a disk that filled up
// while it made its shared-memory or journal file as a plain I/O error; the system's error
// tells it apart, so that the learner hears the real reason.
int failureCode(sqlite3* db)
{
    if (!db)
        return SQLITE_NOMEM;
    const int code = sqlite3_extended_errcode(db);
    const int primary = code & 0xff;
    if (primary != SQLITE_IOERR && primary != SQLITE_CANTOPEN)
        return code;
    switch (sqlite3_system_errno(db)) {
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        return SQLITE_FULL;
    case EROFS:
        return SQLITE_READONLY;
    default:
        return code;
    }
}

} // namespace

// ---------------------------------------------------------------- Statement

Statement::Statement(Statement&& other) noexcept
    : m_db(other.m_db), m_stmt(other.m_stmt), m_error(std::move(other.m_error)), m_code(other.m_code)
{
    other.m_stmt = nullptr;
    other.m_db = nullptr;
}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        if (m_stmt)
            sqlite3_finalize(m_stmt);
        m_db = other.m_db;
        m_stmt = other.m_stmt;
        m_error = std::move(other.m_error);
        m_code = other.m_code;
        other.m_stmt = nullptr;
        other.m_db = nullptr;
    }
    return *this;
}

Statement::~Statement()
{
    if (m_stmt)
        sqlite3_finalize(m_stmt);
}

Statement& Statement::bind(int position, const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return bindNull(position);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        return bindInt(position, value.toLongLong());
    case QMetaType::Double:
        if (m_stmt)
            sqlite3_bind_double(m_stmt, position, value.toDouble());
        return *this;
    case QMetaType::QByteArray:
        return bindBlob(position, value.toByteArray());
    default:
        return bindText(position, value.toString());
    }
}

Statement& Statement::bindText(int position, const QString& value)
{
    if (m_stmt) {
        const QByteArray utf8 = value.toUtf8();
        sqlite3_bind_text(m_stmt, position, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    return *this;
}

Statement& Statement::bindInt(int position, qint64 value)
{
    if (m_stmt)
        sqlite3_bind_int64(m_stmt, position, value);
    return *this;
}

Statement& Statement::bindBlob(int position, const QByteArray& value)
{
    if (m_stmt)
        sqlite3_bind_blob(m_stmt, position, value.constData(), int(value.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::bindNull(int position)
{
    if (m_stmt)
        sqlite3_bind_null(m_stmt, position);
    return *this;
}

Statement::Step Statement::step()
{
    if (!m_stmt) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("statement was not prepared");
        return Step::Error;
    }
    startBudget();
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return Step::Row;
    if (rc == SQLITE_DONE)
        return Step::Done;
    m_code = failureCode(m_db);
    m_error = (m_code & 0xff) == SQLITE_INTERRUPT ? Database::tooMuchWork() : engineError(m_db);
    return Step::Error;
}

bool Statement::run()
{
    Step s;
    while ((s = step()) == Step::Row) {
    }
    return s == Step::Done;
}

bool Statement::reset()
{
    return m_stmt && sqlite3_reset(m_stmt) == SQLITE_OK;
}

int Statement::columnCount() const
{
    return m_stmt ? sqlite3_column_count(m_stmt) : 0;
}

QString Statement::columnName(int column) const
{
    return m_stmt ? QString::fromUtf8(sqlite3_column_name(m_stmt, column)) : QString();
}

int Statement::columnIndex(const QString& name) const
{
    const int n = columnCount();
    for (int i = 0; i < n; ++i) {
        if (columnName(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int Statement::requireColumn(const QString& name) const
{
    const int i = columnIndex(name);
    if (i < 0)
        const_cast<Statement*>(this)->m_error = QStringLiteral("no column named %1").arg(name);
    return i;
}

bool Statement::isNull(int column) const
{
    return !m_stmt || column < 0 || column >= columnCount() ||
           sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

bool Statement::isNull(const QString& name) const
{
    return isNull(requireColumn(name));
}

int Statement::byteCount(int column) const
{
    return isNull(column) ? 0 : sqlite3_column_bytes(m_stmt, column);
}

QString Statement::text(int column) const
{
    if (isNull(column))
        return QString(""); // Null reads as empty text
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    const int n = sqlite3_column_bytes(m_stmt, column);
    return QString::fromUtf8(p, n);
}

QString Statement::text(const QString& name) const
{
    return text(requireColumn(name));
}

qint64 Statement::integer(int column) const
{
    return isNull(column) ? 0 : sqlite3_column_int64(m_stmt, column);
}

qint64 Statement::integer(const QString& name) const
{
    return integer(requireColumn(name));
}

QByteArray Statement::blob(int column) const
{
    if (isNull(column))
        return QByteArray();
    const void* p = sqlite3_column_blob(m_stmt, column);
    const int n = sqlite3_column_bytes(m_stmt, column);
    return QByteArray(static_cast<const char*>(p), n);
}

QByteArray Statement::blob(const QString& name) const
{
    return blob(requireColumn(name));
}

QVariant Statement::value(int column) const
{
    if (!m_stmt || column < 0 || column >= columnCount())
        return QVariant();
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    case SQLITE_BLOB:
        return QVariant(blob(column));
    case SQLITE_NULL:
        return QVariant();
    default:
        return QVariant(text(column));
    }
}

// ---------------------------------------------------------------- Database

Database::Database() = default;

Database::Database(Database&& other) noexcept
    : m_path(std::move(other.m_path)), m_db(other.m_db), m_lastCode(other.m_lastCode),
      m_madeCompanions(std::move(other.m_madeCompanions))
{
    other.m_db = nullptr;
    other.m_madeCompanions.clear();
}

Database& Database::operator=(Database&& other) noexcept
{
    if (this != &other) {
        close();
        m_path = std::move(other.m_path);
        m_db = other.m_db;
        m_lastCode = other.m_lastCode;
        m_madeCompanions = std::move(other.m_madeCompanions);
        other.m_db = nullptr;
        other.m_madeCompanions.clear();
    }
    return *this;
}

Database::~Database()
{
    close();
}

void Database::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    // A read-only connection to a file in write-ahead mode makes its log and shared memory
    // beside it: what this connection made goes again, so that reading changes no folder.
    if (!m_madeCompanions.isEmpty()) {
        const QString wal = m_path + QStringLiteral("-wal");
        if (!m_madeCompanions.contains(wal) || QFileInfo(wal).size() == 0) {
            for (const QString& companion : std::as_const(m_madeCompanions))
                QFile::remove(companion);
        }
        m_madeCompanions.clear();
    }
}

DatabaseFailure Database::failureOf(int code)
{
    switch (code & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return DatabaseFailure::None;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return DatabaseFailure::Damaged;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DatabaseFailure::Locked;
    case SQLITE_FULL:
        return DatabaseFailure::DiskFull;
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return DatabaseFailure::AccessDenied;
    case SQLITE_CANTOPEN:
        // The folder may refuse the journal or the shared-memory file of a readable file.
        return code == SQLITE_CANTOPEN_NOTEMPDIR ? DatabaseFailure::ReadOnly : DatabaseFailure::AccessDenied;
    case SQLITE_READONLY:
        return DatabaseFailure::ReadOnly;
    case SQLITE_IOERR:
        return code == SQLITE_IOERR_NOMEM ? DatabaseFailure::OutOfMemory : DatabaseFailure::DiskError;
    case SQLITE_NOMEM:
        return DatabaseFailure::OutOfMemory;
    case SQLITE_NOTFOUND:
        return DatabaseFailure::Missing;
    default:
        return DatabaseFailure::Other;
    }
}

std::optional<Database> Database::open(const QString& path, const QString& password, Mode mode,
                                       QString* error, int* code, int busyTimeoutMs)
{
    int failCode = SQLITE_ERROR;
    auto fail = [&](const QString& text) -> std::optional<Database> {
        if (error)
            *error = text;
        if (code)
            *code = failCode;
        return std::nullopt;
    };

    const QFileInfo info(path);
    if (mode != Mode::Create) {
        failCode = SQLITE_CANTOPEN;
        if (!info.exists()) {
            failCode = SQLITE_NOTFOUND;
            return fail(QStringLiteral("The file %1 does not exist.").arg(path));
        }
        if (!info.isFile())
            return fail(QStringLiteral("%1 is not a file.").arg(path));
        // An empty file would silently become a new database; it is a damaged one here.
        if (info.size() == 0) {
            failCode = SQLITE_NOTADB;
            return fail(QStringLiteral("The file %1 is empty: it is not a valid database.").arg(path));
        }
    }

    // A read-only connection cannot roll back what a writer killed mid-transaction left in
    // its journal, and refuses the file ("attempt to write a readonly database"): the file
    // is rolled back to its last commit first, where its folder may be written.
    if (mode == Mode::ReadOnly && QFileInfo(path + QStringLiteral("-journal")).size() > 0)
        rollBackJournal(path, password, nullptr);

    int flags = SQLITE_OPEN_NOMUTEX;
    flags |= mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (mode == Mode::Create)
        flags |= SQLITE_OPEN_CREATE;

    [[maybe_unused]] static const bool configured = [] {
        // The engine's count of its own memory takes a lock shared by every connection on
        // every allocation; nothing here reads the count, and files are read on several
        // threads at once. Only possible before the engine's first use.
        return sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    }();
    const KeyBufferLockOff keyBufferLockOff;
    Database db;
    db.m_path = path;
    if (mode == Mode::ReadOnly) {
        for (const QString& companion : {path + QStringLiteral("-wal"), path + QStringLiteral("-shm")}) {
            if (!QFileInfo(companion).exists())
                db.m_madeCompanions << companion;
        }
    }
    const QByteArray nativePath = QFile::encodeName(path);
    if (QFile::encodeName(info.absoluteFilePath()).size() > MaxPathBytes) {
        failCode = SQLITE_CANTOPEN;
        return fail(Database::pathTooLong(info.fileName()));
    }
    const int rc = sqlite3_open_v2(nativePath.constData(), &db.m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        failCode = db.m_db ? failureCode(db.m_db) : rc;
        const QString text = engineError(db.m_db);
        db.close();
        return fail(text);
    }
    sqlite3_busy_timeout(db.m_db, busyTimeoutMs);
    sqlite3_extended_result_codes(db.m_db, 1);
    sqlite3_progress_handler(db.m_db, ProgressInterval, onProgress, nullptr);
    sqlite3_limit(db.m_db, SQLITE_LIMIT_LENGTH, MaxValueBytes);

    if (!password.isEmpty()) {
        const QByteArray key = password.toUtf8();
        if (sqlite3_key(db.m_db, key.constData(), int(key.size())) != SQLITE_OK) {
            failCode = failureCode(db.m_db);
            return fail(engineError(db.m_db));
        }
        QString pragmaError;
        if (!db.exec(QStringLiteral("PRAGMA kdf_iter = %1").arg(KdfIterations), &pragmaError)) {
            failCode = db.m_lastCode;
            return fail(pragmaError);
        }
    }
    // Reading the schema proves that the key fits and the file is a database. The program
    // reads only plain tables (all named "tbl..."); a view in a table's place can be made to
    // run for ever, and a trigger to do anything at a write: none of its files holds one.
    QString probeError;
    Statement probe = db.prepare(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' "
                                                "OR (type = 'view' AND lower(name) LIKE 'tbl%')"),
                                 &probeError);
    if (probe.isValid() && probe.step() == Statement::Step::Row && probe.integer(0) > 0) {
        failCode = SQLITE_CORRUPT;
        return fail(QStringLiteral("%1 cannot be opened: it is damaged or not one of the program's files "
                                   "(it holds views or triggers where plain tables are expected).")
                        .arg(info.fileName()));
    }
    if (!probe.isValid() || probe.errorCode() != 0) {
        failCode = probe.isValid() ? probe.errorCode() : db.m_lastCode;
        // A file that can be read but not opened read-write, in a folder where the engine
        // cannot make its shared-memory file: a read-only file or folder.
        if ((failCode & 0xff) == SQLITE_CANTOPEN && info.isReadable())
            failCode = SQLITE_READONLY;
        if (probeError.isEmpty())
            probeError = probe.errorString();
        return fail(QStringLiteral("%1 cannot be opened: %2").arg(info.fileName(), probeError));
    }
    return db;
}

void Database::stopAllStatements()
{
    g_stopAll.store(true, std::memory_order_relaxed);
}

QString Database::pathTooLong(const QString& fileName)
{
    return QStringLiteral(
               "%1 cannot be opened: the path is too long (the database engine opens files at paths "
               "of at most %2 bytes)")
        .arg(fileName)
        .arg(MaxPathBytes);
}

QString Database::tooMuchWork()
{
    return QStringLiteral("the file asks for far more work than any of the program's files needs: it is "
                          "damaged or not one of them");
}

QStringList Database::companionPaths(const QString& path)
{
    return {path + QStringLiteral("-journal"), path + QStringLiteral("-wal"), path + QStringLiteral("-shm")};
}

QString Database::existingCompanion(const QString& path)
{
    for (const QString& companion : companionPaths(path)) {
        if (QFileInfo(companion).exists() || QFileInfo(companion).isSymLink())
            return companion;
    }
    return QString();
}

bool Database::rollBackJournal(const QString& path, const QString& password, QString* error)
{
    const QFileInfo journal(path + QStringLiteral("-journal"));
    if (!journal.exists() || journal.size() == 0)
        return true;
    // Reading the schema on a read-write connection plays a hot journal back; a journal a
    // live writer still holds is left alone by the engine.
    QString why;
    auto db = open(path, password, Mode::ReadWrite, &why, nullptr, 2000);
    if (!db) {
        if (error)
            *error = namingFile(path, QStringLiteral("an interrupted write cannot be rolled back: ") + why);
        return false;
    }
    return true;
}

bool Database::renameFile(const QString& from, const QString& to, const QString& password, QString* error)
{
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (QFileInfo(to).exists() || QFileInfo(to).isSymLink())
        return fail(QStringLiteral("%1 already exists").arg(to));
    if (const QString stale = existingCompanion(to); !stale.isEmpty())
        return fail(
            QStringLiteral("%1 is in the way: it is left from an earlier file of the name").arg(stale));
    if (!rollBackJournal(from, password, error))
        return false;
    QFile file(from);
    // One step, and never onto an existing file: an interruption leaves the old name.
    if (!file.rename(to))
        return fail(QStringLiteral("%1 cannot be renamed to %2: %3").arg(from, to, file.errorString()));
    const QStringList fromCompanions = companionPaths(from);
    const QStringList toCompanions = companionPaths(to);
    for (int i = 0; i < fromCompanions.size(); ++i) {
        if (QFileInfo(fromCompanions[i]).exists())
            QFile::rename(fromCompanions[i], toCompanions[i]);
    }
    return true;
}

void Database::removeCompanions(const QString& path)
{
    for (const QString& companion : companionPaths(path))
        QFile::remove(companion);
}

QString Database::namingFile(const QString& path, const QString& message)
{
    const QString name = QFileInfo(path).fileName();
    if (name.isEmpty() || message.contains(name))
        return message;
    return name + QStringLiteral(": ") + message;
}

Statement Database::prepare(const QString& sql, QString* error)
{
    if (!m_db) {
        if (error)
            *error = QStringLiteral("the database is not open");
        Statement s;
        s.m_error = QStringLiteral("the database is not open");
        return s;
    }
    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    startBudget(); // reading the schema runs statements of the engine's own
    if (sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, nullptr) != SQLITE_OK) {
        Statement s;
        s.m_error = engineError(m_db);
        s.m_code = m_lastCode = failureCode(m_db);
        if (error)
            *error = s.m_error;
        return s;
    }
    return Statement(m_db, stmt);
}

bool Database::exec(const QString& sql, QString* error)
{
    if (!m_db) {
        if (error)
            *error = QStringLiteral("the database is not open");
        return false;
    }
    char* message = nullptr;
    startBudget();
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        m_lastCode = failureCode(m_db);
        if (error)
            *error = (m_lastCode & 0xff) == SQLITE_INTERRUPT ? tooMuchWork()
                     : message                               ? QString::fromUtf8(message)
                                                             : engineError(m_db);
        sqlite3_free(message);
        return false;
    }
    return true;
}

qint64 Database::lastInsertId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

int Database::changes() const
{
    return m_db ? sqlite3_changes(m_db) : 0;
}

bool Database::backupTo(Database& destination, QString* error)
{
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (!m_db || !destination.m_db)
        return fail(QStringLiteral("the database is not open"));
    constexpr int Attempts = 20;
    constexpr unsigned long PauseMs = 100;
    for (int attempt = 1;; ++attempt) {
        sqlite3_backup* backup = sqlite3_backup_init(destination.m_db, "main", m_db, "main");
        if (!backup)
            return fail(engineError(destination.m_db));
        // All pages in one step: the copy is one snapshot of the source, whatever other
        // connections commit meanwhile.
        const int stepRc = sqlite3_backup_step(backup, -1);
        const int finishRc = sqlite3_backup_finish(backup);
        if (stepRc == SQLITE_DONE && finishRc == SQLITE_OK)
            return true;
        const bool busy = stepRc == SQLITE_BUSY || stepRc == SQLITE_LOCKED;
        if (!busy || attempt == Attempts)
            return fail(finishRc != SQLITE_OK ? engineError(destination.m_db)
                                              : QString::fromUtf8(sqlite3_errstr(stepRc)));
        QThread::msleep(PauseMs);
    }
}

bool Database::beginTransaction(QString* error)
{
    return exec(QStringLiteral("BEGIN IMMEDIATE"), error);
}

bool Database::commit(QString* error)
{
    return exec(QStringLiteral("COMMIT"), error);
}

bool Database::rollback()
{
    return exec(QStringLiteral("ROLLBACK"));
}

QString Database::lastError() const
{
    return engineError(m_db);
}

// ---------------------------------------------------------------- Transaction

Transaction::Transaction(Database& db) : m_db(db)
{
    m_active = m_db.beginTransaction(&m_error);
}

Transaction::~Transaction()
{
    if (m_active)
        m_db.rollback();
}

bool Transaction::commit(QString* error)
{
    if (!m_active) {
        if (error)
            *error = m_error;
        return false;
    }
    m_active = false;
    if (!m_db.commit(&m_error)) {
        m_db.rollback();
        if (error)
            *error = m_error;
        return false;
    }
    return true;
}
