// A learner studies an installed subject with the real Dictation program, from the keyboard
// only, on an X server: the launcher of this build's program folder (copied to a fresh place)
// starts it from the panel, and the phrases are typed into its window from outside
// (xdotool): all right but one with its accents left out and one wrong. The score row is
// then in the users database.
#include "support/ModalDriver.h"
#include "support/TestSupport.h"

#include "ActivityInput.h"
#include "DictationCheck.h"
#include "app/AppState.h"
#include "app/Dialogs.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "content/MessageWindow.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/Sound.h"
#include "platform/Web.h"
#include "study/ActivityPanel.h"
#include "study/HandOverFiles.h"
#include "subjects/SubjectTree.h"
#include "users/LoginWindow.h"
#include "users/ProfileWindow.h"
#include "users/UsersDatabase.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
constexpr int WaitMs = 30000; // anything that involves another process or a disk write
const QString LearnerName = QStringLiteral("Anna Rossi");
const QString Subject = QStringLiteral("At The Cafe");

bool hasAccent(const QString& text)
{
    return DictationCheck::withoutAccents(text) != text.normalized(QString::NormalizationForm_C);
}
} // namespace

class TestDictationEndToEnd : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_main;
    QStringList m_boxes;
    QString m_xdotool;

    static void press(Qt::Key key)
    {
        QWidget* w = QApplication::focusWidget();
        QVERIFY2(w, "no widget has the keyboard");
        QTest::keyClick(w, key);
    }
    static void tabTo(QWidget* target)
    {
        for (int i = 0; i < 100 && QApplication::focusWidget() != target; ++i)
            press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), target);
    }

    bool xdotool(const QStringList& args, bool reportFailure = true)
    {
        QProcess p;
        p.start(m_xdotool, args);
        QDeadlineTimer deadline(WaitMs);
        while (!p.waitForFinished(20) && !deadline.hasExpired())
            QCoreApplication::processEvents(); // the launcher keeps running meanwhile
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished();
            qWarning("xdotool %s: no answer in time", qPrintable(args.join(' ')));
            return false;
        }
        const bool ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!ok && reportFailure)
            qWarning("xdotool %s: %s", qPrintable(args.join(' ')), p.readAllStandardError().constData());
        return ok;
    }

    void focusLikeADesktop(QWidget* window)
    {
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(xdotool({"windowfocus", "--sync", QString::number(window->winId())}));
        QVERIFY(QTest::qWaitForWindowActive(window));
    }

    void logIn()
    {
        QPointer<LoginWindow> login = m_main->loginWindow();
        QVERIFY(login && QTest::qWaitForWindowExposed(login));
        const auto stayedOpen = TestSupport::driveModal<ProfileWindow>(
            login,
            [](ProfileWindow* w) {
                QTest::keyClicks(w->txtFirst(), QStringLiteral("Anna"));
                QTest::keyClicks(w->txtLast(), QStringLiteral("Rossi"));
                QTest::keyClick(w->btnEdit(0), Qt::Key_Space);
            },
            [&] { QTest::keyClick(login->btnLogin(1), Qt::Key_Space); });
        QCOMPARE(stayedOpen, std::optional<bool>(false));
        QVERIFY(login);
        QTest::keyClick(login->btnLogin(0), Qt::Key_Space);
        QTRY_VERIFY(m_main->isVisible());
        QCOMPARE(app().CurrentUser, LearnerName);
        m_boxes.clear(); // the first learner is told that they are the administrator
        focusLikeADesktop(m_main.get());
    }

