// Two activity programs append 10,000 results each while the launcher reads the learner list
// and the results window's lists over and over: every row must arrive and no read may fail.
// Prints lost_rows and locked_errors ("database is locked" met by a writer or a reader);
// both must stay at zero.
#include "UsersTemplate.h"
#include "support/BenchRun.h"
#include "users/UsersDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

const int RowsPerProcess = BenchRun::size(10000, 100);

std::optional<UsersDatabase> makeUsers(const QTemporaryDir& dir, QString* error)
{
    const UsersDatabase users(dir.filePath(QStringLiteral("Users.dat")),
                              dir.filePath(QStringLiteral("Parlanto.tpl")));
    if (!UsersTemplate::write(users.templatePath(), error) || !users.createFromTemplate(error))
        return std::nullopt;
    for (int i = 1; i <= 20; ++i) {
        if (!users.addLearner({0, QStringLiteral("Learner"), QString::number(i), QString(), i}, error))
            return std::nullopt;
    }
    return users;
}

void BM_ConcurrentAppendsWhileReading(benchmark::State& state)
{
    qint64 reads = 0;
    qint64 readErrors = 0;
    qint64 lockedErrors = 0;
    qint64 rows = 0;
    qint64 lostRows = 0;
    auto isLocked = [](const QString& text) {
        return text.contains(QStringLiteral("locked"), Qt::CaseInsensitive);
    };
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        QString error;
        const auto users = makeUsers(dir, &error);
        if (!users) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        state.ResumeTiming();

        QProcess writers[2];
        for (int i = 0; i < 2; ++i) {
            writers[i].setProcessChannelMode(QProcess::MergedChannels);
            writers[i].start(
                QStringLiteral(USERS_APPEND_ROWS),
                {users->path(), QString::number(RowsPerProcess), QStringLiteral("Activity %1").arg(i)});
        }
        if (!writers[0].waitForStarted() || !writers[1].waitForStarted()) {
            state.SkipWithError("the append helper did not start");
            return;
        }
        while (writers[0].state() != QProcess::NotRunning || writers[1].state() != QProcess::NotRunning) {
            // What the launcher reads meanwhile: the learners, and the results window's lists.
            const auto learners = users->readLearners(&error);
            const bool learnersRead = learners && learners->size() == 20;
            if (!learnersRead)
                lockedErrors += isLocked(error);
            const auto activities = users->activityNames(&error);
            if (!activities)
                lockedErrors += isLocked(error);
            const auto results = users->resultsOfActivityInSubject(QStringLiteral("Memory"),
                                                                   QStringLiteral("Subject 3"), &error);
            if (!results)
                lockedErrors += isLocked(error);
            reads += 3;
            if (!learnersRead || !activities || !results) {
                ++readErrors;
                std::fprintf(stderr, "read failed: %s\n", qPrintable(error));
            }
            writers[0].waitForFinished(1);
            writers[1].waitForFinished(1);
        }
        bool writerFailed = false;
        for (auto& w : writers) {
            const QString said = QString::fromUtf8(w.readAll());
            lockedErrors += said.count(QStringLiteral("locked"), Qt::CaseInsensitive);
            writerFailed |= w.exitStatus() != QProcess::NormalExit || w.exitCode() != 0;
        }
        rows = users->scoreCount(&error).value_or(0);
        lostRows = 2 * RowsPerProcess - rows;
        std::printf("rows: %lld of %d, lost rows: %lld, locked errors: %lld, read errors: %lld\n", rows,
                    2 * RowsPerProcess, lostRows, lockedErrors, readErrors);
        if (writerFailed || lostRows != 0 || lockedErrors != 0 || readErrors != 0) {
            state.SkipWithError("rows were lost or a read or write failed");
            return;
        }
    }
    state.counters["rows"] = double(rows);
    state.counters["lost_rows"] = double(lostRows);
    state.counters["locked_errors"] = double(lockedErrors);
    state.counters["learner_reads"] = double(reads);
    state.counters["read_errors"] = double(readErrors);
    state.counters["rows_per_s"] =
        benchmark::Counter(double(rows) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ConcurrentAppendsWhileReading)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadLearners(benchmark::State& state)
{
    QTemporaryDir dir;
    QString error;
    const auto users = makeUsers(dir, &error);
    if (!users) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    for (auto _ : state) {
        const auto learners = users->readLearners(&error);
        if (!learners) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        benchmark::DoNotOptimize(learners->size());
    }
}
BENCHMARK(BM_ReadLearners)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv); // QProcess wants an application object
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
