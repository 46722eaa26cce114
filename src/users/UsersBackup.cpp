#include "UsersBackup.h"

#include "platform/Database.h"
#include "platform/Fail.h"
#include "platform/Files.h"
#include "review/PhraseResults.h"
#include "state/AppState.h"
#include "users/RowOrigins.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString DateTimeFormat = QStringLiteral("yyyy-MM-dd-HHmmss");

QString kindName(BackupCopy::Kind kind)
{
    switch (kind) {
    case BackupCopy::Kind::BeforeClear:
        return QStringLiteral("before-clear");
    case BackupCopy::Kind::BeforeRestore:
        return QStringLiteral("before-restore");
    case BackupCopy::Kind::Daily:
        break;
    }
    return QStringLiteral("daily");
}

std::optional<Database> openUsers(const QString& path, Database::Mode mode, QString* error)
{
    return Database::open(path, Database::TemplatePassword, mode, error);
}

// Copies the open database into a new file at target, checks the copy and leaves it as a
// single file (rollback journal), so the copy can be moved or mailed on its own.
bool writeCopy(Database& from, const QString& target, QString* error)
{
    QFile::remove(target);
    {
        auto to = openUsers(target, Database::Mode::Create, error);
        if (!to)
            return false;
        if (!from.backupTo(*to, error))
            return false;
    }
    {
        // The copied header carries the source's write-ahead mode; a fresh connection
        // reads it and can turn it off.
        auto copy = openUsers(target, Database::Mode::ReadWrite, error);
        if (!copy || !copy->exec(QStringLiteral("PRAGMA journal_mode = DELETE"), error))
            return false;
    }
    return UsersBackup::checkCopy(target, error);
}

// A name from a file, quoted for SQL.
QString quotedName(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

QStringList columnsOf(Database& db, const QString& table)
{
    QStringList columns;
    Statement st = db.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(quotedName(table)));
    while (st.step() == Statement::Step::Row)
        columns << st.text(1);
    return columns;
}

// The tables a restore takes from the copy and a clear empties: the learners, the scores, every
// per-learner table (PhraseResults::learnerTables) and last the keys' counters. A per-learner
// table that is only worked out from the others is emptied by a restore, to be worked out
// again from the restored rows.
struct UsersTable
{
    QString name;
    bool restored;
};

QList<UsersTable> usersTables()
{
    QList<UsersTable> tables{{QStringLiteral("tblUsers"), true}, {QStringLiteral("tblscores"), true}};
    for (const PhraseResults::LearnerTable& t : PhraseResults::learnerTables())
        tables.append({QLatin1String(t.name), !t.derived});
    tables.append({QStringLiteral("sqlite_sequence"), true});
    return tables;
}

// Replaces the rows of the users tables in the open database (inside its transaction) with
// those of the copy, column by column where both have it.
bool replaceRows(Database& live, const QString& copyPath, QString* error)
{
    auto copy = openUsers(copyPath, Database::Mode::ReadWrite, error);
    if (!copy)
        return false;
    // The per-learner tables in the form the rows go into (one of another shape set aside).
    if (!PhraseResults::ensureTables(live, error))
        return false;
    for (const auto& [table, restored] : usersTables()) {
        const QStringList liveColumns = columnsOf(live, table);
        QStringList columns;
        for (const QString& c : columnsOf(*copy, table)) {
            if (liveColumns.contains(c, Qt::CaseInsensitive))
                columns << quotedName(c);
        }
        if (liveColumns.isEmpty())
            continue;
        if (!live.exec(QStringLiteral("DELETE FROM %1").arg(table), error))
            return false;
        if (columns.isEmpty() || !restored)
            continue;
        const QString list = columns.join(QLatin1Char(','));
        Statement read = copy->prepare(QStringLiteral("SELECT %1 FROM %2").arg(list, table), error);
        Statement write =
            live.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                             .arg(table, list, QStringLiteral("?,").repeated(columns.size()).chopped(1)),
                         error);
        if (!read.isValid() || !write.isValid())
            return false;
        Statement::Step step;
        while ((step = read.step()) == Statement::Step::Row) {
            for (int i = 0; i < columns.size(); ++i)
                write.bind(i + 1, read.value(i));
            if (!write.run()) {
                return fail(error, write.errorString());
            }
            write.reset();
        }
        if (step == Statement::Step::Error)
            return fail(error, read.errorString());
    }
    return true;
}

