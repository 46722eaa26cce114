#include "SubjectFile.h"

#include "platform/NaturalOrder.h"

#include "platform/Database.h"
#include "platform/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <functional>

namespace {

// Every message about a subject file names it: the guard prefixes the file's path to an
// error set while it lives, unless the text names the file already.
class FileNamedInErrors
{
public:
    FileNamedInErrors(const QString& path, QString* error)
        : m_path(path), m_error(error), m_before(error ? *error : QString())
    {
    }
    ~FileNamedInErrors()
    {
        if (!m_error || m_error->isEmpty() || *m_error == m_before)
            return;
        if (!m_error->contains(QFileInfo(m_path).fileName()))
            *m_error = QStringLiteral("%1: %2").arg(m_path, *m_error);
    }
    FileNamedInErrors(const FileNamedInErrors&) = delete;
    FileNamedInErrors& operator=(const FileNamedInErrors&) = delete;

private:
    QString m_path;
    QString* m_error;
    QString m_before;
};

std::optional<Database> openSubject(const QString& path, Database::Mode mode, QString* error)
{
    return Database::open(path, Database::SubjectPassword, mode, error);
}

template <typename T> std::optional<T> failWith(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return std::nullopt;
}

// A query over a table whose expected columns are missing would read them as empty texts;
// such a file is damaged and is reported instead.
bool hasColumns(const Statement& st, const char* table, std::initializer_list<const char*> names,
                QString* error)
{
    for (const char* name : names) {
        if (st.columnIndex(QLatin1String(name)) < 0) {
            if (error)
                *error = QStringLiteral("%1 has no column %2").arg(QLatin1String(table), QLatin1String(name));
            return false;
        }
    }
    return true;
}

bool hasPhraseColumns(const Statement& st, bool withSound, QString* error)
{
    if (!hasColumns(st, "tblPhrases", {"pkPhraseNo", "tPhrase", "tTranslation", "tTranslation2"}, error))
        return false;
    return !withSound || hasColumns(st, "tblPhrases", {"bsound"}, error);
}

// Sounds are stored beside the texts; reading them decrypts every page they fill, so a
// query that only shows texts names its columns. A table without one of them falls back
// to "SELECT *", whose column check then says which one is missing.
Statement preparePhrases(Database& db, const QString& where, bool withSound, QString* error)
{
    if (!withSound) {
        Statement st = db.prepare(
            QStringLiteral("SELECT pkPhraseNo, tPhrase, tTranslation, tTranslation2 FROM tblPhrases") +
            where);
        if (st.isValid())
            return st;
    }
    Statement st = db.prepare(QStringLiteral("SELECT * FROM tblPhrases") + where, error);
    if (st.isValid() && !hasPhraseColumns(st, withSound, error))
        return Statement();
    return st;
}

Phrase readPhrase(const Statement& st, bool withSound)
{
    Phrase p;
    p.phraseNo = st.integer(QStringLiteral("pkPhraseNo"));
    p.tPhrase = st.text(QStringLiteral("tPhrase"));
    p.tTranslation = st.text(QStringLiteral("tTranslation"));
    p.tTranslation2 = st.text(QStringLiteral("tTranslation2"));
    if (withSound)
        p.bsound = st.blob(QStringLiteral("bsound"));
    return p;
}

// tProgramCode of the first tblProperties row of an open subject file.
std::optional<QString> readProgramCode(Database& db, QString* error)
{
    Statement st = db.prepare(QStringLiteral("SELECT * FROM tblProperties"), error);
    if (!st.isValid())
        return std::nullopt;
    const Statement::Step s = st.step();
    if (s == Statement::Step::Error)
        return failWith<QString>(error, st.errorString());
    if (s == Statement::Step::Done)
        return failWith<QString>(error,
                                 QStringLiteral("tblProperties has no row, so the file names no edition"));
    const int column = st.columnIndex(QStringLiteral("tProgramCode"));
    if (column < 0)
        return failWith<QString>(error, QStringLiteral("tblProperties has no column tProgramCode"));
    return st.text(column);
}

// The verdict on a file from its edition code, or from the error met reading it.
QString verdictOf(const std::optional<QString>& code, const QString& error, const QString& programCode)
{
    if (!code)
        return error.isEmpty() ? QStringLiteral("unknown error") : error;
    if (*code != programCode)
        return QStringLiteral("WRONG_LANGUAGE*") + *code;
    return QStringLiteral("VALID");
}

const char* InstalledSchema = "CREATE TABLE tblProperties (tProgramCode TEXT);"
                              "CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY, tPhrase TEXT,"
                              " tTranslation TEXT, tTranslation2 TEXT, bsound BLOB);";

const char* VirtualSchema =
    "CREATE TABLE tblParents (nParent INTEGER PRIMARY KEY AUTOINCREMENT, tParentName TEXT);"
    "CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY AUTOINCREMENT, fkParent INTEGER,"
    " tfilename TEXT NOT NULL, nPhraseNo INTEGER NOT NULL, tPhrase TEXT, tTranslation TEXT,"
    " tTranslation2 TEXT);";

// A journal left by an earlier file of the name would be played into a new one.
bool refuseStaleCompanion(const QString& path, QString* error)
{
    const QString stale = Database::existingCompanion(path);
    if (stale.isEmpty())
        return true;
    if (error)
        *error = QStringLiteral("%1 is in the way: it is left from an earlier file of the name").arg(stale);
    return false;
}

// Builds a database next to the target and renames it into place only when complete.
bool buildAtomically(const QString& path, bool overwrite, QString* error,
                     const std::function<bool(Database&, QString*)>& fill)
{
    if (!overwrite && QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("%1 already exists").arg(path);
        return false;
    }
    if (!overwrite && !refuseStaleCompanion(path, error))
        return false;
    const QFileInfo target(path);
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.parlanto-XXXXXX.tmp"));
    if (!temp.open()) {
        if (error)
            *error = QStringLiteral("cannot write in %1: %2").arg(target.absolutePath(), temp.errorString());
        return false;
    }
    temp.close();
    {
        QFile::remove(temp.fileName());
        auto db = Database::open(temp.fileName(), Database::SubjectPassword, Database::Mode::Create, error);
        if (!db)
            return false;
        Transaction tx(*db);
        if (!tx.ok() || !fill(*db, error) || !tx.commit(error)) {
            db->close();
            QFile::remove(temp.fileName());
            return false;
        }
    }
    if (overwrite) {
        QFile::remove(path);
        Database::removeCompanions(path);
    }
    if (!QFile::rename(temp.fileName(), path)) {
        QFile::remove(temp.fileName());
        if (error)
            *error = QStringLiteral("cannot create %1").arg(path);
        return false;
    }
    temp.setAutoRemove(false);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return true;
}

} // namespace

