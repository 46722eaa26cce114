#include "platform/Database.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>
#include <sys/resource.h>

class TestDatabase : public QObject
{
    Q_OBJECT
private slots:
    void roundTripValues();
    void badFiles_data();
    void badFiles();
    void transactionRollsBack();
    void endlessStatementsAreStopped();
    void fastKeyDerivationIsStored();
    void lockedMemoryLimitIsRestored();

private:
    QTemporaryDir m_dir;
};

void TestDatabase::roundTripValues()
{
    const QString path = m_dir.filePath(QStringLiteral("values.db"));
    QString error;
    auto db = Database::open(path, Database::SubjectPassword, Database::Mode::Create, &error);
    QVERIFY2(db, qPrintable(error));
    QVERIFY(
        db->exec(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, b BLOB)")));
    Statement ins = db->prepare(QStringLiteral("INSERT INTO t (name, b) VALUES (?, ?)"));
    ins.bindText(1, QStringLiteral("O'Brien \"è\" * x")).bindBlob(2, QByteArray("\0\1\2", 3));
    QVERIFY(ins.run());
    QCOMPARE(db->lastInsertId(), 1);
    Statement nul = db->prepare(QStringLiteral("INSERT INTO t (name) VALUES (NULL)"));
    QVERIFY(nul.run());
    db->close();

    auto again = Database::open(path, Database::SubjectPassword, Database::Mode::ReadOnly, &error);
    QVERIFY2(again, qPrintable(error));
    Statement sel = again->prepare(QStringLiteral("SELECT * FROM t ORDER BY id"));
    QCOMPARE(sel.step(), Statement::Step::Row);
    QCOMPARE(sel.text(QStringLiteral("NAME")), QStringLiteral("O'Brien \"è\" * x"));
    QCOMPARE(sel.blob(2), QByteArray("\0\1\2", 3));
    QCOMPARE(sel.step(), Statement::Step::Row);
    QVERIFY(sel.isNull(1));
    QCOMPARE(sel.text(1), QString(""));
    QVERIFY(!sel.text(1).isNull());
    QCOMPARE(sel.step(), Statement::Step::Done);
}

void TestDatabase::badFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("other password") << "password";
    QTest::newRow("not a database") << "garbage";
    QTest::newRow("truncated") << "truncated";
    QTest::newRow("empty") << "empty";
    QTest::newRow("missing") << "missing";
    QTest::newRow("folder") << "folder";
    QTest::newRow("first bytes only") << "header";
    QTest::newRow("plain file given a password") << "plain";
    QTest::newRow("encrypted file without password") << "nopassword";
}

void TestDatabase::badFiles()
{
    QFETCH(QString, kind);
    const QString path = m_dir.filePath(kind + QStringLiteral(".ita"));
    if (kind == QLatin1String("password") || kind == QLatin1String("truncated")) {
        QVERIFY(TestSupport::writeSubject(path, QStringLiteral("prlita"), 10));
        if (kind == QLatin1String("truncated")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.resize(f.size() / 3));
        }
    } else if (kind == QLatin1String("header")) {
        QVERIFY(TestSupport::writeSubject(path, QStringLiteral("prlita"), 3));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.resize(100));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == QLatin1String("plain") || kind == QLatin1String("nopassword")) {
        const QString made = kind == QLatin1String("plain") ? QString() : Database::SubjectPassword;
        auto db = Database::open(path, made, Database::Mode::Create, nullptr);
        QVERIFY(db);
        QVERIFY(db->exec(
            QStringLiteral("CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY, tPhrase TEXT)")));
    } else if (kind == QLatin1String("garbage")) {
        TestSupport::writeGarbage(path);
    } else if (kind == QLatin1String("empty")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QString password = Database::SubjectPassword;
    if (kind == QLatin1String("password"))
        password = QStringLiteral("another");
    else if (kind == QLatin1String("nopassword"))
        password = QString();
    QString error;
    auto db = Database::open(path, password, Database::Mode::ReadOnly, &error);
    if (kind == QLatin1String("truncated") && db) {
        // A truncated file may still open; reading all of it must then fail cleanly.
        Statement st = db->prepare(QStringLiteral("SELECT * FROM tblPhrases"), &error);
        Statement::Step s = Statement::Step::Row;
        while (st.isValid() && (s = st.step()) == Statement::Step::Row) {
        }
        QVERIFY(!st.isValid() || s == Statement::Step::Error);
        if (st.isValid())
            error = st.errorString();
    } else {
        QVERIFY(!db);
    }
    QVERIFY2(!error.isEmpty(), qPrintable(kind));
}

