// The class server on this machine's loopback (a private PostgreSQL server, as the tests
// start one): sending 10,000 queued results with their per-phrase rows (10,000 of each), and
// fetching a learner's 10,000 per-phrase rows at login into a machine that has none of them.
// Target: each under 2 s. Then what the start-up and the login wait for with a class server
// set that cannot be reached, against none set: the sender's thread is started and asked to
// fetch, and at the end stopped while it is still trying to connect.
#include "UsersTemplate.h"
#include "platform/Database.h"
#include "review/PhraseResults.h"
#include "support/BenchRun.h"
#include "support/PrivateClassServer.h"
#include "users/ClassServer.h"
#include "users/ResultsSender.h"
#include "users/UsersDatabase.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

const int Rows = BenchRun::size(10000, 10);
const QString Learner = QStringLiteral("Ada Lovelace");

PrivateClassServer* server()
{
    static std::unique_ptr<PrivateClassServer> s = [] {
        auto made = std::make_unique<PrivateClassServer>();
        QString error;
        if (!made->start(&error) ||
            !made->addClass(QStringLiteral("4B"), QStringLiteral("class_4b"), QStringLiteral("pw"), &error)) {
            std::fprintf(stderr, "no server: %s\n", qPrintable(error));
            return std::unique_ptr<PrivateClassServer>();
        }
        return made;
    }();
    return s.get();
}

ClassServerSettings settingsOf(int port)
{
    ClassServerSettings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port;
    s.database = QStringLiteral("school");
    s.className = QStringLiteral("4B");
    s.role = QStringLiteral("class_4b");
    return s;
}

// A users database with Rows results of one phrase each, recorded in one transaction.
bool makeUsers(const QTemporaryDir& dir, const QString& name, int rows, QString* error)
{
    const UsersDatabase users(dir.filePath(name), dir.filePath(QStringLiteral("Parlanto.tpl")));
    if (!QFileInfo::exists(users.templatePath()) && !UsersTemplate::write(users.templatePath(), error))
        return false;
    if (!users.createFromTemplate(error))
        return false;
    auto db = Database::open(users.path(), Database::TemplatePassword, Database::Mode::ReadWrite, error);
    if (!db || !db->beginTransaction(error) || !PhraseResults::ensureTables(*db, error))
        return false;
    for (int i = 0; i < rows; ++i) {
        Statement s =
            db->prepare(QStringLiteral("INSERT INTO tblscores (tName, tActivity, tSubject, numberScore, "
                                       "nDate, nTime) VALUES (?, 'Flashcards', ?, ?, '2026-12-01', "
                                       "'10:00:00')"));
        s.bindText(1, Learner).bindText(2, QStringLiteral("s%1").arg(i)).bindInt(3, i % 100);
        if (!s.run())
            return false;
        if (!PhraseResults::insert(*db,
                                   {{Learner,
                                     {QStringLiteral("it.ita"), i},
                                     QStringLiteral("Flashcards"),
                                     1760000000 + i * 60,
                                     Grade(i % 4 + 1)}},
                                   error))
            return false;
    }
    return db->commit(error);
}

void BM_Send10000(benchmark::State& state)
{
    if (!server()) {
        state.SkipWithError("no private PostgreSQL server");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        QString error;
        server()->sql(QStringLiteral("TRUNCATE parlanto_scores, parlanto_phrase_results"), &error);
        if (!makeUsers(dir, QStringLiteral("Users.dat"), Rows, &error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        state.ResumeTiming();
        PgConnection connection;
        ClassSync::Sent sent;
        if (!ClassSync::prepareIdentities(dir.filePath(QStringLiteral("Users.dat")), &error) ||
            !connection.connect(settingsOf(server()->port()).target(QStringLiteral("pw")), &error) ||
            !ClassSync::sendPending(dir.filePath(QStringLiteral("Users.dat")), connection,
                                    QStringLiteral("4B"), &error, &sent) ||
            sent.scores != Rows || sent.phrases != Rows) {
            state.SkipWithError(qPrintable(error));
            return;
        }
    }
}
BENCHMARK(BM_Send10000)->Unit(benchmark::kMillisecond)->Iterations(BenchRun::times(3));

void BM_Fetch10000(benchmark::State& state)
{
    if (!server()) {
        state.SkipWithError("no private PostgreSQL server");
        return;
    }
    QTemporaryDir dir;
    QString error;
    server()->sql(QStringLiteral("TRUNCATE parlanto_scores, parlanto_phrase_results"), &error);
    PgConnection connection;
    if (!makeUsers(dir, QStringLiteral("School.dat"), Rows, &error) ||
        !ClassSync::prepareIdentities(dir.filePath(QStringLiteral("School.dat")), &error) ||
        !connection.connect(settingsOf(server()->port()).target(QStringLiteral("pw")), &error) ||
        !ClassSync::sendPending(dir.filePath(QStringLiteral("School.dat")), connection, QStringLiteral("4B"),
                                &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString home = QStringLiteral("Home%1.dat").arg(n++);
        if (!makeUsers(dir, home, 0, &error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        state.ResumeTiming();
        int added = 0;
        if (!ClassSync::fetchLearner(dir.filePath(home), connection, QStringLiteral("4B"), Learner, &error,
                                     &added) ||
            added != Rows) {
            state.SkipWithError(qPrintable(error));
            return;
        }
    }
}
BENCHMARK(BM_Fetch10000)->Unit(benchmark::kMillisecond)->Iterations(BenchRun::times(3));

// What the main thread spends at start-up and login on the class server: starting the
// sender, asking it to fetch, and stopping it at the end. Arg 0: no server set; 1: a server
// that refuses connections; 2: one that never answers (a black-holed address).
void BM_StartLoginEnd(benchmark::State& state)
{
    QTemporaryDir dir;
    QString error;
    if (!makeUsers(dir, QStringLiteral("Users.dat"), 100, &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    ClassServerSettings settings;
    if (state.range(0) == 1)
        settings = settingsOf(1); // nothing listens on port 1
    else if (state.range(0) == 2)
        settings = settingsOf(5432), settings.host = QStringLiteral("192.0.2.1"); // TEST-NET: no answer
    for (auto _ : state) {
        // The start-up's own step: the file's identities (the same with or without a server).
        if (!ClassSync::prepareIdentities(dir.filePath(QStringLiteral("Users.dat")), &error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        ResultsSender sender;
        sender.start(dir.filePath(QStringLiteral("Users.dat")), settings, QStringLiteral("pw"));
        sender.fetchFor(Learner);
        // The learner studies meanwhile; the sender is trying to connect in the background.
        state.PauseTiming();
        QThread::msleep(30);
        state.ResumeTiming();
        sender.stop();
    }
}
BENCHMARK(BM_StartLoginEnd)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(BenchRun::times(20));

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
