#pragma once

#include <array>
#include <cmath>

// The FSRS-6 formulas, written once for two kinds of number: plain doubles (the scheduler)
// and the optimiser's numbers that carry their derivatives with respect to the 21 weights.
// A type T needs +, -, *, / (also with double), comparisons with double, and exp and pow
// found by argument-dependent lookup or in std.
namespace FsrsModel {

constexpr double MinStability = 0.001;
// A hundred years: no formula gives a longer stability (the reference implementations bound
// it the same way).
constexpr double MaxStability = 36500.0;

template <typename T> T clampStability(const T& s)
{
    if (s < MinStability)
        return T(MinStability);
    if (s > MaxStability)
        return T(MaxStability);
    return s;
}

template <typename T> T clampDifficulty(const T& d)
{
    if (d < 1.0)
        return T(1.0);
    if (d > 10.0)
        return T(10.0);
    return d;
}

// The weights and the terms every review uses, worked out once per set of weights.
template <typename T> struct Terms
{
    std::array<T, 21> w;
    T factor;         // 0.9^(-1/w20) - 1, so that R(S, S) = 0.9
    T easyDifficulty; // D0(Easy), unclamped: the target of the mean reversion
    T expW8;
    T lapseCeiling; // e^(w17 w18): a lapse keeps at most S divided by this

    explicit Terms(const std::array<T, 21>& weights) : w(weights)
    {
        using std::exp;
        using std::pow;
        factor = pow(0.9, -1.0 / w[20]) - 1.0;
        easyDifficulty = w[4] - exp(w[5] * 3.0) + 1.0;
        expW8 = exp(w[8]);
        lapseCeiling = exp(w[17] * w[18]);
    }

    // The chance of recall t days after the last review.
    T retrievability(double elapsedDays, const T& stability) const
    {
        using std::pow;
        const T s = stability < MinStability ? T(MinStability) : stability;
        return pow(factor * ((elapsedDays > 0 ? elapsedDays : 0.0)) / s + 1.0, -w[20]);
    }

    T initialDifficulty(int grade) const
    {
        using std::exp;
        return w[4] - exp(w[5] * double(grade - 1)) + 1.0;
    }

    // Linear damping: the nearer D is to 10, the less a hard answer raises it; then a little
    // reversion towards the initial difficulty of Easy.
    T nextDifficulty(const T& difficulty, int grade) const
    {
        const T delta = w[6] * double(3 - grade);
        const T damped = difficulty + delta * (10.0 - difficulty) / 9.0;
        return clampDifficulty(w[7] * easyDifficulty + (1.0 - w[7]) * damped);
    }

    T firstStability(int grade) const { return clampStability(w[size_t(grade - 1)]); }
    T firstDifficulty(int grade) const { return clampDifficulty(initialDifficulty(grade)); }

    // S after a review on the same day as the one before. The increase is at least 1 for
    // Hard, Good and Easy: an answer that recalled the phrase never lowers its stability
    // (the reference implementations made the same change for Hard in 2025).
    T sameDayStability(const T& s, int grade) const
    {
        using std::exp;
        using std::pow;
        T increase = exp(w[17] * (w[18] + double(grade - 3))) * pow(s, -w[19]);
        if (grade >= 2 && increase < 1.0)
            increase = T(1.0);
        return clampStability(s * increase);
    }

    // S after a review elapsedDays > 0 after the one before, whose chance of recall was r.
    T laterStability(const T& s, const T& d, const T& r, int grade) const
    {
        using std::exp;
        using std::pow;
        if (grade == 1) {
            const T forgotten = w[11] * pow(d, -w[12]) * (pow(s + 1.0, w[13]) - 1.0) * exp(w[14] * (1.0 - r));
            const T ceiling = s / lapseCeiling;
            return clampStability(forgotten < ceiling ? forgotten : ceiling);
        }
        T increase = expW8 * (11.0 - d) * pow(s, -w[9]) * (exp(w[10] * (1.0 - r)) - 1.0);
        if (grade == 2)
            increase = increase * w[15];
        else if (grade == 4)
            increase = increase * w[16];
        return clampStability(s * (increase + 1.0));
    }
};

} // namespace FsrsModel