// Restored rows keep the identities they were sent to the class server under (the copy's);
// rows recorded from now on begin identities of their own, as their keys may be given again.
bool keepRowIdentities(Database& live, const QString& livePath, const QString& copyPath, QString* error)
{
    auto copy = openUsers(copyPath, Database::Mode::ReadWrite, error);
    return copy && RowOrigins::afterRowsReplaced(live, &*copy, {RowOrigins::Scores, RowOrigins::PhraseResults},
                                                 RowOrigins::placeOf(livePath), error);
}

// Removes a file made by this process with its journals, when something went wrong.
void removeWithJournals(const QString& path)
{
    for (const QString& suffix :
         {QString(), QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(path + suffix);
}

// Changes the live users file under its write lock, held from a copy of it (of kind) taken
// first to the end of change(live): the copy keeps what was there, and a result an activity
// saves meanwhile waits and lands in the changed file, never in neither. The copy's path, or
// nothing when the copy or the change failed (the file is then as it was).
template <typename Change>
std::optional<QString> changeAfterCopy(const UsersBackup& backup, BackupCopy::Kind kind, const QDateTime& now,
                                       QString* error, Change change)
{
    auto live = openUsers(backup.usersDatabasePath(), Database::Mode::ReadWrite, error);
    if (!live)
        return std::nullopt;
    Transaction tx(*live);
    if (!tx.ok()) {
        fail(error, tx.errorString());
        return std::nullopt;
    }
    auto kept = backup.takeCopy(kind, now, error);
    if (!kept || !change(*live) || !tx.commit(error))
        return std::nullopt;
    return kept;
}

} // namespace

UsersBackup::UsersBackup(const QString& usersDatabasePath) : m_path(usersDatabasePath) {}

UsersBackup UsersBackup::forApp()
{
    return UsersBackup(app().usersDatabasePath());
}

QString UsersBackup::folder() const
{
    return QFileInfo(m_path).absolutePath() + QStringLiteral("/Backups/");
}

QString UsersBackup::nameFor(BackupCopy::Kind kind, const QDateTime& when) const
{
    const QFileInfo info(m_path);
    return info.completeBaseName() + QLatin1Char('-') + when.toString(DateTimeFormat) + QLatin1Char('-') +
           kindName(kind) + QLatin1Char('.') + info.suffix();
}

QList<BackupCopy> UsersBackup::copies() const
{
    const QFileInfo info(m_path);
    static const QRegularExpression shape(QStringLiteral(
        R"(^(.*)-(\d{4}-\d{2}-\d{2}-\d{6})-(daily|before-clear|before-restore)(?:-\d+)?\.([^.]*)$)"));
    QList<BackupCopy> result;
    const QStringList names = QDir(folder()).entryList(QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const auto m = shape.match(name);
        if (!m.hasMatch() || m.captured(1) != info.completeBaseName() || m.captured(4) != info.suffix())
            continue;
        BackupCopy copy;
        copy.path = folder() + name;
        copy.taken = QDateTime::fromString(m.captured(2), DateTimeFormat);
        if (!copy.taken.isValid())
            continue;
        const QString kind = m.captured(3);
        copy.kind = kind == QLatin1String("daily")          ? BackupCopy::Kind::Daily
                    : kind == QLatin1String("before-clear") ? BackupCopy::Kind::BeforeClear
                                                            : BackupCopy::Kind::BeforeRestore;
        result.append(copy);
    }
    // Newest first; names break ties so the order never depends on the folder listing.
    std::sort(result.begin(), result.end(), [](const BackupCopy& a, const BackupCopy& b) {
        return a.taken != b.taken ? a.taken > b.taken : a.path > b.path;
    });
    return result;
}

std::optional<QString> UsersBackup::takeCopy(BackupCopy::Kind kind, const QDateTime& now,
                                             QString* error) const
{
    if (!QFileInfo(m_path).isFile()) {
        fail(error, QStringLiteral("The file %1 does not exist.").arg(m_path));
        return std::nullopt;
    }
    if (!QDir().mkpath(folder())) {
        fail(error, QStringLiteral("The folder %1 cannot be created.").arg(folder()));
        return std::nullopt;
    }
    removeStalePartialCopies();
    const QString name = nameFor(kind, now);
    QString target = folder() + name;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = folder() + QFileInfo(name).completeBaseName() + QStringLiteral("-%1.").arg(n) +
                 QFileInfo(name).suffix();
    // Made under a name that is no copy, then renamed: a half-made copy never counts.
    const QString partial =
        folder() + QStringLiteral(".partial-%1-").arg(QCoreApplication::applicationPid()) + name;
    // A connection of its own: the copy is the last committed state, also while another
    // connection of this program holds the write lock (reading goes on beside it).
    auto from = openUsers(m_path, Database::Mode::ReadWrite, error);
    if (!from || !writeCopy(*from, partial, error)) {
        from.reset();
        removeWithJournals(partial);
        return std::nullopt;
    }
    from.reset();
    if (!QFile::rename(partial, target)) {
        removeWithJournals(partial);
        fail(error, QStringLiteral("%1 cannot be created.").arg(target));
        return std::nullopt;
    }
    return target;
}

void UsersBackup::removeStalePartialCopies() const
{
    // A copy cut short by a crash keeps its ".partial-<pid>-" name; only the copies of
    // programs that no longer run are removed.
    static const QRegularExpression partialName(QStringLiteral(R"(^\.partial-(\d+)-)"));
    const QStringList names = QDir(folder()).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const auto m = partialName.match(name);
        if (m.hasMatch() && !processIsRunning(m.captured(1).toLongLong()))
            QFile::remove(folder() + name);
    }
}

