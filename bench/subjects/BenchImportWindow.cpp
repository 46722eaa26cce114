// How soon the import window shows progress: from its opening to the busy bar of the reading,
// and from the Import press to the first count of subjects written, for a text file of 2,000
// notes and a package of the newest layout of 2,000 notes (made by tests/tools/make_anki.py
// with the zstd program). Target: under 200 ms for any file. Run:
// build/bench/subjects/BenchImportWindow (the package needs python3 and zstd).
#include "common/TemplateBuilder.h"
#include "state/AppState.h"
#include "import/ImportWindow.h"
#include "support/BenchRun.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QTemporaryDir* work = nullptr;

QString textFile()
{
    const QString path = work->filePath(QStringLiteral("notes.txt"));
    if (!QFile::exists(path)) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        f.write("#separator:tab\n#columns:Italian\tEnglish\n");
        for (int i = 0; i < 2000; ++i)
            f.write(QStringLiteral("la frase numero %1\tsentence number %1\n").arg(i).toUtf8());
    }
    return path;
}

QString newestPackage()
{
    const QString path = work->filePath(QStringLiteral("newest.apkg"));
    if (QFile::exists(path))
        return path;
    QJsonArray notes;
    for (int i = 0; i < 2000; ++i)
        notes << QJsonArray{QStringLiteral("la frase numero %1").arg(i),
                            QStringLiteral("sentence number %1").arg(i)};
    const QJsonObject recipe{
        {QStringLiteral("out"), path},
        {QStringLiteral("newestLayout"), true},
        {QStringLiteral("fields"), QJsonArray{QStringLiteral("Italian"), QStringLiteral("English")}},
        {QStringLiteral("notes"), notes}};
    QFile r(work->filePath(QStringLiteral("recipe.json")));
    if (!r.open(QIODevice::WriteOnly))
        return QString();
    r.write(QJsonDocument(recipe).toJson());
    r.close();
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral(PARLANTO_SOURCE_DIR "/tests/tools/make_anki.py"), r.fileName()});
    python.waitForFinished(300000);
    return python.exitCode() == 0 ? path : QString();
}

// Opens the window on the file; the time until its bar shows the reading, and (write set)
// from the Import press until the bar shows the first subject counted.
void measure(benchmark::State& state, const QString& file, bool write)
{
    if (file.isEmpty()) {
        state.SkipWithError("the file could not be made");
        return;
    }
    for (auto _ : state) {
        QTemporaryDir out;
        QElapsedTimer clock;
        clock.start();
        ImportWindow window(file, out.path());
        window.show();
        auto* bar = window.findChild<QProgressBar*>(QStringLiteral("progress"));
        while (bar->maximum() != 0)
            QApplication::processEvents();
        const double opened = double(clock.nsecsElapsed()) / 1e9;
        auto* import = window.findChild<QPushButton*>(QStringLiteral("importButton"));
        while (!import->isEnabled())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!write) {
            state.SetIterationTime(opened);
            continue;
        }
        clock.restart();
        import->click();
        while (bar->maximum() <= 1)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        window.findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        while (window.findChild<QPushButton*>(QStringLiteral("cancelButton"))->isEnabled() == false)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void BM_OpenedToProgress_Text(benchmark::State& state)
{
    measure(state, textFile(), false);
}
void BM_ImportToProgress_Text(benchmark::State& state)
{
    measure(state, textFile(), true);
}
void BM_OpenedToProgress_NewestPackage(benchmark::State& state)
{
    measure(state, newestPackage(), false);
}
void BM_ImportToProgress_NewestPackage(benchmark::State& state)
{
    measure(state, newestPackage(), true);
}

// Each timed by hand, from what the learner does to what the window shows.
void manualMilliseconds(benchmark::internal::Benchmark* b)
{
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(BenchRun::times(5));
}
BENCHMARK(BM_OpenedToProgress_Text)->Apply(manualMilliseconds);
BENCHMARK(BM_ImportToProgress_Text)->Apply(manualMilliseconds);
BENCHMARK(BM_OpenedToProgress_NewestPackage)->Apply(manualMilliseconds);
BENCHMARK(BM_ImportToProgress_NewestPackage)->Apply(manualMilliseconds);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir dir;
    work = &dir;
    resetAppState();
    AppState& s = app();
    s.edition = *findEdition(QStringLiteral("prlita"));
    TemplateSource source;
    QString error;
    if (!TemplateBuilder::readSources(QStringLiteral(PARLANTO_SOURCE_DIR "/data/template"), &source, &error))
        return 2;
    QStringList english;
    for (const auto& row : source.captions)
        english << row.english;
    s.captions.setTexts(english);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
