// A learner's whole way on an X server, with the real program folder of this build copied
// to a fresh place: the first learner made and logged in, "Create my own subjects" pressed,
// a folder made, a subject copied into it, a virtual subject of phrases of three other
// subjects made and renamed, the editor closed, both found in the main tree and studied with
// the real Flashcards program, whose window is answered by key presses from outside
// (xdotool). Once by mouse, once by keyboard only from the first start, where the results
// follow, and then a second learner, not the administrator, hears a phrase on a private
// sound server. Then, by keyboard, an installed subject studied with the real Dictation program.
// Last, a vocabulary file dropped on the main window: its columns chosen in the import window
// by keyboard, the subjects made, selected in the tree and studied with Flashcards; a long
// import cancelled half-way leaves nothing behind.
#include "support/ModalDriver.h"
#include "support/PrivateSoundServer.h"
#include "support/TestSupport.h"
#include "support/Xdotool.h"

#include "ActivityInput.h"
#include "DictationCheck.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "app/WindowFlow.h"
#include "editor/EditorTree.h"
#include "editor/VirtualSubjectEditor.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/Sound.h"
#include "platform/Web.h"
#include "review/PhraseResults.h"
#include "state/AppState.h"
#include "state/CaptionId.h"
#include "study/ActivityPanel.h"
#include "study/HandOverFiles.h"
#include "import/ImportWindow.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectTree.h"
#include "users/AdminWindow.h"
#include "users/LoginWindow.h"
#include "users/ProfileWindow.h"
#include "users/ResultsHistory.h"
#include "users/UsersDatabase.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

constexpr int WaitMs = 30000; // for anything that involves another process or a disk write
const QString LearnerName = QStringLiteral("Anna Rossi");
const QString SecondLearner = QStringLiteral("Marco Bianchi");
const QString Folder = QStringLiteral("Holidays");

} // namespace

// A helper's failed check ends the test function, not only the helper.
#define STEP(call)                                                                                           \
    do {                                                                                                     \
        call;                                                                                                \
        if (QTest::currentTestFailed())                                                                      \
            return;                                                                                          \
    } while (false)

