// Time from an activity button's click to the activity program being started: the edition
// check, collecting ten phrases with their sounds and writing the input file. The process
// start itself is replaced by a hook that records it. An installed subject of ten phrases
// is compared with a virtual subject of ten phrases drawn from ten different subject files,
// each of which is opened once per launch, on reader threads: the ratio of their real times
// (what the learner waits) is printed, then that of the CPU of all threads.
// Run: build/bench/study/BenchActivityLaunch.

#include "platform/Database.h"
#include "platform/Sound.h"
#include "state/AppState.h"
#include "study/ActivityPanel.h"
#include "study/ActivityPrograms.h"
#include "study/SubjectSelection.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectTree.h"
#include "support/BenchLibrary.h"
#include "support/BenchRun.h"
#include "support/RatioReporter.h"
#include "widgets/Dialogs.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

QByteArray wave(int seed)
{
    QByteArray data(16000, char(seed)); // about one second of 8 kHz 16-bit sound
    QByteArray out("RIFF");
    auto put32 = [&](quint32 v) { out.append(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&](quint16 v) { out.append(reinterpret_cast<const char*>(&v), 2); };
    put32(36 + data.size());
    out.append("WAVEfmt ");
    put32(16), put16(1), put16(1), put32(8000), put32(16000), put16(2), put16(16);
    out.append("data");
    put32(data.size());
    return out + data;
}

struct Setup
{
    QTemporaryDir dir;
    std::unique_ptr<QWidget> main;
    SubjectTree* tree = nullptr;
    ActivityPanel* panel = nullptr;
    int starts = 0;

    // Found by its name, as the learner finds it: the tree's folders before it may change.
    QTreeWidgetItem* virtualSubject() const
    {
        return tree->findItems(QStringLiteral("Ten files"), Qt::MatchExactly | Qt::MatchRecursive).value(0);
    }

    Setup()
    {
        AppState& s = app();
        const QString root = dir.path() + "/";
        for (const char* sub : {"Subjects", "Activities", "MySubjects", "tmp"})
            QDir().mkpath(root + sub);
        s.installedSubjectsFolder = root + "Subjects/";
        s.activitiesFolder = root + "Activities/";
        s.virtualSubjectsFolder = root + "MySubjects/";
        s.dataFolder = root;
        s.tempFolder = root + "tmp/";
        s.CurrentUser = "Bench Learner";
        Dialogs::setHandlerForTests([](const Dialogs::Request&) { return QMessageBox::Ok; });
        Sound::setPlayerForTests([](const QString&, bool) {});
        ActivityPrograms::setStarterForTests(
            [this](const QString&, const QStringList&, const QString&, qint64*, QString*) {
                ++starts;
                return true;
            });
        QString error;
        std::vector<VirtualPhrase> refs;
        for (int f = 0; f < 10; ++f) {
            std::vector<Phrase> phrases;
            for (int i = 1; i <= 10; ++i)
                phrases.push_back({i, QString("Frase %1").arg(i), QString("Phrase %1").arg(i), "", wave(i)});
            const QString file = QString("subject_%1.ita").arg(f);
            InstalledSubject::create(s.installedSubjectsFolder + file, s.edition.ProgramCode, phrases, true,
                                     &error);
            VirtualPhrase v;
            v.tfilename = file;
            v.phraseNo = f + 1;
            v.tTranslation = QString("Phrase %1").arg(f + 1);
            refs.push_back(v);
        }
        const QString vfile = s.virtualSubjectsFolder + "mine.v" + s.edition.LanguageCode;
        VirtualSubjectFile::createEmpty(vfile, &error);
        const auto parent = VirtualSubjectFile::addSubject(vfile, "Ten files", &error);
        VirtualSubjectFile::addPhrases(vfile, *parent, refs, &error);
        for (const char* name : {"Flashcards", "Listening"}) {
            QFile program(s.activitiesFolder + name);
            program.open(QIODevice::WriteOnly);
            program.write("#!/bin/sh\n");
            program.close();
            program.setPermissions(program.permissions() | QFile::ExeOwner);
            auto db = Database::open(s.activitiesFolder + name + ".cfg", Database::TemplatePassword,
                                     Database::Mode::Create, &error);
            db->exec("CREATE TABLE tblImages (pkImageID INTEGER PRIMARY KEY, bEnglish BLOB, bSpanish BLOB)");
            QImage image(16, 16, QImage::Format_RGB32);
            image.fill(Qt::blue);
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            for (int row = 1; row <= 2; ++row) {
                Statement st = db->prepare("INSERT INTO tblImages VALUES (?, ?, ?)");
                st.bindInt(1, row).bindBlob(2, png).bindBlob(3, png);
                st.run();
            }
        }
        main = std::make_unique<QWidget>();
        tree = new SubjectTree(main.get());
        panel = new ActivityPanel(tree, main.get());
        auto* selection = new SubjectSelection(tree, main.get());
        tree->createFolders();
        tree->loadSubjects();
        tree->loadVirtualSubjects();
        panel->loadActivities();
        QTreeWidgetItem* vsubject = virtualSubject();
        tree->setCurrentItem(vsubject);
        selection->onNodeClicked(vsubject);
    }
};

Setup& setup()
{
    static Setup s;
    return s;
}

// Repeated often enough for a steady median; the repetitions of the two benchmarks are run
// in random interleaved order, so a change of the machine's load between them does not skew
// their ratio.
const int Repeats = BenchRun::times(9);

void launch(benchmark::State& state, QTreeWidgetItem* subject)
{
    Setup& s = setup();
    const int before = s.starts;
    for (auto _ : state) {
        s.tree->setCurrentItem(subject);
        s.panel->onActivityClicked(0);
    }
    if (s.starts - before != int(state.iterations()) || app().StudyPhraseCount != 10)
        state.SkipWithError("the activity was not started with ten phrases");
}

void BM_LaunchInstalledSubject(benchmark::State& state)
{
    launch(state, setup().tree->topLevelItem(0)->child(0));
}
BENCHMARK(BM_LaunchInstalledSubject)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(Repeats)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_LaunchVirtualSubjectOfTenFiles(benchmark::State& state)
{
    launch(state, setup().virtualSubject());
}
BENCHMARK(BM_LaunchVirtualSubjectOfTenFiles)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(Repeats)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    BenchLibrary::measureAsLearner();
    QApplication application(argc, argv);
    RatioReporter::initializeInterleaved(argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::string repeats = "/repeats:" + std::to_string(Repeats) + "/process_time/real_time";
    const std::string installed = "BM_LaunchInstalledSubject" + repeats;
    const std::string virtualSubject = "BM_LaunchVirtualSubjectOfTenFiles" + repeats;
    const auto installedTime = reporter.realTime(installed), virtualTime = reporter.realTime(virtualSubject);
    if (installedTime && virtualTime && *installedTime > 0)
        std::printf(
            "\nvirtual subject of ten files / installed subject (median real time): %.2fx (target: at "
            "most 2x)\n",
            *virtualTime / *installedTime);
    if (const auto r = reporter.ratio(installed, virtualSubject))
        std::printf("the same in CPU time of all threads: %.2fx\n", *r);
    benchmark::Shutdown();
    return 0;
}
