// The scheduler against figures worked out by hand from the FSRS-6 formulas with the default
// weights (w20 = 0.2, so FACTOR = 0.9^-5 - 1 = 0.6935088 and I(r, S) = S / FACTOR * (r^-5 - 1)).
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
            QCOMPARE(fsrs.first(g).stability, w[size_t(g - 1)]);
        QVERIFY(near(fsrs.first(FsrsScheduler::Again).difficulty, 7.0114));  // 8.0114 - 1
        QVERIFY(near(fsrs.first(FsrsScheduler::Good).difficulty, 4.884632)); // 8.0114 - e^1.14
        QVERIFY(near(fsrs.first(FsrsScheduler::Easy).difficulty, 2.482439)); // 8.0114 - e^1.71
        // A first Good of 3.26 days comes back in 3 days, a first Again the next day.
        QCOMPARE(fsrs.intervalDays(fsrs.first(FsrsScheduler::Good).stability), 3);
        QCOMPARE(fsrs.intervalDays(fsrs.first(FsrsScheduler::Again).stability), 1);
    }

    void retrievabilityAndIntervals()
    {
        const FsrsScheduler fsrs;
        QVERIFY(near(fsrs.retrievability(10, 10), 0.9, 1e-12));
        QVERIFY(near(fsrs.retrievability(3.5, 3.5), 0.9, 1e-12));
        QCOMPARE(fsrs.retrievability(0, 10), 1.0);
        QVERIFY(near(fsrs.retrievability(20, 10), 0.840289)); // (1 + 2 FACTOR)^-0.2
        // At S = 10: 14.41942 * (0.8^-5 - 1) = 29.59, (0.9^-5 - 1) = 10, (0.95^-5 - 1) = 4.22.
        QCOMPARE(fsrs.intervalDays(10, 0.8), 30);
        QCOMPARE(fsrs.intervalDays(10, 0.9), 10);
        QCOMPARE(fsrs.intervalDays(10, 0.95), 4);
        QCOMPARE(FsrsScheduler(0.8).intervalDays(10), 30);
        QCOMPARE(FsrsScheduler(0.95).intervalDays(10), 4);
        // The setting is kept within 0.70 to 0.97.
        QCOMPARE(FsrsScheduler(0.5).desiredRetention(), 0.70);
        QCOMPARE(FsrsScheduler(0.99).desiredRetention(), 0.97);
    }

    void lapseAndRecall()
    {
        const FsrsScheduler fsrs;
        // S = 10, D = 5, reviewed after 10 days (R = 0.9).
        // Again: w11 D^-w12 ((S+1)^w13 - 1) e^(w14 (1-R)) = 1.849 * 0.833314 * 1.116624 * 1.257755
        // = 2.163970, below S / e^(w17 w18) = 7.7794. D: 5 + 4.1932 * 5/9 = 7.329556, then
        // 0.0069 * D0(4) + 0.9931 * 7.329556 = 7.296110.
        const MemoryState lapsed = fsrs.next({10, 5}, 10, FsrsScheduler::Again);
        QVERIFY(near(lapsed.stability, 2.163970));
        QVERIFY(near(lapsed.difficulty, 7.296110));
        QCOMPARE(fsrs.intervalDays(lapsed.stability), 2);
        // Good: S (1 + e^w8 (11 - D) S^-w9 (e^(w10 (1-R)) - 1)) = 32.849631.
        const MemoryState recalled = fsrs.next({10, 5}, 10, FsrsScheduler::Good);
        QVERIFY(near(recalled.stability, 32.849631));
        QVERIFY(near(recalled.difficulty, 0.0069 * 2.482439 + 0.9931 * 5));
        QCOMPARE(fsrs.intervalDays(recalled.stability), 33);
        // Hard and Easy scale the same increase by w15 and w16.
        QVERIFY(near(fsrs.next({10, 5}, 10, FsrsScheduler::Hard).stability, 10 + 22.849631 * 0.2191));
        QVERIFY(near(fsrs.next({10, 5}, 10, FsrsScheduler::Easy).stability, 10 + 22.849631 * 3.0004));
    }

    void sameDayReview()
    {
        const FsrsScheduler fsrs;
        const MemoryState good = fsrs.first(FsrsScheduler::Good); // S = 3.2602, D = 4.884632
        // S e^(w17 (G - 3 + w18)) S^-w19: Good 3.2602 * 1.285443 * 0.843814 = 3.536244.
        const MemoryState again = fsrs.next(good, 0, FsrsScheduler::Good);
        QVERIFY(near(again.stability, 3.536244));
        QVERIFY(near(again.difficulty, 4.868057));
        // Again the same day: 3.2602 * e^(0.7536 * -1.6668) * 0.843814 = 0.783382.
        const MemoryState forgot = fsrs.next(good, 0, FsrsScheduler::Again);
        QVERIFY(near(forgot.stability, 0.783382));
        QVERIFY(near(forgot.difficulty, 7.234919));
        // Good never lowers the stability of a well-known phrase on the same day.
        QCOMPARE(fsrs.next({100, 5}, 0, FsrsScheduler::Good).stability, 100.0);
    }
};

QTEST_APPLESS_MAIN(TestFsrsScheduler)
#include "TestFsrsScheduler.moc"