std::optional<QString> UsersBackup::clear(const QDateTime& now, QString* error) const
{
    if (!QFileInfo(m_path).isFile())
        return QString();
    return changeAfterCopy(*this, BackupCopy::Kind::BeforeClear, now, error, [&](Database& live) {
        // Every learner's rows go, also those of per-learner tables set aside for their shape.
        QStringList tables;
        for (const UsersTable& t : usersTables())
            tables << t.name;
        for (const PhraseResults::LearnerTable& t : PhraseResults::learnerTables()) {
            Statement kept = live.prepare(
                QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE ? ESCAPE '!'"),
                error);
            kept.bindText(1, QLatin1String(t.name) + QStringLiteral("!_kept%"));
            while (kept.step() == Statement::Step::Row)
                tables << kept.text(0);
        }
        for (const QString& table : std::as_const(tables)) {
            if (!columnsOf(live, table).isEmpty() &&
                !live.exec(QStringLiteral("DELETE FROM %1").arg(quotedName(table)), error))
                return false;
        }
        return RowOrigins::afterRowsReplaced(live, nullptr, {RowOrigins::Scores, RowOrigins::PhraseResults},
                                             RowOrigins::placeOf(m_path), error);
    });
}

bool UsersBackup::takeDailyCopy(const QDateTime& now, QString* error, bool* made) const
{
    if (made)
        *made = false;
    if (!QFileInfo(m_path).isFile())
        return true; // nothing to keep yet
    QList<BackupCopy> daily;
    for (const BackupCopy& c : copies()) {
        if (c.kind == BackupCopy::Kind::Daily)
            daily.append(c);
    }
    const bool takenToday = std::any_of(daily.begin(), daily.end(),
                                        [&](const BackupCopy& c) { return c.taken.date() == now.date(); });
    if (!takenToday) {
        auto path = takeCopy(BackupCopy::Kind::Daily, now, error);
        if (!path)
            return false;
        if (made)
            *made = true;
        daily.prepend(BackupCopy{*path, BackupCopy::Kind::Daily, now});
        std::stable_sort(daily.begin(), daily.end(),
                         [](const BackupCopy& a, const BackupCopy& b) { return a.taken > b.taken; });
    }
    for (qsizetype i = DailyCopiesKept; i < daily.size(); ++i) {
        if (!QFile::remove(daily[i].path))
            return fail(error, QStringLiteral("%1 cannot be deleted.").arg(daily[i].path));
    }
    return true;
}

