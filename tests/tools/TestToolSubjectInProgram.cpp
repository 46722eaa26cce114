// A subject a teacher makes with parlanto-subject is listed in the program's tree and
// studied like a shipped one: same check, same study set, the sounds handed over unchanged.
#include "state/AppState.h"
#include "study/StudySet.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectTree.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestToolSubjectInProgram : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void madeSubjectIsListedAndStudied();
};

void TestToolSubjectInProgram::madeSubjectIsListedAndStudied()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString program = dir.filePath(QStringLiteral("program/"));
    const QString subjects = program + QStringLiteral("Subjects/");
    QVERIFY(QDir().mkpath(subjects));

    // The teacher's table, with recorded sounds beside it.
    QList<QByteArray> sounds;
    QStringList lines;
    const QStringList italian = {QStringLiteral("Dov'è il museo?"),
                                 QStringLiteral("Un biglietto, per favore."),
                                 QStringLiteral("A che ora chiude?")};
    for (int i = 0; i < italian.size(); ++i) {
        sounds << TestSupport::makeWave(i + 3);
        const QString wav = QStringLiteral("s%1.wav").arg(i + 1);
        QFile f(dir.filePath(wav));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(sounds.last()) == sounds.last().size());
        lines << QStringList{italian[i], QStringLiteral("Translation %1").arg(i + 1), QString(), wav}.join(
            '\t');
    }
    QFile table(dir.filePath(QStringLiteral("museum.tsv")));
    QVERIFY(table.open(QIODevice::WriteOnly));
    table.write(lines.join('\n').toUtf8() + '\n');
    table.close();

    QProcess tool;
    tool.start(QStringLiteral(PARLANTO_TOOLS_DIR "/parlanto-subject"),
               {QStringLiteral("create"), subjects + TestSupport::subjectFile("At_the_Museum"),
                QStringLiteral("--edition"), TestSupport::ownEdition(), QStringLiteral("--phrases"),
                table.fileName(), QStringLiteral("--sounds"), dir.path()});
    QVERIFY(tool.waitForFinished(60000));
    QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());

    resetAppState();
    AppState& s = app();
    TestSupport::useNumberedCaptions(s);
    s.programFolder = program;
    s.dataFolder = program;
    s.installedSubjectsFolder = subjects;
    s.virtualSubjectsFolder = program + QStringLiteral("MySubjects/");
    s.tempFolder = dir.filePath(QStringLiteral("tmp/"));
    QVERIFY(QDir().mkpath(s.tempFolder));

    SubjectTree tree;
    tree.createFolders();
    tree.loadSubjects();
    QTreeWidgetItem* installed = tree.installedFolder();
    QCOMPARE(installed->childCount(), 1);
    QCOMPARE(installed->child(0)->text(0), QStringLiteral("At The Museum"));
    QCOMPARE(SubjectNode::of(installed->child(0)).file, TestSupport::subjectFile("At_the_Museum"));

    QCOMPARE(checkSubject(TestSupport::subjectFile("At_the_Museum")), QStringLiteral("VALID"));
    const StudySet::Result result =
        StudySet::collectInstalledSubject(s, TestSupport::subjectFile("At_the_Museum"));
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    QCOMPARE(result.count, 3);
    for (int slot = 1; slot <= 3; ++slot) {
        QCOMPARE(s.StudyPhrases[size_t(slot - 1)].Phrase, italian[slot - 1]);
        QFile wav(s.studySoundFile(slot));
        QVERIFY(wav.open(QIODevice::ReadOnly));
        QCOMPARE(wav.readAll(), sounds[slot - 1]);
    }
}

QTEST_MAIN(TestToolSubjectInProgram)
#include "TestToolSubjectInProgram.moc"
