// The fitting of the FSRS-6 weights: its loss and gradient against figures worked out by hand,
// and on histories drawn from known weights far from the defaults, weights that predict the
// held-out newest reviews better than the defaults do.
#include "review/FsrsOptimizer.h"

#include <QTest>

#include <random>

namespace {

const QString Subject = QStringLiteral("Saluti.ita");
constexpr qint64 Noon = 12 * 3600;

// Reviews of one phrase on the given days (relative to a fixed start), at noon.
PhraseHistory history(int phraseNo, std::initializer_list<std::pair<int, int>> dayGrades)
{
    PhraseHistory h{{Subject, phraseNo}, {}};
    for (const auto& [day, grade] : dayGrades)
        h.reviews.push_back({1767225600 + day * 86400LL + Noon, Grade(grade)});
    return h;
}

// A learner whose memory follows the truth's weights: each phrase is reviewed when the truth
// schedules it (give or take half the interval), recalled with the truth's chance, answered
// Hard, Good or Easy when recalled, and after a lapse often again the same day.
std::vector<PhraseHistory> simulate(const FsrsScheduler& truth, int phrases, int maxReviews)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> uniform(0, 1);
    std::vector<PhraseHistory> histories;
    for (int p = 0; p < phrases; ++p) {
        PhraseHistory h{{Subject, p + 1}, {}};
        int day = p % 60;
        auto add = [&](int grade) {
            h.reviews.push_back({1767225600 + day * 86400LL + Noon + p, Grade(grade)});
        };
        const double first = uniform(random);
        int grade = first < 0.3 ? 1 : first < 0.45 ? 2 : first < 0.9 ? 3 : 4;
        MemoryState state = truth.first(Grade(grade));
        add(grade);
        while (int(h.reviews.size()) < maxReviews) {
            const int interval =
                std::max(1, int(truth.intervalDays(state.stability) * (0.5 + uniform(random))));
            day += interval;
            const bool recalled = uniform(random) < truth.retrievability(interval, state.stability);
            const double kind = uniform(random);
            grade = !recalled ? 1 : kind < 0.15 ? 2 : kind < 0.9 ? 3 : 4;
            state = truth.next(state, interval, Grade(grade));
            add(grade);
            if (grade == 1 && uniform(random) < 0.5) {
                state = truth.next(state, 0, Grade::Good);
                add(3);
            }
        }
        histories.push_back(std::move(h));
    }
    return histories;
}

} // namespace

class TestFsrsOptimizer : public QObject
{
    Q_OBJECT

private slots:
    // Good on day 0, forgotten on day 3, with w2 = 3 instead of 2.3065: the one prediction is
    // R(3, S = 3) = 0.9 (R(S, S) is 0.9 for any decay), weighted 0.25 (the oldest review).
    // Loss: 0.25 (-ln 0.1) + ((3 - 2.3065) / 17.58)^2 = 0.575646 + 0.001556 = 0.577202.
    // dR/dS = w20 R / (1 + F t/S) F t / S^2 = 0.1542 * 0.9 / 1.980346 * 0.980346 / 3
    // = 0.022901; dLoss/dw2 = 0.25 * dR/dS / (1 - R) + 2 * 0.6935 / 17.58^2
    // = 0.057253 + 0.004488 = 0.061741. dLoss/dw20 = 0: ln R = -w20 ln(1 + F) whatever w20,
    // as F = 0.9^(-1/w20) - 1. No other weight touches the first prediction.
    void lossAndGradientByHand()
    {
        const FsrsOptimizer optimizer({history(1, {{0, 3}, {3, 1}})});
        QCOMPARE(optimizer.reviewCount(), 2);
        QCOMPARE(optimizer.predictedCount(), 1);
        FsrsScheduler::Weights w = FsrsScheduler::DefaultWeights;
        w[2] = 3.0;
        FsrsScheduler::Weights gradient{};
        const double loss = optimizer.objective(w, &gradient);
        QVERIFY(std::abs(loss - 0.577202) < 1e-5);
        QVERIFY(std::abs(optimizer.objective(w) - loss) < 1e-12);
        QVERIFY(std::abs(gradient[2] - 0.061741) < 1e-5);
        QVERIFY(std::abs(gradient[20]) < 1e-9);
        for (size_t i = 0; i < 20; ++i) {
            if (i != 2)
                QCOMPARE(gradient[i], 0.0);
        }
        // A history that touches every weight: the gradient agrees with the loss's slopes.
        const FsrsOptimizer longer({history(1, {{0, 1}, {0, 3}, {2, 2}, {6, 1}, {6, 3}, {9, 3}, {30, 4}}),
                                    history(2, {{0, 4}, {5, 3}, {20, 2}})});
        w = FsrsScheduler::DefaultWeights;
        w[7] = 0.1; // a reversion the slope of w4 and w5 shows in
        longer.objective(w, &gradient);
        for (size_t i = 0; i < 21; ++i) {
            FsrsScheduler::Weights up = w, down = w;
            const double h = 1e-6 * std::max(1.0, w[i]);
            up[i] += h;
            down[i] -= h;
            const double slope = (longer.objective(up) - longer.objective(down)) / (2 * h);
            QVERIFY2(std::abs(slope - gradient[i]) < 1e-5 * std::max(1.0, std::abs(slope)),
                     qPrintable(QStringLiteral("w%1: %2 against %3").arg(i).arg(gradient[i]).arg(slope)));
        }
    }

