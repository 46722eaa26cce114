#pragma once

#include "review/FsrsScheduler.h"
#include "review/PhraseResults.h"

#include <atomic>
#include <cstdint>
#include <vector>

// Fits the 21 FSRS-6 weights to one learner's per-phrase rows, the way the reference
// optimiser does: gradient descent (Adam, learning rate 0.04 with cosine annealing, batches
// of 512 reviews, 5 passes) on the log loss of the predicted chance of recall, each review
// weighted by its recency (0.25 for the oldest up to 1 for the newest), plus a pull towards
// the default weights (the squared distance scaled by each weight's spread over many
// learners), the weights kept within the reference's bounds after every step. Gradients are
// exact: the formulas (FsrsModel) run on numbers that carry their derivatives.
//
// What is predicted: every review on a later day than the phrase's review before (a same-day
// review tests no memory, but it changes the state the next prediction starts from).
// Small histories follow the reference's rules: with fewer than MinReviews predicted reviews
// the defaults stay; with fewer than MinFullReviews (or when no phrase has more than one
// later-day review) only the first stabilities w0 to w3 are fitted, each directly: the
// stability whose forgetting curve best predicts the first later-day review after a first
// answer of that grade, pulled towards its default, the four kept in ascending order.
//
// fit() first holds out the newest fifth of the predicted reviews (a time-ordered split, as
// the open benchmark evaluates): weights fitted to the older reviews are kept only when they
// predict the held-out ones with a lower log loss than the defaults; they are then fitted
// again to every review.
class FsrsOptimizer
{
public:
    using Weights = FsrsScheduler::Weights;
    static constexpr int MinReviews = 8;
    static constexpr int MinFullReviews = 64;
    static constexpr int BatchSize = 512;
    static constexpr int Epochs = 5;
    static constexpr double LearningRate = 0.04;
    static constexpr double HeldOutShare = 0.2;
    // Small histories get more passes, so that at least this many steps are taken.
    static constexpr int MinSteps = 100;

    enum class Scope
    {
        Defaults,       // too few reviews: nothing fitted
        FirstStability, // w0 to w3 only
        All
    };

    struct Result
    {
        Weights weights = FsrsScheduler::DefaultWeights; // the weights to schedule with
        bool fitted = false;                             // whether they are fitted ones (else the defaults)
        bool cancelled = false;
        Scope scope = Scope::Defaults;
        int reviews = 0;       // every review read
        int predicted = 0;     // the reviews the weights predict (later-day ones)
        int heldOut = 0;       // of which held out to compare
        double fittedLoss = 0; // log loss on the held-out reviews (0 when none)
        double defaultLoss = 0;
    };

    struct Metrics
    {
        int count = 0;
        double logLoss = 0;  // mean, unweighted
        double rmseBins = 0; // over 20 bins of the predicted chance of recall
    };

    // Each history's reviews in time order (as PhraseResults::historiesOf gives them).
    explicit FsrsOptimizer(const std::vector<PhraseHistory>& histories);

    int reviewCount() const { return m_reviews; }
    int predictedCount() const { return int(m_itemTimes.size()); }

    // Fits as described above; a set cancel flag ends it early with the defaults.
    Result fit(const std::atomic<bool>* cancel = nullptr) const;
    // How well the weights predict every predicted review.
    Metrics evaluate(const Weights& w) const;
    // The quantity minimised over every predicted review: the recency-weighted log-loss sum
    // plus the pull towards the defaults; with its gradient when asked.
    double objective(const Weights& w, Weights* gradient = nullptr) const;

    // The bounds of each weight after a step.
    static Weights clipped(Weights w);

private:
    struct Step
    {
        int32_t elapsedDays; // days since the review before (-1: the first review)
        int8_t grade;
        int32_t rank; // the review's place among the predicted ones in time order (-1: none)
    };
    struct Phrase
    {
        uint32_t begin, end; // steps
        int32_t firstRank;   // the smallest rank in it (INT32_MAX: none)
    };

    Scope fitOn(int cut, Weights* w, const std::atomic<bool>* cancel) const;
    void fitFirstStabilities(int cut, Weights* w) const;
    bool train(int cut, Weights* w, const std::atomic<bool>* cancel) const;
    Metrics evaluateRange(const Weights& w, int fromRank, int toRank) const;
    double recencyWeight(int rank, int count) const;

    std::vector<Step> m_steps;
    std::vector<Phrase> m_phrases;
    std::vector<int64_t> m_itemTimes; // seconds, by rank
    int m_reviews = 0;
};
