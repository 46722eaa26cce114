// One phrase studied three ways (its installed subject, a virtual subject, the random phrases)
// with the real Flashcards program, answered by key presses from outside (xdotool) on an X
// server of the test's own: three rows of the same phrase identity, and its next due date
// computed from them. The users database starts as an older program made it (no per-phrase
// table, a score already in it), and a third-party activity made from the contract alone (a
// shell script and the sqlcipher shell) still records its score beside the new table.
#include "UsersTemplate.h"
#include "platform/Database.h"
#include "review/PhraseMemory.h"
#include "review/PhraseResults.h"
#include "state/AppState.h"
#include "study/ActivityInputFile.h"
#include "study/HandOverFiles.h"
#include "study/RandomPhrases.h"
#include "study/StudySet.h"
#include "support/TestSupport.h"
#include "users/UsersDatabase.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {
constexpr int WaitMs = 30000;
const QString LearnerName = QStringLiteral("Anna Rossi");
} // namespace

class TestReviewEndToEnd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_xdotool;
    QString m_subject; // the installed subject's file name

    bool xdotool(const QStringList& args)
    {
        QProcess p;
        p.start(m_xdotool, args);
        return p.waitForFinished(WaitMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    // Hands the state's study set over as the launcher does and runs program on it; with
    // Flashcards, every card is answered "I knew it" and the window closed.
    void study(const QString& program, const QString& title, bool flashcards)
    {
        AppState& s = app();
        QString error;
        QVERIFY2(writeActivityFile(s, title, &error), qPrintable(error));
        QProcess activity;
        activity.setWorkingDirectory(s.handOverFolder);
        activity.start(program, {s.activityInputFileName()});
        QVERIFY(activity.waitForStarted(WaitMs));
        if (flashcards) {
            QStringList keys{"search",
                             "--sync",
                             "--onlyvisible",
                             "--name",
                             QRegularExpression::escape("Flashcards - " + title) + "$",
                             "windowfocus",
                             "--sync",
                             "key",
                             "--delay",
                             "30"};
            for (int i = 0; i < s.StudyPhraseCount; ++i)
                keys << "space"
                     << "k";
            keys << "space"; // Close
            QVERIFY(xdotool(keys));
        }
        QVERIFY(activity.waitForFinished(WaitMs));
        QVERIFY2(activity.exitCode() == 0, activity.readAllStandardError().constData());
    }

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("Needs an X server (CTest runs it under xvfb-run); the activity must show a real window.");
        m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        QVERIFY2(!m_xdotool.isEmpty(), "xdotool is missing: scripts/setup installs it");
        QStandardPaths::setTestModeEnabled(true);
        resetAppState();
        AppState& s = app();
        QVERIFY(TestSupport::useFoldersUnder(s, m_dir.path()));
        QVERIFY(QDir().mkpath(s.installedSubjectsFolder));
        s.CurrentUser = LearnerName;
        m_subject = TestSupport::subjectFile("Caffe");
        QString error;
        QVERIFY2(TestSupport::writeSubject(s.installedSubjectsFolder + m_subject, TestSupport::ownEdition(),
                                           3, &error),
                 qPrintable(error));
        // A users database as older programs made it: the template's tables only, one score.
        QVERIFY2(UsersTemplate::write(s.templateDatabasePath(), &error), qPrintable(error));
        QVERIFY(QFile::copy(s.templateDatabasePath(), s.usersDatabasePath()));
        QVERIFY(appendScore(
            s.usersDatabasePath(),
            ScoreRow{LearnerName, "Listening", "Caffe", QString("1/2 (50%)"), 50.0, "2026-01-05", "09:00:00"},
            &error));
        QVERIFY2(HandOverFiles::prepare(s, &error), qPrintable(error));
    }

    void cleanupTestCase() { HandOverFiles::removeAll(app()); }

    void samePhraseThreeWays()
    {
        AppState& s = app();
        const QString flashcards = QStringLiteral(PARLANTO_PROGRAM_DIR "/Activities/Flashcards");
        const PhraseIdentity phrase{m_subject, 2};

        StudySet::Result r = StudySet::collectInstalledSubject(s, m_subject);
        QVERIFY2(r.count == 3, qPrintable(r.error));
        study(flashcards, "Caffe", true);
        if (QTest::currentTestFailed())
            return;

        r = StudySet::collectPhrases(s, {{m_subject, 2}, {m_subject, 3}});
        QVERIFY2(r.count == 2, qPrintable(r.error));
        study(flashcards, "Beach Phrases", true);
        if (QTest::currentTestFailed())
            return;

        // The random phrases: draws of a file, then of a phrase in it (2, then 1, then 3).
        QList<double> draws{0, 0.4, 0, 0.0, 0, 0.7};
        RandomPhrases::setSourceForTests([&draws] { return draws.isEmpty() ? 0.0 : draws.takeFirst(); });
        const auto drawn =
            RandomPhrases::drawPhrases(s.installedSubjectsFolder, {m_subject}, s.edition.ProgramCode, 3);
        RandomPhrases::setSourceForTests({});
        std::vector<PhraseRef> refs;
        for (const auto& d : drawn.phrases)
            refs.push_back({d.subjectFile, d.phrase.phraseNo});
        r = StudySet::collectPhrases(s, refs);
        QVERIFY2(r.count == 3, qPrintable(r.error));
        study(flashcards, "Random Phrases", true);
        if (QTest::currentTestFailed())
            return;

        QString error;
        const auto histories = PhraseResults::historiesOf(s.usersDatabasePath(), LearnerName, &error);
        QVERIFY2(histories, qPrintable(error));
        const auto it = std::find_if(histories->begin(), histories->end(),
                                     [&](const PhraseHistory& h) { return h.phrase == phrase; });
        QVERIFY(it != histories->end());
        QCOMPARE(it->reviews.size(), size_t(3));
        const auto rows = PhraseResults::rows(s.usersDatabasePath(), LearnerName, &error)
                              .value_or(std::vector<PhraseResultRow>{});
        QCOMPARE(rows.size(), size_t(3 + 2 + 3));
        QCOMPARE(
            std::count_if(rows.begin(), rows.end(), [&](const auto& row) { return row.phrase == phrase; }),
            3);
        QVERIFY(std::all_of(rows.begin(), rows.end(), [](const auto& row) {
            return row.activity == "Flashcards" && row.grade == Grade::Good;
        }));

        // Good three times on one day: S = 2.3065, which FSRS-6's same-day rule keeps (Good
        // raises its factor e^(0.5425 * 0.0912) * 2.3065^-0.0658 = 0.994502 to 1): due in 2 days.
        const PhraseMemory memory(*histories, FsrsScheduler());
        const auto item = std::find_if(memory.items().begin(), memory.items().end(),
                                       [&](const PhraseMemoryItem& i) { return i.phrase == phrase; });
        QVERIFY(std::abs(item->state.stability - 2.3065) < 1e-9);
        QCOMPARE(item->dueDay, PhraseMemory::today() + 2);
        QCOMPARE(memory.dueCount(PhraseMemory::today()), 0);
        // The older file kept its score and gained the activity's three.
        QCOMPARE(UsersDatabase(s.usersDatabasePath(), {}).scoreCount(&error).value_or(-1), 4);
    }

    // An activity written from today's contract alone (input file and tblscores) records
    // its score; it writes no per-phrase rows and needs none.
    void thirdPartyActivity()
    {
        const QString sqlcipher = QStandardPaths::findExecutable(QStringLiteral("sqlcipher"));
        QVERIFY2(!sqlcipher.isEmpty(), "the sqlcipher shell is missing: scripts/setup installs it");
        AppState& s = app();
        const QString script = m_dir.filePath("third_party_activity.sh");
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n"
                "line() { sed -n \"$1p\" \"$2\" | tr -d '\\r'; }\n"
                "learner=$(line 6 \"$1\"); subject=$(line 7 \"$1\"); db=$(line 9 \"$1\")\n"
                "sqlcipher \"$db\" <<EOF >/dev/null\n"
                "PRAGMA key = 'qrv6180';\n"
                "PRAGMA kdf_iter = 64;\n"
                "INSERT INTO tblscores (tName, tActivity, tSubject, textScore, numberScore, nDate, nTime)\n"
                "  VALUES ('$learner', 'Quiz', '$subject', '2/3 (67%)', 67, date('now'), time('now'));\n"
                "EOF\n");
        f.close();
        QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
        QString error;
        const size_t before = PhraseResults::rows(s.usersDatabasePath(), {}, &error)
                                  .value_or(std::vector<PhraseResultRow>{})
                                  .size();
        const StudySet::Result r = StudySet::collectInstalledSubject(s, m_subject);
        QVERIFY2(r.count == 3, qPrintable(r.error));
        study(script, "Caffe", false);
        const auto quiz =
            UsersDatabase(s.usersDatabasePath(), {}).resultsOfSubjectForLearner("Caffe", LearnerName, &error);
        QVERIFY2(quiz, qPrintable(error));
        QVERIFY(std::any_of(quiz->begin(), quiz->end(), [](const ResultRow& row) {
            return row.name == "Quiz" && row.score == "2/3 (67%)";
        }));
        QCOMPARE(PhraseResults::rows(s.usersDatabasePath(), {}, &error)
                     .value_or(std::vector<PhraseResultRow>{})
                     .size(),
                 before);
    }
};

QTEST_MAIN(TestReviewEndToEnd)
#include "TestReviewEndToEnd.moc"
