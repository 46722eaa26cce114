#include "ActivityTestSupport.h"

#include "app/AppState.h"
#include "study/ActivityInputFile.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

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

    void missingFile()
    {
        QString error;
        QVERIFY(!ActivityInput::read(QStringLiteral("~prl-no-such-file.txt"), &error));
        QVERIFY(error.contains("~prl-no-such-file.txt"));
        QVERIFY(!ActivityInput::read(QString(), &error));
    }

    // What the launcher writes is what the activity reads, relative name in the temporary folder.
    void launcherFileRoundTrip()
    {
        resetAppState();
        AppState& s = app();
        s.tempFolder = QDir::tempPath() + "/";
        s.dataFolder = "/home/zoë/data/";
        s.CurrentUser = "Zoë \"Z\" *O'Brien";
        s.instanceId = 900000 + QCoreApplication::applicationPid() % 1000;
        s.StudyPhraseCount = 3;
        for (int i = 1; i <= 3; ++i)
            s.StudyPhrases[i] = {
                "x.ita", i, QString("Più \"%1\"").arg(i), "T*" + QString::number(i), "", s.studySoundFile(i),
                i};
        QString error;
        QVERIFY(Write_Activity_File(s, " Caffè", &error));
        const auto in = ActivityInput::read(s.activityInputFileName(), &error);
        QFile::remove(s.activityInputFile());
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
        ActivityScore a{"O'Brien \"Z\"",       "Flashcards", " Caffè*",
                        QStringLiteral("3/4"), 3.0,          QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))};
        ActivityScore b{"Ana", "Listening", "Mix", std::nullopt, 75.0};
        QString error;
        QVERIFY2(appendScore(path, a, &error), qPrintable(error));
        QVERIFY2(appendScore(path, b, &error), qPrintable(error));
        QCOMPARE(scoreRows(path), (QStringList{"O'Brien \"Z\"|Flashcards| Caffè*|3/4|3|10:8",
                                               "Ana|Listening|Mix|<null>|75|10:8"}));
        QVERIFY(!appendScore(dir.filePath("missing.dat"), a, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(TestActivityInput)
#include "TestActivityInput.moc"
