// A learner studies an installed subject with the real Speaking program, started by the real
// launcher on an X server and answered by key presses from outside (xdotool): once recording
// from a private sound server's virtual microphone, once with no audio server at all. The
// score lands in the users database and no recording outlives the activity.
#include "support/ModalDriver.h"
#include "support/PrivateSoundServer.h"
#include "support/TestSupport.h"
#include "support/Xdotool.h"

#include "app/MainWindow.h"
#include "app/Startup.h"
#include "app/WindowFlow.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/Sound.h"
#include "platform/Web.h"
#include "review/PhraseResults.h"
#include "state/AppState.h"
#include "study/ActivityPanel.h"
#include "study/HandOverFiles.h"
#include "subjects/SubjectTree.h"
#include "users/LoginWindow.h"
#include "users/ProfileWindow.h"
#include "users/UsersDatabase.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
constexpr int WaitMs = 30000;
const QString LearnerName = QStringLiteral("Anna Rossi");
const QString Subject = QStringLiteral("At The Cafe");
} // namespace

class TestSpeakingEndToEnd : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_main;
    std::unique_ptr<WindowFlow> m_flow;
    QStringList m_boxes;
    QString m_xdotool;

    static void press(Qt::Key key)
    {
        QWidget* w = QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
        QVERIFY2(w, "no window has the keyboard");
        QTest::keyClick(w, key);
    }
    static void tabTo(QWidget* target)
    {
        for (int i = 0; i < 100 && QApplication::focusWidget() != target; ++i)
            press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), target);
    }
    static void arrowTo(QTreeWidget* tree, QTreeWidgetItem* target)
    {
        press(Qt::Key_Home);
        for (int i = 0; i < 500 && tree->currentItem() != target; ++i) {
            QTreeWidgetItem* current = tree->currentItem();
            const bool above = target->parent() == current;
            press(above && !current->isExpanded() ? Qt::Key_Right : Qt::Key_Down);
        }
        QCOMPARE(tree->currentItem(), target);
    }
    void focusLikeADesktop(QWidget* window)
    {
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(xdotool({"windowfocus", "--sync", QString::number(window->winId())}));
        QVERIFY(QTest::qWaitForWindowActive(window));
    }
    bool xdotool(const QStringList& args, bool reportFailure = true)
    {
        return runXdotool(m_xdotool, args, WaitMs, reportFailure);
    }
    QStringList recordings() const
    {
        return QDir(app().handOverFolder).entryList({QStringLiteral("speaking-*")}, QDir::Files);
    }

    void logIn()
    {
        QPointer<LoginWindow> login = m_flow->loginWindow();
        QVERIFY(login && QTest::qWaitForWindowExposed(login));
        const auto stayedOpen = TestSupport::driveModal<ProfileWindow>(
            login,
            [](ProfileWindow* w) {
                QTest::keyClicks(TestSupport::child<QLineEdit>(w, "txtFirst"), QStringLiteral("Anna"));
                QTest::keyClicks(TestSupport::child<QLineEdit>(w, "txtLast"), QStringLiteral("Rossi"));
                QTest::mouseClick(TestSupport::child<QPushButton>(w, "btnEdit_0"), Qt::LeftButton);
            },
            [&] { QTest::mouseClick(TestSupport::child<QPushButton>(login, "btnLogin_1"), Qt::LeftButton); });
        QCOMPARE(stayedOpen, std::optional<bool>(false));
        QVERIFY(login);
        QTest::mouseClick(TestSupport::child<QPushButton>(login, "btnLogin_0"), Qt::LeftButton);
        QTRY_VERIFY(m_main->isVisible());
        QCOMPARE(app().CurrentUser, LearnerName);
        m_boxes.clear(); // the first learner is told that they are the administrator
        focusLikeADesktop(m_main.get());
    }

    // The subject chosen in the tree and Speaking's button pressed, with the keyboard only.
    void startSpeaking(int* phrases)
    {
        SubjectTree* tree = m_main->subjectTree();
        QTreeWidgetItem* subject = nullptr;
        for (int i = 0; i < tree->installedFolder()->childCount(); ++i)
            if (tree->installedFolder()->child(i)->text(0) == Subject)
                subject = tree->installedFolder()->child(i);
        QVERIFY(subject);
        const int speaking = m_main->activityPanel()->activities().indexOf(QStringLiteral("Speaking"));
        QVERIFY2(speaking >= 0, qPrintable(m_main->activityPanel()->activities().join(", ")));
        tabTo(tree);
        if (QTest::currentTestFailed())
            return;
        arrowTo(tree, subject);
        if (QTest::currentTestFailed())
            return;
        tabTo(m_main->activityPanel()->button(speaking));
        if (QTest::currentTestFailed())
            return;
        app().StudyPhraseCount = 0;
        press(Qt::Key_Space);
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
        *phrases = app().StudyPhraseCount;
        QVERIFY2(*phrases >= 3 && *phrases <= 10, qPrintable(QString::number(*phrases)));
    }

    // Keys to the activity's window (found by its title), as a person types them.
    bool keys(const QStringList& names)
    {
        const QString title = QRegularExpression::escape("Speaking - " + Subject) + "$";
        return xdotool(QStringList{"search", "--sync", "--onlyvisible", "--name", title, "windowfocus",
                                   "--sync", "key", "--delay", "50"} +
                       names);
    }
    void endsWithScore(const QString& score)
    {
        const QString title = QRegularExpression::escape("Speaking - " + Subject) + "$";
        QTRY_VERIFY_WITH_TIMEOUT(!xdotool({"search", "--onlyvisible", "--name", title}, false), WaitMs);
        QString error;
        QList<ResultRow> rows;
        QTRY_VERIFY_WITH_TIMEOUT((rows = UsersDatabase::forApp()
                                             .resultsOfSubjectForLearner(Subject, LearnerName, &error)
                                             .value_or(QList<ResultRow>()))
                                         .size() == 1,
                                 WaitMs);
        QCOMPARE(rows.at(0).name, QStringLiteral("Speaking"));
        QCOMPARE(rows.at(0).score, score);
    }
    // The learner's grades, recorded phrase by phrase with the score (the last session's).
    QList<int> gradesRecorded(int phrases)
    {
        QString error;
        QList<int> grades;
        for (const PhraseResultRow& r : PhraseResults::rows(app().usersDatabasePath(), LearnerName, &error)
                                            .value_or(std::vector<PhraseResultRow>()))
            if (r.activity == QLatin1String("Speaking"))
                grades << Grades::stored(r.grade);
        return grades.mid(std::max<qsizetype>(0, grades.size() - phrases));
    }

