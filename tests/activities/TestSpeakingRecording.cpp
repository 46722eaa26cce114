// Speaking records for real: a private sound server's virtual microphone hears a phrase played
// into it while the window records, and the recording holds that speech. Skipped, with the
// reason, where PulseAudio cannot start.
#include "ActivityTestSupport.h"
#include "SpeakingWindow.h"
#include "SpeechAnalysis.h"
#include "platform/Sound.h"
#include "support/PrivateSoundServer.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>

class TestSpeakingRecording : public QObject
{
    Q_OBJECT
    PrivateSoundServer server;
    QTemporaryDir work; // as the launcher's hand-over folder: private
    QStringList played;

    QString speak(const QString& name, const QString& text)
    {
        const QString path = work.filePath(name);
        QProcess p;
        p.start(QStringLiteral("espeak-ng"), {"-v", "it", "-w", path, text});
        return p.waitForFinished(30000) && p.exitCode() == 0 ? path : QString();
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        // Before anything asks for sound devices: Qt reaches the server named then.
        QString why;
        if (!server.start(&why))
            QSKIP(qPrintable("No sound server to record from: " + why));
        // The window's own sounds are seen, not played: only the phrase played below reaches
        // the microphone.
        Sound::setPlayerForTests([this](const QString& p, bool) { played << p; });
    }

    // The first phrase is said into the microphone and stopped with V; the second is left
    // silent and stops by itself after twice the model's length and two seconds, a warning
    // of that phrase only. Both recordings are gone when the activity ends.
    void recordsWhatIsSaid()
    {
        QVERIFY(QDir::setCurrent(work.path()));
        writeUsersDatabase(work.filePath("Users.dat"));
        ActivityInput in;
        in.interfaceLanguage = QStringLiteral("English");
        in.user = QStringLiteral("Anna Rossi");
        in.subject = QStringLiteral("At the Cafe");
        in.usersDatabase = work.filePath("Users.dat");
        in.phrases.push_back({"Un caffè, per favore.", "A coffee, please.", "",
                              speak("~prl1231.wav", "Un caffè, per favore.")});
        in.phrases.push_back({"Grazie.", "Thank you.", "", speak("~prl1232.wav", "Grazie.")});
        in.phrases.push_back({"Prego.", "You are welcome.", "", in.phrases[1].soundFile});
        QVERIFY2(!in.phrases[0].soundFile.isEmpty() && !in.phrases[1].soundFile.isEmpty(),
                 "espeak-ng failed");

        SpeakingWindow w(in);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY2(button(&w, "btnRecord")->isEnabled(), qPrintable(label(&w, "lblNotice")->text()));
        QCOMPARE(QApplication::focusWidget(), button(&w, "btnRecord"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_V);
        QVERIFY2(w.isRecording(), qPrintable(label(&w, "lblNotice")->text()));
        QCOMPARE(button(&w, "btnRecord")->accessibleName(), QStringLiteral("Stop recording"));
        // Once the microphone delivers, the window says so and the phrase is said into it.
        QTRY_VERIFY_WITH_TIMEOUT(w.recorder().bytesRecorded() > 0, 10000);
        QVERIFY(w.findChild<QLabel*>("lblStatus")->text().startsWith("Recording: speak now."));
        QTest::qWait(300);
        QVERIFY(server.play(in.phrases[0].soundFile));
        QTest::qWait(500);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_V);
        QTRY_VERIFY(!w.recordingPath().isEmpty());
        const QString first = w.recordingPath();
        QCOMPARE(QFileInfo(first).absolutePath(), QDir(work.path()).canonicalPath());

        QTRY_VERIFY(w.closeness()); // compared on a worker thread
        QString error;
        const auto model = SpeechAnalysis::readWave(in.phrases[0].soundFile, &error);
        const auto recorded = SpeechAnalysis::readWave(first, &error);
        QVERIFY2(model && recorded, qPrintable(error));
        const qint64 modelMs = SpeechAnalysis::voicedSpan(*model).durationMs();
        const SpeechAnalysis::Span span = SpeechAnalysis::voicedSpan(*recorded);
        qInfo("model %lld ms, recorded %lld ms of speech in %lld ms, peak %.2f, distance %.1f", modelMs,
              span.durationMs(), recorded->durationMs(), double(SpeechAnalysis::peak(*recorded, span)),
              w.closeness() ? w.closeness()->distance : -1.0);
        QVERIFY2(std::abs(span.durationMs() - modelMs) <= modelMs * 15 / 100,
                 qPrintable(QString("%1 ms against %2 ms").arg(span.durationMs()).arg(modelMs)));
        QVERIFY(SpeechAnalysis::peak(*recorded, span) > 0.1f); // silence stays under 0.01
        QVERIFY(w.closeness() && w.closeness()->verdict == SpeechAnalysis::Closeness::Close);
        QVERIFY(label(&w, "lblHint")->text().startsWith("Hint, not a score: close to the model"));
        QCOMPARE(QApplication::focusWidget()->accessibleDescription(),
                 label(&w, "lblHint")->text()); // announced
        // The model, then the recording.
        QTRY_COMPARE(played.mid(played.size() - 2), (QStringList{in.phrases[0].soundFile, first}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ShiftModifier);
        QCOMPARE(played.last(), first);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_3);

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_V);
        QVERIFY(w.isRecording());
        QTRY_VERIFY_WITH_TIMEOUT(!w.isRecording(), w.recordingLimitMs() + 5000);
        QVERIFY(!w.recordingPath().isEmpty());
        const auto silent = SpeechAnalysis::readWave(w.recordingPath(), &error);
        QVERIFY2(silent, qPrintable(error));
        QVERIFY2(
            std::abs(silent->durationMs() - w.recordingLimitMs()) < 1000,
            qPrintable(
                QString("%1 ms recorded, limit %2 ms").arg(silent->durationMs()).arg(w.recordingLimitMs())));
        QVERIFY(label(&w, "lblNotice")->text().startsWith("Your recording was silent"));
        QVERIFY(QFileInfo::exists(first) && QFileInfo::exists(w.recordingPath()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_1);
        // The silence was the second phrase's: the third one starts without the warning.
        QVERIFY(label(&w, "lblNotice")->isHidden());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_1);

