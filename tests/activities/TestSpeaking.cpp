// Speaking without a microphone: the recorder fed from a device in memory, the comparison of
// sounds made by espeak-ng at test time, and the window graded by keyboard alone with no audio
// server at all (the recording for real is TestSpeakingRecording).
#include "ActivityTestSupport.h"
#include "SpeakingWindow.h"
#include "SpeechAnalysis.h"
#include "SpeechRecorder.h"
#include "WaveformView.h"
#include "platform/Sound.h"
#include "platform/WaveFile.h"

#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include <cmath>

namespace {

// Samples as a microphone delivers them (16 kHz mono 16-bit): silence, a vowel-like sound
// (a 200 Hz tone with two overtones) at the given level, silence.
QByteArray speechLike(int silenceMs, int soundMs, double level, int trailingMs)
{
    QByteArray pcm;
    auto put = [&pcm](double v) {
        char b[2];
        qToLittleEndian<qint16>(qint16(std::lround(v * 32767)), b);
        pcm.append(b, 2);
    };
    for (int i = 0; i < silenceMs * 16; ++i)
        put(0);
    for (int i = 0; i < soundMs * 16; ++i) {
        const double t = i / 16000.0;
        put(level * (0.6 * std::sin(2 * M_PI * 200 * t) + 0.3 * std::sin(2 * M_PI * 400 * t) +
                     0.1 * std::sin(2 * M_PI * 800 * t)));
    }
    for (int i = 0; i < trailingMs * 16; ++i)
        put(0);
    return pcm;
}

} // namespace