private slots:
    void initTestCase()
    {
#ifdef PARLANTO_SANITIZE_BUILD
        QSKIP(
            "Not in the sanitizer build: it needs an X server, xdotool and a second program; the window runs "
            "under the sanitizers offscreen in TestSpeaking.");
#endif
        if (TestSupport::ownEdition() != QLatin1String("prlita"))
            QSKIP("Walks through the Italian course for English speakers (\"At The Cafe\"); every edition's "
                  "activities are checked offscreen by TestSpeaking.");
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("Needs an X server (CTest runs it under xvfb-run); the activity must show a real window.");
        m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        QVERIFY2(!m_xdotool.isEmpty(), "xdotool is missing: scripts/setup installs it");
        QStandardPaths::setTestModeEnabled(true);
        Dialogs::setHandlerForTests([this](const Dialogs::Request& r) {
            m_boxes << r.text;
            return QMessageBox::Ok;
        });
        Sound::setPlayerForTests([](const QString&, bool) {});
        Web::setConnectedForTests(false);
    }

    void init()
    {
        resetAppState();
        QFile::remove(RegistryFileFor(app().editionKey()));
        m_boxes.clear();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        const QString program = m_dir->filePath(QStringLiteral("program/"));
        QString error;
        QVERIFY2(copyFolder(QStringLiteral(PARLANTO_PROGRAM_DIR), program, &error), qPrintable(error));
        app().programFolder = program;
        m_main = std::make_unique<MainWindow>();
        m_flow = std::make_unique<WindowFlow>(*m_main);
        QVERIFY2(Startup::start(*m_flow), qPrintable(m_boxes.join(QLatin1Char('\n'))));
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
        logIn();
    }

    void cleanup()
    {
        if (m_main)
            m_main->endProgram();
        m_flow.reset();
        m_main.reset();
        HandOverFiles::removeAll(app());
        MessageWindow::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_dir.reset();
    }

    // No audio server at all (its address leads nowhere): the activity starts, V records
    // nothing, and the learner's own grades are the score (the first phrase Again, the others
    // Good).
    void withoutAudioServer()
    {
        qputenv("PULSE_SERVER", "unix:/nonexistent/parlanto-no-server");
        int phrases = 0;
        startSpeaking(&phrases);
        if (QTest::currentTestFailed())
            return;
        QStringList names{"v", "1"};
        for (int i = 1; i < phrases; ++i)
            names << "3";
        names << "space"; // the focused Close button
        QVERIFY(keys(names));
        endsWithScore(QStringLiteral("%1/%2 (%3%)")
                          .arg(phrases - 1)
                          .arg(phrases)
                          .arg(qRound(100.0 * (phrases - 1) / phrases)));
        QList<int> expected{1};
        for (int i = 1; i < phrases; ++i)
            expected << 3;
        QCOMPARE(gradesRecorded(phrases), expected);
        QCOMPARE(recordings(), QStringList());
    }

    // A private sound server: the learner records the first phrase (V, a phrase said into the
    // microphone, V), the recording lies in the launch's hand-over folder while the activity
    // runs and is gone once it has ended.
    void recordingWithSoundServer()
    {
        PrivateSoundServer server;
        QString why;
        if (!server.start(&why))
            QSKIP(qPrintable("No sound server to record from: " + why));
        int phrases = 0;
        startSpeaking(&phrases);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(keys({"v"}));
        // The file appears at once; it grows once the microphone delivers.
        QTRY_VERIFY_WITH_TIMEOUT(recordings().size() == 1 &&
                                     QFileInfo(app().handOverFolder + recordings().first()).size() > 44,
                                 WaitMs);
        QVERIFY(server.play(QStringLiteral(PARLANTO_SOURCE_DIR "/examples/biglietto.wav")));
        QVERIFY(keys({"v"}));
        const QString file = app().handOverFolder + recordings().value(0);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(file).size() > 16000, WaitMs); // half a second at least
        QStringList names;
        for (int i = 0; i < phrases; ++i)
            names << "4";
        names << "space";
        QVERIFY(keys(names));
        endsWithScore(QStringLiteral("%1/%1 (100%)").arg(phrases));
        QCOMPARE(gradesRecorded(phrases), QList<int>(phrases, 4));
        QCOMPARE(recordings(), QStringList());
    }
};

QTEST_MAIN(TestSpeakingEndToEnd)
#include "TestSpeakingEndToEnd.moc"
