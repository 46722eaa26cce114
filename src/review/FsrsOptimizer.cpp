#include "FsrsOptimizer.h"

#include "review/FsrsModel.h"
#include "review/PhraseMemory.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <numbers>
#include <random>

namespace {

using Weights = FsrsOptimizer::Weights;
constexpr size_t N = 21;

// A number with its derivatives with respect to the 21 weights (forward-mode automatic
// differentiation): the formulas run once and give the loss and its exact gradient.
struct Dual
{
    double v = 0;
    std::array<double, N> d{};

    Dual() = default;
    Dual(double value) : v(value) {} // NOLINT: constants mix freely with duals
};

Dual operator+(const Dual& a, const Dual& b)
{
    Dual r(a.v + b.v);
    for (size_t i = 0; i < N; ++i)
        r.d[i] = a.d[i] + b.d[i];
    return r;
}
Dual operator+(const Dual& a, double b)
{
    Dual r = a;
    r.v += b;
    return r;
}
Dual operator-(const Dual& a)
{
    Dual r(-a.v);
    for (size_t i = 0; i < N; ++i)
        r.d[i] = -a.d[i];
    return r;
}
Dual operator-(const Dual& a, const Dual& b)
{
    Dual r(a.v - b.v);
    for (size_t i = 0; i < N; ++i)
        r.d[i] = a.d[i] - b.d[i];
    return r;
}
Dual operator-(const Dual& a, double b)
{
    return a + (-b);
}
Dual operator-(double a, const Dual& b)
{
    Dual r = -b;
    r.v += a;
    return r;
}
Dual operator*(const Dual& a, const Dual& b)
{
    Dual r(a.v * b.v);
    for (size_t i = 0; i < N; ++i)
        r.d[i] = a.d[i] * b.v + a.v * b.d[i];
    return r;
}
Dual operator*(const Dual& a, double b)
{
    Dual r(a.v * b);
    for (size_t i = 0; i < N; ++i)
        r.d[i] = a.d[i] * b;
    return r;
}
Dual operator/(const Dual& a, const Dual& b)
{
    const double q = a.v / b.v;
    Dual r(q);
    for (size_t i = 0; i < N; ++i)
        r.d[i] = (a.d[i] - q * b.d[i]) / b.v;
    return r;
}
Dual operator/(const Dual& a, double b)
{
    return a * (1.0 / b);
}
Dual operator/(double a, const Dual& b)
{
    const double q = a / b.v;
    Dual r(q);
    for (size_t i = 0; i < N; ++i)
        r.d[i] = -q * b.d[i] / b.v;
    return r;
}
bool operator<(const Dual& a, double b)
{
    return a.v < b;
}
bool operator>(const Dual& a, double b)
{
    return a.v > b;
}
bool operator<(const Dual& a, const Dual& b)
{
    return a.v < b.v;
}

Dual scaled(const Dual& a, double value, double factor)
{
    Dual r(value);
    for (size_t i = 0; i < N; ++i)
        r.d[i] = a.d[i] * factor;
    return r;
}
Dual exp(const Dual& a)
{
    const double e = std::exp(a.v);
    return scaled(a, e, e);
}
Dual log(const Dual& a)
{
    return scaled(a, std::log(a.v), 1.0 / a.v);
}
Dual pow(const Dual& a, const Dual& b)
{
    // a is positive wherever the formulas raise it to a power.
    const double p = std::pow(a.v, b.v);
    const double la = std::log(a.v);
    Dual r(p);
    for (size_t i = 0; i < N; ++i)
        r.d[i] = p * (b.d[i] * la + b.v * a.d[i] / a.v);
    return r;
}
Dual pow(double a, const Dual& b)
{
    const double p = std::pow(a, b.v);
    return scaled(b, p, p * std::log(a));
}

// The weights as duals: weight i has derivative 1 with respect to itself.
std::array<Dual, N> variables(const Weights& w)
{
    std::array<Dual, N> r;
    for (size_t i = 0; i < N; ++i) {
        r[i].v = w[i];
        r[i].d[i] = 1;
    }
    return r;
}

// The spread of each weight over many learners' fitted weights, as the reference optimiser
// publishes it: the pull towards the defaults is the squared distance over its square.
constexpr std::array<double, N> Spread = {6.43, 9.66, 17.58, 27.85, 0.57, 0.28, 0.6,  0.12, 0.39, 0.18, 0.33,
                                          0.3,  0.09, 0.16,  0.57,  0.25, 1.03, 0.31, 0.32, 0.14, 0.27};
constexpr double InitialStabilityCeiling = 100.0;
constexpr double Epsilon = 1e-7; // predictions kept inside (0, 1) for the logarithm

template <typename T> T logLoss(const T& p, bool recalled)
{
    using std::log;
    const T q = p < Epsilon ? T(Epsilon) : (p > 1.0 - Epsilon ? T(1.0 - Epsilon) : p);
    return recalled ? -log(q) : -log(1.0 - q);
}

} // namespace

