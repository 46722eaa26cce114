// "My progress" opened for a learner with 10,000 results (target: under 200 ms), and a
// backup of a users database of 100,000 results (target: under 500 ms). The counter
// "of_target" is the mean time divided by the target.
#include "UsersTemplate.h"
#include "platform/Database.h"
#include "support/BenchLibrary.h"
#include "users/ProgressWindow.h"
#include "users/UsersBackup.h"
#include "users/UsersDatabase.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QString Learner = QStringLiteral("Anna Bianchi");

// A users database whose learner has `rows` results of two activities on three subjects,
// one a day or so, as the activities write them.
bool makeUsers(const QString& dir, int rows, QString* error)
{
    const UsersDatabase users(dir + QStringLiteral("/Users.dat"), dir + QStringLiteral("/Parlanto.tpl"));
    if (!UsersTemplate::write(users.templatePath(), error) || !users.createFromTemplate(error))
        return false;
    auto db = Database::open(users.path(), Database::TemplatePassword, Database::Mode::ReadWrite, error);
    if (!db)
        return false;
    Transaction t(*db);
    Statement s = db->prepare(QStringLiteral("INSERT INTO tblscores (tName, tActivity, tSubject, textScore, "
                                             "numberScore, nDate, nTime) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                              error);
    const QDate first(2024, 1, 1);
    for (int i = 0; i < rows; ++i) {
        const bool flashcards = i % 2 == 0;
        const int known = i % 10;
        s.reset();
        s.bindText(1, Learner)
            .bindText(2, flashcards ? QStringLiteral("Flashcards") : QStringLiteral("Listening"))
            .bindText(3, QStringLiteral("Subject %1").arg(i % 3));
        if (flashcards)
            s.bindText(4, QStringLiteral("%1/9 (%2%)").arg(qMin(known, 9)).arg(qMin(known, 9) * 100 / 9));
        else
            s.bindNull(4);
        s.bind(5, QVariant(double(known * 10)))
            .bindText(6, first.addDays(i / 8).toString(Qt::ISODate))
            .bindText(7, QStringLiteral("10:%1:00").arg(i % 60, 2, 10, QLatin1Char('0')));
        if (!s.run()) {
            *error = s.errorString();
            return false;
        }
    }
    return t.commit(error);
}

void BM_OpenMyProgress(benchmark::State& state)
{
    QTemporaryDir dir;
    QString error;
    if (!makeUsers(dir.path(), 10000, &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    double totalMs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        ProgressWindow window(Learner);
        if (!window.load(dir.path() + QStringLiteral("/Users.dat"), QDate(2026, 12, 8), &error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        window.show();
        window.repaint(); // the first picture of the charts is part of opening
        QCoreApplication::processEvents();
        totalMs += double(timer.nsecsElapsed()) / 1e6;
    }
    state.counters["results"] = 10000;
    state.counters["of_target"] = totalMs / double(state.iterations()) / 200.0;
}
BENCHMARK(BM_OpenMyProgress)->Unit(benchmark::kMillisecond)->UseRealTime();

// The part of opening that reads: the results as percentages and dates, and the chart's points.
void BM_ReadProgress(benchmark::State& state)
{
    QTemporaryDir dir;
    QString error;
    if (!makeUsers(dir.path(), 10000, &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    for (auto _ : state) {
        const auto entries =
            ResultsHistory::load(dir.path() + QStringLiteral("/Users.dat"), {Learner, {}, {}}, &error);
        if (!entries) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        benchmark::DoNotOptimize(ResultsHistory::chartData(*entries));
    }
}
BENCHMARK(BM_ReadProgress)->Unit(benchmark::kMillisecond);

void BM_BackupOf100000Results(benchmark::State& state)
{
    QTemporaryDir dir;
    QString error;
    if (!makeUsers(dir.path(), 100000, &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    const UsersBackup backup(dir.path() + QStringLiteral("/Users.dat"));
    QDateTime when(QDate(2026, 12, 8), QTime(9, 0));
    double totalMs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const auto copy = backup.takeCopy(BackupCopy::Kind::BeforeClear, when, &error);
        totalMs += double(timer.nsecsElapsed()) / 1e6;
        if (!copy) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        state.PauseTiming();
        QFile::remove(*copy);
        when = when.addSecs(1);
        state.ResumeTiming();
    }
    state.counters["results"] = 100000;
    state.counters["of_target"] = totalMs / double(state.iterations()) / 500.0;
}
BENCHMARK(BM_BackupOf100000Results)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    BenchLibrary::measureAsLearner();
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