class TestVirtualSubjectsEndToEnd : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_main;
    std::unique_ptr<WindowFlow> m_flow;
    QPointer<VirtualSubjectEditor> m_editor;
    QStringList m_boxes; // every message box the program showed: none is expected
    QString m_xdotool;
    PrivateSoundServer m_sound;
    QString m_noSound; // why there is no sound server, if there is none

    QString caption(int n) const { return app().captions(n); }
    QString caption(Caption n) const { return app().captions(n); }
    EditorTree* left() const { return TestSupport::child<EditorTree>(m_editor, "TreeSubjects"); }
    EditorTree* right() const { return TestSupport::child<EditorTree>(m_editor, "TreeVirtual"); }
    QString folderFile() const
    {
        return app().virtualSubjectsFolder + Folder + ".v" + app().edition.LanguageCode;
    }

    // ---- the keyboard: every key goes to the widget that has the focus, as a person's does

    static QWidget* focused()
    {
        QWidget* w = QApplication::focusWidget();
        return w ? w : QApplication::activeWindow();
    }
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* w = focused();
        QVERIFY2(w, "no window has the keyboard");
        QTest::keyClick(w, key, modifiers);
    }
    // Types a label over the default text and ends the edit with Enter.
    void type(const QString& text)
    {
        press(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(focused(), text);
        QTreeWidgetItem* node = right()->currentItem();
        endEdit();
        QTRY_COMPARE(node->text(0), text); // kept once the editor window has taken it
    }
    // Enter ends a label edit; the line closes once the events have run.
    void endEdit()
    {
        press(Qt::Key_Return);
        QTRY_VERIFY(!right()->isEditingLabel());
    }
    // Tab (or Shift+Tab) until target has the focus.
    static void tabTo(QWidget* target, bool backwards = false)
    {
        for (int i = 0; i < 100 && QApplication::focusWidget() != target; ++i)
            press(backwards ? Qt::Key_Backtab : Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(QApplication::focusWidget(), target);
    }
    // From the top of a focused tree, down and into folders (Right) until target is current.
    static void arrowTo(QTreeWidget* tree, QTreeWidgetItem* target)
    {
        QCOMPARE(QApplication::focusWidget(), tree);
        press(Qt::Key_Home);
        for (int i = 0; i < 500 && tree->currentItem() != target; ++i) {
            QTreeWidgetItem* current = tree->currentItem();
            bool above = false;
            for (QTreeWidgetItem* p = target->parent(); p; p = p->parent())
                above = above || p == current;
            press(above && !current->isExpanded() ? Qt::Key_Right : Qt::Key_Down);
        }
        QCOMPARE(tree->currentItem(), target);
    }

    // The X server runs no window manager: give a newly shown window the keyboard as a
    // desktop does (also after another program's window had it).
    void focusLikeADesktop(QWidget* window)
    {
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(xdotool({"windowfocus", "--sync", QString::number(window->winId())}));
        QVERIFY(QTest::qWaitForWindowActive(window));
    }

    // ---- the mouse

    static void click(QTreeWidget* tree, QTreeWidgetItem* node)
    {
        tree->scrollToItem(node);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
        QCOMPARE(tree->currentItem(), node);
    }
    // A drag from the left tree's node onto the right tree's node: the press on the source,
    // then drag-enter, drag-move and drop events on the target as the drag delivers them.
    void drag(QTreeWidgetItem* source, QTreeWidgetItem* target)
    {
        left()->scrollToItem(source);
        const QPoint from = left()->visualItemRect(source).center();
        QTest::mousePress(left()->viewport(), Qt::LeftButton, {}, from);
        QCOMPARE(left()->currentItem(), source);
        std::unique_ptr<QMimeData> data(left()->model()->mimeData({left()->index(source)}));
        QVERIFY(data);
        right()->scrollToItem(target);
        const QPoint to = right()->visualItemRect(target).center();
        QWidget* viewport = right()->viewport();
        QDragEnterEvent enter(to, Qt::CopyAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent move(to, Qt::CopyAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &move);
        QVERIFY(move.isAccepted());
        QDropEvent drop(to, Qt::CopyAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &drop);
        QTest::mouseRelease(left()->viewport(), Qt::LeftButton, {}, from);
    }

    // ---- finding things

    static QTreeWidgetItem* child(QTreeWidgetItem* parent, const QString& text)
    {
        for (int i = 0; parent && i < parent->childCount(); ++i)
            if (parent->child(i)->text(0) == text)
                return parent->child(i);
        return nullptr;
    }
    static QTreeWidgetItem* topLevel(QTreeWidget* tree, const QString& text)
    {
        const auto found = tree->findItems(text, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }
    // The installed subject of that file in the editor's left tree.
    QTreeWidgetItem* installed(const QString& file) const
    {
        const int i = m_editor->installedFiles().indexOf(file + "." + app().edition.LanguageCode);
        return i < 0 ? nullptr : left()->topLevelItem(0)->child(i);
    }
    // Opens the subject (its phrases load then) and takes its first phrase.
    void firstPhrase(QTreeWidgetItem* subject, bool keyboard, QTreeWidgetItem** phrase)
    {
        if (keyboard) {
            arrowTo(left(), subject);
            press(Qt::Key_Right);
        } else {
            click(left(), subject);
        }
        QTRY_VERIFY(subject->childCount() > 0 && EditorTree::isPhrase(subject->child(0)));
        *phrase = subject->child(0);
    }
    QWidget* topLevelWidget(const char* objectName) const
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String(objectName) && w->isVisible())
                return w;
        return nullptr;
    }
    QList<VirtualSubject> writtenSubjects() const
    {
        QString error;
        const auto s = VirtualSubjectFile::subjects(folderFile(), &error);
        return s ? QList<VirtualSubject>(s->begin(), s->end()) : QList<VirtualSubject>();
    }
    QStringList writtenPhrases(qint64 parent) const
    {
        QString error;
        QStringList refs;
        if (const auto rows = VirtualSubjectFile::phrases(folderFile(), parent, &error))
            for (const VirtualPhrase& p : *rows)
                refs << QStringLiteral("%1#%2").arg(p.tfilename).arg(p.phraseNo);
        return refs;
    }

    // ---- the steps

    void logInByMouse()
    {
        QPointer<LoginWindow> login = m_flow->loginWindow();
        QVERIFY(login && QTest::qWaitForWindowExposed(login));
        QCOMPARE(login->entryCount(), 0); // a fresh data folder: nobody yet
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
        QCOMPARE(login->entryCount(), 1);
        QTest::mouseClick(TestSupport::child<QPushButton>(login, "btnLogin_0"), Qt::LeftButton);
        QTRY_VERIFY(m_main->isVisible());
        QCOMPARE(app().CurrentUser, LearnerName);
        m_boxes.clear(); // the first learner is told that they are the administrator
        focusLikeADesktop(m_main.get());
    }

    // The first start with the keys alone: New learner, the names typed, Enter; the notice
    // that the first learner is the administrator answered with Enter; the login window has
    // the keyboard again with the new learner chosen, and Enter logs in.
    void firstStartByKeyboard()
    {
        QPointer<LoginWindow> login = m_flow->loginWindow();
        QVERIFY(login);
        STEP(focusLikeADesktop(login));
        QCOMPARE(login->entryCount(), 0);
        QString notice;
        STEP(newLearnerByKeyboard(login, QStringLiteral("Anna"), QStringLiteral("Rossi"), &notice));
        QCOMPARE(notice, app().captions(Caption::FirstLearnerIsAdministrator));
        STEP(logInByKeyboard(login, LearnerName));
        QVERIFY(m_main->isAdministrator());
    }

    // Tab to New learner and Space; in its window the names and Enter. The first learner's
    // notice is shown for real and answered with Enter; its text lands in notice. Each Enter
    // that closes a window goes through the X server (xdotool), as a person's does: the login
    // window takes the keyboard back with that key's time, and the X server refuses a focus
    // older than the one xdotool gave the window before.
    void installBoxHandler()
    {
        Dialogs::setHandlerForTests([this](const Dialogs::Request& r) {
            m_boxes << r.text;
            return QMessageBox::Ok;
        });
    }

    void newLearnerByKeyboard(LoginWindow* login, const QString& first, const QString& last, QString* notice)
    {
        STEP(tabTo(TestSupport::child<QPushButton>(login, "btnLogin_1")));
        Dialogs::setHandlerForTests({}); // the notice is shown for real
        QPointer<QWidget> handled; // the window last answered
        int waited = 0;
        QTimer keys; // looks for each window as it comes up, in that window's own loop
        keys.setInterval(50);
        connect(&keys, &QTimer::timeout, login, [&] {
            auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!modal || !modal->isVisible())
                return;
            if (modal == handled) {
                if (++waited * 50 > WaitMs) { // Enter did not close it
                    QTest::qFail(qPrintable(modal->objectName() + " stayed open"), __FILE__, __LINE__);
                    modal->reject();
                }
                return;
            }
            handled = modal;
            waited = 0;
            [&] {
                STEP(focusLikeADesktop(modal));
                if (auto* w = qobject_cast<ProfileWindow*>(modal)) {
                    QCOMPARE(focused(), static_cast<QWidget*>(TestSupport::child<QLineEdit>(w, "txtFirst")));
                    QTest::keyClicks(focused(), first);
                    STEP(tabTo(TestSupport::child<QLineEdit>(w, "txtLast")));
                    QTest::keyClicks(focused(), last);
                } else if (auto* m = qobject_cast<MessageWindow*>(modal)) {
                    *notice = m->lblMsg()->text();
                    QCOMPARE(focused(), static_cast<QWidget*>(m->btnOK()));
                }
                QVERIFY(
                    QProcess::startDetached(m_xdotool, {QStringLiteral("key"), QStringLiteral("Return")}));
            }();
            if (QTest::currentTestFailed())
                modal->reject();
        });
        keys.start();
        press(Qt::Key_Space); // returns once New learner has closed
        keys.stop();
        installBoxHandler();
        QVERIFY2(!QApplication::activeModalWidget(), "a window of New learner is still open");
    }

    // Back from the profile window the login window has the keyboard, on the list, without
    // the desktop's help; Enter there logs the chosen learner in.
    void logInByKeyboard(LoginWindow* login, const QString& learner)
    {
        QVERIFY(login);
        QTRY_VERIFY(login->isActiveWindow());
        QTRY_COMPARE(focused(), static_cast<QWidget*>(TestSupport::child<QListWidget>(login, "lvwLearners")));
        const auto chosen = login->selectedLearner();
        QVERIFY(chosen);
        QCOMPARE(chosen->tFirstname + ' ' + chosen->tLastname, learner);
        press(Qt::Key_Return);
        QTRY_VERIFY(m_main->isVisible());
        QCOMPARE(app().CurrentUser, learner);
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
        STEP(focusLikeADesktop(m_main.get()));
    }

    // "Change user", a new learner (no notice now) and Enter: a learner who is not the
    // administrator. Right opens a subject, Down goes to its first phrase and Enter plays it:
    // a stream reaches the sound server.
    void phraseHeardByAnotherLearner()
    {
        auto* change = m_main->findChild<QPushButton*>(QStringLiteral("btnChangeUser"));
        QVERIFY(change);
        STEP(focusLikeADesktop(m_main.get())); // back from the results window
        STEP(tabTo(change));
        STEP(press(Qt::Key_Space));
        QPointer<LoginWindow> login = m_flow->loginWindow();
        QVERIFY(login);
        STEP(focusLikeADesktop(login));
        QString notice;
        STEP(newLearnerByKeyboard(login, QStringLiteral("Marco"), QStringLiteral("Bianchi"), &notice));
        QVERIFY2(notice.isEmpty(), qPrintable(notice));
        STEP(logInByKeyboard(login, SecondLearner));
        QVERIFY(!m_main->isAdministrator());

        SubjectTree* tree = m_main->subjectTree();
        QTreeWidgetItem* cafe = child(tree->installedFolder(), QStringLiteral("At The Cafe"));
        QVERIFY(cafe);
        STEP(tabTo(tree));
        STEP(arrowTo(tree, cafe));
        STEP(press(Qt::Key_Right));
        QVERIFY(cafe->isExpanded() && cafe->childCount() > 0);
        STEP(press(Qt::Key_Down));
        QVERIFY(SubjectTree::isPhrase(tree->currentItem()) && tree->currentItem()->parent() == cafe);
        if (!m_noSound.isEmpty())
            QSKIP(qPrintable("Everything before the phrase is heard was checked; hearing it needs a sound "
                             "server: " +
                             m_noSound));
        Sound::setPlayerForTests({}); // the real sound, on the private server
        const int before = m_sound.playbacks();
        STEP(press(Qt::Key_Return));
        QTRY_VERIFY_WITH_TIMEOUT(m_sound.playbacks() > before, WaitMs);
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n'))); // no "no sound device"
    }

    void openEditor(bool keyboard)
    {
        auto* create = m_main->findChild<QPushButton*>(QStringLiteral("btnCreateVirtualSubjects"));
        QVERIFY(create && create->isEnabled());
        QCOMPARE(create->text(), QStringLiteral("Create my own subjects"));
        if (keyboard) {
            tabTo(create);
            press(Qt::Key_Space);
        } else {
            QTest::mouseClick(create, Qt::LeftButton);
        }
        QTRY_VERIFY_WITH_TIMEOUT(
            (m_editor = qobject_cast<VirtualSubjectEditor*>(topLevelWidget("frmCustomSubject"))), WaitMs);
        QVERIFY(!m_main->isVisible());
        focusLikeADesktop(m_editor);
    }

    // Closing the editor rebuilds the main tree and shows the main window again.
    void closeEditor(bool keyboard)
    {
        auto* done = m_editor->findChild<QPushButton*>(QStringLiteral("btnDone"));
        if (keyboard) {
            tabTo(done);
            press(Qt::Key_Space);
        } else {
            QTest::mouseClick(done, Qt::LeftButton);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!m_editor, WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(m_main->isVisible(), WaitMs);
        focusLikeADesktop(m_main.get());
    }

    // What the editor wrote: the copied subject with all its phrases, the new one with the
    // three phrases, under its new name.
    void checkWritten(const QString& renamed, const QStringList& phrases)
    {
        const QList<VirtualSubject> subjects = writtenSubjects();
        QCOMPARE(subjects.size(), 2);
        QCOMPARE(subjects[0].name, QStringLiteral("At The Cafe"));
        QString error;
        const auto cafe =
            InstalledSubject::phrases(app().installedSubjectsFolder + "At_the_Cafe.ita", false, &error);
        QVERIFY2(cafe, qPrintable(error));
        QCOMPARE(writtenPhrases(subjects[0].nParent).size(), qsizetype(cafe->size()));
        QCOMPARE(subjects[1].name, renamed);
        QCOMPARE(writtenPhrases(subjects[1].nParent), phrases);
    }

    // The main tree shows the folder with both virtual subjects; each is studied with the
    // real Flashcards program and its score lands in the users database.
    void studyBoth(const QString& renamed, bool keyboard)
    {
        SubjectTree* tree = m_main->subjectTree();
        QTreeWidgetItem* folder = topLevel(tree, Folder);
        QVERIFY(folder);
        QStringList shown;
        for (int i = 0; i < folder->childCount(); ++i)
            shown << folder->child(i)->text(0);
        QCOMPARE(shown, QStringList({"At The Cafe", renamed}));

        const int flashcards = m_main->activityPanel()->activities().indexOf(QStringLiteral("Flashcards"));
        QVERIFY2(flashcards >= 0, qPrintable(m_main->activityPanel()->activities().join(", ")));
        ActivityButton* button = m_main->activityPanel()->button(flashcards);
        for (const QString& name : shown) {
            QTreeWidgetItem* subject = child(topLevel(tree, Folder), name);
            QVERIFY(subject);
            app().StudyPhraseCount = 0; // set again by a launch
            if (keyboard) {
                tabTo(tree);
                arrowTo(tree, subject);
                tabTo(button);
                press(Qt::Key_Space);
            } else {
                click(tree, subject);
                QTest::mouseClick(button, Qt::LeftButton);
            }
            if (QTest::currentTestFailed())
                return;
            QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
            answerFlashcards(name, app().StudyPhraseCount);
            if (QTest::currentTestFailed())
                return;
        }
    }

    // The administrator's results: Enter on the focused button, the window on its first view,
    // the arrows down to the learner's Flashcards showing its results, Escape to close.
    void resultsByArrows()
    {
        focusLikeADesktop(m_main.get());
        tabTo(TestSupport::child<QPushButton>(m_main.get(), "btnAdmin"));
        int listed = -1;
        const auto stayedOpen = TestSupport::driveModal<AdminWindow>(
            m_main.get(),
            [&](AdminWindow* w) {
                focusLikeADesktop(w);
                QCOMPARE(w->shownView(), AdminWindow::LearnerView);
                QTreeWidget* tree = TestSupport::child<QTreeWidget>(w, "tvwResults");
                tabTo(tree);
                QTreeWidgetItem* learner = tree->findItems(LearnerName, Qt::MatchExactly).value(0);
                QVERIFY(learner);
                QTreeWidgetItem* cards = nullptr;
                for (int i = 0; i < learner->childCount(); ++i)
                    if (learner->child(i)->text(0) == QLatin1String("Flashcards"))
                        cards = learner->child(i);
                QVERIFY(cards);
                arrowTo(tree, cards);
                listed = TestSupport::child<QTreeWidget>(w, "lvwResults")->topLevelItemCount();
                press(Qt::Key_Escape);
            },
            [&] { press(Qt::Key_Return); });
        QCOMPARE(stayedOpen, std::optional<bool>(false));
        QCOMPARE(listed, 2); // both subjects studied, one row each
    }

    // Finds the activity's window on the display, says "known" to every card (but "not
    // known" to the first `missed`) with key presses sent to that window, closes it with its
    // focused Close button, and finds the score row.
    void answerFlashcards(const QString& subject, int cards, int missed = 0)
    {
        QVERIFY2(cards >= 1 && cards <= 10, qPrintable(QString::number(cards)));
        const QString title = QRegularExpression::escape("Flashcards - " + subject) + "$";
        QStringList args{"search",      "--sync", "--onlyvisible", "--name",  title,
                         "windowfocus", "--sync", "key",           "--delay", "30"};
        for (int i = 0; i < cards; ++i) // show the translation, "I knew it" or "I did not know it"
            args << QStringLiteral("space") << (i < missed ? QStringLiteral("n") : QStringLiteral("k"));
        args << QStringLiteral("space"); // then Close
        QVERIFY(xdotool(args));
        // Gone from the display: search finds nothing (exit code 1).
        QTRY_VERIFY_WITH_TIMEOUT(!xdotool({"search", "--onlyvisible", "--name", title}, false), WaitMs);
        focusLikeADesktop(m_main.get()); // back to the launcher, as the desktop does
        QString error;
        const auto rows = UsersDatabase::forApp().resultsOfSubjectForLearner(subject, LearnerName, &error);
        QVERIFY2(rows, qPrintable(error));
        QVERIFY(!rows->isEmpty());
        QCOMPARE(rows->last().name, QStringLiteral("Flashcards"));
        QCOMPARE(rows->last().score, QStringLiteral("%1/%2 (%3%)")
                                         .arg(cards - missed)
                                         .arg(cards)
                                         .arg(qRound(100.0 * (cards - missed) / cards)));
    }

    // Drops the file on the main window as a file manager's drag does; the import window
    // opens in the drop's wake and action runs on it once it is up, in its own loop.
    void dropAndImport(const QString& file, const std::function<void(ImportWindow*)>& action)
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        const QPoint at = m_main->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(m_main.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(m_main.get(), &drop);
        bool acted = false;
        QTimer look;
        look.setInterval(50);
        connect(&look, &QTimer::timeout, m_main.get(), [&] {
            auto* w = qobject_cast<ImportWindow*>(QApplication::activeModalWidget());
            if (acted || !w || !w->isVisible())
                return;
            acted = true;
            [&] {
                STEP(focusLikeADesktop(w));
                action(w);
            }();
            if (w->isVisible()) // Escape closes it as Close does
                QTest::keyClick(w, Qt::Key_Escape);
        });
        look.start();
        QTRY_VERIFY_WITH_TIMEOUT(acted && !QApplication::activeModalWidget(), 300000);
    }
    static bool importOver(ImportWindow* w)
    {
        return w->findChild<QPushButton*>(QStringLiteral("cancelButton"))->text() ==
               app().captions(Caption::ImportClose);
    }
    // In the window just read: the phrase is the first column, the translation the second,
    // chosen with the arrow keys, and Enter imports.
    static void chooseColumnsAndImport(ImportWindow* w)
    {
        auto* phrase = w->findChild<QComboBox*>(QStringLiteral("phraseColumn"));
        QTRY_COMPARE_WITH_TIMEOUT(phrase->count(), 3, WaitMs);
        QTRY_COMPARE(focused(), static_cast<QWidget*>(phrase));
        STEP(press(Qt::Key_Down));
        STEP(press(Qt::Key_Tab));
        STEP(press(Qt::Key_Down));
        STEP(press(Qt::Key_Down));
        QVERIFY(w->findChild<QPushButton*>(QStringLiteral("importButton"))->isEnabled());
        STEP(press(Qt::Key_Return));
    }

    bool xdotool(const QStringList& args, bool reportFailure = true)
    {
        return runXdotool(m_xdotool, args, WaitMs, reportFailure);
    }

private slots:
    void initTestCase()
    {
#ifdef PARLANTO_SANITIZE_BUILD
        QSKIP("Not in the sanitizer build: it needs an X server, xdotool and a second program, and what it "
              "drives runs under the sanitizers offscreen in TestVirtualSubjectEditor, TestLoginWindow, "
              "TestActivityPanel and TestActivityWindows.");
#endif
        if (TestSupport::ownEdition() != QLatin1String("prlita"))
            QSKIP(
                "Walks through the Italian course for English speakers (\"At the Cafe\", \"Flashcards - \"); "
                "every edition's own course and activities are checked by TestShippedCourseTree and "
                "TestActivityWindows.");
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("Needs an X server (CTest runs it under xvfb-run); the activity must show a real window.");
        m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        QVERIFY2(!m_xdotool.isEmpty(), "xdotool is missing: scripts/setup installs it");
        QStandardPaths::setTestModeEnabled(true);
        installBoxHandler();
        Sound::setPlayerForTests([](const QString&, bool) {});
        Web::setConnectedForTests(false);
        // Before anything opens an audio device: this process and its children play there.
        if (!m_sound.start(&m_noSound))
            qInfo("No sound server: %s", qPrintable(m_noSound));
        else if (!m_sound.watchPlayback())
            m_noSound = QStringLiteral("pactl subscribe gave no events");
    }

    // A fresh copy of this build's program folder (template, course subjects, activities)
    // and nothing else: the program makes its users database and data there, as on a fresh
    // clone.
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
        QVERIFY(!QFileInfo::exists(program + "Users.dat"));
        app().programFolder = program;
        m_main = std::make_unique<MainWindow>();
        m_flow = std::make_unique<WindowFlow>(*m_main);
        QVERIFY(Startup::start(*m_flow));
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
        QCOMPARE(app().dataFolder, program);
    }

    void cleanup()
    {
        Sound::setPlayerForTests([](const QString&, bool) {});
        if (m_editor)
            m_editor->close();
        if (m_main)
            m_main->endProgram();
        m_flow.reset();
        m_main.reset();
        HandOverFiles::removeAll(app());
        MessageWindow::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_dir.reset();
    }

    void byMouse()
    {
        STEP(logInByMouse());
        STEP(openEditor(false));
        QTest::mouseClick(m_editor->findChild<QPushButton*>(QStringLiteral("btnNewFolder")), Qt::LeftButton);
        QTRY_VERIFY(right()->isEditingLabel());
        STEP(type(Folder));
        QTRY_VERIFY(QFileInfo::exists(folderFile()));
        QTreeWidgetItem* folder = topLevel(right(), Folder);
        QVERIFY(folder);

        STEP(drag(installed("At_the_Cafe"), folder));
        QCOMPARE(writtenSubjects().size(), 1);

        STEP(click(right(), folder));
        QTest::mouseClick(m_editor->findChild<QPushButton*>(QStringLiteral("btnNewSubject")), Qt::LeftButton);
        QTRY_VERIFY(right()->isEditingLabel());
        STEP(endEdit()); // keeps the offered name
        QTreeWidgetItem* made = child(folder, caption(51));
        QVERIFY(made);

        QStringList refs;
        for (const char* file : {"At_the_Hotel", "Greetings", "Numbers"}) {
            QTreeWidgetItem* phrase = nullptr;
            STEP(firstPhrase(installed(file), false, &phrase));
            QVERIFY(phrase);
            STEP(drag(phrase, made));
            refs << QLatin1String(file) + ".ita#1";
        }
        STEP(click(right(), made));
        QTest::mouseClick(m_editor->findChild<QPushButton*>(QStringLiteral("btnRename")), Qt::LeftButton);
        QTRY_VERIFY(right()->isEditingLabel());
        STEP(type(QStringLiteral("Beach Phrases")));
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
        STEP(checkWritten(QStringLiteral("Beach Phrases"), refs));

        STEP(closeEditor(false));
        STEP(studyBoth(QStringLiteral("Beach Phrases"), false));
    }

    void byKeyboard()
    {
        STEP(firstStartByKeyboard());
        STEP(openEditor(true));
        STEP(press(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier)); // new folder
        QTRY_VERIFY(right()->isEditingLabel());
        STEP(type(Folder));
        QTRY_VERIFY(QFileInfo::exists(folderFile()));
        QTreeWidgetItem* folder = topLevel(right(), Folder);
        QVERIFY(folder);
        QCOMPARE(right()->currentItem(), folder);

        // F5 copies the left tree's selection onto the right tree's.
        STEP(tabTo(left(), true));
        STEP(arrowTo(left(), installed("At_the_Cafe")));
        STEP(tabTo(right()));
        STEP(arrowTo(right(), folder));
        STEP(press(Qt::Key_F5)); // the button's shortcut: it clicks a moment later
        QTRY_COMPARE(writtenSubjects().size(), 1);

        STEP(press(Qt::Key_N, Qt::ControlModifier)); // new virtual subject in this folder
        QTRY_VERIFY(right()->isEditingLabel());
        STEP(endEdit());
        QTreeWidgetItem* made = child(folder, caption(51));
        QVERIFY(made);

        QStringList refs;
        for (const char* file : {"Directions", "Family", "Weather"}) {
            STEP(tabTo(left(), true));
            QTreeWidgetItem* phrase = nullptr;
            STEP(firstPhrase(installed(file), true, &phrase));
            QVERIFY(phrase);
            STEP(arrowTo(left(), phrase));
            STEP(tabTo(right()));
            STEP(arrowTo(right(), made));
            STEP(press(Qt::Key_F5));
            refs << QLatin1String(file) + ".ita#1";
            QTRY_COMPARE(writtenPhrases(writtenSubjects().value(1).nParent), refs);
        }
        STEP(arrowTo(right(), made));
        STEP(press(Qt::Key_F2));
        QTRY_VERIFY(right()->isEditingLabel());
        STEP(type(QStringLiteral("Mountain Phrases")));
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
        STEP(checkWritten(QStringLiteral("Mountain Phrases"), refs));

        STEP(closeEditor(true));
        STEP(studyBoth(QStringLiteral("Mountain Phrases"), true));
        STEP(resultsByArrows());
        STEP(phraseHeardByAnotherLearner());
    }

    // The commonest file a learner has (two columns, no header line) dropped on the main
    // window: the columns chosen by keyboard, the subjects VALID, selected in the tree and
    // studied with Flashcards; then a 3,000-line file whose import is cancelled half-way
    // leaves no file and no working folder.
    void importByKeyboard()
    {
        STEP(firstStartByKeyboard());
        const QString folder = app().learnerSubjectsFolder.isEmpty() ? app().installedSubjectsFolder
                                                                     : app().learnerSubjectsFolder;
        QByteArray lines;
        for (int i = 1; i <= 3000; ++i)
            lines += "parola " + QByteArray::number(i) + "\tword " + QByteArray::number(i) + "\n";
        const QString small = m_dir->filePath(QStringLiteral("Parole.txt"));
        const QString large = m_dir->filePath(QStringLiteral("Molte.txt"));
        for (const auto& [file, bytes] :
             {std::pair{small, lines.left(lines.indexOf("parola 13\t"))}, std::pair{large, lines}}) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        }
        QString summary;
        STEP(dropAndImport(small, [&](ImportWindow* w) {
            STEP(chooseColumnsAndImport(w));
            QTRY_VERIFY_WITH_TIMEOUT(importOver(w), 60000);
            summary = w->findChild<QLabel*>(QStringLiteral("status"))->text();
        }));
        QVERIFY2(summary.startsWith(QStringLiteral("Made 2 subjects (12 phrases) from Parole.txt")),
                 qPrintable(summary));
        for (const char* file : {"Parole_1.ita", "Parole_2.ita"})
            QCOMPARE(checkSubject(QLatin1String(file)), QStringLiteral("VALID"));
        SubjectTree* tree = m_main->subjectTree();
        QTRY_VERIFY(tree->currentItem());
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("Parole 1"));
        STEP(focusLikeADesktop(m_main.get())); // back from the import window, as the desktop does
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(tree));
        // Studied with Flashcards from the selection as it is.
        const int flashcards = m_main->activityPanel()->activities().indexOf(QStringLiteral("Flashcards"));
        QVERIFY(flashcards >= 0);
        app().StudyPhraseCount = 0;
        STEP(tabTo(m_main->activityPanel()->button(flashcards)));
        STEP(press(Qt::Key_Space));
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
        QCOMPARE(app().StudyPhraseCount, 10);
        STEP(answerFlashcards(QStringLiteral("Parole 1"), 10));

        const QStringList before =
            QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        QString cancelled;
        STEP(dropAndImport(large, [&](ImportWindow* w) {
            STEP(chooseColumnsAndImport(w));
            auto* progress = w->findChild<QProgressBar*>(QStringLiteral("progress"));
            QTRY_VERIFY_WITH_TIMEOUT(progress->maximum() == 300 && progress->value() >= 150, 240000);
            STEP(press(Qt::Key_Space)); // Cancel has the keyboard while the import runs
            QTRY_VERIFY_WITH_TIMEOUT(importOver(w), 60000);
            cancelled = w->findChild<QLabel*>(QStringLiteral("status"))->text();
        }));
        QCOMPARE(cancelled, app().captions(Caption::ImportCancelled));
        QCOMPARE(
            QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            before);
    }

    // A phrase missed with the real Flashcards comes back the same day: once the activity has
    // ended it is counted and listed under the review folder, as the subject lists it, until
    // it is answered "I knew it" there; the review is no subject of "My progress".
    void missedPhraseComesBackToday()
    {
        STEP(logInByMouse());
        auto* tree = TestSupport::child<SubjectTree>(m_main.get(), "TreeFolders");
        auto* panel = TestSupport::child<ActivityPanel>(m_main.get(), "PicActsHolder");
        QVERIFY(tree && panel);
        QTreeWidgetItem* review = tree->reviewFolder();
        QTRY_COMPARE(review->text(0), caption(Caption::ReviewNothingDue));
        QSignalSpy ended(panel, &ActivityPanel::activityEnded);
        const int flashcards = int(panel->activities().indexOf(QStringLiteral("Flashcards")));
        QVERIFY(flashcards >= 0);
        const QString subject = QStringLiteral("At The Cafe");
        const auto found = tree->findItems(subject, Qt::MatchExactly | Qt::MatchRecursive);
        QVERIFY(!found.isEmpty());
        STEP(click(tree, found.first()));
        QTest::mouseClick(panel->button(flashcards), Qt::LeftButton);
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
        QString error;
        const auto input = ActivityInput::read(app().activityInputFile(), &error);
        QVERIFY2(input, qPrintable(error));
        const QString missed = input->phrases.front().phrase;
        STEP(answerFlashcards(subject, int(input->phrases.size()), 1));

        // Counted and listed once the activity has ended, without a new login.
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, WaitMs);
        QCOMPARE(review->text(0), caption(Caption::ReviewDueCount).arg(1));
        QCOMPARE(review->childCount(), 1);
        const SubjectNode listed = SubjectNode::of(review->child(0));
        QCOMPARE(listed.phrase, missed);
        QCOMPARE(review->child(0)->text(0), listed.translation);

        // Studied from the folder: missed again, it stays; known, nothing is due.
        for (const int missedAgain : {1, 0}) {
            STEP(click(tree, review));
            QTest::mouseClick(panel->button(flashcards), Qt::LeftButton);
            QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
            STEP(answerFlashcards(caption(Caption::ReviewSubject), 1, missedAgain));
            if (missedAgain) {
                // Read again when the activity ended: still counted and listed.
                QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 2, WaitMs);
                QCOMPARE(review->text(0), caption(Caption::ReviewDueCount).arg(1));
                QCOMPARE(review->childCount(), 1);
            }
        }
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 3, WaitMs);
        QCOMPARE(review->text(0), caption(Caption::ReviewNothingDue));
        QCOMPARE(review->childCount(), 0);

        ResultsFilter filter;
        filter.learner = LearnerName;
        const auto entries = ResultsHistory::load(app().usersDatabasePath(), filter, &error);
        QVERIFY2(entries, qPrintable(error));
        const auto summary =
            ResultsHistory::summarize(*entries, QDate::currentDate(), caption(Caption::ReviewSubject));
        QCOMPARE(summary.subjects.size(), 2); // listed, both
        QCOMPARE(summary.subjectCount, 1);    // counted, the subject alone
    }

    // Dictation from the panel: every phrase typed right (accents and apostrophes too) but one
    // without its accents (right, graded Hard) and one wrong.
    void dictationByKeyboard()
    {
        STEP(logInByMouse());
        const QString subject = QStringLiteral("At The Cafe");
        SubjectTree* tree = m_main->subjectTree();
        const auto found = tree->findItems(subject, Qt::MatchExactly | Qt::MatchRecursive);
        QVERIFY(!found.isEmpty());
        ActivityPanel* panel = m_main->activityPanel();
        const int dictation = int(panel->activities().indexOf(QStringLiteral("Dictation")));
        QVERIFY2(dictation >= 0, qPrintable(panel->activities().join(", ")));
        STEP(tabTo(tree));
        STEP(arrowTo(tree, found.first()));
        STEP(tabTo(panel->button(dictation)));
        STEP(press(Qt::Key_Space));
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));

        // The phrases in the order asked, from the file the launcher handed over.
        QString error;
        const auto input = ActivityInput::read(app().activityInputFile(), &error);
        QVERIFY2(input, qPrintable(error));
        const int n = int(input->phrases.size());
        int accentless = -1;
        for (int i = 0; i < n && accentless < 0; ++i)
            if (DictationCheck::withoutAccents(input->phrases[size_t(i)].phrase) !=
                input->phrases[size_t(i)].phrase)
                accentless = i;
        QVERIFY2(n >= 3 && accentless >= 0, "three phrases or more, one with an accent");
        const int wrong = accentless == 0 ? 1 : 0;

        const QString title = QRegularExpression::escape("Dictation - " + subject) + "$";
        QVERIFY(xdotool({"search", "--sync", "--onlyvisible", "--name", title, "windowfocus", "--sync"}));
        for (int i = 0; i < n; ++i) {
            const QString phrase = input->phrases[size_t(i)].phrase;
            // Calls of their own: "type" takes every word after it as text.
            QVERIFY(xdotool({"type", "--delay", "20",
                             i == wrong        ? QStringLiteral("Niente da fare")
                             : i == accentless ? DictationCheck::withoutAccents(phrase)
                                               : phrase}));
            QVERIFY(xdotool({"key", "--delay", "100", "Return", "Return"})); // check, then the next phrase
        }
        QVERIFY(xdotool({"key", "space"})); // Close, focused at the end
        QTRY_VERIFY_WITH_TIMEOUT(!xdotool({"search", "--onlyvisible", "--name", title}, false), WaitMs);

        const auto rows = UsersDatabase::forApp().resultsOfSubjectForLearner(subject, LearnerName, &error);
        QVERIFY2(rows, qPrintable(error));
        QCOMPARE(rows->size(), 1);
        QCOMPARE(rows->at(0).name, QStringLiteral("Dictation"));
        QCOMPARE(rows->at(0).score,
                 QStringLiteral("%1/%2 (%3%)").arg(n - 1).arg(n).arg(qRound(100.0 * (n - 1) / n)));

        // And phrase by phrase, with the score: typed right Good, the accent missing Hard, the
        // wrong one Again.
        const auto graded = PhraseResults::rows(app().usersDatabasePath(), LearnerName, &error);
        QVERIFY2(graded, qPrintable(error));
        QList<int> grades;
        QList<int> expected;
        for (const PhraseResultRow& r : *graded)
            if (r.activity == QLatin1String("Dictation"))
                grades << Grades::stored(r.grade);
        for (int i = 0; i < n; ++i)
            expected << (i == wrong ? 1 : i == accentless ? 2 : 3);
        QCOMPARE(grades, expected);
    }
};

QTEST_MAIN(TestVirtualSubjectsEndToEnd)
#include "TestVirtualSubjectsEndToEnd.moc"
