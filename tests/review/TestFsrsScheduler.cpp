// The scheduler against figures worked out by hand from the FSRS-6 formulas with the default
// weights (w20 = 0.1542, so FACTOR = 0.9^(-1/0.1542) - 1 = 0.980346 and
// I(r, S) = S / FACTOR * (r^(-1/0.1542) - 1)).
#include "review/FsrsScheduler.h"

#include <QTest>

class TestFsrsScheduler : public QObject
{
    Q_OBJECT

    static bool near(double a, double b, double tolerance = 1e-4) { return std::abs(a - b) <= tolerance; }

private slots:
    void firstReview()
    {
        const FsrsScheduler fsrs;
        const FsrsScheduler::Weights& w = FsrsScheduler::DefaultWeights;
        // S0(G) = w[G-1]; D0(G) = w4 - e^(w5 (G-1)) + 1, clamped to [1, 10].
        for (int g = 1; g <= 4; ++g)
            QCOMPARE(fsrs.first(Grade(g)).stability, w[size_t(g - 1)]);
        QVERIFY(near(fsrs.first(Grade::Again).difficulty, 6.4133));  // 7.4133 - e^0
        QVERIFY(near(fsrs.first(Grade::Good).difficulty, 2.118104)); // 7.4133 - e^1.6668
        QCOMPARE(fsrs.first(Grade::Easy).difficulty, 1.0);           // 7.4133 - e^2.5002 < 1
        // A first Good of 2.31 days comes back in 2 days, a first Again the next day.
        QCOMPARE(fsrs.intervalDays(fsrs.first(Grade::Good).stability), 2);
        QCOMPARE(fsrs.intervalDays(fsrs.first(Grade::Again).stability), 1);
    }

    void retrievabilityAndIntervals()
    {
        const FsrsScheduler fsrs;
        QVERIFY(near(fsrs.retrievability(10, 10), 0.9, 1e-12));
        QVERIFY(near(fsrs.retrievability(3.5, 3.5), 0.9, 1e-12));
        QCOMPARE(fsrs.retrievability(0, 10), 1.0);
        QVERIFY(near(fsrs.retrievability(20, 10), 0.845885)); // (1 + 2 FACTOR)^-0.1542
        // At S = 10: 10.20049 * (0.8^-6.485084 - 1) = 33.16, (0.9^... - 1) = 10, 0.95: 4.03.
        QCOMPARE(fsrs.intervalDays(10, 0.8), 33);
        QCOMPARE(fsrs.intervalDays(10, 0.9), 10);
        QCOMPARE(fsrs.intervalDays(10, 0.95), 4);
        QCOMPARE(FsrsScheduler(0.8).intervalDays(10), 33);
        QCOMPARE(FsrsScheduler(0.95).intervalDays(10), 4);
        // The setting is kept within 0.70 to 0.97.
        QCOMPARE(FsrsScheduler(0.5).desiredRetention(), 0.70);
        QCOMPARE(FsrsScheduler(0.99).desiredRetention(), 0.97);
    }

    void lapseAndRecall()
    {
        const FsrsScheduler fsrs;
        // S = 10, D = 5, reviewed after 10 days (R = 0.9).
        // Again: w11 D^-w12 ((S+1)^w13 - 1) e^(w14 (1-R)) = 1.4835 * 0.905906 * 0.878374 * 1.179193
        // = 1.391987, below S / e^(w17 w18) = 9.5173. D: 5 + 6.0388 * 5/9 = 8.354889, then
        // 0.001 * D0(4) + 0.999 * 8.354889 = 8.341762 (D0(4) = -4.771631, unclamped).
        const MemoryState lapsed = fsrs.next({10, 5}, 10, Grade::Again);
        QVERIFY(near(lapsed.stability, 1.391987));
        QVERIFY(near(lapsed.difficulty, 8.341762));
        QCOMPARE(fsrs.intervalDays(lapsed.stability), 1);
        // Good: S (1 + e^w8 (11 - D) S^-w9 (e^(w10 (1-R)) - 1)) = 32.026729.
        const MemoryState recalled = fsrs.next({10, 5}, 10, Grade::Good);
        QVERIFY(near(recalled.stability, 32.026729));
        QVERIFY(near(recalled.difficulty, 0.001 * -4.771631 + 0.999 * 5));
        QCOMPARE(fsrs.intervalDays(recalled.stability), 32);
        // Hard and Easy scale the same increase by w15 and w16.
        QVERIFY(near(fsrs.next({10, 5}, 10, Grade::Hard).stability, 10 + 22.026729 * 0.6014));
        QVERIFY(near(fsrs.next({10, 5}, 10, Grade::Easy).stability, 10 + 22.026729 * 1.8729));
    }

    void sameDayReview()
    {
        const FsrsScheduler fsrs;
        const MemoryState good = fsrs.first(Grade::Good); // S = 2.3065, D = 2.118104
        // S e^(w17 (G - 3 + w18)) S^-w19, with S^-w19 = 0.946494.
        // Good: 1.050720 * 0.946494 = 0.994502, raised to 1 (Good never lowers it): 2.3065.
        const MemoryState again = fsrs.next(good, 0, Grade::Good);
        QCOMPARE(again.stability, 2.3065);
        QVERIFY(near(again.difficulty, 0.001 * -4.771631 + 0.999 * 2.118104));
        // Easy: e^(0.5425 * 1.0912) * 0.946494 = 1.710841: 3.946054.
        QVERIFY(near(fsrs.next(good, 0, Grade::Easy).stability, 3.946054));
        // Again: 2.3065 * e^(0.5425 * -1.9088) * 0.946494 = 0.775084; D 2.118104 + 6.0388 *
        // 7.881896/9 = 7.406681, then 0.001 * D0(4) + 0.999 * 7.406681 = 7.394503.
        const MemoryState forgot = fsrs.next(good, 0, Grade::Again);
        QVERIFY(near(forgot.stability, 0.775084));
        QVERIFY(near(forgot.difficulty, 7.394503));
        QCOMPARE(fsrs.next({100, 5}, 0, Grade::Good).stability, 100.0);
        // Hard: 0.611... * 0.946494 = 0.578 would give 1.33; raised to 1 as for Good, a
        // recalled phrase never loses stability on the day: 2.3065.
        QCOMPARE(fsrs.next(good, 0, Grade::Hard).stability, 2.3065);
    }

    // No formula takes stability past 36,500 days (a hundred years), nor the due interval.
    void stabilityBound()
    {
        const FsrsScheduler fsrs;
        // Easy after 30,000 days at S = 30,000: far more than 36,500 unbounded.
        QCOMPARE(fsrs.next({30000, 1}, 30000, Grade::Easy).stability, 36500.0);
        QCOMPARE(fsrs.next({36500, 1}, 0, Grade::Easy).stability, 36500.0);
        QCOMPARE(fsrs.next({1e9, 1}, 10, Grade::Good).stability, 36500.0); // a stored 1e9
        FsrsScheduler::Weights w = FsrsScheduler::DefaultWeights;
        w[3] = 50000;
        QCOMPARE(FsrsScheduler(0.9, w).first(Grade::Easy).stability, 36500.0);
        QCOMPARE(FsrsScheduler(0.7).intervalDays(36500), FsrsScheduler::MaxIntervalDays);
    }
};

QTEST_APPLESS_MAIN(TestFsrsScheduler)
#include "TestFsrsScheduler.moc"
