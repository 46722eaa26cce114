// Today's due phrases for a learner with 100,000 per-phrase rows over 2,000 phrases (target:
// under 50 ms): as a login works them out (from the copy of the memory the last login kept,
// and with no copy, from every row), and at an activity press, when the memory read at login
// takes in only the rows added since. And the full reading against a learner with
// none, which the login leaves to a thread of its own (what the login itself waits for is
// measured too). Medians of repeated runs; real time and CPU time. And a login after the
// first with either of two hostile users databases (BM_LoginWithHostileFile).
#include "UsersTemplate.h"
#include "platform/Database.h"
#include "review/PhraseMemory.h"
#include "review/PhraseResults.h"
#include "review/ReviewLoader.h"
#include "review/ReviewSchedule.h"
#include "support/BenchLibrary.h"
#include "support/BenchRun.h"
#include "users/UsersDatabase.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const int Phrases = BenchRun::size(2000, 20);
const int ReviewsPerPhrase = BenchRun::size(50, 3);
const QString Busy = QStringLiteral("Anna Rossi");
const QString Fresh = QStringLiteral("Bruno Neri");

struct Fixture
{
    QTemporaryDir dir;
    QString path;
    QString error;

    Fixture()
    {
        const UsersDatabase users(dir.filePath(QStringLiteral("Users.dat")),
                                  dir.filePath(QStringLiteral("Parlanto.tpl")));
        path = users.path();
        if (!UsersTemplate::write(users.templatePath(), &error) || !users.createFromTemplate(&error))
            return;
        auto db = Database::open(path, Database::TemplatePassword, Database::Mode::ReadWrite, &error);
        if (!db)
            return;
        // Fifty reviews of each phrase over two years up to today, mostly recalled.
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        std::vector<PhraseResultRow> rows;
        rows.reserve(size_t(Phrases) * ReviewsPerPhrase);
        for (int p = 0; p < Phrases; ++p) {
            const PhraseIdentity id{QStringLiteral("Subject_%1.ita").arg(p / 10, 3, 10, QLatin1Char('0')),
                                    p % 10 + 1};
            for (int r = 0; r < ReviewsPerPhrase; ++r) {
                const qint64 when = now - qint64(730 - r * 14 - p % 13) * 86400 - (p * 37 % 3600);
                rows.push_back({Busy, id, QStringLiteral("Flashcards"), when,
                                (p + r) % 7 == 0 ? Grade::Again : Grade::Good});
            }
        }
        Transaction t(*db);
        if (!PhraseResults::insert(*db, rows, &error) || !t.commit(&error))
            return;
        error.clear();
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// Forgets the copy of the learner's memory that a login keeps, so that the next reading
// replays every row.
bool dropKeptMemory(const QString& path, QString* error)
{
    auto db = Database::open(path, Database::TemplatePassword, Database::Mode::ReadWrite, error);
    return db && db->exec(QStringLiteral("DELETE FROM tblPhraseMemory"), error);
}

// Today's due phrases as a login works them out: from the copy of the memory the learner's
// last login kept (range 0), or with no copy, replaying all 100,000 rows and keeping a copy
// (range 1, what the first login after an upgrade or a damaged copy costs).
void BM_DuePhrases(benchmark::State& state)
{
    Fixture& f = fixture();
    if (!f.error.isEmpty()) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    const bool replay = state.range(0) != 0;
    size_t due = 0, phrases = 0;
    QString error;
    if (!ReviewSchedule(f.path, Busy).refresh(&error)) { // a copy to start from
        state.SkipWithError(qPrintable(error));
        return;
    }
    for (auto _ : state) {
        if (replay) {
            state.PauseTiming();
            if (!dropKeptMemory(f.path, &error))
                state.SkipWithError(qPrintable(error));
            state.ResumeTiming();
        }
        ReviewSchedule schedule(f.path, Busy);
        if (!schedule.refresh(&error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        const auto today = schedule.memory().due(PhraseMemory::today(), 10);
        due = size_t(schedule.memory().dueCount(PhraseMemory::today()));
        phrases = schedule.memory().items().size();
        benchmark::DoNotOptimize(today);
    }
    state.counters["phrases"] = double(phrases);
    state.counters["due"] = double(due);
    state.SetLabel(replay ? "every row replayed" : "from the kept copy");
}
BENCHMARK(BM_DuePhrases)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(BenchRun::times(9))
    ->ReportAggregatesOnly(true);

// An activity press on the review node while the learner is logged in: the schedule read at
// login takes in the rows added since (here one activity's ten) and picks today's ten.
void BM_DueAtActivityPress(benchmark::State& state)
{
    Fixture& f = fixture();
    ReviewSchedule schedule(f.path, Busy);
    QString error;
    if (!schedule.refresh(&error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<PhraseResultRow> rows;
        for (int i = 0; i < 10; ++i)
            rows.push_back({Busy,
                            {QStringLiteral("Subject_%1.ita").arg(i, 3, 10, QLatin1Char('0')), 1},
                            QStringLiteral("Flashcards"),
                            QDateTime::currentSecsSinceEpoch(),
                            Grade::Good});
        ScoreRow score{Busy,
                       QStringLiteral("Flashcards"),
                       QStringLiteral("Review"),
                       QStringLiteral("10/10 (100%)"),
                       100.0,
                       {},
                       {}};
        score.setWhen(QDateTime::currentDateTime());
        if (!appendScore(f.path, score, rows, &error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        ++round;
        state.ResumeTiming();
        if (!schedule.refresh(&error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        benchmark::DoNotOptimize(schedule.memory().due(PhraseMemory::today(), 10));
    }
    state.counters["due"] = double(schedule.memory().dueCount(PhraseMemory::today()));
}
BENCHMARK(BM_DueAtActivityPress)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(BenchRun::times(30))
    ->Repetitions(BenchRun::times(3))
    ->ReportAggregatesOnly(true);

// The whole reading for the learner who logs in (on the launcher's thread for it, beside the
// login), from the kept copy: no history against 100,000 rows.
void BM_LoginReviewCount(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString learner = state.range(0) ? Busy : Fresh;
    for (auto _ : state) {
        QString error;
        ReviewSchedule schedule(f.path, learner);
        if (!schedule.refresh(&error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        benchmark::DoNotOptimize(schedule.memory().dueCount(PhraseMemory::today()));
    }
    state.SetLabel(state.range(0) ? "100,000 rows" : "no history");
}
BENCHMARK(BM_LoginReviewCount)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(BenchRun::times(9))
    ->ReportAggregatesOnly(true);

// What the history adds to the login itself: the reading goes to a thread of its own, and
// the login waits only for that thread to start (the node's count follows when it is done).
void BM_LoginStartsReading(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString learner = state.range(0) ? Busy : Fresh;
    ReviewLoader loader;
    for (auto _ : state) {
        loader.start(f.path, learner);
        state.PauseTiming();
        QString error;
        if (!loader.current(&error)) // waits for the reading, untimed
            state.SkipWithError(qPrintable(error));
        state.ResumeTiming();
    }
    state.SetLabel(state.range(0) ? "100,000 rows" : "no history");
}
BENCHMARK(BM_LoginStartsReading)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(BenchRun::times(20));

// Hostile users databases, made for one learner each: 200 rows whose subject names are 1 MB
// long (skipped at reading), and one row for each of 1,000,000 distinct phrases (a copy of the
// memory of about 60 MB, kept in parts). A login after the first reads the kept copy and
// the rows after it (target: under one second each).
struct HostileFile
{
    QTemporaryDir dir;
    QString path;
    QString error;

    explicit HostileFile(bool longNames)
    {
        const UsersDatabase users(dir.filePath(QStringLiteral("Users.dat")),
                                  dir.filePath(QStringLiteral("Parlanto.tpl")));
        path = users.path();
        if (!UsersTemplate::write(users.templatePath(), &error) || !users.createFromTemplate(&error))
            return;
        auto db = Database::open(path, Database::TemplatePassword, Database::Mode::ReadWrite, &error);
        if (!db)
            return;
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        std::vector<PhraseResultRow> rows;
        const int count = longNames ? BenchRun::size(200, 20) : BenchRun::size(1000000, 1000);
        rows.reserve(size_t(count) + 10);
        for (int i = 0; i < 10; ++i)
            rows.push_back(
                {Busy, {QStringLiteral("Saluti.ita"), i + 1}, QStringLiteral("Flashcards"), now - 86400, Grade::Good});
        QStringList big; // shared by the rows, so that making them costs little memory
        for (int c = 0; longNames && c < 26; ++c)
            big << QString(1 << 20, QLatin1Char(char('a' + c)));
        for (int i = 0; i < count; ++i) {
            const QString name = longNames
                                     ? big.at(i % 26)
                                     : QStringLiteral("Subject_%1.ita").arg(i / 10, 6, 10, QLatin1Char('0'));
            rows.push_back(
                {Busy, {name, i % 10 + 1}, QStringLiteral("Flashcards"), now - (i % 400) * 86400, Grade::Good});
        }
        Transaction t(*db);
        if (!PhraseResults::insert(*db, rows, &error) || !t.commit(&error))
            return;
        db.reset();
        ReviewSchedule first(path, Busy); // the first login replays every row and keeps a copy
        if (!first.refresh(&error))
            return;
        error.clear();
    }
};

void BM_LoginWithHostileFile(benchmark::State& state)
{
    static HostileFile longNames(true), manyPhrases(false);
    HostileFile& f = state.range(0) ? manyPhrases : longNames;
    if (!f.error.isEmpty()) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    size_t phrases = 0;
    for (auto _ : state) {
        QString error;
        ReviewSchedule schedule(f.path, Busy);
        if (!schedule.refresh(&error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        phrases = schedule.memory().items().size();
        benchmark::DoNotOptimize(schedule.memory().dueCount(PhraseMemory::today()));
    }
    state.counters["phrases"] = double(phrases);
    state.SetLabel(state.range(0) ? "1,000,000 phrases" : "200 rows with 1 MB subject names");
}
BENCHMARK(BM_LoginWithHostileFile)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(BenchRun::times(3))
    ->Repetitions(BenchRun::times(3))
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    BenchLibrary::measureAsLearner();
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
