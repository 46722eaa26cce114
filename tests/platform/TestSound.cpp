#include "platform/Sound.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Sounds on a machine that may have no audio device: silence, never a hang or a crash.
class TestSound : public QObject
{
    Q_OBJECT
private slots:
    void realPlaybackReturns();
    void damagedFilesAreSkipped_data();
    void damagedFilesAreSkipped();
    void clickRepeatedReplaces();
    void playerHook();

private:
    QTemporaryDir m_dir;
};

void TestSound::realPlaybackReturns()
{
    const QString path = m_dir.filePath(QStringLiteral("phrase.wav"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(TestSupport::makeWave(3, 300));
    f.close();
    Sound::PlaySoundFile(path); // returns after at most the sound's length and a margin
    QVERIFY(QFile::exists(path));
}

void TestSound::damagedFilesAreSkipped_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not a wave") << QByteArray("plain text, not a sound");
    QTest::newRow("header only") << TestSupport::makeWave(1, 100).left(30);
}

void TestSound::damagedFilesAreSkipped()
{
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath(QStringLiteral("bad.wav"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    Sound::PlaySoundFile(path);
    Sound::PlaySoundFile(m_dir.filePath(QStringLiteral("missing.wav")));
}

void TestSound::clickRepeatedReplaces()
{
    for (int i = 0; i < 5; ++i) {
        Sound::PlayInterfaceSound(QStringLiteral("click"));
        QTest::qWait(10);
    }
    Sound::PlayInterfaceSound(QStringLiteral("Click"));
    QTest::qWait(50);
}

void TestSound::playerHook()
{
    QStringList played;
    QList<bool> synchronous;
    Sound::setPlayerForTests([&](const QString& source, bool sync) {
        played << source;
        synchronous << sync;
    });
    Sound::PlayInterfaceSound(QStringLiteral("Click"));
    Sound::PlaySoundFile(QStringLiteral("/tmp/x.wav"));
    Sound::setPlayerForTests(nullptr);
    QCOMPARE(played, (QStringList{QStringLiteral("qrc:/sounds/click.wav"), QStringLiteral("/tmp/x.wav")}));
    QCOMPARE(synchronous, (QList<bool>{false, true}));
}

QTEST_GUILESS_MAIN(TestSound)
#include "TestSound.moc"
