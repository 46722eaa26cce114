#pragma once

#include "review/FsrsModel.h"
#include "review/Grade.h"

#include <array>

// The memory of one phrase for one learner, as FSRS models it: stability S is the number of
// days after which the chance of recall has fallen to 90%; difficulty D lies in [1, 10].
struct MemoryState
{
    double stability = 0;
    double difficulty = 0;
};

// The FSRS-6 scheduler (the 21-weight version of the Free Spaced Repetition Scheduler, with
// its trainable forgetting-curve decay w20), written from the published description of the
// algorithm, with the default weights the open spaced-repetition benchmark publishes for
// FSRS-6. Day-based: a review counts by its day, reviews on the same day as the previous
// one take FSRS-6's same-day stability (w17 to w19), and an interval is a whole number of
// days (no minute-level learning steps). No fuzz: the same reviews always give the same
// dates, in use as in tests. Stability stays within 0.001 to 36,500 days in every formula.
// The formulas themselves are in FsrsModel, shared with the optimiser (FsrsOptimizer).
class FsrsScheduler
{
public:
    using Weights = std::array<double, 21>;
    static const Weights DefaultWeights;
    static constexpr double DefaultRetention = 0.9;
    static constexpr double MinRetention = 0.70;
    static constexpr double MaxRetention = 0.97;
    static constexpr int MaxIntervalDays = 36500;
    static constexpr double MaxStability = FsrsModel::MaxStability;

    explicit FsrsScheduler(double desiredRetention = DefaultRetention, const Weights& w = DefaultWeights);

    double desiredRetention() const { return m_retention; }
    const Weights& weights() const { return m_terms.w; }

    // The chance of recall t days after the last review: 0.9 when t equals the stability.
    double retrievability(double elapsedDays, double stability) const;
    // Days from a review until the chance of recall falls to the desired retention, rounded,
    // at least one day.
    int intervalDays(double stability) const;
    int intervalDays(double stability, double retention) const;

    // The state after a phrase's first review.
    MemoryState first(Grade grade) const;
    // The state after a review elapsedDays after the previous one (0: the same day).
    MemoryState next(const MemoryState& state, int elapsedDays, Grade grade) const;

private:
    // Worked out once: a long history replays hundreds of thousands of reviews.
    FsrsModel::Terms<double> m_terms;
    double m_retention;
    double m_decay;                // -w20
    double m_intervalPerStability; // (retention^(1/decay) - 1) / factor
};