FsrsOptimizer::FsrsOptimizer(const std::vector<PhraseHistory>& histories)
{
    std::vector<std::pair<int64_t, uint32_t>> predicted; // (time, step)
    for (const PhraseHistory& h : histories) {
        if (h.reviews.empty())
            continue;
        const auto begin = uint32_t(m_steps.size());
        qint64 lastDay = 0;
        for (size_t i = 0; i < h.reviews.size(); ++i) {
            const PhraseReview& r = h.reviews[i];
            const qint64 day = PhraseMemory::localDay(r.utcSeconds);
            const int grade = Grades::stored(r.grade);
            int elapsed = -1;
            if (i > 0) {
                elapsed = int(std::clamp<qint64>(day - lastDay, 0, INT_MAX));
                if (elapsed > 0)
                    predicted.emplace_back(r.utcSeconds, uint32_t(m_steps.size()));
            }
            lastDay = i == 0 ? day : std::max(lastDay, day);
            m_steps.push_back({elapsed, int8_t(grade), -1});
            ++m_reviews;
        }
        m_phrases.push_back({begin, uint32_t(m_steps.size()), INT32_MAX});
    }
    std::stable_sort(predicted.begin(), predicted.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    m_itemTimes.reserve(predicted.size());
    for (size_t rank = 0; rank < predicted.size(); ++rank) {
        m_steps[predicted[rank].second].rank = int32_t(rank);
        m_itemTimes.push_back(predicted[rank].first);
    }
    for (Phrase& p : m_phrases) {
        for (uint32_t s = p.begin; s < p.end; ++s) {
            if (m_steps[s].rank >= 0)
                p.firstRank = std::min(p.firstRank, m_steps[s].rank);
        }
    }
}

namespace {

// Replays one phrase's reviews and hands each predicted review its chance of recall.
template <typename T, typename Step, typename OnPredicted>
void replay(const FsrsModel::Terms<T>& terms, const Step* step, const Step* end, OnPredicted&& onPredicted)
{
    T s(1.0), d(1.0);
    for (; step != end; ++step) {
        const int g = step->grade;
        if (step->elapsedDays < 0) {
            s = terms.firstStability(g);
            d = terms.firstDifficulty(g);
            continue;
        }
        if (step->elapsedDays == 0) {
            s = terms.sameDayStability(s, g);
        } else {
            const T r = terms.retrievability(double(step->elapsedDays), s);
            if (step->rank >= 0)
                onPredicted(r, *step);
            s = terms.laterStability(s, d, r, g);
        }
        d = terms.nextDifficulty(d, g);
    }
}

} // namespace

double FsrsOptimizer::recencyWeight(int rank, int count) const
{
    const double x = double(rank) / std::max(1, count - 1);
    return 0.25 + 0.75 * x * x * x;
}

Weights FsrsOptimizer::clipped(Weights w)
{
    static constexpr std::array<std::pair<double, double>, N> Bounds = {{
        {FsrsModel::MinStability, InitialStabilityCeiling},
        {FsrsModel::MinStability, InitialStabilityCeiling},
        {FsrsModel::MinStability, InitialStabilityCeiling},
        {FsrsModel::MinStability, InitialStabilityCeiling},
        {1.0, 10.0},
        {0.001, 4.0},
        {0.001, 4.0},
        {0.001, 0.75},
        {0.0, 4.5},
        {0.0, 0.8},
        {0.001, 3.5},
        {0.001, 5.0},
        {0.001, 0.25},
        {0.001, 0.9},
        {0.0, 4.0},
        {0.0, 1.0},
        {1.0, 6.0},
        {0.0, 2.0},
        {0.0, 2.0},
        {0.0, 0.8},
        {0.1, 0.8},
    }};
    for (size_t i = 0; i < N; ++i)
        w[i] = std::isfinite(w[i]) ? std::clamp(w[i], Bounds[i].first, Bounds[i].second)
                                   : FsrsScheduler::DefaultWeights[i];
    return w;
}

double FsrsOptimizer::objective(const Weights& w, Weights* gradient) const
{
    const int n = predictedCount();
    double penalty = 0;
    for (size_t i = 0; i < N; ++i)
        penalty += std::pow((w[i] - FsrsScheduler::DefaultWeights[i]) / Spread[i], 2);
    if (!gradient) {
        const FsrsModel::Terms<double> terms(w);
        double sum = penalty;
        for (const Phrase& p : m_phrases)
            replay(terms, &m_steps[p.begin], &m_steps[p.end], [&](double r, const Step& s) {
                sum += recencyWeight(s.rank, n) * logLoss(r, s.grade > 1);
            });
        return sum;
    }
    const FsrsModel::Terms<Dual> terms(variables(w));
    Dual sum(penalty);
    for (size_t i = 0; i < N; ++i)
        sum.d[i] = 2 * (w[i] - FsrsScheduler::DefaultWeights[i]) / (Spread[i] * Spread[i]);
    for (const Phrase& p : m_phrases)
        replay(terms, &m_steps[p.begin], &m_steps[p.end], [&](const Dual& r, const Step& s) {
            sum = sum + logLoss(r, s.grade > 1) * recencyWeight(s.rank, n);
        });
    std::copy(sum.d.begin(), sum.d.end(), gradient->begin());
    return sum.v;
}

FsrsOptimizer::Metrics FsrsOptimizer::evaluateRange(const Weights& w, int fromRank, int toRank) const
{
    const FsrsModel::Terms<double> terms(w);
    constexpr int Bins = 20;
    std::array<double, Bins> predicted{}, recalled{};
    std::array<int, Bins> counts{};
    Metrics m;
    for (const Phrase& p : m_phrases) {
        replay(terms, &m_steps[p.begin], &m_steps[p.end], [&](double r, const Step& s) {
            if (s.rank < fromRank || s.rank >= toRank)
                return;
            m.logLoss += logLoss(r, s.grade > 1);
            const int bin = std::clamp(int(r * Bins), 0, Bins - 1);
            predicted[size_t(bin)] += r;
            recalled[size_t(bin)] += s.grade > 1 ? 1 : 0;
            ++counts[size_t(bin)];
            ++m.count;
        });
    }
    if (m.count == 0)
        return m;
    m.logLoss /= m.count;
    double squares = 0;
    for (size_t b = 0; b < Bins; ++b) {
        if (counts[b] > 0)
            squares += std::pow(predicted[b] - recalled[b], 2) / counts[b]; // n (mean gap)^2
    }
    m.rmseBins = std::sqrt(squares / m.count);
    return m;
}

FsrsOptimizer::Metrics FsrsOptimizer::evaluate(const Weights& w) const
{
    return evaluateRange(w, 0, predictedCount());
}

void FsrsOptimizer::fitFirstStabilities(int cut, Weights* w) const
{
    // For each first grade: the later-day reviews that follow a first answer directly, by
    // days elapsed: (reviews, recalled).
    std::array<std::map<int, std::pair<int, int>>, 4> byGrade;
    for (const Phrase& p : m_phrases) {
        if (p.end - p.begin < 2)
            continue;
        const Step& second = m_steps[p.begin + 1];
        if (second.rank < 0 || second.rank >= cut)
            continue;
        auto& counts = byGrade[size_t(m_steps[p.begin].grade - 1)][second.elapsedDays];
        ++counts.first;
        counts.second += second.grade > 1 ? 1 : 0;
    }
    const FsrsModel::Terms<double> terms(*w);
    for (size_t g = 0; g < 4; ++g) {
        if (byGrade[g].empty())
            continue;
        const double start = (*w)[g];
        auto cost = [&](double logS) {
            const double s = std::exp(logS);
            double sum = std::pow((s - start) / Spread[g], 2);
            for (const auto& [days, counts] : byGrade[g]) {
                const double r = terms.retrievability(days, s);
                sum += counts.second * logLoss(r, true) + (counts.first - counts.second) * logLoss(r, false);
            }
            return sum;
        };
        // A golden-section search over log S: the cost has one valley in S.
        double a = std::log(FsrsModel::MinStability), b = std::log(InitialStabilityCeiling);
        const double ratio = (std::sqrt(5.0) - 1) / 2;
        double c = b - ratio * (b - a), d = a + ratio * (b - a);
        double fc = cost(c), fd = cost(d);
        for (int i = 0; i < 80; ++i) {
            if (fc < fd) {
                b = d;
                d = c;
                fd = fc;
                c = b - ratio * (b - a);
                fc = cost(c);
            } else {
                a = c;
                c = d;
                fc = fd;
                d = a + ratio * (b - a);
                fd = cost(d);
            }
        }
        (*w)[g] = std::exp((a + b) / 2);
    }
    for (size_t g = 1; g < 4; ++g)
        (*w)[g] = std::max((*w)[g], (*w)[g - 1]);
    *w = clipped(*w);
}

bool FsrsOptimizer::train(int cut, Weights* w, const std::atomic<bool>* cancel) const
{
    std::vector<uint32_t> phrases;
    for (uint32_t i = 0; i < m_phrases.size(); ++i) {
        if (m_phrases[i].firstRank < cut)
            phrases.push_back(i);
    }
    const Weights target = *w;
    const int batchesPerEpoch = (cut + BatchSize - 1) / BatchSize;
    const int epochs = std::max(Epochs, (MinSteps + batchesPerEpoch - 1) / batchesPerEpoch);
    const double totalSteps = double(epochs) * batchesPerEpoch;
    std::array<double, N> m{}, v{};
    constexpr double Beta1 = 0.9, Beta2 = 0.999, AdamEpsilon = 1e-8;
    double beta1Power = 1, beta2Power = 1;
    int step = 0;
    std::mt19937 random(2023);

    // The training quantity over the reviews before cut, for keeping the best pass.
    auto trainingLoss = [&](const Weights& x) {
        const FsrsModel::Terms<double> terms(x);
        double sum = 0;
        for (uint32_t i : phrases) {
            const Phrase& p = m_phrases[i];
            replay(terms, &m_steps[p.begin], &m_steps[p.end], [&](double r, const Step& s) {
                if (s.rank < cut)
                    sum += recencyWeight(s.rank, cut) * logLoss(r, s.grade > 1);
            });
        }
        for (size_t i = 0; i < N; ++i)
            sum += std::pow((x[i] - target[i]) / Spread[i], 2);
        return sum;
    };
    Weights best = *w;
    double bestLoss = trainingLoss(best);

    for (int epoch = 0; epoch < epochs; ++epoch) {
        std::shuffle(phrases.begin(), phrases.end(), random);
        size_t next = 0;
        while (next < phrases.size()) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                return false;
            const FsrsModel::Terms<Dual> terms(variables(*w));
            Dual sum;
            int items = 0;
            while (next < phrases.size() && items < BatchSize) {
                const Phrase& p = m_phrases[phrases[next++]];
                replay(terms, &m_steps[p.begin], &m_steps[p.end], [&](const Dual& r, const Step& s) {
                    if (s.rank >= cut)
                        return;
                    sum = sum + logLoss(r, s.grade > 1) * recencyWeight(s.rank, cut);
                    ++items;
                });
            }
            if (items == 0)
                continue;
            // The pull towards the start, in the share of this batch.
            const double share = double(items) / cut;
            std::array<double, N> g{};
            for (size_t i = 0; i < N; ++i)
                g[i] = sum.d[i] + share * 2 * ((*w)[i] - target[i]) / (Spread[i] * Spread[i]);
            ++step;
            beta1Power *= Beta1;
            beta2Power *= Beta2;
            const double rate = LearningRate * 0.5 *
                                (1 + std::cos(std::numbers::pi * std::min(1.0, (step - 1) / totalSteps)));
            for (size_t i = 0; i < N; ++i) {
                if (!std::isfinite(g[i]))
                    continue;
                m[i] = Beta1 * m[i] + (1 - Beta1) * g[i];
                v[i] = Beta2 * v[i] + (1 - Beta2) * g[i] * g[i];
                const double mHat = m[i] / (1 - beta1Power), vHat = v[i] / (1 - beta2Power);
                (*w)[i] -= rate * mHat / (std::sqrt(vHat) + AdamEpsilon);
            }
            *w = clipped(*w);
        }
        const double loss = trainingLoss(*w);
        if (loss < bestLoss) {
            bestLoss = loss;
            best = *w;
        }
    }
    *w = best;
    return true;
}

