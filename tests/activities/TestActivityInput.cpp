#include "ActivityTestSupport.h"

#include "review/PhraseIdsFile.h"
#include "state/AppState.h"
#include "study/ActivityInputFile.h"
#include "study/HandOverFiles.h"
#include "users/UsersDatabase.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

class TestActivityInput : public QObject
{
    Q_OBJECT

    static QByteArray sample(int count, int phrasesWritten)
    {
        QByteArray b =
            "77\r\nprlita\r\nParlanto Italian\r\nSpanish\r\nItalian\r\nAna \"la\" Pérez*\r\n Al Café\r\n" +
            QByteArray::number(count) +
            "\r\n/data/Users.dat\r\nEMPTY\r\nEMPTY\r\nEMPTY\r\nEMPTY\r\nEMPTY\r\n2\r\n";
        for (int i = 1; i <= phrasesWritten; ++i)
            b += "\"Ciao " + QByteArray::number(i) + "\"\r\n\"Hi \"" + QByteArray::number(i) +
                 "\"\"\r\n\"\"\r\n\"/tmp/~prl77" + QByteArray::number(i) + ".wav\"\r\n";
        return b;
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void parsesTheContract()
    {
        QString error;
        const auto in = ActivityInput::parse(sample(2, 2), &error);
        QVERIFY2(in, qPrintable(error));
        QCOMPARE(in->instanceId, 77);
        QCOMPARE(in->interfaceLanguage, QStringLiteral("Spanish"));
        QCOMPARE(in->user, QStringLiteral("Ana \"la\" Pérez*"));
        QCOMPARE(in->subject, QStringLiteral(" Al Café"));
        QCOMPARE(in->usersDatabase, QStringLiteral("/data/Users.dat"));
        QCOMPARE(in->contentLevel, 2);
        QCOMPARE(int(in->phrases.size()), 2);
        QCOMPARE(in->phrases[1].translation, QStringLiteral("Hi \"2\""));
        QCOMPARE(in->phrases[1].translation2, QString());
        QCOMPARE(in->phrases[1].soundFile, QStringLiteral("/tmp/~prl772.wav"));
    }

    void refusesBadFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("header cut") << sample(2, 0).left(40);
        QTest::newRow("phrases missing") << sample(3, 2);
        QTest::newRow("count zero") << sample(0, 0);
        QTest::newRow("count eleven") << sample(11, 11);
        QTest::newRow("count not a number")
            << QByteArray(sample(2, 2)).replace("\r\n2\r\n/data", "\r\ntwo\r\n/data");
        QTest::newRow("unquoted phrase") << QByteArray(sample(2, 2)).replace("\"Ciao 2\"", "Ciao 2");
        QTest::newRow("not text") << QByteArray("\xff\xfe\x00\x01", 4);
    }
    void refusesBadFiles()
    {
        QFETCH(QByteArray, bytes);
        QString error;
        QVERIFY(!ActivityInput::parse(bytes, &error));
        QVERIFY(!error.isEmpty());
    }

    // The ids file as another activity maker would read it: slots of no known phrase are 0,
    // a file of another form is refused with a reason.
    void phraseIdsFile()
    {
        QString error;
        const QByteArray bytes =
            PhraseIdsFile::contents({{"Caffè é.ita", 4}, {}, {"a\nb.ita", 2}, {"Dov'è\t.ita", 7}});
        QCOMPARE(bytes,
                 QByteArray("PARLANTO PHRASE IDS 1\r\n4\r\n4\tCaff\xc3\xa8 \xc3\xa9.ita\r\n0\t\r\n0\t\r\n"
                            "7\tDov'\xc3\xa8\t.ita\r\n"));
        const auto entries = PhraseIdsFile::parse(bytes, &error);
        QVERIFY2(entries, qPrintable(error));
        QCOMPARE(int(entries->size()), 4);
        QCOMPARE(entries->at(0), (PhraseIdentity{QStringLiteral("Caffè é.ita"), 4}));
        QVERIFY(!entries->at(1).isValid() && !entries->at(2).isValid());
        QCOMPARE(entries->at(3).subjectFile, QStringLiteral("Dov'è\t.ita"));
        for (const QByteArray& bad : {QByteArray("PARLANTO PHRASE IDS 2\r\n0\r\n"),
                                      QByteArray("PARLANTO PHRASE IDS 1\r\n2\r\n1\ta.ita\r\n"),
                                      QByteArray("PARLANTO PHRASE IDS 1\r\n1\r\nx\ta.ita\r\n")})
            QVERIFY(!PhraseIdsFile::parse(bad, &error) && !error.isEmpty());
        QCOMPARE(PhraseIdsFile::pathFor("/t/~prl12001.txt"), QStringLiteral("/t/~prl12001.ids"));
        QVERIFY(PhraseIdsFile::pathFor("/t/input.dat").isEmpty());
        QVERIFY(!PhraseIdsFile::readBeside("/no/such/~prl1.txt", &error) && error.isEmpty());
    }

