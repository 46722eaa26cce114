#include "platform/ReaderThreads.h"

#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

class TestReaderThreads : public QObject
{
    Q_OBJECT

private slots:
    void everyJobRunsOnceAndTheThreadsEnd_data()
    {
        QTest::addColumn<int>("jobs");
        QTest::addColumn<int>("threads");
        QTest::newRow("more jobs than threads") << 200 << 3;
        QTest::newRow("one job, the caller's") << 1 << 0;
        QTest::newRow("no jobs") << 0 << 2;
    }
    void everyJobRunsOnceAndTheThreadsEnd()
    {
        QFETCH(int, jobs);
        QFETCH(int, threads);
        std::vector<std::atomic<int>> runs(static_cast<size_t>(jobs));
        std::atomic<int> running = 0;
        {
            ReaderThreads readers;
            readers.start(
                size_t(jobs),
                [&](size_t i) {
                    ++running;
                    ++runs[i];
                    std::this_thread::yield();
                    --running;
                },
                size_t(threads));
            readers.finish();
            QCOMPARE(running.load(), 0); // finish() returns only when every job has ended
        }
        for (int i = 0; i < jobs; ++i)
            QCOMPARE(runs[size_t(i)].load(), 1);
    }
};

QTEST_GUILESS_MAIN(TestReaderThreads)
#include "TestReaderThreads.moc"