        QVERIFY(w.run().ended());
        QCOMPARE(scoreRows(work.filePath("Users.dat")),
                 QStringList{"Anna Rossi|Speaking|At the Cafe|1/3 (33%)|33|10:8"});
        QCOMPARE(QDir(work.path()).entryList({"speaking-*"}), QStringList());
        QVERIFY(QDir::setCurrent(QDir::tempPath()));
    }

    // A model with more speech than is compared (a long sound of a subject): the recording
    // is kept and heard, and the hint says, in the learner's language, that it is too long
    // to compare; the window answers all the while.
    void tooLongToCompare()
    {
        QVERIFY(QDir::setCurrent(work.path()));
        QFile::remove(work.filePath("Users.dat"));
        writeUsersDatabase(work.filePath("Users.dat"));
        const QString longModel = work.filePath("~prl4561.wav");
        {
            QFile f(longModel);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(TestSupport::makeWave(3, int(SpeechAnalysis::MaxComparedMs) + 2000));
        }
        ActivityInput in;
        in.interfaceLanguage = QStringLiteral("Spanish");
        in.user = QStringLiteral("Anna Rossi");
        in.subject = QStringLiteral("Un discorso");
        in.usersDatabase = work.filePath("Users.dat");
        in.phrases.push_back({"Un caffè, per favore.", "Un café, por favor.", "", longModel});
        const QString said = speak("said.wav", "Un caffè, per favore.");
        SpeakingWindow w(in);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY2(button(&w, "btnRecord")->isEnabled(), qPrintable(label(&w, "lblNotice")->text()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_V);
        QVERIFY2(w.isRecording(), qPrintable(label(&w, "lblNotice")->text()));
        QTRY_VERIFY_WITH_TIMEOUT(w.recorder().bytesRecorded() > 0, 10000);
        QVERIFY(server.play(said));
        QTest::qWait(1500);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_V);
        QTRY_VERIFY(w.closeness());
        QCOMPARE(int(w.closeness()->verdict), int(SpeechAnalysis::Closeness::TooLong));
        QVERIFY2(
            label(&w, "lblHint")->text().startsWith("Pista, no una nota: demasiado larga para compararla"),
            qPrintable(label(&w, "lblHint")->text()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_3);
        QVERIFY(w.run().ended());
        QVERIFY(QDir::setCurrent(QDir::tempPath()));
    }

    void cleanupTestCase() { server.stop(); }
};

QTEST_MAIN(TestSpeakingRecording)
#include "TestSpeakingRecording.moc"