class TestSpeaking : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QStringList played;

    QString speak(const QString& name, const QStringList& options, const QString& text)
    {
        const QString path = dir.filePath(name + ".wav");
        QProcess p;
        p.start(QStringLiteral("espeak-ng"), QStringList(options) << "-w" << path << text);
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            return {};
        return path;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        Sound::setPlayerForTests([this](const QString& p, bool) { played << p; });
    }

    // The header the recorder writes is the 44-byte PCM header readers expect; a recording
    // fed in pieces (one of them an odd byte) keeps every sample, trims to the sound, and a
    // cancelled one leaves no file.
    void recorderWritesAWaveFile()
    {
        const QByteArray header = waveHeader(16000, 1, 16, 32000);
        QCOMPARE(header.size(), 44);
        const WaveInfo info = readWaveInfo(header + QByteArray(32000, '\0'));
        QVERIFY2(info.valid, qPrintable(info.error));
        QCOMPARE(info.formatTag, 1);
        QCOMPARE(info.sampleRate, 16000);
        QCOMPARE(info.bitsPerSample, 16);
        QCOMPARE(info.dataOffset, 44);
        QCOMPARE(info.durationMs, 1000);

        const QByteArray pcm = speechLike(400, 1200, 0.5, 600);
        QBuffer source;
        source.open(QIODevice::ReadWrite);
        SpeechRecorder recorder;
        QSignalSpy done(&recorder, &SpeechRecorder::finished);
        const QString path = dir.filePath("attempt.wav");
        QString error;
        QVERIFY2(recorder.startFrom(&source, path, 60000, &error), qPrintable(error));
        QVERIFY(recorder.isRecording());
        for (qsizetype at = 0; at < pcm.size(); at += 4001) { // odd pieces: samples split in two
            const qint64 pos = source.pos();
            source.seek(source.size());
            source.write(pcm.mid(at, 4001));
            source.seek(pos);
        }
        recorder.stop();
        QCOMPARE(done.size(), 1);
        const auto result = done.first().first().value<SpeechRecorder::Result>();
        QCOMPARE(result.path, path);
        QVERIFY(result.error.isEmpty());
        QCOMPARE(result.durationMs, 2200);
        QVERIFY(std::abs(result.peak - 0.362f) < 0.005f); // the three tones never peak together
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(bytes.left(44), waveHeader(16000, 1, 16, quint32(pcm.size())));
        QCOMPARE(bytes.mid(44), pcm);
        const auto sound = SpeechAnalysis::readWave(path, &error);
        QVERIFY2(sound, qPrintable(error));
        const SpeechAnalysis::Span span = SpeechAnalysis::voicedSpan(*sound);
        QVERIFY2(std::abs(span.durationMs() - 1200) <= 20, qPrintable(QString::number(span.durationMs())));
        QVERIFY(std::abs(span.begin - 400 * 16) <= 160);

        // Stopped by its limit; a second file cancelled; a folder that does not exist refused.
        QBuffer quiet;
        quiet.open(QIODevice::ReadOnly);
        QVERIFY(recorder.startFrom(&quiet, dir.filePath("limit.wav"), 50, &error));
        QTRY_COMPARE(done.size(), 2);
        QVERIFY(!recorder.isRecording());
        QVERIFY(recorder.startFrom(&quiet, dir.filePath("cancelled.wav"), 60000, &error));
        recorder.cancel();
        QVERIFY(!QFileInfo::exists(dir.filePath("cancelled.wav")));
        QCOMPARE(done.size(), 2);
        QVERIFY(!recorder.startFrom(&quiet, dir.filePath("missing/x.wav"), 1000, &error));
        QVERIFY2(error.contains("missing/x.wav"), qPrintable(error));
    }

    // Sounds of other rates, widths and channel counts are compared at 16 kHz; silence and
    // files that are not PCM are told apart.
    void decodesAndTrims_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("channels");
        QTest::newRow("22,050 Hz 16-bit mono (espeak-ng)") << 22050 << 16 << 1;
        QTest::newRow("44,100 Hz 16-bit stereo") << 44100 << 16 << 2;
        QTest::newRow("8,000 Hz 8-bit mono") << 8000 << 8 << 1;
        QTest::newRow("48,000 Hz 24-bit mono") << 48000 << 24 << 1;
    }
    void decodesAndTrims()
    {
        QFETCH(int, rate);
        QFETCH(int, bits);
        QFETCH(int, channels);
        // 300 ms of silence, 700 ms of a 300 Hz tone, 500 ms of silence.
        QByteArray data;
        const int bytes = bits / 8;
        for (int i = 0; i < rate * 3 / 2; ++i) {
            const bool sounding = i >= rate * 3 / 10 && i < rate;
            const double v = sounding ? 0.4 * std::sin(2 * M_PI * 300 * i / rate) : 0.0;
            for (int c = 0; c < channels; ++c) {
                if (bits == 8) {
                    data.append(char(quint8(std::lround(128 + v * 127))));
                } else {
                    const qint32 s = qint32(std::lround(v * ((1 << (bits - 1)) - 1)));
                    for (int k = 0; k < bytes; ++k)
                        data.append(char((s >> (8 * k)) & 0xff));
                }
            }
        }
        QString error;
        const auto sound =
            SpeechAnalysis::decodeWave(waveHeader(rate, channels, bits, quint32(data.size())) + data, &error);
        QVERIFY2(sound, qPrintable(error));
        QVERIFY(std::abs(sound->durationMs() - 1500) <= 2);
        const SpeechAnalysis::Span span = SpeechAnalysis::voicedSpan(*sound);
        QVERIFY2(std::abs(span.durationMs() - 700) <= 20, qPrintable(QString::number(span.durationMs())));
        QVERIFY(std::abs(SpeechAnalysis::peak(*sound, span) - 0.4f) < 0.02f);
        QVERIFY(!SpeechAnalysis::isSilent(*sound));

        const auto silent = SpeechAnalysis::decodeWave(
            waveHeader(rate, channels, bits, 4000) + QByteArray(4000, bits == 8 ? char(128) : '\0'), &error);
        QVERIFY(silent && SpeechAnalysis::isSilent(*silent));
        QByteArray floats = waveHeader(rate, 1, 32, 400) + QByteArray(400, '\0');
        floats[20] = 3; // IEEE floats
        QVERIFY(!SpeechAnalysis::decodeWave(floats, &error));
        QVERIFY2(error.contains("PCM"), qPrintable(error));
    }

    // The hint on sounds made by espeak-ng: the same phrase in another voice or at another
    // speed is close, much slower is of a different length, other phrases sound different
    // (the README's table; its figures are printed here).
    void hintOnSpokenPhrases_data()
    {
        QTest::addColumn<QStringList>("attemptVoice");
        QTest::addColumn<QString>("attemptText");
        QTest::addColumn<int>("verdict");
        const QString coffee = QStringLiteral("Un caffè, per favore.");
        using C = SpeechAnalysis::Closeness;
        QTest::newRow("the same sound") << QStringList{"-v", "it"} << coffee << int(C::Close);
        QTest::newRow("another male voice") << QStringList{"-v", "it+m3"} << coffee << int(C::Close);
        QTest::newRow("a female voice") << QStringList{"-v", "it+f2"} << coffee << int(C::Close);
        QTest::newRow("a higher pitch") << QStringList{"-v", "it", "-p", "80"} << coffee << int(C::Close);
        QTest::newRow("a Spanish accent") << QStringList{"-v", "es"} << coffee << int(C::Close);
        QTest::newRow("slower (140 words a minute)")
            << QStringList{"-v", "it", "-s", "140"} << coffee << int(C::Close);
        QTest::newRow("faster (220)") << QStringList{"-v", "it", "-s", "220"} << coffee << int(C::Close);
        QTest::newRow("much slower (110)")
            << QStringList{"-v", "it", "-s", "110"} << coffee << int(C::DifferentLength);
        QTest::newRow("another phrase of the same length")
            << QStringList{"-v", "it"} << QStringLiteral("Vorrei un bicchiere d'acqua.")
            << int(C::SoundsDifferent);
        QTest::newRow("a shorter phrase")
            << QStringList{"-v", "it"} << QStringLiteral("Dov'è la stazione?") << int(C::SoundsDifferent);
        QTest::newRow("a longer phrase")
            << QStringList{"-v", "it"} << QStringLiteral("Quanto costa un biglietto per Roma?")
            << int(C::SoundsDifferent);
    }
    void hintOnSpokenPhrases()
    {
        QFETCH(QStringList, attemptVoice);
        QFETCH(QString, attemptText);
        QFETCH(int, verdict);
        const QString modelPath = speak("model", {"-v", "it"}, QStringLiteral("Un caffè, per favore."));
        const QString attemptPath = speak("attempt", attemptVoice, attemptText);
        QVERIFY2(!modelPath.isEmpty() && !attemptPath.isEmpty(),
                 "espeak-ng is missing: scripts/setup installs it");
        QString error;
        const auto model = SpeechAnalysis::readWave(modelPath, &error);
        const auto attempt = SpeechAnalysis::readWave(attemptPath, &error);
        QVERIFY2(model && attempt, qPrintable(error));
        const SpeechAnalysis::Closeness c = SpeechAnalysis::compare(*model, *attempt);
        qInfo("%s: %s, length %lld ms against %lld ms, ratio %.2f, distance %.1f", QTest::currentDataTag(),
              qPrintable(attemptVoice.join(' ')), qint64(SpeechAnalysis::voicedSpan(*attempt).durationMs()),
              qint64(SpeechAnalysis::voicedSpan(*model).durationMs()), c.lengthRatio, c.distance);
        QCOMPARE(int(c.verdict), verdict);
    }

    // Speech over the bound in either sound is not compared, and says so; below it the
    // banded alignment still finds the same sound the same, and a path between sequences of
    // very different lengths.
    void tooLongIsNotCompared()
    {
        auto sound = [](int ms) {
            SpeechAnalysis::Sound out;
            const QByteArray pcm = speechLike(300, ms, 0.5, 300);
            for (qsizetype i = 0; i + 1 < pcm.size(); i += 2)
                out.samples.push_back(float(qFromLittleEndian<qint16>(pcm.constData() + i)) / 32768.0f);
            return out;
        };
        const SpeechAnalysis::Sound phrase = sound(2000), near = sound(20000), over = sound(31000);
        QVERIFY(!phrase.samples.empty() && !over.samples.empty());
        using C = SpeechAnalysis::Closeness;
        QCOMPARE(int(SpeechAnalysis::compare(over, phrase).verdict), int(C::TooLong));
        QCOMPARE(int(SpeechAnalysis::compare(phrase, over).verdict), int(C::TooLong));
        const C same = SpeechAnalysis::compare(near, near);
        QCOMPARE(int(same.verdict), int(C::Close));
        QCOMPARE(same.distance, 0.0);
        const auto frames = SpeechAnalysis::mfcc(near.samples.data(), qsizetype(near.samples.size()));
        QVERIFY(std::isfinite(SpeechAnalysis::dtwDistance({frames.front()}, frames)));
        QVERIFY(std::isfinite(SpeechAnalysis::dtwDistance(frames, {frames.back()})));
    }

    // No audio server at all (CTest's environment names a server that does not exist): the
    // window says once that nothing can be recorded, V does nothing, the model is still
    // heard and the learner grades with 1 to 4; Hard, Good and Easy count as right.
    void withoutAudioServer_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("notice");
        QTest::newRow("English") << "English"
                                 << "No microphone was found, so nothing can be recorded.";
        QTest::newRow("Spanish") << "Spanish"
                                 << "No se ha encontrado ningún micrófono";
    }
    void withoutAudioServer()
    {
        QFETCH(QString, language);
        QFETCH(QString, notice);
        QFile::remove(dir.filePath("Users.dat"));
        writeUsersDatabase(dir.filePath("Users.dat"));
        ActivityInput in;
        in.interfaceLanguage = language;
        in.user = QStringLiteral("Zoë");
        in.subject = QStringLiteral(" Al Caffè");
        in.usersDatabase = dir.filePath("Users.dat");
        for (int i = 1; i <= 4; ++i)
            in.phrases.push_back(
                {QString("Frase %1").arg(i), QString("Phrase %1").arg(i), "",
                 speak(QString("phrase%1").arg(i), {"-v", "it"}, QString("Frase %1").arg(i))});
        played.clear();
        QVERIFY(QDir::setCurrent(dir.path()));
        SpeakingWindow w(in);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(w.recordingFolder(), QDir(dir.path()).canonicalPath() + "/");
        QVERIFY(label(&w, "lblNotice")->isVisible());
        QVERIFY2(label(&w, "lblNotice")->text().startsWith(notice),
                 qPrintable(label(&w, "lblNotice")->text()));
        QVERIFY(!button(&w, "btnRecord")->isEnabled());
        QCOMPARE(QApplication::focusWidget(), button(&w, "btnModel"));
        // Every button named, its key in its tooltip.
        for (QPushButton* b : w.findChildren<QPushButton*>())
            QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->objectName()));
        QVERIFY(button(&w, "btnRecord")->toolTip().endsWith("V)"));
        QVERIFY(button(&w, "btnReplay")->toolTip().contains("+V"));
        QVERIFY(button(&w, "btnGrade_3")->toolTip().endsWith("3)"));
        if (language == "Spanish")
            QCOMPARE(informalSpanish(&w), QStringList()); // "usted", as the launcher
        // The model's length sets the recording's: twice it and two seconds.
        QVERIFY(w.recordingLimitMs() > 2000 + 2 * 500 && w.recordingLimitMs() < 2000 + 2 * 3000);
        const int grades[] = {3, 1, 2, 4};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(played.last(), in.phrases[size_t(i)].soundFile);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_V); // nothing to record with
            QVERIFY(!w.isRecording());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_M);
            QCOMPARE(played.size(), 2 * i + 2);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(Qt::Key_0 + grades[i]));
        }
        QVERIFY(w.run().ended());
        QCOMPARE(storedGrades(w.run()), (std::vector<int>{3, 1, 2, 4}));
        QCOMPARE(w.run().right(), 3);
        QCOMPARE(scoreRows(dir.filePath("Users.dat")),
                 QStringList{QString("Zoë|Speaking| Al Caffè|3/4 (75%)|75|10:8")});
        QCOMPARE(label(&w, "lblNotice")->text().count(notice), 1);
        QVERIFY(button(&w, "btnClose")->hasFocus());
        QVERIFY(QDir::setCurrent(QDir::tempPath()));
    }

    // No sound server: no output and no input. The window says so once, for both, and offers
    // only what works: the phrase to read and the grades.
    void withoutAnySoundDevice()
    {
        QFile::remove(dir.filePath("Users.dat"));
        writeUsersDatabase(dir.filePath("Users.dat"));
        QVERIFY(QDir::setCurrent(dir.path()));
        ActivityInput in;
        in.interfaceLanguage = QStringLiteral("English");
        in.usersDatabase = dir.filePath("Users.dat");
        for (int i = 1; i <= 2; ++i)
            in.phrases.push_back(
                {QString("Frase %1").arg(i), QString("Phrase %1").arg(i), "", "/missing.wav"});
        Sound::setOutputDeviceForTests(false);
        played.clear();
        {
            SpeakingWindow w(in);
            w.show();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            QVERIFY(label(&w, "lblNotice")
                        ->text()
                        .startsWith("No sound device was found: neither the model nor"));
            QVERIFY(label(&w, "lblNoSound")->isHidden()); // one word, not two
            for (const char* name : {"btnModel", "btnRecord", "btnReplay"})
                QVERIFY2(!button(&w, name)->isEnabled(), name);
            QVERIFY(!button(&w, "btnModel")->toolTip().isEmpty());
            QCOMPARE(QApplication::focusWidget(), button(&w, "btnGrade_1"));
            QTest::keyClick(&w, Qt::Key_M);
            QTest::keyClick(&w, Qt::Key_3);
            QTest::keyClick(&w, Qt::Key_3);
            QVERIFY(w.run().ended());
            QVERIFY(played.isEmpty());
        }
        Sound::setOutputDeviceForTests(std::nullopt);
        QVERIFY(QDir::setCurrent(QDir::tempPath()));
    }

    // Started in a folder others may enter, nothing is recorded there. Escape after two grades
    // asks first, as every activity does: No keeps the session; a signal while the question is
    // open ends it, recording those two once.
    void sharedFolderAndEscape()
    {
        QFile::remove(dir.filePath("Users.dat"));
        writeUsersDatabase(dir.filePath("Users.dat"));
        QTemporaryDir shared;
        QVERIFY(QFile::setPermissions(shared.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                         QFile::ReadOther | QFile::ExeOther));
        QVERIFY(QDir::setCurrent(shared.path()));
        ActivityInput in;
        in.interfaceLanguage = QStringLiteral("English");
        in.user = QStringLiteral("Zoë");
        in.subject = QStringLiteral("Café");
        in.usersDatabase = dir.filePath("Users.dat");
        for (int i = 1; i <= 3; ++i)
            in.phrases.push_back(
                {QString("Frase %1").arg(i), QString("Phrase %1").arg(i), "", "/missing.wav"});
        SpeakingWindow w(in);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(w.recordingFolder().isEmpty());
        QVERIFY(label(&w, "lblNotice")
                    ->text()
                    .startsWith("Nothing can be recorded: the activity was not started"));
        QCOMPARE(w.recordingLimitMs(), 2 * 5000 + 2000); // a model of unknown length
        QTest::keyClick(&w, Qt::Key_2);
        QTest::keyClick(&w, Qt::Key_1);
        QString question;
        answerNextBox(QMessageBox::No, &question);
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(question.startsWith("Leave now?"));
        QVERIFY(w.isVisible());
        QCOMPARE(scoreRows(dir.filePath("Users.dat")), QStringList());

        QTimer::singleShot(50, &w, [&w] { w.closeWithoutAsking(); }); // as a signal does
        QTest::keyClick(&w, Qt::Key_Escape); // returns when the question is taken away
        QVERIFY(!w.isVisible());
        QCOMPARE(scoreRows(dir.filePath("Users.dat")), QStringList{"Zoë|Speaking|Café|1/2 (50%)|50|10:8"});
        QVERIFY(QDir::setCurrent(QDir::tempPath()));
    }
};

QTEST_MAIN(TestSpeaking)
#include "TestSpeaking.moc"
