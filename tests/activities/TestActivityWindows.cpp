#include "ActivityTestSupport.h"
#include "FlashcardsWindow.h"
#include "ListeningWindow.h"
#include "platform/Sound.h"
#include "review/PhraseIdsFile.h"
#include "review/PhraseResults.h"

#include <QAccessible>
#include <QApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

class TestActivityWindows : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QStringList played;

    ActivityInput input(int n, const QString& language = "English")
    {
        ActivityInput in;
        in.interfaceLanguage = language;
        in.user = "Zoë \"Z\"";
        in.subject = " Al Caffè";
        in.usersDatabase = dir.filePath("Users.dat");
        for (int i = 1; i <= n; ++i)
            in.phrases.push_back(
                {QString("Frase %1").arg(i), QString("Phrase %1").arg(i), "", QString("/s/%1.wav").arg(i)});
        return in;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        Sound::setPlayerForTests([this](const QString& p, bool) { played << p; });
    }
    void init()
    {
        played.clear();
        QFile::remove(dir.filePath("Users.dat"));
        writeUsersDatabase(dir.filePath("Users.dat"));
    }

    // Texts of a megabyte: each window keeps to the screen with every button in reach, and
    // shows the texts cut.
    void hugeTextsKeepButtonsInReach()
    {
        ActivityInput in = input(2);
        in.subject = QString(1 << 20, QLatin1Char('s'));
        in.phrases[0].phrase = QString(1 << 20, QLatin1Char('p'));
        in.phrases[0].translation = QString(1 << 20, QLatin1Char('t'));
        const QSize screen = QGuiApplication::primaryScreen()->availableSize();
        auto inReach = [](QWidget& w, QPushButton* b) {
            return !b->isVisible() || w.rect().contains(QRect(b->mapTo(&w, QPoint(0, 0)), b->size()));
        };
        {
            FlashcardsWindow w(in);
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            button(&w, "btnReveal")->click();
            QVERIFY(button(&w, "btnKnown")->isEnabled());
            QVERIFY(w.width() <= screen.width() && w.height() <= screen.height());
            for (QPushButton* b : {button(&w, "btnListen"), button(&w, "btnReveal"), button(&w, "btnKnown"),
                                   button(&w, "btnUnknown")})
                QVERIFY2(inReach(w, b), qPrintable(b->objectName()));
            QVERIFY(label(&w, "lblPhrase")->text().size() < 2200);
            QVERIFY(w.windowTitle().size() < 300);
        }
        {
            ListeningWindow w(in);
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QVERIFY(w.width() <= screen.width() && w.height() <= screen.height());
            QPushButton* wrong = nullptr;
            for (QPushButton* b : numberedButtons(&w, "btnChoice_")) {
                QVERIFY2(inReach(w, b), qPrintable(b->objectName()));
                if (b->isVisible() && b->property("translation").toString() != in.phrases[0].translation)
                    wrong = b;
            }
            QVERIFY(wrong);
            wrong->click(); // the feedback names the huge phrase and translation
            QVERIFY(w.width() <= screen.width() && w.height() <= screen.height());
            for (QPushButton* b : {button(&w, "btnListen"), button(&w, "btnNext")})
                QVERIFY2(inReach(w, b), qPrintable(b->objectName()));
        }
    }

    // Keyboard only: Enter reveals, then K (known) or N (not known) through the mnemonics.
    void flashcardsSession_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("two") << 2;
        QTest::newRow("ten") << 10;
    }
    void flashcardsSession()
    {
        QFETCH(int, count);
        FlashcardsWindow w(input(count));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        int known = 0;
        for (int i = 0; i < count; ++i) {
            QCOMPARE(label(&w, "lblPhrase")->text(), QString("Frase %1").arg(i + 1));
            QCOMPARE(played.last(), QString("/s/%1.wav").arg(i + 1));
            QVERIFY(label(&w, "lblTranslation")->text().isEmpty());
            QTest::keyClick(button(&w, "btnReveal"), Qt::Key_Space);
            QCOMPARE(label(&w, "lblTranslation")->text(), QString("Phrase %1").arg(i + 1));
            const bool knewIt = i % 3 != 0;
            known += knewIt;
            QTest::keyClick(&w, knewIt ? Qt::Key_K : Qt::Key_N);
        }
        QVERIFY(w.run().ended());
        QCOMPARE(w.run().right(), known);
        const int percent = qRound(100.0 * known / count);
        QCOMPARE(scoreRows(dir.filePath("Users.dat")),
                 QStringList{QString("Zoë \"Z\"|Flashcards| Al Caffè|%1/%2 (%3%)|%3|10:8")
                                 .arg(known)
                                 .arg(count)
                                 .arg(percent)});
        QCOMPARE(label(&w, "lblPhrase")->text(),
                 QString("You knew %1/%2 (%3%).").arg(known).arg(count).arg(percent));
        QVERIFY(button(&w, "btnClose")->isVisible());
        // The end page lists the cards not known in this run (the first, the fourth ...), once.
        const QString missed = label(&w, "lblMissed")->text();
        QVERIFY2(missed.startsWith("To practise again:") && missed.contains("Frase 1 \u2014 Phrase 1") &&
                     !missed.contains("Frase 2"),
                 qPrintable(missed));
        QCOMPARE(missed.count(QChar(0x2022)), count - known);
    }

    void listeningSession()
    {
        ListeningWindow w(input(5, "Spanish"));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.windowTitle(), QStringLiteral("Escuchar - Al Caffè"));
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(played.last(), QString("/s/%1.wav").arg(i + 1));
            int right = -1, wrong = -1, shown = 0;
            for (int c = 0; c < ListeningWindow::MaxChoices; ++c) {
                if (numberedButtons(&w, "btnChoice_")[c]->isHidden())
                    continue;
                ++shown;
                (numberedButtons(&w, "btnChoice_")[c]->property("translation").toString() ==
                         QString("Phrase %1").arg(i + 1)
                     ? right
                     : wrong) = c;
            }
            QCOMPARE(shown, 4);
            QVERIFY(right >= 0 && wrong >= 0);
            // Four right answers of five, chosen with the number keys; Enter goes on.
            QTest::keyClick(&w, Qt::Key(Qt::Key_1 + (i == 2 ? wrong : right)));
            // The verdict reaches a screen reader with the focus on Next; the area is named.
            QVERIFY(QApplication::focusWidget() != nullptr);
            QCOMPARE(QApplication::focusWidget()->accessibleDescription(), label(&w, "lblFeedback")->text());
            QVERIFY(label(&w, "lblFeedback")->text().startsWith(i == 2 ? "No exactamente" : "¡Correcto!"));
            QCOMPARE(w.findChild<QScrollArea*>()->accessibleName(), QStringLiteral("Respuesta"));
            // Answered: no answer takes the focus any more.
            for (QPushButton* b : numberedButtons(&w, "btnChoice_"))
                QCOMPARE(b->focusPolicy(), Qt::NoFocus);
            // The choice is marked on its button, and a wrong one shows the right one too.
            QPushButton* chosen = numberedButtons(&w, "btnChoice_")[size_t(i == 2 ? wrong : right)];
            QCOMPARE(chosen->property("verdict").toString(), i == 2 ? "wrong" : "right");
            QCOMPARE(chosen->accessibleDescription(),
                     i == 2 ? "Su elección: incorrecta" : "Su elección: correcta");
            if (i == 2) {
                QPushButton* shown = numberedButtons(&w, "btnChoice_")[size_t(right)];
                QCOMPARE(shown->property("verdict").toString(), "right");
                QCOMPARE(shown->accessibleDescription(), "La respuesta correcta");
            }
            QTest::keyClick(&w, Qt::Key_1); // a second answer to the same phrase does not count
            QTest::keyClick(&w, Qt::Key_Return);
        }
        QVERIFY(w.run().ended());
        QCOMPARE(w.run().right(), 4);
        QCOMPARE(scoreRows(dir.filePath("Users.dat")),
                 QStringList{"Zoë \"Z\"|Listening| Al Caffè|4/5 (80%)|80|10:8"});
        QCOMPARE(label(&w, "lblFeedback")->text(), QStringLiteral("Ha entendido 4/5 (80%)."));
        QCOMPARE(informalSpanish(&w), QStringList()); // "usted", as the launcher
    }

    // With the launcher's ids file beside the input file, each answered card adds a row of its
    // phrase (known: Good, not known: Again) in the score's transaction, and a users database
    // without the table gets it; without the file, or with one that does not match, the score
    // alone is recorded.
    void phraseGradesBesideTheScore_data()
    {
        QTest::addColumn<QByteArray>("ids"); // empty: no ids file
        QTest::addColumn<QStringList>("phrases");
        QTest::newRow("ids given") << PhraseIdsFile::contents({{"Caffè.ita", 7}, {}, {"Bar.ita", 2}})
                                   << QStringList{"Zoë \"Z\"|Caffè.ita|7|Flashcards|3",
                                                  "Zoë \"Z\"|Bar.ita|2|Flashcards|1"};
        QTest::newRow("no ids file") << QByteArray() << QStringList{"<no table>"};
        QTest::newRow("ids of another set")
            << PhraseIdsFile::contents({{"Caffè.ita", 7}}) << QStringList{"<no table>"};
    }
    void phraseGradesBesideTheScore()
    {
        QFETCH(QByteArray, ids);
        QFETCH(QStringList, phrases);
        ActivityInput in = input(3);
        in.path = dir.filePath("~prl4711001.txt");
        QFile::remove(dir.filePath("~prl4711001.ids"));
        if (!ids.isEmpty()) {
            QFile f(dir.filePath("~prl4711001.ids"));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(ids) == ids.size());
        }
        FlashcardsWindow w(in);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (const Qt::Key answer : {Qt::Key_K, Qt::Key_K, Qt::Key_N}) {
            QTest::keyClick(button(&w, "btnReveal"), Qt::Key_Space);
            QTest::keyClick(&w, answer);
        }
        QVERIFY(w.run().ended() && w.saveError().isEmpty());
        QCOMPARE(scoreRows(dir.filePath("Users.dat")),
                 QStringList{"Zoë \"Z\"|Flashcards| Al Caffè|2/3 (67%)|67|10:8"});
        QStringList rows;
        QString error;
        auto db = Database::open(dir.filePath("Users.dat"), Database::TemplatePassword,
                                 Database::Mode::ReadOnly, &error);
        Statement st = db->prepare("SELECT tName, tSubjectFile, nPhraseNo, tActivity, nGrade, tUtcTime FROM "
                                   "tblPhraseResults ORDER BY pkResultID");
        if (!st.isValid())
            rows << "<no table>";
        while (st.step() == Statement::Step::Row) {
            rows << QStringList{st.text(0), st.text(1), st.text(2), st.text(3), st.text(4)}.join('|');
            const auto when = PhraseResults::parseUtc(st.text(5));
            QVERIFY(when && std::abs(*when - QDateTime::currentSecsSinceEpoch()) < 600);
        }
        QCOMPARE(rows, phrases);
    }

    // Enter presses the focused button; Escape closes, recording the cards marked so far and
    // nothing when none was marked.
    void flashcardsEnterAndEscape_data()
    {
        QTest::addColumn<int>("cards");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("no card marked") << 0 << QStringList();
        QTest::newRow("two cards marked")
            << 2 << QStringList{"Zoë \"Z\"|Flashcards| Al Caffè|2/2 (100%)|100|10:8"};
    }
    void flashcardsEnterAndEscape()
    {
        QFETCH(int, cards);
        QFETCH(QStringList, rows);
        FlashcardsWindow w(input(4));
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        for (int i = 0; i < cards; ++i) {
            QCOMPARE(QApplication::focusWidget(), button(&w, "btnReveal"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), button(&w, "btnKnown"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        }
        QCOMPARE(w.run().right(), cards);
        QString question; // outlives the last box, answered after this block
        if (cards > 0) {
            // With answers given, leaving is asked first; No keeps the session.
            answerNextBox(QMessageBox::No, &question);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QVERIFY(w.isVisible());
            QVERIFY(question.startsWith("Leave now?"));
            QCOMPARE(scoreRows(dir.filePath("Users.dat")), QStringList());
            answerNextBox(QMessageBox::Yes, &question);
        }
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(!w.isVisible());
        QCOMPARE(scoreRows(dir.filePath("Users.dat")), rows);
    }

    // Top-level windows with titles (frames to assistive technology), and focus drawn on the
    // focused button from the start: Listening's first choice, Flashcards' buttons.
    void windowsAndVisibleFocus()
    {
        FlashcardsWindow cards(input(3));
        ListeningWindow listening(input(3));
        for (QMainWindow* w : {static_cast<QMainWindow*>(&cards), static_cast<QMainWindow*>(&listening)}) {
            w->show();
            QVERIFY(QTest::qWaitForWindowActive(w));
            QVERIFY(w->isWindow());
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            QCOMPARE(a->role(), QAccessible::Window);
            QCOMPARE(a->text(QAccessible::Name), w->windowTitle());
            QVERIFY(w->windowTitle().endsWith(QStringLiteral(" - Al Caffè")));
        }
        QVERIFY(QTest::qWaitForWindowActive(&listening));
        QCOMPARE(QApplication::focusWidget(), numberedButtons(&listening, "btnChoice_").front());
        const QImage focused = numberedButtons(&listening, "btnChoice_").front()->grab().toImage();
        button(&listening, "btnListen")->setFocus();
        QVERIFY(numberedButtons(&listening, "btnChoice_").front()->grab().toImage() != focused);

        cards.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&cards));
        for (QPushButton* b : {button(&cards, "btnListen"), button(&cards, "btnReveal")}) {
            b->setFocus();
            const QImage withFocus = b->grab().toImage();
            (b == button(&cards, "btnListen") ? button(&cards, "btnReveal") : button(&cards, "btnListen"))
                ->setFocus();
            QVERIFY2(b->grab().toImage() != withFocus, qPrintable(b->objectName()));
        }
    }

    // No sound to be heard: said once, in the learner's language, and Listening shows the
    // phrase instead; Escape after an answer asks, and the answers so far are recorded.
    void listeningWithoutSound()
    {
        Sound::setPlayerForTests({}); // the real player, handed sound files that are not there
        ListeningWindow w(input(3, "Spanish"));
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto* said = w.findChild<QLabel*>("lblNoSound");
        QVERIFY(said && said->isVisible());
        QVERIFY(said->text().startsWith(QString::fromUtf8("No se encontró")));
        QVERIFY(w.findChild<QLabel*>("lblPrompt")->text().contains("Frase 1"));
        QTest::keyClick(&w, Qt::Key_1);
        QTest::keyClick(&w, Qt::Key_Return);
        QVERIFY(w.findChild<QLabel*>("lblPrompt")->text().contains("Frase 2"));
        QCOMPARE(w.findChildren<QLabel*>("lblNoSound").size(), 1);
        QString question;
        answerNextBox(QMessageBox::Yes, &question);
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(!w.isVisible());
        const QStringList rows = scoreRows(dir.filePath("Users.dat"));
        QCOMPARE(rows.size(), 1);
        QVERIFY(rows[0].contains("|Listening| Al Caffè|") && rows[0].contains("/1 ("));
        Sound::setPlayerForTests([this](const QString& p, bool) { played << p; });
    }

    // No sound device: the listen buttons are off and say why; the phrase is said instead.
    void listenButtonsWithoutSoundDevice()
    {
        Sound::setOutputDeviceForTests(false);
        FlashcardsWindow cards(input(2));
        ListeningWindow listening(input(2));
        for (QWidget* w : {static_cast<QWidget*>(&cards), static_cast<QWidget*>(&listening)}) {
            QVERIFY(!button(w, "btnListen")->isEnabled());
            QCOMPARE(button(w, "btnListen")->toolTip(), "No sound can be played: no sound device was found.");
            QVERIFY(!label(w, "lblNoSound")->isHidden());
        }
        Sound::setOutputDeviceForTests(std::nullopt);
    }

    void listeningWithTwoPhrases()
    {
        ListeningWindow w(input(2));
        int shown = 0;
        for (QPushButton* b : numberedButtons(&w, "btnChoice_"))
            shown += !b->isHidden();
        QCOMPARE(shown, 2);
    }
};

QTEST_MAIN(TestActivityWindows)
#include "TestActivityWindows.moc"
