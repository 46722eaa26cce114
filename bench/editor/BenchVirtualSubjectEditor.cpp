// The virtual subject editor with a large library: 2,000 installed subjects and 100
// virtual subject files of 20 virtual subjects each. Prints the time to open the editor
// (both trees filled, without the one second pause shown before it) and the time to copy
// a ten-phrase subject into a folder (the file write and the new nodes).
// Run: build/bench/editor/BenchVirtualSubjectEditor. Targets: open under 300 ms, copy
// under 20 ms; compare the CPU column when the machine is busy.
#include "app/AppState.h"
#include "content/MessageWindow.h"
#include "editor/EditorTree.h"
#include "editor/VirtualSubjectEditor.h"
#include "subjects/SubjectFile.h"

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

void fail(const char* what, const QString& error)
{
    std::fprintf(stderr, "%s: %s\n", what, qPrintable(error));
    std::exit(1);
}

void makeLibrary()
{
    library = new QTemporaryDir();
    const QString root = library->path() + QLatin1Char('/');
    QDir(root).mkpath(QStringLiteral("Subjects"));
    QDir(root).mkpath(QStringLiteral("MySubjects"));
    app().programFolder = root;
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
    const QString ext = QStringLiteral(".") + app().edition.LanguageCode;
    const QString first = app().installedSubjectsFolder + QStringLiteral("subject_0000") + ext;
    if (!InstalledSubject::create(first, app().edition.ProgramCode, phrases, true, &error))
        fail("cannot make a subject", error);
    for (int i = 1; i < InstalledCount; ++i)
        QFile::copy(first, app().installedSubjectsFolder +
                               QStringLiteral("subject_%1").arg(i, 4, 10, QLatin1Char('0')) + ext);

    const QString vext = QStringLiteral(".v") + app().edition.LanguageCode;
    const QString firstVirtual = app().virtualSubjectsFolder + QStringLiteral("collection_000") + vext;
    if (!VirtualSubjectFile::createEmpty(firstVirtual, &error))
        fail("cannot make a virtual subject file", error);
    for (int s = 0; s < VirtualSubjectsPerFile; ++s)
        VirtualSubjectFile::addSubject(firstVirtual, QStringLiteral("Virtual subject %1").arg(s), &error);
    for (int i = 1; i < VirtualFileCount; ++i)
        QFile::copy(firstVirtual, app().virtualSubjectsFolder +
                                      QStringLiteral("collection_%1").arg(i, 3, 10, QLatin1Char('0')) + vext);
    if (!VirtualSubjectFile::createEmpty(app().virtualSubjectsFolder + QStringLiteral("zz_copies") + vext,
                                         &error))
        fail("cannot make the copy target", error);
}

void BM_OpenEditor(benchmark::State& state)
{
    for (auto _ : state) {
        MessageWindow::showStatus(QStringLiteral("Please wait..."), 1800);
        VirtualSubjectEditor editor;
        editor.Form_Load();
        if (editor.TreeSubjects()->topLevelItem(0)->childCount() != InstalledCount ||
            editor.TreeVirtual()->topLevelItemCount() != VirtualFileCount + 1)
            state.SkipWithError("the trees are not complete");
        MessageWindow::unload();
    }
    state.counters["per_node"] =
        benchmark::Counter(InstalledCount + VirtualFileCount * (VirtualSubjectsPerFile + 1),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_OpenEditor)->Unit(benchmark::kMillisecond);

void BM_CopyTenPhraseSubject(benchmark::State& state)
{
    VirtualSubjectEditor editor;
    editor.Form_Load();
    EditorTree* left = editor.TreeSubjects();
    EditorTree* right = editor.TreeVirtual();
    QTreeWidgetItem* target = right->topLevelItem(right->topLevelItemCount() - 1);
    const int before = target->childCount(); // the copies of earlier runs
    for (auto _ : state) {
        left->setCurrentItem(left->topLevelItem(0)->child(1234));
        right->setCurrentItem(target);
        editor.btnCopy_Click();
    }
    if (target->childCount() != before + int(state.iterations()) || target->child(before)->childCount() != 10)
        state.SkipWithError("the subject was not copied");
}
BENCHMARK(BM_CopyTenPhraseSubject)->Unit(benchmark::kMillisecond);

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