namespace InstalledSubject {

std::optional<QString> programCode(const QString& path, QString* error)
{
    const FileNamedInErrors named(path, error);
    auto db = openSubject(path, Database::Mode::ReadOnly, error);
    if (!db)
        return std::nullopt;
    return readProgramCode(*db, error);
}

CheckedPhrases checkedPhrases(const QString& path, const QString& programCode,
                              const std::vector<qint64>& numbers, bool withSound)
{
    CheckedPhrases result;
    QString error;
    std::optional<Database> db;
    std::optional<Transaction> read; // one read lock for the check and the phrases
    std::optional<QString> code;
    {
        const FileNamedInErrors named(path, &error);
        db = openSubject(path, Database::Mode::ReadOnly, &error);
        if (db) {
            read.emplace(*db);
            code = readProgramCode(*db, &error);
        }
    }
    result.verdict = verdictOf(code, error, programCode);
    if (result.verdict != QLatin1String("VALID") || numbers.empty())
        return result;
    // A file that passed the check but cannot give its phrases gives none, as a phrase
    // missing from it would.
    Statement st = preparePhrases(*db, QStringLiteral(" where pkPhraseNo = ?"), withSound, nullptr);
    if (!st.isValid())
        return result;
    for (const qint64 number : numbers) {
        if (std::any_of(result.phrases.begin(), result.phrases.end(),
                        [number](const Phrase& p) { return p.phraseNo == number; }))
            continue;
        st.reset();
        st.bindInt(1, number);
        if (st.step() == Statement::Step::Row)
            result.phrases.push_back(readPhrase(st, withSound));
    }
    return result;
}

std::optional<std::vector<Phrase>> phrases(const QString& path, bool withSound, QString* error)
{
    const FileNamedInErrors named(path, error);
    auto db = openSubject(path, Database::Mode::ReadOnly, error);
    if (!db)
        return std::nullopt;
    Statement st = preparePhrases(*db, QString(), withSound, error);
    if (!st.isValid())
        return std::nullopt;
    std::vector<Phrase> result;
    Statement::Step s;
    while ((s = st.step()) == Statement::Step::Row)
        result.push_back(readPhrase(st, withSound));
    if (s == Statement::Step::Error)
        return failWith<std::vector<Phrase>>(error, st.errorString());
    return result;
}

std::optional<Phrase> phrase(const QString& path, qint64 number, bool withSound, bool* found, QString* error)
{
    const FileNamedInErrors named(path, error);
    if (found)
        *found = false;
    auto db = openSubject(path, Database::Mode::ReadOnly, error);
    if (!db)
        return std::nullopt;
    Statement st = preparePhrases(*db, QStringLiteral(" where pkPhraseNo = ?"), withSound, error);
    if (!st.isValid())
        return std::nullopt;
    st.bindInt(1, number);
    const Statement::Step s = st.step();
    if (s == Statement::Step::Error)
        return failWith<Phrase>(error, st.errorString());
    if (s == Statement::Step::Done)
        return Phrase{};
    if (found)
        *found = true;
    return readPhrase(st, withSound);
}

std::optional<std::vector<qint64>> phraseNumbers(const QString& path, QString* error)
{
    const FileNamedInErrors named(path, error);
    auto db = openSubject(path, Database::Mode::ReadOnly, error);
    if (!db)
        return std::nullopt;
    Statement st = db->prepare(QStringLiteral("SELECT pkPhraseNo FROM tblPhrases"), error);
    if (!st.isValid())
        return std::nullopt;
    std::vector<qint64> result;
    Statement::Step s;
    while ((s = st.step()) == Statement::Step::Row) {
        if (!st.isNull(0))
            result.push_back(st.integer(0));
    }
    if (s == Statement::Step::Error)
        return failWith<std::vector<qint64>>(error, st.errorString());
    return result;
}

bool updateTexts(const QString& path, qint64 number, const QString& phrase, const QString& translation,
                 const QString& translation2, QString* error)
{
    const FileNamedInErrors named(path, error);
    auto db = openSubject(path, Database::Mode::ReadWrite, error);
    if (!db)
        return false;
    Statement st = db->prepare(QStringLiteral("UPDATE tblPhrases SET tPhrase = ?, tTranslation = ?, "
                                              "tTranslation2 = ? WHERE pkPhraseNo = ?"),
                               error);
    if (!st.isValid())
        return false;
    st.bindText(1, phrase).bindText(2, translation).bindText(3, translation2).bindInt(4, number);
    if (!st.run()) {
        if (error)
            *error = st.errorString();
        return false;
    }
    if (db->changes() == 0) {
        if (error)
            *error = QStringLiteral("phrase %1 no longer exists").arg(number);
        return false;
    }
    return true;
}

bool create(const QString& path, const QString& programCode, const std::vector<Phrase>& phrases,
            bool overwrite, QString* error)
{
    const FileNamedInErrors named(path, error);
    return buildAtomically(path, overwrite, error, [&](Database& db, QString* err) {
        if (!db.exec(QString::fromLatin1(InstalledSchema), err))
            return false;
        Statement props =
            db.prepare(QStringLiteral("INSERT INTO tblProperties (tProgramCode) VALUES (?)"), err);
        props.bindText(1, programCode);
        if (!props.run()) {
            if (err)
                *err = props.errorString();
            return false;
        }
        Statement ins =
            db.prepare(QStringLiteral("INSERT INTO tblPhrases (pkPhraseNo, tPhrase, tTranslation, "
                                      "tTranslation2, bsound) VALUES (?, ?, ?, ?, ?)"),
                       err);
        for (const Phrase& p : phrases) {
            ins.reset();
            ins.bindInt(1, p.phraseNo).bindText(2, p.tPhrase).bindText(3, p.tTranslation);
            ins.bindText(4, p.tTranslation2).bindBlob(5, p.bsound);
            if (!ins.run()) {
                if (err)
                    *err = ins.errorString();
                return false;
            }
        }
        return true;
    });
}

} // namespace InstalledSubject

