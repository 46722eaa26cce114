// Building the subject tree as at start-up, with the splash window's loading log attached,
// for 100, 1,000 and 10,000 installed subjects and 10, 100 and 1,000 virtual subject files
// of 20 virtual subjects each (at the first start, when every file is opened, and at later
// starts, when the unchanged files come from their index); and the cost of a click on a
// subject at 100 and 10,000 subjects. Prints the time per subject and per file, then the
// ratio between sizes: the fill is linear when ten times the subjects take about ten times
// as long. Run: build/bench/subjects/BenchSubjectTree. Compare the CPU column when the
// machine is busy. The virtual subject files are read on reader threads while the tree
// fills, so their rows give the real time and the CPU of all threads. Most of an open is the
// encryption layer's own set-up per connection; the same file without encryption opens and
// reads in about half the time.
#include "platform/Clock.h"
#include "app/SplashWindow.h"
#include "content/LoadingLog.h"
#include "platform/Files.h"
#include "state/AppState.h"
#include "study/SubjectSelection.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectTree.h"
#include "subjects/VirtualSubjectIndex.h"
#include "support/BenchLibrary.h"
#include "support/BenchRun.h"
#include "support/RatioReporter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int VirtualSubjectsPerFile = 20;
const int InstalledSizes[] = {100, 1000, 10000};
const int VirtualSizes[] = {10, 100, 1000};
const int Runs = BenchRun::times(9);
constexpr int RunMilliseconds = 500;
constexpr double RunSeconds = RunMilliseconds / 1000.0;
// How the benchmark library names a run with these settings.
const std::string RunSuffix = [] {
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, "/min_time:%.3f/repeats:%d", RunSeconds, Runs);
    return std::string(suffix);
}();

QTemporaryDir* library = nullptr;

QString installedFolder(int count)
{
    return library->path() + QStringLiteral("/Subjects_%1/").arg(count);
}
QString virtualFolder(int count)
{
    return library->path() + QStringLiteral("/MySubjects_%1/").arg(count);
}

void makeLibrary()
{
    library = new QTemporaryDir();
    BenchLibrary::useNumberedCaptions(400);
    const QString subject = library->path() + QStringLiteral("/subject.ita");
    BenchLibrary::makeTenPhraseSubject(subject);
    const QString collection = library->path() + QStringLiteral("/collection.vita");
    BenchLibrary::makeVirtualSubjectFile(collection, VirtualSubjectsPerFile);
    for (int n : InstalledSizes) {
        BenchLibrary::fillFolder(installedFolder(n), subject, QStringLiteral("subject_%1.ita"), n, 5);
        if (BenchRun::smoke())
            break;
    }
    for (int n : VirtualSizes) {
        BenchLibrary::fillFolder(virtualFolder(n), collection, QStringLiteral("collection_%1.vita"), n, 5);
        if (BenchRun::smoke())
            break;
    }
    QDir().mkpath(library->path() + QStringLiteral("/Empty"));
}

// The splash is up while the tree fills, as at start-up; the tree's window is shown only
// after the login, so the tree itself is not painted meanwhile.
struct SplashAttached
{
    QPointer<SplashWindow> splash;
    SplashAttached() { renew(); }
    ~SplashAttached()
    {
        LoadingLog::setSink(nullptr);
        delete splash;
    }
    // A new splash, whose log holds no line yet, as at start-up.
    void renew()
    {
        delete splash;
        splash = new SplashWindow();
        splash->show();
    }
};

// At start-up the tree is empty, the splash's log new, the heap fresh and events have just
// run (the splash's pause): taking down the last iteration's nodes and splash, gathering
// the memory they leave in pieces and showing a new splash are not timed. A splash kept
// for all iterations would hold every fill's lines, hundreds of thousands, and pin down
// pieces of memory among the freed nodes': no start-up has such a log or such a heap.
void clearUntimed(benchmark::State& state, SubjectTree& tree, SplashAttached& splash)
{
    state.PauseTiming();
    tree.clear();
    splash.renew();
    malloc_trim(0);
    processPendingEvents();
    state.ResumeTiming();
}

void BM_InstalledWithSplash(benchmark::State& state)
{
    const int count = int(state.range(0));
    app().installedSubjectsFolder = installedFolder(count);
    SplashAttached splash;
    SubjectTree tree;
    for (auto _ : state) {
        clearUntimed(state, tree, splash);
        tree.createFolders();
        tree.loadSubjects();
    }
    state.counters["per_subject"] = benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate |
                                                                  benchmark::Counter::kInvert);
}
// Medians of nine short runs, interleaved with the other sizes' runs: a single run's figure
// moves with the machine's load by more than the growth it is compared with, and the
// machine's speed drifts over minutes, so many short runs spread over the whole benchmark
// give steadier medians than a few long ones.
BENCHMARK(BM_InstalledWithSplash)
    ->Apply(BenchRun::sizes<100, 1000, 10000>)
    ->Apply(BenchRun::minTime<RunMilliseconds>)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(Runs)
    ->DisplayAggregatesOnly(true);