    // The ids file is read only as a plain file of bounded size: a link (to another file, or
    // to an endless device) and a pipe are refused at once, as is a file over the bound (and
    // an input file over its own); a name longer than a file name or with a folder in it
    // is a slot of no known phrase.
    void idsFileBounded()
    {
        QTemporaryDir dir;
        const QString input = dir.filePath("~prl1.txt");
        const QString ids = PhraseIdsFile::pathFor(input);
        const QString real = dir.filePath("real.ids");
        auto write = [](const QString& path, const QByteArray& bytes) {
            QFile f(path);
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        };
        QVERIFY(write(real, PhraseIdsFile::contents({{"a.ita", 1}})));
        QString error;
        for (const QString& target : {real, QStringLiteral("/dev/zero")}) {
            QVERIFY(QFile::link(target, ids));
            QVERIFY(!PhraseIdsFile::readBeside(input, &error));
            QVERIFY2(error.contains("link"), qPrintable(error));
            QVERIFY(QFile::remove(ids));
        }
        QVERIFY(::mkfifo(QFile::encodeName(ids).constData(), 0600) == 0);
        QVERIFY(!PhraseIdsFile::readBeside(input, &error) && error.contains("plain file"));
        QVERIFY(QFile::remove(ids));

        QByteArray big = PhraseIdsFile::contents({{"a.ita", 1}});
        big.append(PhraseIdsFile::MaxFileBytes, 'x');
        QVERIFY(write(ids, big));
        QVERIFY(!PhraseIdsFile::readBeside(input, &error) && error.contains("larger"));
        QVERIFY(write(input, sample(1, 1) + QByteArray(ActivityInput::MaxFileBytes, ' ')));
        QVERIFY(!ActivityInput::read(input, &error) && error.contains("larger"));

        const QString longName = QString(252, QChar(0xe8)) + ".ita"; // 508 bytes of UTF-8
        QVERIFY(write(ids, "PARLANTO PHRASE IDS 1\r\n3\r\n5\t" + longName.toUtf8() +
                               "\r\n6\t../b.ita\r\n7\tc.ita\r\n"));
        const auto entries = PhraseIdsFile::readBeside(input, &error);
        QVERIFY2(entries && entries->size() == 3, qPrintable(error));
        QVERIFY(!entries->at(0).isValid() && !entries->at(1).isValid());
        QCOMPARE(entries->at(2), (PhraseIdentity{"c.ita", 7}));
    }

    void missingFile()
    {
        QString error;
        QVERIFY(!ActivityInput::read(QStringLiteral("~prl-no-such-file.txt"), &error));
        QVERIFY(error.contains("~prl-no-such-file.txt"));
        QVERIFY(!ActivityInput::read(QString(), &error));
    }

