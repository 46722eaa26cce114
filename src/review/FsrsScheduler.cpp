#include "FsrsScheduler.h"

#include <algorithm>
#include <cmath>

// FSRS-6 defaults (w0 to w20) as the algorithm's description and its reference scheduler
// publish them; w20 = 0.1542 is the decay of the forgetting curve.
const FsrsScheduler::Weights FsrsScheduler::DefaultWeights = {
    0.212,  1.2931, 2.3065, 8.2956, 6.4133, 0.8334, 3.0194, 0.001,  1.8722, 0.1666, 0.796,
    1.4835, 0.0614, 0.2629, 1.6483, 0.6014, 1.8729, 0.5425, 0.0912, 0.0658, 0.1542,
};

FsrsScheduler::FsrsScheduler(double desiredRetention, const Weights& w)
    : m_terms(w), m_retention(std::clamp(desiredRetention, MinRetention, MaxRetention)), m_decay(-w[20]),
      m_intervalPerStability((std::pow(m_retention, 1.0 / m_decay) - 1.0) / m_terms.factor)
{
}

double FsrsScheduler::retrievability(double elapsedDays, double stability) const
{
    return m_terms.retrievability(elapsedDays, stability);
}

int FsrsScheduler::intervalDays(double stability) const
{
    return int(std::clamp(std::round(stability * m_intervalPerStability), 1.0, double(MaxIntervalDays)));
}

int FsrsScheduler::intervalDays(double stability, double retention) const
{
    const double days = stability / m_terms.factor * (std::pow(retention, 1.0 / m_decay) - 1.0);
    return int(std::clamp(std::round(days), 1.0, double(MaxIntervalDays)));
}

MemoryState FsrsScheduler::first(Grade grade) const
{
    const int g = Grades::stored(grade);
    return {m_terms.firstStability(g), m_terms.firstDifficulty(g)};
}

MemoryState FsrsScheduler::next(const MemoryState& state, int elapsedDays, Grade grade) const
{
    const int g = Grades::stored(grade);
    const double s = FsrsModel::clampStability(state.stability);
    const double d = FsrsModel::clampDifficulty(state.difficulty);
    const double stability = elapsedDays <= 0
                                 ? m_terms.sameDayStability(s, g)
                                 : m_terms.laterStability(s, d, m_terms.retrievability(elapsedDays, s), g);
    return {stability, m_terms.nextDifficulty(d, g)};
}
