#pragma once

// How big and how often the benchmarks run. The test suite runs every benchmark as a smoke
// run (PARLANTO_BENCH_SMOKE set): each benchmark once, at its smallest size and with the
// smallest data, so that one that no longer works fails the suite. A smoke run says nothing
// about speed.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>

namespace BenchRun {

inline bool smoke()
{
    static const bool on = std::getenv("PARLANTO_BENCH_SMOKE") != nullptr;
    return on;
}

// The normal size, or the smallest in a smoke run.
template <typename T> T size(T normal, T smallest)
{
    return smoke() ? smallest : normal;
}

// Iterations or repetitions: once in a smoke run.
inline int times(int normal)
{
    return smoke() ? 1 : normal;
}

// For Apply: registers each argument, or only the first (the smallest) in a smoke run.
template <int64_t... Values> void sizes(benchmark::internal::Benchmark* b)
{
    for (const int64_t v : {Values...}) {
        b->Arg(v);
        if (smoke())
            break;
    }
}

// For Apply: a minimum time per run, left out in a smoke run (the suite asks for one
// iteration).
template <int Milliseconds> void minTime(benchmark::internal::Benchmark* b)
{
    if (!smoke())
        b->MinTime(Milliseconds / 1000.0);
}

} // namespace BenchRun