// files: how many virtual subject files; cached 0: the first start, every file opened (and
// the index written); cached 1: a later start, the index present and every file older
// than the index's margin, so no file is opened.
void BM_VirtualWithSplash(benchmark::State& state)
{
    const int count = int(state.range(0));
    const bool cached = state.range(1) != 0;
    app().virtualSubjectsFolder = virtualFolder(count);
    app().cacheFolder = library->path() + QStringLiteral("/cache/");
    // The files were made moments ago: the clock is moved on so they count as old.
    Clock::setForTests([] { return QDateTime::currentDateTimeUtc().addSecs(3600); });
    const QString index = app().virtualSubjectIndexPath();
    QFile::remove(index);
    SplashAttached splash;
    SubjectTree tree;
    if (cached) {
        tree.createFolders();
        tree.loadVirtualSubjects();
    }
    for (auto _ : state) {
        if (!cached) {
            state.PauseTiming();
            QFile::remove(index);
            state.ResumeTiming();
        }
        clearUntimed(state, tree, splash);
        tree.createFolders();
        tree.loadVirtualSubjects();
        if (tree.virtualFilesRead() != (cached ? 0 : count))
            state.SkipWithError("the files opened were not the ones expected");
    }
    Clock::setForTests({});
    state.counters["per_file"] = benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate |
                                                               benchmark::Counter::kInvert);
}
void virtualSizes(benchmark::internal::Benchmark* b)
{
    b->ArgsProduct(
        {BenchRun::smoke() ? std::vector<int64_t>{10} : std::vector<int64_t>{10, 100, 1000}, {0, 1}});
}
BENCHMARK(BM_VirtualWithSplash)
    ->ArgNames({"files", "cached"})
    ->Apply(virtualSizes)
    ->Apply(BenchRun::minTime<RunMilliseconds>)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(Runs)
    ->DisplayAggregatesOnly(true)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// A click on an installed subject: its phrases are read and shown. The phrases are taken
// away again between clicks, so every click does the whole work.
void BM_SubjectClick(benchmark::State& state)
{
    const int count = int(state.range(0));
    app().installedSubjectsFolder = installedFolder(count);
    app().virtualSubjectsFolder = library->path() + QStringLiteral("/Empty/");
    SubjectTree tree;
    SubjectSelection selection(&tree);
    tree.show();
    tree.createFolders();
    tree.loadSubjects();
    tree.loadVirtualSubjects();
    QTreeWidgetItem* subject = tree.installedFolder()->child(count / 2);
    for (auto _ : state) {
        selection.onNodeClicked(subject);
        if (subject->childCount() != 10)
            state.SkipWithError("the phrases were not shown");
        state.PauseTiming();
        qDeleteAll(subject->takeChildren());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SubjectClick)->Apply(BenchRun::sizes<100, 10000>)->Unit(benchmark::kMicrosecond);

// The edition check made before a subject's phrases are studied.
void BM_CheckSubject(benchmark::State& state)
{
    const int count = BenchRun::size(1000, 100);
    app().installedSubjectsFolder = installedFolder(count);
    const QString name = QStringLiteral("subject_%1.ita").arg(count / 8, 5, 10, QLatin1Char('0'));
    for (auto _ : state) {
        const QString verdict = checkSubject(name);
        if (verdict != QLatin1String("VALID"))
            state.SkipWithError("the subject is not valid");
        benchmark::DoNotOptimize(verdict);
    }
}
BENCHMARK(BM_CheckSubject)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchLibrary::measureAsLearner();
    QApplication application(argc, argv);
    makeLibrary();
    RatioReporter::initializeInterleaved(argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nGrowth (CPU time, medians of %d runs):\n", Runs);
    const auto installedRun = [](int subjects) {
        return "BM_InstalledWithSplash/" + std::to_string(subjects) + RunSuffix;
    };
    reporter.printRatio("installed subjects 1,000 -> 10,000", installedRun(1000), installedRun(10000), 10);
    reporter.printRatio("installed subjects 100 -> 1,000", installedRun(100), installedRun(1000), 10);
    const auto virtualRun = [](int files, int cached) {
        return "BM_VirtualWithSplash/files:" + std::to_string(files) + "/cached:" + std::to_string(cached) +
               RunSuffix + "/process_time/real_time";
    };
    reporter.printRatio("virtual files, first start 10 -> 100", virtualRun(10, 0), virtualRun(100, 0), 10);
    reporter.printRatio("virtual files, first start 100 -> 1,000", virtualRun(100, 0), virtualRun(1000, 0),
                        10);
    reporter.printRatio("virtual files, later starts 10 -> 100", virtualRun(10, 1), virtualRun(100, 1), 10);
    reporter.printRatio("virtual files, later starts 100 -> 1,000", virtualRun(100, 1), virtualRun(1000, 1),
                        10);
    // The files are read on reader threads while the tree fills: the learner waits the real
    // time, and the CPU of all the program's threads shows what the reading costs.
    std::printf(
        "\nPer virtual subject file, first start / later starts (real time, then CPU of all threads):\n");
    for (int files : VirtualSizes) {
        const auto first = reporter.realTime(virtualRun(files, 0)),
                   later = reporter.realTime(virtualRun(files, 1));
        const auto firstCpu = reporter.time(virtualRun(files, 0)),
                   laterCpu = reporter.time(virtualRun(files, 1));
        if (first && later && firstCpu && laterCpu)
            std::printf("%5d files %10.3f ms %10.3f ms    CPU %7.3f ms %7.3f ms\n", files, *first / files,
                        *later / files, *firstCpu / files, *laterCpu / files);
    }
    reporter.printRatio("subject click 100 -> 10,000 subjects", "BM_SubjectClick/100",
                        "BM_SubjectClick/10000", 1);
    benchmark::Shutdown();
    delete library;
    return 0;
}
