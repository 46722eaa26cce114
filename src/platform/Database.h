#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

class Database;

// What a failed access means for the file, decided from the engine's result code. Only
// Damaged says that the file itself is unusable (not a database, corrupt, empty); every
// other kind passes, and a file must never be renamed, deleted or replaced for it.
enum class DatabaseFailure
{
    None,
    Damaged,
    Locked,       // another connection holds it (busy or locked)
    DiskFull,     // the disk or the file's size limit is full
    AccessDenied, // the system refuses to open the file
    ReadOnly,     // the file or its folder cannot be written
    DiskError,    // a read or write of the disk failed
    OutOfMemory,
    Missing, // the file is not there
    Other,   // a statement the file's tables do not fit, and everything else
};

// One prepared statement. Bind values by position (1-based), step through the rows and
// read columns by position (0-based) or by name. Null texts read as "".
class Statement
{
public:
    enum class Step
    {
        Row,
        Done,
        Error
    };

    Statement() = default;
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    bool isValid() const { return m_stmt != nullptr; }

    Statement& bind(int position, const QVariant& value);
    Statement& bindText(int position, const QString& value);
    Statement& bindInt(int position, qint64 value);
    Statement& bindBlob(int position, const QByteArray& value);
    Statement& bindNull(int position);

    Step step();
    // Steps until the statement is done; true unless an error happened.
    bool run();
    bool reset();

    int columnCount() const;
    QString columnName(int column) const;
    int columnIndex(const QString& name) const; // -1 when there is no such column; case-insensitive

    bool isNull(int column) const;
    // The value's size in bytes (a text's in UTF-8), read without copying the value out.
    int byteCount(int column) const;
    bool isNull(const QString& name) const;
    QString text(int column) const;
    QString text(const QString& name) const;
    qint64 integer(int column) const;
    qint64 integer(const QString& name) const;
    QByteArray blob(int column) const;
    QByteArray blob(const QString& name) const;
    QVariant value(int column) const;

    QString errorString() const { return m_error; }
    // The engine's extended result code of the last failure (0 when none came from it).
    int errorCode() const { return m_code; }

private:
    friend class Database;
    Statement(sqlite3* db, sqlite3_stmt* stmt) : m_db(db), m_stmt(stmt) {}
    int requireColumn(const QString& name) const;

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    QString m_error;
    int m_code = 0;
};

// An open connection to one of the program's database files (SQLCipher, or plain SQLite
// when the password is empty). Errors are returned as text with the engine's description.
class Database
{
public:
    enum class Mode
    {
        ReadOnly,
        ReadWrite,
        Create
    };

    // Subject files (installed subjects and virtual subject files).
    static const QString SubjectPassword;
    // Template database, users database and the activities' picture files.
    static const QString TemplatePassword;

    Database();
    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    static constexpr int DefaultBusyTimeoutMs = 10000;

    // Opens and checks the file: a wrong password, a damaged or foreign file gives a
    // clear error here rather than at the first query. *code gets the engine's extended
    // result code of a failure (SQLITE_NOTADB for an empty file, SQLITE_NOTFOUND for a
    // missing one). A locked file is waited for up to busyTimeoutMs at each statement.
    static std::optional<Database> open(const QString& path, const QString& password, Mode mode,
                                        QString* error, int* code = nullptr,
                                        int busyTimeoutMs = DefaultBusyTimeoutMs);

    // Interrupts every long statement running now or later in the process, on any thread:
    // the program is ending (safe inside a signal handler).
    static void stopAllStatements();
    // The reason given for a statement stopped by the bound on its work.
    static QString tooMuchWork();
    // The reason given for a file whose path is longer than the engine can open; names the
    // file and contains "the path is too long".
    static QString pathTooLong(const QString& fileName);

    // What a result code means for the file.
    static DatabaseFailure failureOf(int code);
    // message with the file's name in front, unless it names the file already: among many
    // files, a reader's error must say which one it is.
    static QString namingFile(const QString& path, const QString& message);

    // The files the engine keeps beside a database file: its rollback journal, its
    // write-ahead log and that log's shared memory. A rename, a copy or a deletion of the
    // file takes them along: a journal left behind would be played into whatever file
    // next takes the name.
    static QStringList companionPaths(const QString& path);
    // The first of path's companion files that exists, or "": a new file at path would
    // inherit it, so such a target is refused.
    static QString existingCompanion(const QString& path);
    // A writer killed in the middle of a transaction leaves its journal beside the file:
    // opened read-write once, the engine rolls the file back to its last commit. Nothing
    // happens without a journal; false with the reason when one cannot be rolled back.
    static bool rollBackJournal(const QString& path, const QString& password, QString* error);
    // Renames a database file with its companions, after rolling its journal back. Refuses
    // a target that exists or has companion files of its own; the file keeps its old name
    // on any failure.
    static bool renameFile(const QString& from, const QString& to, const QString& password, QString* error);
    // Removes the companion files of a file that is gone (deleted or moved to the trash).
    static void removeCompanions(const QString& path);

    bool isOpen() const { return m_db != nullptr; }
    QString path() const { return m_path; }
    void close();

    Statement prepare(const QString& sql, QString* error = nullptr);
    bool exec(const QString& sql, QString* error = nullptr);
    qint64 lastInsertId() const;
    int changes() const;

    // Copies the whole database into destination with the engine's online backup: a
    // consistent snapshot even while other programs write, never a plain file copy. Both
    // files need the same password. A source or destination kept busy is tried again.
    bool backupTo(Database& destination, QString* error = nullptr);

    bool beginTransaction(QString* error = nullptr);
    bool commit(QString* error = nullptr);
    bool rollback();

    QString lastError() const;
    // The extended result code of the last failed prepare or exec (0 when none failed).
    int lastErrorCode() const { return m_lastCode; }
    sqlite3* handle() const { return m_db; }

private:
    QString m_path;
    sqlite3* m_db = nullptr;
    int m_lastCode = 0;
    // Write-ahead files a read-only open made beside the file, removed at close.
    QStringList m_madeCompanions;
};

// Rolls back unless commit() was called: multi-row writes either all land or none does.
class Transaction
{
public:
    explicit Transaction(Database& db);
    ~Transaction();
    bool ok() const { return m_active; }
    bool commit(QString* error = nullptr);
    QString errorString() const { return m_error; }

private:
    Database& m_db;
    bool m_active = false;
    QString m_error;
};
