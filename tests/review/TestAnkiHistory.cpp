// The review history an Anki package brings, imported as a learner: a package made from the
// published format alone (make_anki.py, Python's sqlite3 and zipfile), its review log made
// the learner's per-phrase rows, the memory they give, and the same package imported twice
// adding them once; and the memory model fitted to a learner's rows, kept and used.
#include "UsersTemplate.h"
#include "review/FsrsFitter.h"
#include "review/ImportedHistory.h"
#include "review/PhraseResults.h"
#include "review/ReviewSchedule.h"
#include "users/UsersDatabase.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <random>

namespace {

const QString Anna = QStringLiteral("Anna Rossi");

QJsonArray entry(int note, qint64 ms, int ease, int type)
{
    return {note, ms, ease, type};
}

} // namespace

class TestAnkiHistory : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_users;

    bool makeUsers(QString* error)
    {
        const UsersDatabase users(m_dir.filePath(QStringLiteral("Users.dat")),
                                  m_dir.filePath(QStringLiteral("Parlanto.tpl")));
        m_users = users.path();
        return UsersTemplate::write(users.templatePath(), error) && users.createFromTemplate(error);
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(makeUsers(&error), qPrintable(error));
    }

    void packageReviewLog()
    {
        // Day 0 at 10:00 UTC.
        const qint64 day0 = QDateTime(QDate(2026, 11, 2), QTime(10, 0), Qt::UTC).toMSecsSinceEpoch();
        const qint64 day = 86400000, minute = 60000;
        const QJsonArray log = {
            // The dog: two learning steps on day 0, a review on day 2, a lapse on day 7 and its
            // relearning step that day, then a manual reschedule (no answer).
            entry(0, day0, 3, 0), entry(0, day0 + 10 * minute, 3, 0), entry(0, day0 + 2 * day, 3, 1),
            entry(0, day0 + 7 * day, 1, 1), entry(0, day0 + 7 * day + 10 * minute, 3, 2),
            entry(0, day0 + 8 * day, 0, 4),
            // The cat: Easy at first, then a review in a filtered deck.
            entry(1, day0 + 5, 4, 0), entry(1, day0 + 5 * day, 2, 3),
            // A note that makes no phrase (no translation), and a card the package no longer has.
            entry(2, day0 + 7, 3, 0), entry(9, day0 + 9, 3, 1)};
        const QJsonObject recipe{
            {"out", m_dir.filePath(QStringLiteral("Animali.apkg"))},
            {"deck", "Animali"},
            {"fields", QJsonArray{"Italian", "English"}},
            {"notes", QJsonArray{QJsonArray{"il cane", "the dog"}, QJsonArray{"il gatto", "the cat"},
                                 QJsonArray{"il topo", ""}}},
            {"revlog", log}};
        QFile recipeFile(m_dir.filePath(QStringLiteral("recipe.json")));
        QVERIFY(recipeFile.open(QIODevice::WriteOnly) &&
                recipeFile.write(QJsonDocument(recipe).toJson()) > 0);
        recipeFile.close();
        QProcess python;
        python.start(
            QStringLiteral("python3"),
            {QStringLiteral(PARLANTO_SOURCE_DIR "/tests/tools/make_anki.py"), recipeFile.fileName()});
        QVERIFY(python.waitForFinished(120000) && python.exitCode() == 0);

        VocabularyImport::Options o =
            VocabularyImport::optionsFor(QStringLiteral("prlita"), QStringLiteral("ita"),
                                         QStringLiteral("Italian"), QStringLiteral("English"));
        o.outFolder = m_dir.filePath(QStringLiteral("Subjects"));
        o.learner = Anna;
        o.replaceExisting = [](const QStringList&) { return true; };
        QString error;
        const auto result = VocabularyImport::run(recipe["out"].toString(), o, &error);
        QVERIFY2(result, qPrintable(error));
        QCOMPARE(result->reviews.size(), size_t(6));
        QCOMPARE(result->reviewsLeftOut,
                 (std::map<QString, int>{{QStringLiteral("manual reschedules"), 1},
                                         {QStringLiteral("reviews in a filtered (cram) deck"), 1},
                                         {QStringLiteral("reviews of cards no longer in the package"), 1},
                                         {QStringLiteral("reviews of notes not made into phrases"), 1}}));
        QVERIFY(result->summary().contains(
            QStringLiteral("Review log: 6 answers taken along; left out: 1 manual")));
        QCOMPARE(ImportedHistory::keep(m_users, Anna, *result, &error), std::optional<int>(6));

        const auto rows = PhraseResults::rows(m_users, Anna, &error).value();
        QCOMPARE(rows.size(), size_t(6));
        const PhraseIdentity dog{result->subjects.first(), 1}, cat{result->subjects.first(), 2};
        QCOMPARE(std::count_if(rows.begin(), rows.end(), [&](const auto& r) { return r.phrase == dog; }), 5);
        QCOMPARE(rows.front().activity, ImportedHistory::Activity);
        QCOMPARE(rows.front().utcSeconds, day0 / 1000);

        // The memory: the dog's five answers as the scheduler takes them, the learning steps
        // and the relearning step as same-day reviews.
        ReviewSchedule schedule(m_users, Anna);
        QVERIFY2(schedule.refresh(&error), qPrintable(error));
        const FsrsScheduler fsrs;
        MemoryState s = fsrs.first(Grade::Good);
        s = fsrs.next(s, 0, Grade::Good);
        s = fsrs.next(s, 2, Grade::Good);
        s = fsrs.next(s, 5, Grade::Again);
        s = fsrs.next(s, 0, Grade::Good);
        const PhraseMemoryItem* item = schedule.memory().find(dog);
        QVERIFY(item);
        QCOMPARE(item->reviews, 5);
        QCOMPARE(item->lapses, 1);
        QCOMPARE(item->state.stability, s.stability);
        QCOMPARE(item->state.difficulty, s.difficulty);
        QCOMPARE(schedule.memory().find(cat)->state.stability, fsrs.first(Grade::Easy).stability);

        // The same package again: the subjects replaced, no row added twice.
        const auto again = VocabularyImport::run(recipe["out"].toString(), o, &error);
        QVERIFY2(again, qPrintable(error));
        QCOMPARE(ImportedHistory::keep(m_users, Anna, *again, &error), std::optional<int>(0));
        QCOMPARE(PhraseResults::rows(m_users, Anna, &error).value().size(), size_t(6));
    }

    // A learner with a long history: fitted once enough answers are new, the weights kept
    // with what they were fitted on, and every reading of the schedule using them.
    void fittedWeightsKeptAndUsed()
    {
        const QString bruno = QStringLiteral("Bruno Neri");
        QString error;
        std::atomic<bool> cancel(false);
        std::vector<PhraseResultRow> rows;
        std::mt19937 random(3);
        const qint64 start = QDateTime::currentSecsSinceEpoch() - 400 * 86400LL;
        for (int p = 1; p <= 60; ++p) {
            for (int r = 0, day = p % 9; r < 8; ++r, day += 3 + r * r + int(random() % 4))
                rows.push_back({bruno,
                                {QStringLiteral("Saluti.ita"), p},
                                QStringLiteral("Flashcards"),
                                start + day * 86400LL,
                                random() % 5 == 0 ? Grade::Again : Grade::Good});
        }
        // Fewer than 100 answers: not due.
        const std::vector<PhraseResultRow> first(rows.begin(), rows.begin() + 90);
        QCOMPARE(PhraseResults::insertMissing(m_users, first, &error), std::optional<int>(90));
        QCOMPARE(FsrsFitter::runIfDue(m_users, bruno, &cancel, &error), std::optional<bool>(false));
        std::optional<PhraseResults::FittedParameters> kept;
        QVERIFY(PhraseResults::fittedParameters(m_users, bruno, &kept, &error) && !kept);

        QCOMPARE(PhraseResults::insertMissing(m_users, rows, &error),
                 std::optional<int>(int(rows.size()) - 90));
        const auto changed = FsrsFitter::runIfDue(m_users, bruno, &cancel, &error);
        QVERIFY2(changed, qPrintable(error));
        QVERIFY(PhraseResults::fittedParameters(m_users, bruno, &kept, &error) && kept);
        QCOMPARE(kept->reviews, int(rows.size()));
        QVERIFY(kept->defaultLoss > 0);
        QCOMPARE(*changed, kept->weights.has_value());
        QCOMPARE(FsrsFitter::runIfDue(m_users, bruno, &cancel, &error), std::optional<bool>(false)); // done

        // Weights kept (as a fit would keep them) are what the schedule runs on from then on,
        // also for a schedule read before they changed, and the memory is worked out anew.
        FsrsScheduler::Weights w = FsrsScheduler::DefaultWeights;
        w[2] = 6.0;
        w[20] = 0.3;
        ReviewSchedule schedule(m_users, bruno);
        QVERIFY2(schedule.refresh(&error), qPrintable(error));
        QVERIFY(
            PhraseResults::storeFittedParameters(m_users, bruno, {w, int(rows.size()), 0.3, 0.4, 0}, &error));
        QVERIFY2(schedule.refresh(&error), qPrintable(error));
        QCOMPARE(schedule.memory().scheduler().weights(), w);
        const PhraseMemory replayed(PhraseResults::historiesOf(m_users, bruno, &error).value(),
                                    FsrsScheduler(0.9, w));
        QCOMPARE(schedule.memory().items().size(), replayed.items().size());
        for (size_t i = 0; i < replayed.items().size(); ++i)
            QCOMPARE(schedule.memory().items()[i].state.stability, replayed.items()[i].state.stability);
        ReviewSchedule atLogin(m_users, bruno);
        QVERIFY2(atLogin.refresh(&error), qPrintable(error));
        QCOMPARE(atLogin.memory().scheduler().weights(), w);
        // The teacher's view of the model: the reviews, the weights in use, both losses.
        QProcess tool;
        tool.start(QStringLiteral(PARLANTO_TOOLS_DIR "/parlanto-results"),
                   {QStringLiteral("fit"), QStringLiteral("--learner"), bruno, QStringLiteral("--database"),
                    m_users});
        QVERIFY(tool.waitForFinished(120000) && tool.exitCode() == 0);
        const QString printed = QString::fromUtf8(tool.readAllStandardOutput());
        QVERIFY2(printed.startsWith(bruno + QStringLiteral("\n  reviews: %1 (").arg(rows.size())),
                 qPrintable(printed));
        QVERIFY2(printed.contains(QStringLiteral("in use: fitted weights")) &&
                     printed.contains(QStringLiteral(" 6.0000 ")) &&
                     printed.contains(QStringLiteral("default: log loss")),
                 qPrintable(printed));
        // A stored row no program of ours wrote (weights out of bounds): the defaults.
        w[20] = 5;
        QVERIFY(PhraseResults::storeFittedParameters(m_users, bruno, {w, 1, 0, 0, 0}, &error));
        QCOMPARE(PhraseResults::schedulerOf(m_users, bruno, &error)->weights(),
                 FsrsScheduler::DefaultWeights);
    }
};

QTEST_GUILESS_MAIN(TestAnkiHistory)
#include "TestAnkiHistory.moc"
