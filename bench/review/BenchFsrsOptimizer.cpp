// Fitting the FSRS-6 weights to one learner: 10,000 reviews of 1,000 phrases (target: under
// 1 s of CPU on one core) and 100,000 reviews of 10,000 phrases (target: under 10 s), drawn
// from weights far from the defaults, as the launcher's background fitting runs it (the
// held-out comparison and the fit to every review included). CPU time of the process, and
// its peak memory (resident set) after the run.
#include "review/FsrsOptimizer.h"
#include "support/BenchRun.h"

#include <benchmark/benchmark.h>

#include <random>
#include <sys/resource.h>

namespace {

std::vector<PhraseHistory> simulate(int phrases, int reviewsEach)
{
    const FsrsScheduler truth(0.9, {1.0, 4.0,  12.0, 40.0, 4.5, 1.2, 1.5, 0.05, 1.2, 0.4, 1.4,
                                    2.5, 0.15, 0.5,  2.5,  0.3, 3.0, 0.3, 0.3,  0.2, 0.45});
    std::mt19937 random(11);
    std::uniform_real_distribution<double> uniform(0, 1);
    std::vector<PhraseHistory> histories;
    histories.reserve(size_t(phrases));
    for (int p = 0; p < phrases; ++p) {
        PhraseHistory h{{QStringLiteral("Subject_%1.ita").arg(p / 10), p % 10 + 1}, {}};
        int day = p % 365;
        int grade = uniform(random) < 0.3 ? 1 : 3;
        MemoryState state = truth.first(Grade(grade));
        h.reviews.push_back({1700000000 + day * 86400LL, Grade(grade)});
        while (int(h.reviews.size()) < reviewsEach) {
            const int interval =
                std::max(1, int(truth.intervalDays(state.stability) * (0.5 + uniform(random))));
            day += interval;
            const bool recalled = uniform(random) < truth.retrievability(interval, state.stability);
            grade = recalled ? (uniform(random) < 0.15 ? 2 : 3) : 1;
            state = truth.next(state, interval, Grade(grade));
            h.reviews.push_back({1700000000 + day * 86400LL + p % 3600, Grade(grade)});
        }
        histories.push_back(std::move(h));
    }
    return histories;
}

void BM_FitWeights(benchmark::State& state)
{
    const int reviews = int(state.range(0));
    const auto histories = simulate(reviews / 10, 10);
    FsrsOptimizer::Result result;
    for (auto _ : state) {
        const FsrsOptimizer optimizer(histories);
        result = optimizer.fit();
        benchmark::DoNotOptimize(result);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["reviews"] = double(result.reviews);
    state.counters["fitted"] = result.fitted ? 1 : 0;
    state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0;
    state.counters["loss_gain_%"] =
        result.defaultLoss > 0 ? 100.0 * (1 - result.fittedLoss / result.defaultLoss) : 0.0;
    state.SetLabel(reviews <= 10000 ? "target: under 1 s of CPU" : "target: under 10 s of CPU");
}
BENCHMARK(BM_FitWeights)
    ->Apply(BenchRun::sizes<10000, 100000>)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(1)
    ->Repetitions(BenchRun::times(3))
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
