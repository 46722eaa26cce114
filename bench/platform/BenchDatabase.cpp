// The cost of what nearly every click does: open a subject file and run a first query.
// Run: build/bench/platform/BenchDatabase. The last line prints the medians and the ratio
// of the encrypted file to the same file without encryption.
#include "platform/Database.h"
#include "subjects/SubjectFile.h"
#include "support/BenchLibrary.h"
#include "support/BenchRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

void openAndQuery(benchmark::State& state, QString path, QString password)
{
    for (auto _ : state) {
        QString error;
        auto db = Database::open(path, password, Database::Mode::ReadOnly, &error);
        if (!db) {
            state.SkipWithError(error.toUtf8().constData());
            break;
        }
        Statement st = db->prepare(QStringLiteral("SELECT * FROM tblProperties"));
        int rows = 0;
        while (st.step() == Statement::Step::Row)
            ++rows;
        benchmark::DoNotOptimize(rows);
    }
}

// Prints as usual and keeps the medians for the closing line.
class MedianReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> medianMicroseconds;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.aggregate_name != "median")
                continue;
            const double seconds =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            medianMicroseconds[run.run_name.function_name] = seconds * 1e6;
        }
    }
};

bool makeFiles(const QString& dir, QString* encrypted, QString* plain)
{
    *encrypted = dir + QStringLiteral("/Bench.ita");
    *plain = dir + QStringLiteral("/Bench-plain.db");
    std::vector<Phrase> phrases;
    for (int i = 1; i <= 10; ++i) {
        Phrase p;
        p.phraseNo = i;
        p.tPhrase = QStringLiteral("Frase %1").arg(i);
        p.tTranslation = QStringLiteral("Phrase %1").arg(i);
        p.bsound = QByteArray(16000, char(i));
        phrases.push_back(p);
    }
    QString error;
    if (!InstalledSubject::create(*encrypted, QStringLiteral("prlita"), phrases, true, &error)) {
        std::fprintf(stderr, "cannot make the subject file: %s\n", qPrintable(error));
        return false;
    }
    // The same contents without encryption.
    auto db = Database::open(*encrypted, Database::SubjectPassword, Database::Mode::Create, &error);
    if (!db || !db->exec(QStringLiteral("ATTACH DATABASE '%1' AS plaintext KEY ''").arg(*plain), &error) ||
        !db->exec(QStringLiteral("SELECT sqlcipher_export('plaintext')"), &error) ||
        !db->exec(QStringLiteral("DETACH DATABASE plaintext"), &error)) {
        std::fprintf(stderr, "cannot make the plain file: %s\n", qPrintable(error));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    BenchLibrary::measureAsLearner();
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    QString encrypted, plain;
    if (!dir.isValid() || !makeFiles(dir.path(), &encrypted, &plain))
        return 1;

    for (const auto& [name, path, password] :
         {std::tuple{"OpenAndQuery_Encrypted", encrypted, Database::SubjectPassword},
          std::tuple{"OpenAndQuery_Plain", plain, QString()}}) {
        benchmark::RegisterBenchmark(name, openAndQuery, path, password)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(BenchRun::times(5))
            ->DisplayAggregatesOnly(true);
    }
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto enc = reporter.medianMicroseconds.find("OpenAndQuery_Encrypted");
    const auto pla = reporter.medianMicroseconds.find("OpenAndQuery_Plain");
    if (enc != reporter.medianMicroseconds.end() && pla != reporter.medianMicroseconds.end() &&
        pla->second > 0) {
        std::printf(
            "open + SELECT * FROM tblProperties, median: encrypted %.1f us, plain %.1f us, ratio %.2f\n",
            enc->second, pla->second, enc->second / pla->second);
    }
    return 0;
}
