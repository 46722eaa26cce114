#include "FsrsScheduler.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double MinStability = 0.001;

double clampDifficulty(double d)
{
    return std::clamp(d, 1.0, 10.0);
}

} // namespace

// FSRS-6 defaults (w0 to w20) as the algorithm's description and its reference scheduler
// publish them; w20 = 0.1542 is the decay of the forgetting curve.
const FsrsScheduler::Weights FsrsScheduler::DefaultWeights = {
    0.212,  1.2931, 2.3065, 8.2956, 6.4133, 0.8334, 3.0194, 0.001,  1.8722, 0.1666, 0.796,
    1.4835, 0.0614, 0.2629, 1.6483, 0.6014, 1.8729, 0.5425, 0.0912, 0.0658, 0.1542,
};

FsrsScheduler::FsrsScheduler(double desiredRetention, const Weights& w)
    : m_w(w), m_retention(std::clamp(desiredRetention, MinRetention, MaxRetention)), m_decay(-w[20]),
      m_factor(std::pow(0.9, 1.0 / m_decay) - 1.0),
      m_intervalPerStability((std::pow(m_retention, 1.0 / m_decay) - 1.0) / m_factor),
      m_easyDifficulty(initialDifficulty(Easy)), m_expW8(std::exp(w[8])),
      m_lapseCeiling(std::exp(w[17] * w[18]))
{
}

double FsrsScheduler::retrievability(double elapsedDays, double stability) const
{
    return std::pow(1.0 + m_factor * std::max(0.0, elapsedDays) / std::max(stability, MinStability), m_decay);
}

int FsrsScheduler::intervalDays(double stability) const
{
    return int(std::clamp(std::round(stability * m_intervalPerStability), 1.0, double(MaxIntervalDays)));
}

int FsrsScheduler::intervalDays(double stability, double retention) const
{
    const double days = stability / m_factor * (std::pow(retention, 1.0 / m_decay) - 1.0);
    return int(std::clamp(std::round(days), 1.0, double(MaxIntervalDays)));
}

double FsrsScheduler::initialDifficulty(int grade) const
{
    return m_w[4] - std::exp(m_w[5] * (grade - 1)) + 1.0;
}

MemoryState FsrsScheduler::first(int grade) const
{
    grade = std::clamp(grade, int(Again), int(Easy));
    return {std::max(m_w[size_t(grade - 1)], MinStability), clampDifficulty(initialDifficulty(grade))};
}

double FsrsScheduler::nextDifficulty(double difficulty, int grade) const
{
    // Linear damping: the nearer D is to 10, the less a hard answer raises it; then a little
    // reversion towards the (unclamped) initial difficulty of Easy.
    const double delta = -m_w[6] * (grade - 3);
    const double damped = difficulty + delta * (10.0 - difficulty) / 9.0;
    return clampDifficulty(m_w[7] * m_easyDifficulty + (1.0 - m_w[7]) * damped);
}

MemoryState FsrsScheduler::next(const MemoryState& state, int elapsedDays, int grade) const
{
    grade = std::clamp(grade, int(Again), int(Easy));
    const double s = std::max(state.stability, MinStability);
    const double d = clampDifficulty(state.difficulty);
    double stability;
    if (elapsedDays <= 0) {
        // Same day: FSRS-6's short-term stability; Good and Easy never lower it.
        double increase = std::exp(m_w[17] * (grade - 3 + m_w[18])) * std::pow(s, -m_w[19]);
        if (grade >= Good)
            increase = std::max(increase, 1.0);
        stability = s * increase;
    } else {
        const double r = retrievability(elapsedDays, s);
        if (grade == Again) {
            const double forgotten = m_w[11] * std::pow(d, -m_w[12]) * (std::pow(s + 1.0, m_w[13]) - 1.0) *
                                     std::exp(m_w[14] * (1.0 - r));
            stability = std::min(forgotten, s / m_lapseCeiling);
        } else {
            const double hardPenalty = grade == Hard ? m_w[15] : 1.0;
            const double easyBonus = grade == Easy ? m_w[16] : 1.0;
            stability = s * (1.0 + m_expW8 * (11.0 - d) * std::pow(s, -m_w[9]) *
                                       (std::exp(m_w[10] * (1.0 - r)) - 1.0) * hardPenalty * easyBonus);
        }
    }
    return {std::max(stability, MinStability), nextDifficulty(d, grade)};
}