void TestDatabase::transactionRollsBack()
{
    const QString path = m_dir.filePath(QStringLiteral("tx.db"));
    auto db = Database::open(path, QString(), Database::Mode::Create, nullptr);
    QVERIFY(db);
    QVERIFY(db->exec(QStringLiteral("CREATE TABLE t (v INTEGER)")));
    {
        Transaction tx(*db);
        QVERIFY(tx.ok());
        QVERIFY(db->exec(QStringLiteral("INSERT INTO t VALUES (1)")));
    } // no commit
    Statement count = db->prepare(QStringLiteral("SELECT count(*) FROM t"));
    QCOMPARE(count.step(), Statement::Step::Row);
    QCOMPARE(count.integer(0), 0);
}

// No statement can hold the program: one that never ends and one that builds a value
// without end both stop with an error, and memory stays bounded meanwhile.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitizedBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool sanitizedBuild = true;
#else
constexpr bool sanitizedBuild = false;
#endif
#else
constexpr bool sanitizedBuild = false;
#endif

void TestDatabase::endlessStatementsAreStopped()
{
    auto db = Database::open(m_dir.filePath(QStringLiteral("endless.db")), QString(), Database::Mode::Create,
                             nullptr);
    QVERIFY(db);
    Statement endless = db->prepare(QStringLiteral(
        "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT count(*) FROM r"));
    QCOMPARE(endless.step(), Statement::Step::Error);
    QCOMPARE(endless.errorString(), Database::tooMuchWork());
    QString error;
    QVERIFY(
        !db->exec(QStringLiteral("WITH RECURSIVE r(n, t) AS (SELECT 1, 'x' UNION ALL SELECT n + 1, t || t "
                                 "FROM r) SELECT count(*) FROM r"),
                  &error));
    QVERIFY2(error.contains(QStringLiteral("too big")), qPrintable(error));
    rusage usage{};
    QCOMPARE(getrusage(RUSAGE_SELF, &usage), 0);
    // AddressSanitizer keeps freed memory aside (256 MB by default) besides its shadow memory,
    // so its build gets a bound that still catches a statement growing without end.
    QVERIFY2(usage.ru_maxrss < (sanitizedBuild ? 1024 : 300) * 1024,
             qPrintable(QString::number(usage.ru_maxrss)));
    // The connection goes on working.
    Statement one = db->prepare(QStringLiteral("SELECT 1"));
    QCOMPARE(one.step(), Statement::Step::Row);
}

void TestDatabase::fastKeyDerivationIsStored()
{
    // A file made by the program opens with the low iteration count, and only with it:
    // the setting really reached the engine, and the sqlcipher shell recipe holds.
    const QString path = m_dir.filePath(QStringLiteral("kdf.db"));
    {
        auto db = Database::open(path, Database::TemplatePassword, Database::Mode::Create, nullptr);
        QVERIFY(db);
        QVERIFY(db->exec(QStringLiteral("CREATE TABLE tblProperties (tName TEXT)")));
    }
    auto countTables = [&](bool withKdf) {
        sqlite3* raw = nullptr;
        sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
        const QByteArray key = Database::TemplatePassword.toUtf8();
        sqlite3_key(raw, key.constData(), int(key.size()));
        if (withKdf)
            sqlite3_exec(raw, "PRAGMA kdf_iter = 64", nullptr, nullptr, nullptr);
        const int rc = sqlite3_exec(raw, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        sqlite3_close(raw);
        return rc;
    };
    QCOMPARE(countTables(true), SQLITE_OK);
    QVERIFY(countTables(false) != SQLITE_OK);
    // And the program reopens it.
    QString error;
    auto again = Database::open(path, Database::TemplatePassword, Database::Mode::ReadWrite, &error);
    QVERIFY2(again, qPrintable(error));
    Statement st = again->prepare(QStringLiteral("SELECT * FROM tblProperties"));
    QCOMPARE(st.step(), Statement::Step::Done);
}

void TestDatabase::lockedMemoryLimitIsRestored()
{
    // Opens lower the limit of locked memory for a moment; after a good open and a refused
    // one, the processes the program starts must get the learner's own limit again.
    rlimit before{};
    QCOMPARE(getrlimit(RLIMIT_MEMLOCK, &before), 0);
    const QString path = m_dir.filePath(QStringLiteral("limit.db"));
    QString error;
    QVERIFY(Database::open(path, Database::SubjectPassword, Database::Mode::Create, &error)
                ->exec(QStringLiteral("CREATE TABLE t (v INTEGER)")));
    QVERIFY2(Database::open(path, Database::SubjectPassword, Database::Mode::ReadOnly, &error),
             qPrintable(error));
    QVERIFY(!Database::open(path, Database::TemplatePassword, Database::Mode::ReadOnly, &error));
    rlimit after{};
    QCOMPARE(getrlimit(RLIMIT_MEMLOCK, &after), 0);
    QCOMPARE(after.rlim_cur, before.rlim_cur);
    QCOMPARE(after.rlim_max, before.rlim_max);
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "TestDatabase.moc"