FsrsOptimizer::Scope FsrsOptimizer::fitOn(int cut, Weights* w, const std::atomic<bool>* cancel) const
{
    *w = FsrsScheduler::DefaultWeights;
    if (cut < MinReviews)
        return Scope::Defaults;
    fitFirstStabilities(cut, w);
    // Whether any review before cut is not the first later-day one of its phrase.
    int laterOnes = 0;
    for (const Phrase& p : m_phrases) {
        for (uint32_t s = p.begin + 1; s < p.end; ++s) {
            const int rank = m_steps[s].rank;
            if (rank >= 0 && rank < cut && rank != p.firstRank)
                ++laterOnes;
        }
    }
    if (cut < MinFullReviews || laterOnes == 0)
        return Scope::FirstStability;
    if (!train(cut, w, cancel))
        *w = FsrsScheduler::DefaultWeights;
    return Scope::All;
}

FsrsOptimizer::Result FsrsOptimizer::fit(const std::atomic<bool>* cancel) const
{
    Result result;
    result.reviews = m_reviews;
    result.predicted = predictedCount();
    const int n = result.predicted;
    if (n < MinReviews)
        return result;
    result.heldOut = std::max(1, int(n * HeldOutShare));
    const int cut = n - result.heldOut;
    Weights early;
    const Scope scope = fitOn(cut, &early, cancel);
    if (cancel && cancel->load()) {
        result.cancelled = true;
        return result;
    }
    result.fittedLoss = evaluateRange(early, cut, n).logLoss;
    result.defaultLoss = evaluateRange(FsrsScheduler::DefaultWeights, cut, n).logLoss;
    if (scope == Scope::Defaults || !(result.fittedLoss < result.defaultLoss))
        return result;
    Weights all;
    result.scope = fitOn(n, &all, cancel);
    if (cancel && cancel->load()) {
        result.cancelled = true;
        result.scope = Scope::Defaults;
        return result;
    }
    result.weights = all;
    result.fitted = true;
    return result;
}
