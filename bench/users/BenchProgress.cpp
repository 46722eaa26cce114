// "My progress" opened for a learner with 10,000 results (target: under 200 ms), the
// calendar of study days first painted for five years of 100 phrases a day (about 180,000
// rows; target: under 100 ms) and "My progress" opened on that history, and a backup of a
// users database of 100,000 results (target: under 500 ms). The counter "of_target" is the
// mean time divided by the target.
#include "UsersTemplate.h"
#include "platform/Database.h"
#include "review/PhraseResults.h"
#include "support/BenchLibrary.h"
#include "support/BenchRun.h"
#include "users/ProgressWindow.h"
#include "users/StudyHabitView.h"
#include "users/UsersBackup.h"
#include "users/UsersDatabase.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <ctime>

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

// Five years up to the benchmark's today of ten sessions a day of ten phrases each, as the
// activities write them: a score row and its phrase rows at one moment.
const int HistoryDays = BenchRun::size(5 * 365, 20);
constexpr int SessionsADay = 10;
constexpr int PhrasesASession = 10;
const QDate Today(2026, 12, 8);

bool makeStudyHistory(const QString& dir, QString* error)
{
    const UsersDatabase users(dir + QStringLiteral("/Users.dat"), dir + QStringLiteral("/Parlanto.tpl"));
    if (!UsersTemplate::write(users.templatePath(), error) || !users.createFromTemplate(error))
        return false;
    auto db = Database::open(users.path(), Database::TemplatePassword, Database::Mode::ReadWrite, error);
    if (!db)
        return false;
    Transaction t(*db);
    Statement score =
        db->prepare(QStringLiteral("INSERT INTO tblscores (tName, tActivity, tSubject, textScore, "
                                   "numberScore, nDate, nTime) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                    error);
    Statement phrase =
        db->prepare(QStringLiteral("INSERT INTO tblPhraseResults (tName, tSubjectFile, nPhraseNo, "
                                   "tActivity, tUtcTime, nGrade) VALUES (?, ?, ?, ?, ?, ?)"),
                    error);
    if (!score.isValid() || !phrase.isValid())
        return false;
    const QString activities[] = {QStringLiteral("Flashcards"), QStringLiteral("Listening")};
    for (int d = 0; d < HistoryDays; ++d) {
        const QDate day = Today.addDays(d - HistoryDays + 1);
        for (int session = 0; session < SessionsADay; ++session) {
            const QDateTime when(day, QTime(8 + session, 15));
            const QString& activity = activities[session % 2];
            score.reset();
            score.bindText(1, Learner)
                .bindText(2, activity)
                .bindText(3, QStringLiteral("Subject %1").arg(session % 3))
                .bindText(4, QStringLiteral("8/10 (80%)"))
                .bind(5, QVariant(80.0))
                .bindText(6, day.toString(Qt::ISODate))
                .bindText(7, when.time().toString(QStringLiteral("HH:mm:ss")));
            if (!score.run()) {
                *error = score.errorString();
                return false;
            }
            for (int p = 0; p < PhrasesASession; ++p) {
                phrase.reset();
                phrase.bindText(1, Learner)
                    .bindText(2, QStringLiteral("Subject_%1.ita").arg((d + session) % 40))
                    .bindInt(3, (d * 7 + session * PhrasesASession + p) % 400 + 1)
                    .bindText(4, activity)
                    .bindText(5, PhraseResults::utcText(when.toSecsSinceEpoch()))
                    .bindInt(6, p % 4 == 0 ? 1 : 3);
                if (!phrase.run()) {
                    *error = phrase.errorString();
                    return false;
                }
            }
        }
    }
    return t.commit(error);
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// From nothing to the calendar's first picture: the last 12 months read and counted, the
// goal read, the section laid out and painted (the time measured); then until the whole
// history is in (the earlier years and the longest run; the counter whole_history_ms).
void BM_StudyCalendarFirstPaint(benchmark::State& state)
{
    QTemporaryDir dir;
    QString error;
    if (!makeStudyHistory(dir.path(), &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    double totalMs = 0, wholeMs = 0, cpuMs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = threadCpuMs();
        StudyHabitView view(Learner);
        if (!view.load(dir.path() + QStringLiteral("/Users.dat"), Today, &error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        view.resize(700, 220);
        view.show();
        view.repaint();
        totalMs += double(timer.nsecsElapsed()) / 1e6;
        cpuMs += threadCpuMs() - cpuStart;
        // Then the whole history, read once the calendar shows.
        bool read = false;
        QObject::connect(&view, &StudyHabitView::historyRead, [&] { read = true; });
        while (!read)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        wholeMs += double(timer.nsecsElapsed()) / 1e6;
    }
    state.counters["phrase_rows"] = HistoryDays * SessionsADay * PhrasesASession;
    state.counters["of_target"] = totalMs / double(state.iterations()) / 100.0;
    state.counters["first_paint_cpu_ms"] = cpuMs / double(state.iterations());
    state.counters["whole_history_ms"] = wholeMs / double(state.iterations());
}
BENCHMARK(BM_StudyCalendarFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

// The part of it that reads: the days counted from the rows.
void BM_StudyDaysRead(benchmark::State& state)
{
    QTemporaryDir dir;
    QString error;
    if (!makeStudyHistory(dir.path(), &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    for (auto _ : state) {
        const auto days =
            StudyDays::load(dir.path() + QStringLiteral("/Users.dat"), Learner, QDate(), &error);
        if (!days) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        benchmark::DoNotOptimize(days->longestWeekRun(10));
    }
}
BENCHMARK(BM_StudyDaysRead)->Unit(benchmark::kMillisecond);

// "My progress" opened on the same history, the second time (the first keeps the memory's copy).
void BM_OpenMyProgressFiveYears(benchmark::State& state)
{
    QTemporaryDir dir;
    QString error;
    if (!makeStudyHistory(dir.path(), &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    for (auto _ : state) {
        ProgressWindow window(Learner);
        if (!window.load(dir.path() + QStringLiteral("/Users.dat"), Today, &error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        window.show();
        window.repaint();
        QCoreApplication::processEvents();
    }
    state.counters["phrase_rows"] = HistoryDays * SessionsADay * PhrasesASession;
}
BENCHMARK(BM_OpenMyProgressFiveYears)->Unit(benchmark::kMillisecond)->UseRealTime();

const int Results = BenchRun::size(10000, 100);
const int BackupResults = BenchRun::size(100000, 100);

void BM_OpenMyProgress(benchmark::State& state)
{
    QTemporaryDir dir;
    QString error;
    if (!makeUsers(dir.path(), Results, &error)) {
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
    state.counters["results"] = Results;
    state.counters["of_target"] = totalMs / double(state.iterations()) / 200.0;
}
BENCHMARK(BM_OpenMyProgress)->Unit(benchmark::kMillisecond)->UseRealTime();

// The part of opening that reads: the results as percentages and dates, and the chart's points.
void BM_ReadProgress(benchmark::State& state)
{
    QTemporaryDir dir;
    QString error;
    if (!makeUsers(dir.path(), Results, &error)) {
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
    if (!makeUsers(dir.path(), BackupResults, &error)) {
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
    state.counters["results"] = BackupResults;
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
