// Building the subject tree for a large library: 2,000 installed subjects and 100 virtual
// subject files of 20 virtual subjects each. Prints the time per subject and per file.
// Run: build/bench/subjects/BenchSubjectTree. Compare the CPU column when the machine is
// busy. Most of an open is the encryption layer's own set-up per connection (locking its
// key buffers in memory, key derivation through the crypto library); the same file without
// encryption opens and reads in about a sixth of the time.
#include "app/AppState.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectTree.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int InstalledCount = 2000;
constexpr int VirtualFileCount = 100;
constexpr int VirtualSubjectsPerFile = 20;

QTemporaryDir* library = nullptr;

void makeLibrary()
{
    library = new QTemporaryDir();
    const QString root = library->path() + QLatin1Char('/');
    QDir(root).mkpath(QStringLiteral("Subjects"));
    QDir(root).mkpath(QStringLiteral("MySubjects"));
    app().installedSubjectsFolder = root + QStringLiteral("Subjects/");
    app().virtualSubjectsFolder = root + QStringLiteral("MySubjects/");
    QStringList captions;
    for (int n = 1; n <= 200; ++n)
        captions << QStringLiteral("Caption %1").arg(n);
    app().captions.setTexts(captions);

    QString error;
    std::vector<Phrase> phrases(10);
    for (int i = 0; i < 10; ++i) {
        phrases[i].pkPhraseNo = i + 1;
        phrases[i].tPhrase = QStringLiteral("Frase %1").arg(i + 1);
        phrases[i].tTranslation = QStringLiteral("Phrase %1").arg(i + 1);
        phrases[i].bsound = QByteArray(8000, 'x');
    }
    const QString first = app().installedSubjectsFolder + QStringLiteral("subject_0000.ita");
    if (!InstalledSubject::create(first, app().edition.ProgramCode, phrases, true, &error)) {
        std::fprintf(stderr, "cannot make a subject: %s\n", qPrintable(error));
        std::exit(1);
    }
    for (int i = 1; i < InstalledCount; ++i)
        QFile::copy(first, app().installedSubjectsFolder +
                               QStringLiteral("subject_%1.ita").arg(i, 4, 10, QLatin1Char('0')));

    const QString firstVirtual = app().virtualSubjectsFolder + QStringLiteral("collection_000.vita");
    if (!VirtualSubjectFile::createEmpty(firstVirtual, &error)) {
        std::fprintf(stderr, "cannot make a virtual subject file: %s\n", qPrintable(error));
        std::exit(1);
    }
    for (int s = 0; s < VirtualSubjectsPerFile; ++s)
        VirtualSubjectFile::addSubject(firstVirtual, QStringLiteral("Virtual subject %1").arg(s), &error);
    for (int i = 1; i < VirtualFileCount; ++i)
        QFile::copy(firstVirtual, app().virtualSubjectsFolder +
                                      QStringLiteral("collection_%1.vita").arg(i, 3, 10, QLatin1Char('0')));
}

void BM_GetSubjects(benchmark::State& state)
{
    SubjectTree tree;
    tree.Create_Folders();
    for (auto _ : state)
        tree.Get_Subjects();
    state.counters["per_subject"] = benchmark::Counter(
        InstalledCount, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_GetSubjects)->Unit(benchmark::kMillisecond);

void BM_GetvSubjects(benchmark::State& state)
{
    SubjectTree tree;
    tree.Create_Folders();
    for (auto _ : state)
        tree.Get_vSubjects();
    state.counters["per_file"] = benchmark::Counter(
        VirtualFileCount, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_GetvSubjects)->Unit(benchmark::kMillisecond);

// Opening one virtual subject file and reading its subjects, as the tree does per file.
void BM_OpenVirtualFile(benchmark::State& state)
{
    const QString file = app().virtualSubjectsFolder + QStringLiteral("collection_042.vita");
    QString error;
    for (auto _ : state) {
        auto subjects = VirtualSubjectFile::subjects(file, &error);
        if (!subjects || subjects->size() != VirtualSubjectsPerFile)
            state.SkipWithError("cannot read the virtual subject file");
        benchmark::DoNotOptimize(subjects);
    }
}
BENCHMARK(BM_OpenVirtualFile)->Unit(benchmark::kMicrosecond);

// The edition check made before a subject's phrases are studied.
void BM_CheckSubject(benchmark::State& state)
{
    for (auto _ : state) {
        const QString verdict = Check_Subject(QStringLiteral("subject_1234.ita"));
        if (verdict != QLatin1String("VALID"))
            state.SkipWithError("the subject is not valid");
        benchmark::DoNotOptimize(verdict);
    }
}
BENCHMARK(BM_CheckSubject)->Unit(benchmark::kMicrosecond);

void BM_FullBuild(benchmark::State& state)
{
    SubjectTree tree;
    for (auto _ : state) {
        tree.Create_Folders();
        tree.Get_Subjects();
        tree.Get_vSubjects();
    }
    state.counters["per_node"] =
        benchmark::Counter(InstalledCount + VirtualFileCount * (VirtualSubjectsPerFile + 1),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FullBuild)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    makeLibrary();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete library;
    return 0;
}