namespace VirtualSubjectFile {

bool createEmpty(const QString& path, QString* error)
{
    const FileNamedInErrors named(path, error);
    return buildAtomically(path, false, error, [](Database& db, QString* err) {
        return db.exec(QString::fromLatin1(VirtualSchema), err);
    });
}

bool createFromTemplate(const QString& templatePath, const QString& path, QString* error)
{
    const FileNamedInErrors named(path, error);
    if (QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("%1 already exists").arg(path);
        return false;
    }
    if (!refuseStaleCompanion(path, error))
        return false;
    QFile source(templatePath);
    if (!source.copy(path)) {
        if (error)
            *error =
                QStringLiteral("%1 cannot be copied to %2: %3").arg(templatePath, path, source.errorString());
        return false;
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return true;
}

std::optional<std::vector<VirtualSubject>> subjects(const QString& path, QString* error)
{
    const FileNamedInErrors named(path, error);
    auto db = openSubject(path, Database::Mode::ReadOnly, error);
    if (!db)
        return std::nullopt;
    Statement st = db->prepare(QStringLiteral("SELECT * FROM tblParents"), error);
    if (!st.isValid())
        return std::nullopt;
    if (st.columnCount() < 2)
        return failWith<std::vector<VirtualSubject>>(error, QStringLiteral("tblParents has no name column"));
    std::vector<VirtualSubject> result;
    Statement::Step s;
    while ((s = st.step()) == Statement::Step::Row)
        result.push_back({st.integer(0), st.text(1)});
    if (s == Statement::Step::Error)
        return failWith<std::vector<VirtualSubject>>(error, st.errorString());
    return result;
}

namespace {
// The phrase rows "where" selects (one bound key), in stored order.
std::optional<std::vector<VirtualPhrase>> readPhraseRows(Database& db, const QString& where, qint64 key,
                                                         QString* error)
{
    Statement st = db.prepare(QStringLiteral("SELECT * FROM tblPhrases where ") + where, error);
    if (!st.isValid() || !hasColumns(st, "tblPhrases",
                                     {"pkPhraseNo", "fkParent", "tfilename", "nPhraseNo", "tPhrase",
                                      "tTranslation", "tTranslation2"},
                                     error))
        return std::nullopt;
    st.bindInt(1, key);
    std::vector<VirtualPhrase> result;
    Statement::Step s;
    while ((s = st.step()) == Statement::Step::Row) {
        VirtualPhrase p;
        p.rowKey = st.integer(QStringLiteral("pkPhraseNo"));
        p.fkParent = st.integer(QStringLiteral("fkParent"));
        p.fileNameIsNull = st.isNull(QStringLiteral("tfilename"));
        p.tfilename = st.text(QStringLiteral("tfilename"));
        p.phraseNoIsNull = st.isNull(QStringLiteral("nPhraseNo"));
        p.phraseNo = st.integer(QStringLiteral("nPhraseNo"));
        p.tPhrase = st.text(QStringLiteral("tPhrase"));
        p.tTranslation = st.text(QStringLiteral("tTranslation"));
        p.tTranslation2 = st.text(QStringLiteral("tTranslation2"));
        result.push_back(p);
    }
    if (s == Statement::Step::Error)
        return failWith<std::vector<VirtualPhrase>>(error, st.errorString());
    return result;
}
} // namespace

std::optional<std::vector<VirtualPhrase>> phrases(const QString& path, qint64 nParent, QString* error)
{
    const FileNamedInErrors named(path, error);
    auto db = openSubject(path, Database::Mode::ReadOnly, error);
    if (!db)
        return std::nullopt;
    return readPhraseRows(*db, QStringLiteral("fkParent = ?"), nParent, error);
}

namespace {

// The name column is addressed by position: whatever it is called, it is the second.
// Returns it quoted for a statement.
std::optional<QString> parentNameColumn(Database& db, QString* error)
{
    Statement probe = db.prepare(QStringLiteral("SELECT * FROM tblParents LIMIT 0"), error);
    if (!probe.isValid())
        return std::nullopt;
    if (probe.columnCount() < 2)
        return failWith<QString>(error, QStringLiteral("tblParents has no name column"));
    return QLatin1Char('"') + probe.columnName(1).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

std::optional<qint64> insertSubject(Database& db, const QString& name, QString* error)
{
    const auto nameColumn = parentNameColumn(db, error);
    if (!nameColumn)
        return std::nullopt;
    Statement ins =
        db.prepare(QStringLiteral("INSERT INTO tblParents (%1) VALUES (?)").arg(*nameColumn), error);
    if (!ins.isValid())
        return std::nullopt;
    ins.bindText(1, name);
    if (!ins.run())
        return failWith<qint64>(error, ins.errorString());
    return db.lastInsertId();
}

std::optional<std::vector<qint64>> insertPhrases(Database& db, qint64 nParent,
                                                 const std::vector<VirtualPhrase>& phrases, QString* error)
{
    Statement ins =
        db.prepare(QStringLiteral("INSERT INTO tblPhrases (fkParent, tfilename, nPhraseNo, tPhrase, "
                                  "tTranslation, tTranslation2) VALUES (?, ?, ?, ?, ?, ?)"),
                   error);
    if (!ins.isValid())
        return std::nullopt;
    std::vector<qint64> keys;
    keys.reserve(phrases.size());
    for (const VirtualPhrase& p : phrases) {
        ins.reset();
        ins.bindInt(1, nParent).bindText(2, p.tfilename).bindInt(3, p.phraseNo);
        ins.bindText(4, p.tPhrase).bindText(5, p.tTranslation).bindText(6, p.tTranslation2);
        if (!ins.run())
            return failWith<std::vector<qint64>>(error, ins.errorString());
        keys.push_back(db.lastInsertId());
    }
    return keys;
}

// Opens the file for writing and runs write in one transaction: the file gets all of it or,
// on any error, none. write returns its result or nullopt with *error set.
template <typename Write>
auto inOneTransaction(const QString& path, QString* error, Write write)
    -> decltype(write(std::declval<Database&>()))
{
    using Result = decltype(write(std::declval<Database&>()));
    auto db = openSubject(path, Database::Mode::ReadWrite, error);
    if (!db)
        return std::nullopt;
    Transaction tx(*db);
    if (!tx.ok())
        return failWith<typename Result::value_type>(error, tx.errorString());
    Result result = write(*db);
    if (!result || !tx.commit(error))
        return std::nullopt;
    return result;
}

} // namespace

std::optional<qint64> addSubject(const QString& path, const QString& name, QString* error)
{
    const FileNamedInErrors named(path, error);
    auto db = openSubject(path, Database::Mode::ReadWrite, error);
    if (!db)
        return std::nullopt;
    return insertSubject(*db, name, error);
}

std::optional<NewSubject> addSubjectWithPhrases(const QString& path, const QString& name,
                                                const std::vector<VirtualPhrase>& phrases, QString* error)
{
    const FileNamedInErrors named(path, error);
    return inOneTransaction(path, error, [&](Database& db) -> std::optional<NewSubject> {
        const auto nParent = insertSubject(db, name, error);
        if (!nParent)
            return std::nullopt;
        auto keys = insertPhrases(db, *nParent, phrases, error);
        if (!keys)
            return std::nullopt;
        return NewSubject{*nParent, std::move(*keys)};
    });
}

bool renameSubject(const QString& path, qint64 nParent, const QString& name, QString* error)
{
    const FileNamedInErrors named(path, error);
    auto db = openSubject(path, Database::Mode::ReadWrite, error);
    if (!db)
        return false;
    const auto nameColumn = parentNameColumn(*db, error);
    if (!nameColumn)
        return false;
    Statement up =
        db->prepare(QStringLiteral("UPDATE tblParents SET %1 = ? WHERE nParent = ?").arg(*nameColumn), error);
    if (!up.isValid())
        return false;
    up.bindText(1, name).bindInt(2, nParent);
    if (!up.run()) {
        if (error)
            *error = up.errorString();
        return false;
    }
    // Renaming a subject that another window deleted meanwhile is a failure, not a success.
    if (db->changes() == 0) {
        if (error)
            *error = QStringLiteral("virtual subject %1 no longer exists").arg(nParent);
        return false;
    }
    return true;
}

bool deleteSubject(const QString& path, qint64 nParent, QString* error)
{
    const FileNamedInErrors named(path, error);
    // Its phrases first, then its row.
    return inOneTransaction(path, error,
                            [&](Database& db) -> std::optional<bool> {
                                for (const QString& sql :
                                     {QStringLiteral("DELETE FROM tblPhrases WHERE fkParent = ?"),
                                      QStringLiteral("DELETE FROM tblParents WHERE nParent = ?")}) {
                                    Statement st = db.prepare(sql, error);
                                    st.bindInt(1, nParent);
                                    if (!st.run())
                                        return failWith<bool>(error, st.errorString());
                                }
                                return true;
                            })
        .has_value();
}

std::optional<std::vector<qint64>> addPhrases(const QString& path, qint64 nParent,
                                              const std::vector<VirtualPhrase>& phrases, QString* error)
{
    const FileNamedInErrors named(path, error);
    return inOneTransaction(path, error,
                            [&](Database& db) { return insertPhrases(db, nParent, phrases, error); });
}

bool deletePhrase(const QString& path, qint64 phraseNo, QString* error)
{
    const FileNamedInErrors named(path, error);
    auto db = openSubject(path, Database::Mode::ReadWrite, error);
    if (!db)
        return false;
    Statement st = db->prepare(QStringLiteral("DELETE FROM tblPhrases WHERE pkPhraseNo = ?"), error);
    st.bindInt(1, phraseNo);
    if (!st.run()) {
        if (error)
            *error = st.errorString();
        return false;
    }
    return true;
}

std::optional<DeletedRows> takeSubject(const QString& path, qint64 nParent, QString* error)
{
    const FileNamedInErrors named(path, error);
    return inOneTransaction(path, error, [&](Database& db) -> std::optional<DeletedRows> {
        DeletedRows rows;
        rows.wholeSubject = true;
        rows.nParent = nParent;
        Statement parent = db.prepare(QStringLiteral("SELECT * FROM tblParents WHERE nParent = ?"), error);
        if (!parent.isValid())
            return std::nullopt;
        parent.bindInt(1, nParent);
        if (parent.step() != Statement::Step::Row || parent.columnCount() < 2)
            return failWith<DeletedRows>(error,
                                         QStringLiteral("virtual subject %1 no longer exists").arg(nParent));
        rows.name = parent.text(1);
        auto phrases = readPhraseRows(db, QStringLiteral("fkParent = ?"), nParent, error);
        if (!phrases)
            return std::nullopt;
        rows.phrases = std::move(*phrases);
        for (const QString& sql : {QStringLiteral("DELETE FROM tblPhrases WHERE fkParent = ?"),
                                   QStringLiteral("DELETE FROM tblParents WHERE nParent = ?")}) {
            Statement st = db.prepare(sql, error);
            st.bindInt(1, nParent);
            if (!st.run())
                return failWith<DeletedRows>(error, st.errorString());
        }
        return rows;
    });
}

std::optional<DeletedRows> takePhrase(const QString& path, qint64 phraseNo, QString* error)
{
    const FileNamedInErrors named(path, error);
    return inOneTransaction(path, error, [&](Database& db) -> std::optional<DeletedRows> {
        auto phrases = readPhraseRows(db, QStringLiteral("pkPhraseNo = ?"), phraseNo, error);
        if (!phrases)
            return std::nullopt;
        if (phrases->empty())
            return failWith<DeletedRows>(error, QStringLiteral("phrase %1 no longer exists").arg(phraseNo));
        DeletedRows rows;
        rows.nParent = phrases->front().fkParent;
        rows.phrases = std::move(*phrases);
        Statement st = db.prepare(QStringLiteral("DELETE FROM tblPhrases WHERE pkPhraseNo = ?"), error);
        st.bindInt(1, phraseNo);
        if (!st.run())
            return failWith<DeletedRows>(error, st.errorString());
        return rows;
    });
}

bool restoreRows(const QString& path, const DeletedRows& rows, QString* error)
{
    const FileNamedInErrors named(path, error);
    return inOneTransaction(
               path, error,
               [&](Database& db) -> std::optional<bool> {
                   if (rows.wholeSubject) {
                       const auto nameColumn = parentNameColumn(db, error);
                       if (!nameColumn)
                           return std::nullopt;
                       Statement ins =
                           db.prepare(QStringLiteral("INSERT INTO tblParents (nParent, %1) VALUES (?, ?)")
                                          .arg(*nameColumn),
                                      error);
                       if (!ins.isValid())
                           return std::nullopt;
                       ins.bindInt(1, rows.nParent).bindText(2, rows.name);
                       if (!ins.run())
                           return failWith<bool>(error, ins.errorString());
                   } else {
                       // A phrase goes back only into the subject it came from.
                       Statement parent = db.prepare(
                           QStringLiteral("SELECT nParent FROM tblParents WHERE nParent = ?"), error);
                       if (!parent.isValid())
                           return std::nullopt;
                       parent.bindInt(1, rows.nParent);
                       if (parent.step() != Statement::Step::Row)
                           return failWith<bool>(
                               error,
                               QStringLiteral("virtual subject %1 no longer exists").arg(rows.nParent));
                   }
                   // Their own keys: the rows come back where they were, in the same order.
                   Statement ins = db.prepare(
                       QStringLiteral("INSERT INTO tblPhrases (pkPhraseNo, fkParent, tfilename, nPhraseNo, "
                                      "tPhrase, tTranslation, tTranslation2) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                       error);
                   if (!ins.isValid())
                       return std::nullopt;
                   for (const VirtualPhrase& p : rows.phrases) {
                       ins.reset();
                       ins.bindInt(1, p.rowKey).bindInt(2, rows.nParent);
                       if (p.fileNameIsNull)
                           ins.bindNull(3);
                       else
                           ins.bindText(3, p.tfilename);
                       if (p.phraseNoIsNull)
                           ins.bindNull(4);
                       else
                           ins.bindInt(4, p.phraseNo);
                       ins.bindText(5, p.tPhrase).bindText(6, p.tTranslation).bindText(7, p.tTranslation2);
                       if (!ins.run())
                           return failWith<bool>(error, ins.errorString());
                   }
                   return true;
               })
        .has_value();
}

} // namespace VirtualSubjectFile

namespace {
// The files of the folder whose names end with the suffix, in natural order ("Verbs 2"
// before "Verbs 10", case ignored). Only the names are read: QDir's sorted listing builds
// and compares a QFileInfo for each entry, a third of the tree's start-up with thousands of
// subjects.
QStringList listFiles(const QString& folder, const QString& suffix)
{
    if (folder.isEmpty())
        return {};
    QStringList names;
    for (QString& name : fileNamesIn(folder)) {
        if (name.endsWith(suffix, Qt::CaseInsensitive) && name.size() > suffix.size())
            names << std::move(name);
    }
    NaturalOrder::sort(names);
    return names;
}
} // namespace

QStringList installedSubjectFiles(const QString& folder, const QString& languageCode)
{
    return listFiles(folder, QStringLiteral(".") + languageCode);
}

QStringList virtualSubjectFiles(const QString& folder, const QString& languageCode)
{
    return listFiles(folder, QStringLiteral(".v") + languageCode);
}

namespace {
bool isControlCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || (u >= 0x7F && u <= 0x9F);
}
} // namespace

qsizetype controlCharacterAt(const QString& text)
{
    const auto found = std::find_if(text.cbegin(), text.cend(), isControlCharacter);
    return found == text.cend() ? -1 : qsizetype(found - text.cbegin());
}

QString withoutControlCharacters(const QString& text)
{
    if (controlCharacterAt(text) < 0)
        return text;
    QString clean = text;
    clean.removeIf(isControlCharacter);
    return clean;
}

QString checkSubjectFile(const QString& path, const QString& programCode)
{
    QString error;
    const auto code = InstalledSubject::programCode(path, &error);
    return verdictOf(code, error, programCode);
}

QString checkSubjectFileAndTexts(const QString& path, const QString& programCode)
{
    const QString verdict = checkSubjectFile(path, programCode);
    if (verdict != QLatin1String("VALID"))
        return verdict;
    QString error;
    const auto phrases = InstalledSubject::phrases(path, false, &error);
    if (!phrases)
        return error.isEmpty() ? QStringLiteral("unknown error") : error;
    for (const Phrase& p : *phrases) {
        for (const QString* text : {&p.tPhrase, &p.tTranslation, &p.tTranslation2}) {
            if (const qsizetype at = controlCharacterAt(*text); at >= 0)
                return QStringLiteral("phrase %1 holds the control character U+%2, which no phrase text may "
                                      "hold")
                    .arg(p.phraseNo)
                    .arg(QString::number(text->at(at).unicode(), 16)
                             .toUpper()
                             .rightJustified(4, QLatin1Char('0')));
        }
    }
    return verdict;
}
