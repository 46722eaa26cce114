// The program's own manual: F1 in the main window, a modal window over it and an activity,
// and the main window's Help button open the "Getting started" page of the learner's language
// in the one help window, from a program folder laid out as the build's (the test runs from
// its Activities folder, as an activity does).
#include "FlashcardsWindow.h"
#include "app/MainWindow.h"
#include "platform/Sound.h"
#include "state/AppState.h"
#include "support/TestSupport.h"
#include "widgets/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

class TestHelp : public QObject
{
    Q_OBJECT

    // The title of the visible help window, "" when none shows.
    static QString shownHelpTitle()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("HelpWindow") && w->isVisible() &&
                !TestSupport::child<QTextBrowser>(w, "txtHelp")->toPlainText().isEmpty())
                return w->windowTitle();
        return QString();
    }
    static void closeHelp()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("HelpWindow"))
                w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        Sound::setPlayerForTests([](const QString&, bool) {});
    }

    void launcherWindows()
    {
        QTemporaryDir dir;
        resetAppState();
        TestSupport::useNumberedCaptions(app());
        QVERIFY(TestSupport::useFoldersUnder(app(), dir.path()));
        app().programFolder = QCoreApplication::applicationDirPath() + QStringLiteral("/../");
        MainWindow main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QTest::keyClick(TestSupport::child<QWidget>(&main, "TreeFolders"), Qt::Key_F1);
        const QString expected = app().edition.InterfaceLanguage == QLatin1String("Spanish")
                                     ? QStringLiteral("Primeros pasos")
                                     : QStringLiteral("Getting started");
        QCOMPARE(shownHelpTitle(), expected);
        closeHelp();
        QCOMPARE(shownHelpTitle(), QString());

        // The button, by the keyboard: focused and pressed with Space.
        auto* help = TestSupport::child<QPushButton>(&main, "btnHelp");
        QVERIFY(help->isVisible() && help->focusPolicy() & Qt::TabFocus);
        help->setFocus();
        QTest::keyClick(help, Qt::Key_Space);
        QCOMPARE(shownHelpTitle(), expected);
        closeHelp();

        // A modal window over the main window: the help is made for it, so it can be used.
        QDialog modal(&main);
        modal.setModal(true);
        modal.show();
        QTest::keyClick(&modal, Qt::Key_F1);
        QCOMPARE(shownHelpTitle(), expected);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("HelpWindow"))
                QCOMPARE(w->parentWidget(), &modal);
        closeHelp();

        // A page missing from the program folder: the window says so and where it belongs.
        app().programFolder = dir.path() + QStringLiteral("/");
        QTest::keyClick(help, Qt::Key_F1);
        QCOMPARE(shownHelpTitle(), TestSupport::captionText(551));
        closeHelp();
        main.endProgram();
    }

    void activity_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("title");
        QTest::newRow("English") << "English"
                                 << "Getting started";
        QTest::newRow("Spanish") << "Spanish"
                                 << "Primeros pasos";
    }
    void activity()
    {
        QFETCH(QString, language);
        QFETCH(QString, title);
        QTemporaryDir dir;
        ActivityInput in;
        in.interfaceLanguage = language;
        in.user = QStringLiteral("Ada");
        in.subject = QStringLiteral("Al caffè");
        in.usersDatabase = dir.filePath(QStringLiteral("Users.dat"));
        in.phrases.push_back({QStringLiteral("Un caffè"), QStringLiteral("A coffee"), QString(), QString()});
        FlashcardsWindow cards(in);
        cards.show();
        QVERIFY(QTest::qWaitForWindowExposed(&cards));
        QTest::keyClick(&cards, Qt::Key_F1);
        QCOMPARE(shownHelpTitle(), title);
        closeHelp();
        cards.closeWithoutAsking();
    }
};

QTEST_MAIN(TestHelp)
#include "TestHelp.moc"
