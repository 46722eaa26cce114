// A vocabulary opened with the program (parlanto FILE, or from a file manager) in an
// installed copy: made into subjects in the learner's own subjects folder, shown in the tree
// with one summary message, and handed to an activity like any subject; opened again, the learner is
// asked before the subjects are replaced.
#include "ActivityInput.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "app/WindowFlow.h"
#include "common/TemplateBuilder.h"
#include "platform/Sound.h"
#include "platform/Web.h"
#include "state/AppState.h"
#include "study/ActivityInputFile.h"
#include "study/StudySet.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectTree.h"
#include "support/TestSupport.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestVocabularyInProgram : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void openedVocabularyIsListedAndStudied();
};

void TestVocabularyInProgram::openedVocabularyIsListedAndStudied()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    resetAppState();
    AppState& s = app();
    s.edition = *findEdition(QStringLiteral("prlita"));
    const QString program = root.filePath(QStringLiteral("program/"));
    for (const char* sub : {"Subjects", "MySubjects", "Activities"})
        QVERIFY(QDir().mkpath(program + QLatin1String(sub)));
    QFile marker(program + QStringLiteral(".installed"));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    TemplateSource source;
    QString error;
    QVERIFY2(
        TemplateBuilder::readSources(QStringLiteral(PARLANTO_SOURCE_DIR "/data/template"), &source, &error),
        qPrintable(error));
    QVERIFY2(TemplateBuilder::build(program + QStringLiteral("Parlanto.tpl"), source, &error),
             qPrintable(error));
    s.programFolder = program;

    QList<Dialogs::Request> boxes;
    Dialogs::setHandlerForTests([&boxes](const Dialogs::Request& r) {
        boxes << r;
        return r.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });
    Sound::setPlayerForTests([](const QString&, bool) {});
    MessageWindow::setModalHandlerForTests([](const QString&) {});
    Startup::setScreenSizeForTests(QSize(1024, 768));
    Web::setConnectedForTests(false);

    // Written by hand as KWordQuiz writes it: Italian and English, twelve entries.
    QString entries;
    for (int i = 0; i < 12; ++i)
        entries +=
            QStringLiteral("<entry id=\"%1\"><translation id=\"0\"><text>la parola %1</text></translation>"
                           "<translation id=\"1\"><text>word %1</text></translation></entry>\n")
                .arg(i);
    const QString opened = root.filePath(QStringLiteral("Parole nuove.kvtml"));
    QFile kvtml(opened);
    QVERIFY(kvtml.open(QIODevice::WriteOnly));
    kvtml.write(
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kvtml version=\"2.0\">\n"
            "<identifiers><identifier id=\"0\"><name>Italian</name><locale>it</locale></identifier>"
            "<identifier id=\"1\"><name>English</name><locale>en</locale></identifier></identifiers>\n"
            "<entries>\n%1</entries>\n</kvtml>\n")
            .arg(entries)
            .toUtf8());
    kvtml.close();

    const QString learnerFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                  QStringLiteral("/Parlanto Italian/Subjects/");
    QDir(learnerFolder).removeRecursively();
    for (int round = 0; round < 2; ++round) {
        boxes.clear();
        MainWindow window;
        WindowFlow flow(window);
        QVERIFY(Startup::start(flow, opened));
        QCOMPARE(s.learnerSubjectsFolder, learnerFolder);
        QVERIFY(QDir(program + QStringLiteral("Subjects")).isEmpty()); // the installation is never written
        QCOMPARE(
            QDir(learnerFolder).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot),
            (QStringList{QStringLiteral("Parole_nuove_1.ita"), QStringLiteral("Parole_nuove_2.ita")}));
        // One summary; opened a second time, first the question whether to replace.
        QCOMPARE(boxes.size(), round + 1);
        if (round == 1)
            QVERIFY(boxes.front().text.contains(QStringLiteral("Parole_nuove_1.ita\nParole_nuove_2.ita")));
        QVERIFY2(
            boxes.last().text.startsWith(QStringLiteral(
                "Made 2 subjects (12 phrases) from Parole nuove.kvtml: Parole nuove 1, Parole nuove 2.")),
            qPrintable(boxes.last().text));
        const QTreeWidgetItem* current = window.subjectTree()->currentItem();
        QVERIFY(current);
        QCOMPARE(current->text(0), QStringLiteral("Parole Nuove 1"));
        QCOMPARE(current->parent(), window.subjectTree()->installedFolder());
        QCOMPARE(current->parent()->child(1)->text(0), QStringLiteral("Parole Nuove 2"));
        if (round == 1) {
            // Studied as the activity panel hands a subject to an activity.
            QCOMPARE(checkSubject(QStringLiteral("Parole_nuove_2.ita")), QStringLiteral("VALID"));
            const StudySet::Result result =
                StudySet::collectInstalledSubject(s, QStringLiteral("Parole_nuove_2.ita"));
            QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
            QCOMPARE(result.count, 2);
            QCOMPARE(s.StudyPhrases[1].Phrase, QStringLiteral("la parola 10"));
            QVERIFY(QFileInfo(s.studySoundFile(1)).size() > 1000);
            // The input file the activity is started with, read by the activities' own reader.
            QVERIFY2(writeActivityFile(s, current->parent()->child(1)->text(0), &error), qPrintable(error));
            const auto input = ActivityInput::read(s.activityInputFile(), &error);
            QVERIFY2(input, qPrintable(error));
            QCOMPARE(input->phrases.size(), size_t(2));
            QCOMPARE(input->phrases[1].translation, QStringLiteral("word 11"));
            QVERIFY(QFileInfo(input->phrases[1].soundFile).size() > 1000);
        }
        window.endProgram();
    }

    Dialogs::setHandlerForTests(nullptr);
    Startup::setScreenSizeForTests(std::nullopt);
    Web::setConnectedForTests(std::nullopt);
    MessageWindow::unload();
    QDir(learnerFolder).removeRecursively();
}

QTEST_MAIN(TestVocabularyInProgram)
#include "TestVocabularyInProgram.moc"
