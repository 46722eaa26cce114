// One running copy per learner's data: the real launcher started twice from one program
// folder. The second start ends at once and brings the first to the front, a file given to
// it is added by the first, and a socket left by a killed copy does not stop a new start.
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <unistd.h>

class TestSingleInstance : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_program;
    QProcessEnvironment m_env;

    std::unique_ptr<QProcess> launch(const QStringList& arguments = {})
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(m_env);
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(m_program + QStringLiteral("parlanto"), arguments);
        return p;
    }
    // Waits for a line of the launcher's own log; keeps what was read in *log.
    static bool waitFor(QProcess& p, QByteArray* log, const QByteArray& line, int ms = 60000)
    {
        QDeadlineTimer deadline(ms);
        while (!log->contains(line) && !deadline.hasExpired() && p.state() != QProcess::NotRunning) {
            p.waitForReadyRead(200);
            *log += p.readAll();
        }
        *log += p.readAll();
        return log->contains(line);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        m_program = m_root.filePath(QStringLiteral("program/"));
        for (const char* sub : {"Subjects", "MySubjects", "Activities"})
            QVERIFY(QDir().mkpath(m_program + QLatin1String(sub)));
        for (const char* file : {"parlanto", "Parlanto.tpl", "custom.tpl", "offline.htm"})
            QVERIFY(QFile::copy(QStringLiteral(PARLANTO_PROGRAM_DIR "/") + QLatin1String(file),
                                m_program + QLatin1String(file)));
        const QString run = m_root.filePath(QStringLiteral("run"));
        QVERIFY(QDir().mkpath(run));
        QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), run);
        m_env.insert(QStringLiteral("QT_LOGGING_RULES"),
                     QStringLiteral("qt.multimedia*=false;parlanto.instance.info=true"));
        m_env.insert(QStringLiteral("HOME"), m_root.filePath(QStringLiteral("home")));
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_root.filePath(QStringLiteral("home/.config")));
        m_env.insert(QStringLiteral("XDG_DATA_HOME"), m_root.filePath(QStringLiteral("home/.local/share")));
        m_env.insert(QStringLiteral("XDG_CACHE_HOME"), m_root.filePath(QStringLiteral("home/.cache")));
    }

    void secondStartHandsOverAndEnds()
    {
        auto first = launch();
        QByteArray firstLog;
        QVERIFY2(waitFor(*first, &firstLog, "listening"), firstLog.constData());

        // A plain second start: it ends at once, and the first comes to the front (once its
        // login window shows: a start during its splash leaves the window to the start-up).
        for (int i = 0; i < 60 && !firstLog.contains("raised frmLogin"); ++i) {
            auto second = launch();
            QVERIFY(second->waitForFinished(30000));
            QCOMPARE(second->exitCode(), 0);
            QVERIFY(!second->readAll().contains("listening"));
            waitFor(*first, &firstLog, "raised frmLogin", 1000);
        }
        QVERIFY2(firstLog.contains("raised frmLogin"), firstLog.constData());

        // A subject file given to the next start is added by the first copy.
        const QString name = TestSupport::subjectFile(QStringLiteral("Handed Over"));
        const QString outside = m_root.filePath(name);
        QString error;
        QVERIFY2(TestSupport::writeSubject(outside, TestSupport::ownEdition(), 3, &error), qPrintable(error));
        auto third = launch({outside});
        QVERIFY(third->waitForFinished(30000));
        QCOMPARE(third->exitCode(), 0);
        QVERIFY2(waitFor(*first, &firstLog, "added " + name.toUtf8()), firstLog.constData());
        QVERIFY(QFileInfo::exists(m_program + QStringLiteral("Subjects/") + name));

        // Killed, the first leaves its socket behind; a new start serves in its place.
        first->kill();
        QVERIFY(first->waitForFinished(30000));
        QVERIFY(!QDir(m_root.filePath(QStringLiteral("run/parlanto-%1").arg(::geteuid())))
                     .entryList({QStringLiteral("parlanto-*")}, QDir::System | QDir::Files)
                     .isEmpty());
        auto fourth = launch();
        QByteArray fourthLog;
        QVERIFY2(waitFor(*fourth, &fourthLog, "listening"), fourthLog.constData());
        QCOMPARE(fourth->state(), QProcess::Running);
        fourth->terminate();
        QVERIFY(fourth->waitForFinished(30000));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "TestSingleInstance.moc"