    // What the launcher writes is what the activity reads, by its bare name in the working
    // folder the launcher gives it.
    void launcherFileRoundTrip()
    {
        resetAppState();
        QTemporaryDir temp;
        AppState& s = app();
        s.tempFolder = temp.path() + "/";
        s.dataFolder = "/home/zoë/data/";
        s.CurrentUser = "Zoë \"Z\" *O'Brien";
        QString error;
        QVERIFY(HandOverFiles::beginSet(s, &error));
        s.StudyPhraseCount = 3;
        for (int i = 1; i <= 3; ++i)
            s.StudyPhrases[size_t(i - 1)] = {
                "x.ita", i, QString("Più \"%1\"").arg(i), "T*" + QString::number(i), "", s.studySoundFile(i),
                i};
        QVERIFY(writeActivityFile(s, " Caffè", &error));
        const QString before = QDir::currentPath();
        QDir::setCurrent(s.handOverFolder);
        const auto in = ActivityInput::read(s.activityInputFileName(), &error);
        QDir::setCurrent(before);
        // Beside it, each slot's phrase identity; the set's removal takes it too.
        const QString idsPath = s.handOverFolder + QStringLiteral("~prl%1.ids").arg(s.launchHandle);
        const auto ids = PhraseIdsFile::readBeside(s.activityInputFile(), &error);
        QVERIFY2(ids, qPrintable(error));
        QCOMPARE(int(ids->size()), 3);
        QCOMPARE(ids->at(2), (PhraseIdentity{"x.ita", 3}));
        QFile idsFile(idsPath);
        QVERIFY(idsFile.open(QIODevice::ReadOnly));
        QCOMPARE(idsFile.readAll(),
                 QByteArray("PARLANTO PHRASE IDS 1\r\n3\r\n1\tx.ita\r\n2\tx.ita\r\n3\tx.ita\r\n"));
        QVERIFY(!QFile::exists(idsPath + ".part"));
        HandOverFiles::removeAll(s);
        QVERIFY(!QFile::exists(idsPath));
        QVERIFY2(in, qPrintable(error));
        QCOMPARE(in->user, s.CurrentUser);
        QCOMPARE(in->subject, QStringLiteral(" Caffè"));
        QCOMPARE(in->usersDatabase, s.usersDatabasePath());
        QCOMPARE(int(in->phrases.size()), 3);
        QCOMPARE(in->phrases[2].phrase, QStringLiteral("Più \"3\""));
        QCOMPARE(in->phrases[2].translation, QStringLiteral("T*3"));
        QCOMPARE(in->phrases[2].soundFile, s.studySoundFile(3));
    }

    void appendsScores()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Users.dat");
        writeUsersDatabase(path);
        ScoreRow a{"O'Brien \"Z\"", "Flashcards", " Caffè*", QStringLiteral("3/4"), 3.0, {}, {}};
        a.setWhen(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
        ScoreRow b{"Ana", "Listening", "Mix", std::nullopt, 75.0, {}, {}};
        b.setWhen(QDateTime::currentDateTime());
        QString error;
        QVERIFY2(appendScore(path, a, &error), qPrintable(error));
        QVERIFY2(appendScore(path, b, &error), qPrintable(error));
        QCOMPARE(scoreRows(path), (QStringList{"O'Brien \"Z\"|Flashcards| Caffè*|3/4|3|10:8",
                                               "Ana|Listening|Mix|<null>|75|10:8"}));
        QVERIFY(!appendScore(dir.filePath("missing.dat"), a, &error));
        QVERIFY(error.contains(dir.filePath("missing.dat")));
    }

    // A disk that takes no more bytes (the kernel's file size limit stands in for it): a
    // message naming the file, and the database byte for byte as it was; later writes work.
    void resultOnFullDisk()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Users.dat");
        writeUsersDatabase(path);
        ScoreRow score{"Ana", "Flashcards", "Mix", QStringLiteral("6/9 (67%)"), 67.0, {}, {}};
        score.setWhen(QDateTime::currentDateTime());
        QString error;
        QVERIFY2(appendScore(path, score, &error), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        struct rlimit saved;
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit full = saved;
        full.rlim_cur = 1;
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &full) == 0);
        const bool written = appendScore(path, score, &error);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!written);
        QVERIFY2(error.startsWith("The result could not be saved in " + path + ": "), qPrintable(error));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        file.close();
        QCOMPARE(scoreRows(path).size(), 1);
        QVERIFY2(appendScore(path, score, &error), qPrintable(error));
        QCOMPARE(scoreRows(path).size(), 2);
    }
};

QTEST_MAIN(TestActivityInput)
#include "TestActivityInput.moc"
