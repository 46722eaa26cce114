// The virtual subject editor with a large library: 2,000 installed subjects and 100
// virtual subject files of 20 virtual subjects each. Prints the time to open the editor
// (both trees filled, without the one second pause shown before it) and the time to copy
// a ten-phrase subject into a folder (the file write and the new nodes).
// Run: build/bench/editor/BenchVirtualSubjectEditor. Targets: open under 300 ms, copy
// under 20 ms; compare the CPU column when the machine is busy.
// A copy is one transaction in the rollback journal: four syncs to disk at the commit. On
// the shared 2-core machine it took 3 ms of CPU; 4 ms of wall time in a quiet moment and
// about 20 ms while others compiled (each sync is followed by a wait for the CPU). A
// write-ahead log with synchronous=NORMAL was slower (25 ms there): every operation opens
// and closes its own connection, and the last close checkpoints the log into the file.
#include "editor/EditorTree.h"
#include "editor/VirtualSubjectEditor.h"
#include "state/AppState.h"
#include "subjects/SubjectFile.h"
#include "support/BenchLibrary.h"
#include "support/BenchRun.h"
#include "widgets/MessageWindow.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const int InstalledCount = BenchRun::size(2000, 20);
const int VirtualFileCount = BenchRun::size(100, 2);
constexpr int VirtualSubjectsPerFile = 20;

QTemporaryDir* library = nullptr;

void makeLibrary()
{
    library = new QTemporaryDir();
    const QString root = library->path() + QLatin1Char('/');
    app().programFolder = root;
    app().installedSubjectsFolder = root + QStringLiteral("Subjects/");
    app().virtualSubjectsFolder = root + QStringLiteral("MySubjects/");
    BenchLibrary::useNumberedCaptions(200);

    const QString ext = QStringLiteral(".") + app().edition.LanguageCode;
    const QString subject = root + QStringLiteral("subject") + ext;
    BenchLibrary::makeTenPhraseSubject(subject);
    BenchLibrary::fillFolder(app().installedSubjectsFolder, subject, QStringLiteral("subject_%1") + ext,
                             InstalledCount, 4);
    const QString vext = QStringLiteral(".v") + app().edition.LanguageCode;
    const QString collection = root + QStringLiteral("collection") + vext;
    BenchLibrary::makeVirtualSubjectFile(collection, VirtualSubjectsPerFile);
    BenchLibrary::fillFolder(app().virtualSubjectsFolder, collection, QStringLiteral("collection_%1") + vext,
                             VirtualFileCount, 3);
    // The copies go into a file of their own (the others are names of one file).
    BenchLibrary::makeVirtualSubjectFile(app().virtualSubjectsFolder + QStringLiteral("zz_copies") + vext, 0);
}

EditorTree* treeSubjects(const VirtualSubjectEditor& editor)
{
    return editor.findChild<EditorTree*>(QStringLiteral("TreeSubjects"));
}
EditorTree* treeVirtual(const VirtualSubjectEditor& editor)
{
    return editor.findChild<EditorTree*>(QStringLiteral("TreeVirtual"));
}

void BM_OpenEditor(benchmark::State& state)
{
    for (auto _ : state) {
        MessageWindow::showStatus(QStringLiteral("Please wait..."), 1800);
        VirtualSubjectEditor editor;
        editor.load();
        if (treeSubjects(editor)->topLevelItem(0)->childCount() != InstalledCount ||
            treeVirtual(editor)->topLevelItemCount() != VirtualFileCount + 1)
            state.SkipWithError("the trees are not complete");
        MessageWindow::unload();
    }
    state.counters["per_node"] =
        benchmark::Counter(InstalledCount + VirtualFileCount * (VirtualSubjectsPerFile + 1),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
// The virtual subject files are read on reader threads while the trees fill: real time,
// and the CPU of all threads.
BENCHMARK(BM_OpenEditor)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_CopyTenPhraseSubject(benchmark::State& state)
{
    VirtualSubjectEditor editor;
    editor.load();
    EditorTree* left = treeSubjects(editor);
    EditorTree* right = treeVirtual(editor);
    QTreeWidgetItem* target = right->topLevelItem(right->topLevelItemCount() - 1);
    const int before = target->childCount(); // the copies of earlier runs
    for (auto _ : state) {
        left->setCurrentItem(left->topLevelItem(0)->child(BenchRun::size(1234, 12)));
        right->setCurrentItem(target);
        editor.onCopyClicked();
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
    BenchLibrary::measureAsLearner();
    QApplication application(argc, argv);
    makeLibrary();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete library;
    return 0;
}