    // The rules for small histories, and weights far from the defaults found again well
    // enough to predict the newest reviews better.
    void fitsSimulatedLearner()
    {
        // Fewer than 8 predicted reviews: the defaults, nothing compared.
        const FsrsOptimizer tiny({history(1, {{0, 3}, {2, 3}, {7, 3}}), history(2, {{0, 1}, {1, 3}})});
        const FsrsOptimizer::Result none = tiny.fit();
        QVERIFY(!none.fitted);
        QCOMPARE(none.scope, FsrsOptimizer::Scope::Defaults);
        QCOMPARE(none.weights, FsrsScheduler::DefaultWeights);

        FsrsScheduler::Weights truth = {1.0, 4.0,  12.0, 40.0, 4.5, 1.2, 1.5, 0.05, 1.2, 0.4, 1.4,
                                        2.5, 0.15, 0.5,  2.5,  0.3, 3.0, 0.3, 0.3,  0.2, 0.45};
        // Few reviews (two per phrase): only the first stabilities move.
        const FsrsOptimizer few(simulate(FsrsScheduler(0.9, truth), 30, 2));
        const FsrsOptimizer::Result small = few.fit();
        QVERIFY(small.predicted >= 8 && small.predicted < FsrsOptimizer::MinFullReviews);
        if (small.fitted) {
            QCOMPARE(small.scope, FsrsOptimizer::Scope::FirstStability);
            for (size_t i = 4; i < 21; ++i)
                QCOMPARE(small.weights[i], FsrsScheduler::DefaultWeights[i]);
        }

        const FsrsOptimizer optimizer(simulate(FsrsScheduler(0.9, truth), 400, 9));
        QVERIFY(optimizer.reviewCount() > 3000);
        const FsrsOptimizer::Result fitted = optimizer.fit();
        QVERIFY(fitted.fitted);
        QCOMPARE(fitted.scope, FsrsOptimizer::Scope::All);
        QVERIFY(fitted.heldOut >= fitted.predicted / 5);
        QVERIFY2(fitted.fittedLoss < fitted.defaultLoss * 0.97,
                 qPrintable(QStringLiteral("%1 against %2").arg(fitted.fittedLoss).arg(fitted.defaultLoss)));
        // Within bounds, and the first stabilities (each far from its default) closer to the
        // truth than the defaults are.
        QCOMPARE(FsrsOptimizer::clipped(fitted.weights), fitted.weights);
        const auto& d = FsrsScheduler::DefaultWeights;
        for (size_t i = 0; i < 4; ++i)
            QVERIFY(std::abs(fitted.weights[i] - truth[i]) < std::abs(d[i] - truth[i]));
        const FsrsOptimizer::Metrics mine = optimizer.evaluate(fitted.weights);
        const FsrsOptimizer::Metrics defaults = optimizer.evaluate(d);
        QCOMPARE(mine.count, fitted.predicted);
        QVERIFY(mine.logLoss < defaults.logLoss && mine.rmseBins < defaults.rmseBins);

        // A cancelled fit leaves the defaults.
        std::atomic<bool> cancel(true);
        const FsrsOptimizer::Result stopped = optimizer.fit(&cancel);
        QVERIFY(stopped.cancelled && !stopped.fitted);
    }
};

QTEST_APPLESS_MAIN(TestFsrsOptimizer)
#include "TestFsrsOptimizer.moc"