std::optional<BackupCopy> UsersBackup::newestUsableCopy() const
{
    for (const BackupCopy& c : copies()) {
        if (checkCopy(c.path, nullptr))
            return c;
    }
    return std::nullopt;
}

bool UsersBackup::checkCopy(const QString& path, QString* error)
{
    // Read-write: a copy in write-ahead mode needs its shared-memory file to be read.
    auto db = openUsers(path, Database::Mode::ReadWrite, error);
    if (!db)
        return false;
    Statement check = db->prepare(QStringLiteral("PRAGMA quick_check"), error);
    if (check.step() != Statement::Step::Row)
        return fail(error, check.errorString());
    if (check.text(0) != QLatin1String("ok"))
        return fail(error,
                    QStringLiteral("%1 is damaged: %2").arg(QFileInfo(path).fileName(), check.text(0)));
    for (const QString& table : {QStringLiteral("tblUsers"), QStringLiteral("tblscores")}) {
        Statement s = db->prepare(QStringLiteral("SELECT count(*) FROM %1").arg(table), error);
        if (s.step() != Statement::Step::Row)
            return fail(error, QStringLiteral("%1 is not a users database: %2")
                                   .arg(QFileInfo(path).fileName(), s.errorString()));
    }
    return true;
}

std::optional<QString> UsersBackup::restore(const QString& copyPath, const QDateTime& now,
                                            QString* error) const
{
    if (!checkCopy(copyPath, error))
        return std::nullopt;
    if (QFileInfo(m_path).isFile()) {
        // Into the live file, so that programs holding it open see the restored rows, and
        // under its write lock from the copy of the present file (nothing is lost) to the
        // last restored row: a result an activity saves meanwhile lands in the restored file.
        return changeAfterCopy(*this, BackupCopy::Kind::BeforeRestore, now, error, [&](Database& live) {
            return replaceRows(live, copyPath, error) && keepRowIdentities(live, m_path, copyPath, error);
        });
    }
    // No file (it was set aside): a new one beside it, in write-ahead mode like every
    // users database, renamed into place.
    const QString partial = m_path + QStringLiteral(".restoring-%1").arg(QCoreApplication::applicationPid());
    removeWithJournals(partial);
    bool ok = false;
    {
        auto from = openUsers(copyPath, Database::Mode::ReadWrite, error);
        auto to = from ? openUsers(partial, Database::Mode::Create, error) : std::nullopt;
        ok = to && from->backupTo(*to, error) && to->exec(QStringLiteral("PRAGMA journal_mode = WAL"), error);
        // What is only worked out from the rows is worked out again from the restored ones.
        for (const PhraseResults::LearnerTable& t : PhraseResults::learnerTables()) {
            if (ok && t.derived && !columnsOf(*to, QLatin1String(t.name)).isEmpty())
                ok = to->exec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(t.name)), error);
        }
        if (ok) {
            Transaction tx(*to);
            ok = tx.ok() && keepRowIdentities(*to, m_path, copyPath, error) && tx.commit(error);
        }
    }
    if (!ok || !QFile::rename(partial, m_path)) {
        if (ok)
            fail(error, QStringLiteral("%1 cannot be created.").arg(m_path));
        removeWithJournals(partial);
        return std::nullopt;
    }
    return QString();
}
