#include "ActivitySound.h"
#include "ActivityTestSupport.h"
#include "DictationCheck.h"
#include "DictationWindow.h"
#include "platform/Sound.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {
// The alignment in one line: a right word as written in the phrase, ~typed/expected for an
// accent, !typed/expected for a wrong word, -expected for a missing one, +typed for an extra.
QString marks(const DictationCheck::Result& r)
{
    QStringList out;
    for (const DictationCheck::Word& w : r.words) {
        switch (w.mark) {
        case DictationCheck::Word::Right:
            out << w.expected;
            break;
        case DictationCheck::Word::Almost:
            out << "~" + w.answered + "/" + w.expected;
            break;
        case DictationCheck::Word::Wrong:
            out << "!" + w.answered + "/" + w.expected;
            break;
        case DictationCheck::Word::Missing:
            out << "-" + w.expected;
            break;
        case DictationCheck::Word::Extra:
            out << "+" + w.answered;
            break;
        }
    }
    return out.join(' ');
}
} // namespace

class TestDictation : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QStringList played;
    QList<double> rates;
    bool rateWorks = true;

    ActivityInput input(const QStringList& phrases, const QString& language = "English")
    {
        ActivityInput in;
        in.interfaceLanguage = language;
        in.studiedLanguage = "Italian";
        in.user = "Zoë \"Z\"";
        in.subject = " Al Caffè";
        in.usersDatabase = dir.filePath("Users.dat");
        for (int i = 0; i < phrases.size(); ++i)
            in.phrases.push_back(
                {phrases[i], QString("Translation %1").arg(i + 1), "", QString("/s/%1.wav").arg(i + 1)});
        return in;
    }
    static void type(DictationWindow& w, const QString& text)
    {
        QCOMPARE(QApplication::focusWidget(), answerLine(&w));
        for (QChar c : text) {
            if (c.unicode() < 128)
                QTest::keyClick(answerLine(&w), c.toLatin1());
            else // a key of a keyboard of the studied language
                QTest::sendKeyEvent(QTest::Click, answerLine(&w), Qt::Key(c.toUpper().unicode()), QString(c),
                                    Qt::NoModifier);
        }
    }
    static void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), k, m);
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        // A slower replay is seen with its rate; a player that cannot go slower says no.
        Sound::setRatePlayerForTests([this](const QString& p, bool, double rate) {
            played << p;
            if (rate != 1.0)
                rates << rate;
            return rate == 1.0 || rateWorks;
        });
        played.clear();
        rates.clear();
        rateWorks = true;
        QFile::remove(dir.filePath("Users.dat"));
        writeUsersDatabase(dir.filePath("Users.dat"));
    }

    void comparison_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("marking");
        QTest::addColumn<int>("grade");
        const QString coffee = "Vorrei un caffè, per favore.";
        QTest::newRow("exact") << coffee << coffee << coffee << int(Grade::Good);
        QTest::newRow("case, blanks, punctuation")
            << "  vorrei   UN\tcaffè per favore " << coffee << coffee << int(Grade::Good);
        QTest::newRow("accent dropped") << "Vorrei un caffe, per favore." << coffee
                                        << "Vorrei un ~caffe,/caffè, per favore." << int(Grade::Hard);
        QTest::newRow("accent the wrong way") << "Perchè no?"
                                              << "Perché no?"
                                              << "~Perchè/Perché no?" << int(Grade::Hard);
        QTest::newRow("combining accent")
            << QString("Vorrei un caffe\u0300 per favore") << coffee << coffee << int(Grade::Good);
        QTest::newRow("apostrophes") << "dov'è l´albergo" << QString("Dov’è l’albergo?")
                                     << QString("Dov’è l’albergo?") << int(Grade::Good);
        QTest::newRow("quotes and spaced punctuation")
            << "il a dit \"bonjour\"" << QString("Il a dit «\u00a0bonjour\u00a0» !") << "Il a dit bonjour"
            << int(Grade::Good);
        QTest::newRow("elision kept") << "un po"
                                      << "Un po'."
                                      << "Un !po/po'." << int(Grade::Again);
        QTest::newRow("missing word, long phrase")
            << "Vorrei caffè per favore" << coffee << "Vorrei -un caffè, per favore." << int(Grade::Hard);
        QTest::newRow("missing word, short phrase") << "Come oggi"
                                                    << "Come stai oggi?"
                                                    << "Come -stai oggi?" << int(Grade::Again);
        QTest::newRow("wrong word, long phrase")
            << "Vorrei un tè per favore" << coffee << "Vorrei un !tè/caffè, per favore." << int(Grade::Hard);
        QTest::newRow("extra word, long phrase") << "Vorrei un caffè per per favore" << coffee
                                                 << "Vorrei un caffè, per +per favore." << int(Grade::Hard);
        QTest::newRow("two wrong words") << "Vorrei il tè per favore" << coffee
                                         << "Vorrei !il/un !tè/caffè, per favore." << int(Grade::Again);
        QTest::newRow("misspelt word paired with its like")
            << "Buonasera"
            << "Buongiorno a tutti"
            << "!Buonasera/Buongiorno -a -tutti" << int(Grade::Again);
        QTest::newRow("swapped words") << "sono io qui"
                                       << "Io sono qui."
                                       << "+sono Io -sono qui." << int(Grade::Again);
        QTest::newRow("empty answer") << ""
                                      << "Buongiorno a tutti!"
                                      << "-Buongiorno -a -tutti!" << int(Grade::Again);
        // Nothing a learner cannot see counts, in the answer or in the phrase.
        QTest::newRow("zero-width and soft hyphen inside words")
            << QString("Vor\u200brei un caf\u200dfè, per fa\u00advo\ufeffre.") << coffee << coffee
            << int(Grade::Good);
        QTest::newRow("direction marks around words")
            << QString("\u200fVorrei\u200e \u202eun\u202c caffè, \u2067per\u2069 favore.\u200f") << coffee
            << coffee << int(Grade::Good);
        QTest::newRow("control characters between words")
            << QString("Vorrei\u0001un\u0007caffè,\u001bper\u0085favore.") << coffee << coffee
            << int(Grade::Good);
        QTest::newRow("invisible characters in the phrase")
            << coffee << QString("Vorrei\u0002un caf\u200bfè, \u200eper favore.") << coffee
            << int(Grade::Good);
        QTest::newRow("only punctuation typed") << " ... "
                                                << "Ciao."
                                                << "-Ciao." << int(Grade::Again);

        // A phrase of 2,000 characters and more: one accent dropped, one word left out.
        QStringList expected, typed, marked;
        for (int i = 0; expected.join(' ').size() < 2000; ++i) {
            const QString word = QString("città%1").arg(i);
            expected << word;
            if (i == 100) {
                typed << QString("citta%1").arg(i);
                marked << "~" + typed.last() + "/" + word;
            } else if (i == 200) {
                marked << "-" + word;
            } else {
                typed << word;
                marked << word;
            }
        }
        QVERIFY(expected.join(' ').size() >= 2000 && expected.size() > 200);
        QTest::newRow("2,000 characters")
            << typed.join(' ') << expected.join(' ') << marked.join(' ') << int(Grade::Hard);
    }
    void comparison()
    {
        QFETCH(QString, answer);
        QFETCH(QString, expected);
        QFETCH(QString, marking);
        QFETCH(int, grade);
        const DictationCheck::Result r = DictationCheck::compare(answer, expected);
        QCOMPARE(marks(r), marking);
        QCOMPARE(int(r.grade), grade);
    }

    // A pasted answer against a phrase of a megabyte of words is compared in order, at once.
    void hugeComparison()
    {
        const QString phrase = QString("parola ").repeated(150000);
        const QString answer = "parole " + QString("parola ").repeated(1998) + "parole";
        const DictationCheck::Result r = DictationCheck::compare(answer, phrase);
        QCOMPARE(int(r.words.size()), 150000);
        QCOMPARE(r.words[0].mark, DictationCheck::Word::Wrong);
        QCOMPARE(r.words[1].mark, DictationCheck::Word::Right);
        QCOMPARE(r.words[1999].mark, DictationCheck::Word::Wrong);
        QCOMPARE(r.mistakes, 150000 - 1998);
        QCOMPARE(int(r.grade), int(Grade::Again));
    }

    // Keyboard only: typing, a special letter put at the cursor, Enter to check and go on,
    // F5 and F6 to hear again; the score and each phrase's grade.
    void sessionByKeyboard()
    {
        DictationWindow w(input(
            {"Vorrei un caffè, per favore.", "Dov'è la stazione?", "Perché no?", "Buongiorno a tutti"}));
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(played, QStringList{"/s/1.wav"});
        for (QPushButton* b : w.findChildren<QPushButton*>())
            QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->objectName()));
        QCOMPARE(numberedButtons(&w, "btnLetter_").size(), size_t(12));
        QCOMPARE(numberedButtons(&w, "btnLetter_")[1]->accessibleName(), QString("Insert è"));
        QCOMPARE(numberedButtons(&w, "btnLetter_")[7]->accessibleName(), QString("Insert capital è"));

        type(w, "vorrei un caffè per favore");
        key(Qt::Key_F5);
        key(Qt::Key_F6);
        QCOMPARE(played, (QStringList{"/s/1.wav", "/s/1.wav", "/s/1.wav"}));
        QCOMPARE(rates, QList<double>{DictationWindow::SlowerRate});
        key(Qt::Key_Return);
        QVERIFY(label(&w, "lblFeedback")->text().contains("Right!"));
        QVERIFY(label(&w, "lblFeedback")->text().contains("Translation 1"));
        QCOMPARE(QApplication::focusWidget(), button(&w, "btnNext"));
        key(Qt::Key_Return);

        // "Dov' la stazione", then è put after the apostrophe from its button.
        QCOMPARE(played.last(), QString("/s/2.wav"));
        type(w, "Dov' la stazione");
        key(Qt::Key_Home);
        for (int i = 0; i < 4; ++i)
            key(Qt::Key_Right);
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), numberedButtons(&w, "btnLetter_")[1]);
        key(Qt::Key_Space);
        QCOMPARE(answerLine(&w)->text(), QString("Dov'è la stazione"));
        key(Qt::Key_Return);
        QCOMPARE(w.run().grades().front(), Grade::Good);
        key(Qt::Key_Return);

        rateWorks = false; // a player that cannot go slower: the button says so
        key(Qt::Key_F6);
        QVERIFY(!button(&w, "btnSlower")->isEnabled());
        QCOMPARE(button(&w, "btnSlower")->text(), QString("Slow playback is not available"));
        key(Qt::Key_F5); // the usual replay goes on
        QCOMPARE(played.last(), QString("/s/3.wav"));
        type(w, "perche no");
        key(Qt::Key_Return);
        QVERIFY(label(&w, "lblFeedback")->text().contains("almost (accent)"));
        QCOMPARE(
            label(&w, "lblFeedback")->accessibleDescription(),
            QString("Almost: only accents are wrong. It counts as right.\nalmost (accent): \"perche\" for "
                    "\"Perché\""));
        key(Qt::Key_Return);

        type(w, "Buonasera");
        key(Qt::Key_Return);
        QVERIFY(label(&w, "lblFeedback")->text().contains("wrong"));
        QVERIFY(label(&w, "lblFeedback")->text().contains("missing"));
        key(Qt::Key_Return);

        QVERIFY(w.run().ended());
        QCOMPARE(storedGrades(w.run()), (std::vector<int>{3, 3, 2, 1}));
        QCOMPARE(label(&w, "lblFeedback")->text(), QString("You wrote 3/4 (75%) right."));
        QCOMPARE(QApplication::focusWidget(), button(&w, "btnClose"));
        QCOMPARE(scoreRows(dir.filePath("Users.dat")),
                 QStringList{"Zoë \"Z\"|Dictation| Al Caffè|3/4 (75%)|75|10:8"});
        key(Qt::Key_Return);
        QVERIFY(!w.isVisible());
        QCOMPARE(scoreRows(dir.filePath("Users.dat")).size(), 1);
    }

    // Enter on an empty answer grades nothing; a missed first word is named in words; F7 shows
    // the phrase and grades it Again; the slower player failing later leaves the usual one on.
    void emptyAnswerAndDontKnow()
    {
        DictationWindow w(input({"Vorrei un caffè, per favore.", "Grazie mille"}));
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        key(Qt::Key_Return);
        QCOMPARE(w.run().answered(), 0);
        QVERIFY(!button(&w, "btnNext")->isEnabled());
        QVERIFY(label(&w, "lblFeedback")->text().startsWith("Type the phrase you hear first"));
        type(w, "un caffè per favore");
        key(Qt::Key_Return);
        const QString said = label(&w, "lblFeedback")->accessibleDescription();
        QVERIFY2(said.contains("missing word: \"Vorrei\"") && !said.contains("\"\""), qPrintable(said));
        key(Qt::Key_Return);

        ActivitySound::failed("/s/2.wav", true); // as the slower player reports an error
        QVERIFY(button(&w, "btnSlower")->toolTip().startsWith("Slow playback is not available"));
        QVERIFY(!button(&w, "btnSlower")->isEnabled());
        QVERIFY(button(&w, "btnListen")->isEnabled());
        QVERIFY(label(&w, "lblSoundProblem")->isHidden());
        QCOMPARE(button(&w, "btnDontKnow")->accessibleName(), QString("I don't know (F7)"));
        key(Qt::Key_F7);
        QCOMPARE(w.run().grades().back(), Grade::Again);
        QVERIFY(label(&w, "lblFeedback")->text().contains("The phrase: Grazie mille"));
        QVERIFY(answerLine(&w)->isReadOnly());
        QCOMPARE(QApplication::focusWidget(), button(&w, "btnNext"));
        key(Qt::Key_Return);
        QCOMPARE(scoreRows(dir.filePath("Users.dat")),
                 QStringList{"Zoë \"Z\"|Dictation| Al Caffè|1/2 (50%)|50|10:8"});
    }

    // A sound that cannot be played: said once, in the window; each phrase can be typed from
    // its translation. Escape leaves early and records the phrases checked.
    void withoutSoundThenEscape()
    {
        Sound::setPlayerForTests({}); // the real player, handed sound files that are not there
        Sound::setOutputDeviceForTests(false);
        DictationWindow w(input({"Ciao", "Grazie", "Prego"}, "Spanish"));
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        Sound::setOutputDeviceForTests(std::nullopt);
        for (const char* name : {"btnListen", "btnSlower"}) // nothing to play on: off, and why
            QVERIFY(!button(&w, name)->isEnabled() && !button(&w, name)->toolTip().isEmpty());
        QCOMPARE(w.windowTitle(), QString("Dictado - Al Caffè"));
        QCOMPARE(informalSpanish(&w), QStringList()); // "usted", as the launcher
        QVERIFY(label(&w, "lblSoundProblem")->isVisible());
        auto* hint = w.findChild<QLabel*>("lblHint");
        QCOMPARE(hint->text(), QString("Traducción: Translation 1"));
        QVERIFY(hint->isVisible());
        const QString said = label(&w, "lblSoundProblem")->text();
        type(w, "ciao");
        key(Qt::Key_Return);
        QVERIFY(label(&w, "lblFeedback")->text().contains("¡Correcto!"));
        QVERIFY(!hint->isVisible());
        key(Qt::Key_Return);
        QCOMPARE(hint->text(), QString("Traducción: Translation 2"));
        QVERIFY(hint->isVisible());
        QCOMPARE(label(&w, "lblSoundProblem")->text(), said); // once, not again for each phrase
        type(w, "grazia");
        key(Qt::Key_Return);
        QVERIFY(label(&w, "lblFeedback")->text().contains("mal"));
        QString question;
        answerNextBox(QMessageBox::Yes, &question); // leaving with answers given is asked
        key(Qt::Key_Escape);
        QVERIFY(question.startsWith(QString::fromUtf8("¿Salir ahora?")));
        QVERIFY(!w.isVisible());
        QCOMPARE(scoreRows(dir.filePath("Users.dat")),
                 QStringList{"Zoë \"Z\"|Dictation| Al Caffè|1/2 (50%)|50|10:8"});
    }

    // A phrase and a translation of a megabyte: the window keeps to the screen with its
    // controls in reach, and the marked answer is shown cut.
    void hugePhrase()
    {
        ActivityInput in = input({QString("parola ").repeated(150000)});
        in.phrases[0].translation = QString(1 << 20, QLatin1Char('t'));
        in.subject = QString(1 << 20, QLatin1Char('s'));
        DictationWindow w(in);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        type(w, "parola parola");
        key(Qt::Key_Return);
        const QSize screen = QGuiApplication::primaryScreen()->availableSize();
        QVERIFY(w.width() <= screen.width() && w.height() <= screen.height());
        for (QWidget* c :
             std::initializer_list<QWidget*>{button(&w, "btnNext"), button(&w, "btnListen"), answerLine(&w)})
            QVERIFY2(w.rect().contains(QRect(c->mapTo(&w, QPoint(0, 0)), c->size())),
                     qPrintable(c->objectName()));
        QVERIFY(label(&w, "lblFeedback")->text().size() < 200000);
        QVERIFY(w.windowTitle().size() < 300);
    }
};

QTEST_MAIN(TestDictation)
#include "TestDictation.moc"