private slots:
    void initTestCase()
    {
#ifdef PARLANTO_SANITIZE_BUILD
        QSKIP("Not in the sanitizer build: it needs an X server, xdotool and a second program; the "
              "Dictation window runs under the sanitizers offscreen in TestDictation.");
#endif
        if (TestSupport::ownEdition() != QLatin1String("prlita"))
            QSKIP("Walks through the Italian course for English speakers (\"At the Cafe\"); the Dictation "
                  "window of every studied language is checked offscreen by TestDictation.");
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("Needs an X server (CTest runs it under xvfb-run); the activity must show a real window.");
        m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        QVERIFY2(!m_xdotool.isEmpty(), "xdotool is missing: scripts/setup installs it");
        QStandardPaths::setTestModeEnabled(true);
        Dialogs::setHandlerForTests([this](const Dialogs::Request& r) {
            m_boxes << r.text;
            return QMessageBox::Ok;
        });
        MessageWindow::setModalHandlerForTests([this](const QString& text) { m_boxes << text; });
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
        QVERIFY2(Startup::Form_Load(*m_main), qPrintable(m_boxes.join(QLatin1Char('\n'))));
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
        logIn();
    }

    void cleanup()
    {
        if (m_main)
            m_main->endProgram();
        m_main.reset();
        HandOverFiles::removeAll(app());
        MessageWindow::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_dir.reset();
    }

    void studyByKeyboard()
    {
        SubjectTree* tree = m_main->TreeFolders();
        const auto found = tree->findItems(Subject, Qt::MatchExactly | Qt::MatchRecursive);
        QVERIFY(!found.isEmpty());
        ActivityPanel* panel = m_main->activityPanel();
        const int dictation = int(panel->activities().indexOf(QStringLiteral("Dictation")));
        QVERIFY2(dictation >= 0, qPrintable(panel->activities().join(", ")));

        // Down the tree to the subject (Right opens a folder), then Tab to the button.
        tabTo(tree);
        press(Qt::Key_Home);
        for (int i = 0; i < 200 && tree->currentItem() != found.first(); ++i)
            press(tree->currentItem()->childCount() > 0 && !tree->currentItem()->isExpanded() ? Qt::Key_Right
                                                                                              : Qt::Key_Down);
        QCOMPARE(tree->currentItem(), found.first());
        tabTo(panel->button(dictation));
        press(Qt::Key_Space);
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));

        // The phrases in the order asked, from the file the launcher handed over.
        QString error;
        const auto input = ActivityInput::read(app().activityInputFile(), &error);
        QVERIFY2(input, qPrintable(error));
        const int n = int(input->phrases.size());
        QVERIFY(n >= 3);
        int accentless = -1, wrong = -1;
        for (int i = 0; i < n; ++i)
            if (accentless < 0 && hasAccent(input->phrases[size_t(i)].phrase))
                accentless = i;
        QVERIFY2(accentless >= 0, "the subject has a phrase with an accent");
        wrong = accentless == 0 ? 1 : 0;

        const QString title = QRegularExpression::escape("Dictation - " + Subject) + "$";
        // Separate calls: xdotool's "type" takes every word after it as text to type.
        QVERIFY(xdotool({"search", "--sync", "--onlyvisible", "--name", title, "windowfocus", "--sync"}));
        for (int i = 0; i < n; ++i) {
            const QString phrase = input->phrases[size_t(i)].phrase;
            const QString typed = i == wrong        ? QStringLiteral("Niente da fare")
                                  : i == accentless ? DictationCheck::withoutAccents(phrase)
                                                    : phrase;
            QVERIFY(xdotool({"type", "--delay", "20", typed}));
            QVERIFY(xdotool({"key", "--delay", "100", "Return", "Return"})); // check, then the next phrase
        }
        QVERIFY(xdotool({"key", "space"})); // Close, focused at the end
        QTRY_VERIFY_WITH_TIMEOUT(!xdotool({"search", "--onlyvisible", "--name", title}, false), WaitMs);

        const auto rows = UsersDatabase::forApp().resultsOfSubjectForLearner(Subject, LearnerName, &error);
        QVERIFY2(rows, qPrintable(error));
        QCOMPARE(rows->size(), 1);
        QCOMPARE(rows->at(0).name, QStringLiteral("Dictation"));
        // Every phrase right but the wrong one; the one without accents counts as right (Hard).
        QCOMPARE(rows->at(0).score,
                 QStringLiteral("%1/%2 (%3%)").arg(n - 1).arg(n).arg(qRound(100.0 * (n - 1) / n)));
    }
};

QTEST_MAIN(TestDictationEndToEnd)
#include "TestDictationEndToEnd.moc"
