// Two activity programs append 5,000 results each while the launcher reads the learner list
// over and over: every row must arrive and no read may fail.
#include "UsersTemplate.h"
#include "users/UsersDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int RowsPerProcess = 5000;

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
    qint64 rows = 0;
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
            writers[i].setProcessChannelMode(QProcess::ForwardedErrorChannel);
            writers[i].start(
                QStringLiteral(USERS_APPEND_ROWS),
                {users->path(), QString::number(RowsPerProcess), QStringLiteral("Activity %1").arg(i)});
        }
        if (!writers[0].waitForStarted() || !writers[1].waitForStarted()) {
            state.SkipWithError("the append helper did not start");
            return;
        }
        while (writers[0].state() != QProcess::NotRunning || writers[1].state() != QProcess::NotRunning) {
            const auto learners = users->readLearners(&error);
            ++reads;
            if (!learners || learners->size() != 20) {
                ++readErrors;
                std::fprintf(stderr, "read failed: %s\n", qPrintable(error));
            }
            writers[0].waitForFinished(1);
            writers[1].waitForFinished(1);
        }
        for (auto& w : writers) {
            if (w.exitStatus() != QProcess::NormalExit || w.exitCode() != 0) {
                state.SkipWithError("an append helper reported failures");
                return;
            }
        }
        rows = users->scoreCount(&error).value_or(-1);
        if (rows != 2 * RowsPerProcess) {
            state.SkipWithError("rows are missing");
            return;
        }
        if (readErrors > 0) {
            state.SkipWithError("a read of the learners failed");
            return;
        }
    }
    state.counters["rows"] = double(rows);
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
