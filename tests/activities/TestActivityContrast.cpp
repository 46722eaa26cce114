// The four activities under the desktop palette the test runs with (PARLANTO_TEST_PALETTE:
// "default", "dark" through Qt's GTK platform theme with Adwaita dark, "high" a high-contrast
// palette), as the launcher's windows are checked: every visible text, the warnings, the
// marked choices and the words marked in Dictation's answer, measured against the rendered
// background, at 4.5:1 at least.
#include "ActivitySound.h"
#include "ActivityTestSupport.h"
#include "DictationWindow.h"
#include "FlashcardsWindow.h"
#include "ListeningWindow.h"
#include "SpeakingWindow.h"
#include "platform/Sound.h"
#include "support/Contrast.h"

#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

class TestActivityContrast : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QString m_palette;

    ActivityInput input()
    {
        ActivityInput in;
        in.interfaceLanguage = "English";
        in.usersDatabase = dir.filePath("Users.dat");
        in.phrases = {{"Vorrei un caffè per favore", "I would like a coffee, please", "", "/s/1.wav"},
                      {"Grazie", "Thank you", "", "/s/2.wav"},
                      {"Prego", "You are welcome", "", "/s/3.wav"}};
        return in;
    }

    // Every visible label and marked button of window, and each colour a label's rich text
    // sets, against the background rendered around it.
    void check(QWidget* window, const QString& name)
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTest::qWait(50);
        const QImage shot = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const qreal r = shot.devicePixelRatio();
        shot.save(QDir::current().filePath(m_palette + "-activity-" + name + ".png"));
        QStringList weak;
        int measured = 0;
        // A widget's area in the picture; inset leaves out a frame (a marked button's border).
        auto area = [&](QWidget* w, int inset = 0) {
            const QRect inWindow =
                QRect(w->mapTo(window, QPoint(0, 0)), w->size()).adjusted(inset, inset, -inset, -inset);
            return QRect(QPoint(qRound(inWindow.left() * r), qRound(inWindow.top() * r)),
                         QSize(qRound(inWindow.width() * r), qRound(inWindow.height() * r)));
        };
        auto measure = [&](QWidget* w, const QString& what, int inset = 0) {
            const auto c = Contrast::ofText(shot, area(w, inset));
            measured += c.has_value();
            if (c && *c < 4.5)
                weak << QString("\"%1\" %2:1").arg(what.left(40)).arg(*c, 0, 'f', 2);
        };
        for (QLabel* l : window->findChildren<QLabel*>()) {
            if (!l->isVisibleTo(window) || l->text().trimmed().isEmpty())
                continue;
            measure(l, l->text());
            const QRgb background = Contrast::commonest(Contrast::colourCounts(shot, area(l)));
            static const QRegularExpression colour("color:\\s*(#[0-9a-fA-F]{6})");
            for (auto m = colour.globalMatch(l->text()); m.hasNext();) {
                const QString c = m.next().captured(1);
                if (Contrast::ratio(QColor(c).rgb(), background) < 4.5)
                    weak << QString("%1 in \"%2\"").arg(c, l->objectName());
            }
        }
        for (QPushButton* b : window->findChildren<QPushButton*>())
            if (b->isVisibleTo(window) && b->property("verdict").isValid())
                measure(b, b->text(), 4);
        QVERIFY2(measured > 0, qPrintable(name));
        QVERIFY2(weak.isEmpty(),
                 qPrintable(name + " under the " + m_palette + " palette: " + weak.join(", ")));
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        Sound::setPlayerForTests([](const QString&, bool) {});
        m_palette = qEnvironmentVariable("PARLANTO_TEST_PALETTE", "default");
        if (m_palette == "high")
            QApplication::setPalette(Contrast::highContrastPalette());
        if (m_palette == "dark" && QApplication::palette().color(QPalette::Window).lightness() > 128)
            QSKIP("The dark desktop theme is not available here (Qt's GTK platform theme with Adwaita dark)");
        writeUsersDatabase(dir.filePath("Users.dat"));
    }

    void activitiesReadable()
    {
        {
            DictationWindow w(input());
            ActivitySound::failed("/s/1.wav"); // the warning shown
            // Every mark: wrong, missing, almost (accent) and extra.
            answerLine(&w)->setText("Vorei caffe per favore grazie");
            QTest::keyClick(answerLine(&w), Qt::Key_Return);
            QVERIFY(label(&w, "lblFeedback")->text().contains("missing"));
            check(&w, "dictation");
        }
        {
            ListeningWindow w(input());
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QPushButton* wrong = nullptr;
            for (QPushButton* b : numberedButtons(&w, "btnChoice_"))
                if (b->isVisible() &&
                    b->property("translation").toString() != "I would like a coffee, please")
                    wrong = b;
            QVERIFY(wrong);
            wrong->click(); // marks it and the right one
            QCOMPARE(wrong->property("verdict").toString(), "wrong");
            check(&w, "listening");
        }
        {
            FlashcardsWindow w(input());
            button(&w, "btnReveal")->click();
            check(&w, "flashcards");
        }
        {
            SpeakingWindow w(input()); // no microphone here: its notice is shown
            check(&w, "speaking");
        }
    }
};

QTEST_MAIN(TestActivityContrast)
#include "TestActivityContrast.moc"
