#pragma once

// The console report of Google Benchmark that also keeps each benchmark's CPU and real time
// per iteration (the median when it ran several times), so that a benchmark can print the
// ratio between two of its runs. Colours only on a terminal.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}

    // benchmark::Initialize with the repetitions of all benchmarks run in random interleaved
    // order: the machine's speed drifts between runs by more than the ratios compared, and
    // interleaving spreads the drift over every benchmark alike.
    static void initializeInterleaved(int argc, char** argv)
    {
        std::vector<char*> args(argv, argv + argc);
        static char interleaved[] = "--benchmark_enable_random_interleaving=true";
        args.insert(args.begin() + 1, interleaved); // given later on the command line, it is overridden
        int count = int(args.size());
        benchmark::Initialize(&count, args.data());
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                m_samples[name].push_back(run.GetAdjustedCPUTime());
                m_realSamples[name].push_back(run.GetAdjustedRealTime());
            } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                m_medians[name] = run.GetAdjustedCPUTime();
                m_realMedians[name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // The benchmark's CPU time per iteration (by its name without the aggregate's).
    std::optional<double> time(const std::string& name) const { return median(m_medians, m_samples, name); }
    // The same in real time: what the learner waits.
    std::optional<double> realTime(const std::string& name) const
    {
        return median(m_realMedians, m_realSamples, name);
    }
    // CPU time of large over small, when both ran.
    std::optional<double> ratio(const std::string& small, const std::string& large) const
    {
        const auto a = time(small), b = time(large);
        if (!a || !b || *a <= 0)
            return std::nullopt;
        return *b / *a;
    }
    void printRatio(const char* what, const std::string& small, const std::string& large,
                    double sizeRatio) const
    {
        if (const auto r = ratio(small, large))
            std::printf("%-42s %6.1fx for %.0fx the size (linear: %.0fx)\n", what, *r, sizeRatio, sizeRatio);
    }

private:
    using Samples = std::map<std::string, std::vector<double>>;
    static std::optional<double> median(const std::map<std::string, double>& medians, const Samples& samples,
                                        const std::string& name)
    {
        if (const auto m = medians.find(name); m != medians.end())
            return m->second;
        const auto s = samples.find(name);
        if (s == samples.end() || s->second.empty())
            return std::nullopt;
        std::vector<double> v = s->second;
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return v[v.size() / 2];
    }

    Samples m_samples, m_realSamples;
    std::map<std::string, double> m_medians, m_realMedians;
};
