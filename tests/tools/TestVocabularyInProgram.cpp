// A vocabulary opened with the program (parlanto FILE, or from a file manager) in an
// installed copy: the import window shows it, makes it into subjects in the learner's own
// subjects folder with a summary, the tree shows them and they are handed to an activity
// like any subject; opened again, the learner is asked before the subjects are replaced.
// The window itself: columns chosen by keyboard, a word list refused with what to do, and
// Cancel in the middle of a long import leaving nothing behind.
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
#include "import/ImportWindow.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectTree.h"
#include "support/TestSupport.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestVocabularyInProgram : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void openedVocabularyIsListedAndStudied();
    void windowChoosesColumnsAndCancels();
};

namespace {

// Runs open(), which shows the import window modally, and runs action on the window once it
// is up; then closes it as the learner would (its Close button).
void driveImportWindow(const std::function<void(ImportWindow*)>& action, const std::function<void()>& open)
{
    bool acted = false;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<ImportWindow*>(w);
            if (acted || !window || !window->isVisible())
                continue;
            acted = true;
            action(window);
            if (window->isVisible())
                window->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        }
    });
    timer.start();
    open();
    QVERIFY(acted);
}

// The import is over: the Cancel button has become Close.
bool importOver(ImportWindow* w)
{
    return w->findChild<QPushButton*>(QStringLiteral("cancelButton"))->text() ==
           app().captions(Caption::ImportClose);
}

QString statusOf(ImportWindow* w)
{
    return w->findChild<QLabel*>(QStringLiteral("status"))->text();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

} // namespace

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
        if (r.kind == Dialogs::Request::Kind::Message)
            return QMessageBox::Ok; // the program's own notices are not counted here
        boxes << r;
        return r.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });
    Sound::setPlayerForTests([](const QString&, bool) {});
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
        QString summary;
        driveImportWindow(
            [&](ImportWindow* w) {
                // KVTML names its languages: the columns are chosen already.
                auto* import = w->findChild<QPushButton*>(QStringLiteral("importButton"));
                QTRY_VERIFY(import->isEnabled());
                QCOMPARE(w->findChild<QLabel*>(QStringLiteral("languages"))->text(),
                         QStringLiteral("Italian, English"));
                import->click();
                QTRY_VERIFY_WITH_TIMEOUT(importOver(w), 60000);
                summary = statusOf(w);
            },
            [&] { QVERIFY(Startup::start(flow, opened)); });
        QCOMPARE(s.learnerSubjectsFolder, learnerFolder);
        QVERIFY(QDir(program + QStringLiteral("Subjects")).isEmpty()); // the installation is never written
        QCOMPARE(
            QDir(learnerFolder).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot),
            (QStringList{QStringLiteral("Parole_nuove_1.ita"), QStringLiteral("Parole_nuove_2.ita")}));
        // The summary in the window; opened a second time, first the question whether to
        // replace, Cancel its default.
        QCOMPARE(boxes.size(), round);
        if (round == 1) {
            QVERIFY(boxes.front().text.contains(QStringLiteral("Parole_nuove_1.ita\nParole_nuove_2.ita")));
            QCOMPARE(boxes.front().defaultButton, QMessageBox::Cancel);
        }
        QVERIFY2(
            summary.startsWith(QStringLiteral(
                "Made 2 subjects (12 phrases) from Parole nuove.kvtml: Parole nuove 1, Parole nuove 2.")),
            qPrintable(summary));
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
            QCOMPARE(s.StudyPhrases[0].Phrase, QStringLiteral("la parola 10"));
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

void TestVocabularyInProgram::windowChoosesColumnsAndCancels()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    // The captions of the edition's template, as the program loads them.
    resetAppState();
    AppState& s = app();
    s.edition = *findEdition(QStringLiteral("prlita"));
    TemplateSource source;
    QString error;
    QVERIFY2(
        TemplateBuilder::readSources(QStringLiteral(PARLANTO_SOURCE_DIR "/data/template"), &source, &error),
        qPrintable(error));
    QStringList english;
    for (const auto& row : source.captions)
        english << row.english;
    s.captions.setTexts(english);
    const QString out = root.filePath(QStringLiteral("Subjects"));
    QVERIFY(QDir().mkpath(out));

    // The commonest file a learner has: two columns, no header, nothing saying which is which.
    QByteArray lines;
    for (int i = 1; i <= 3000; ++i)
        lines += "parola " + QByteArray::number(i) + "\tword " + QByteArray::number(i) + "\n";
    writeFile(root.filePath(QStringLiteral("parole.txt")), lines.left(lines.indexOf("parola 31\t")));
    writeFile(root.filePath(QStringLiteral("molte.txt")), lines);
    writeFile(root.filePath(QStringLiteral("lista.txt")), "cane\ngatto\n");

    {
        ImportWindow window(root.filePath(QStringLiteral("parole.txt")), out);
        QStringList made;
        connect(&window, &ImportWindow::imported, this, [&made](const QStringList& files) { made = files; });
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* phrase = window.findChild<QComboBox*>(QStringLiteral("phraseColumn"));
        auto* translation = window.findChild<QComboBox*>(QStringLiteral("translationColumn"));
        auto* import = window.findChild<QPushButton*>(QStringLiteral("importButton"));
        QTRY_COMPARE(phrase->count(), 3); // read: "(choose a column)", Column 1, Column 2
        QCOMPARE(window.findChild<QTableWidget*>(QStringLiteral("preview"))->rowCount(), 10);
        QVERIFY(!import->isEnabled()); // the file does not say which column is which
        QTRY_VERIFY(phrase->hasFocus());
        QTest::keyClick(phrase, Qt::Key_Down);
        QTest::keyClick(&window, Qt::Key_Tab);
        QVERIFY(translation->hasFocus());
        QTest::keyClick(translation, Qt::Key_Down);
        QVERIFY(!import->isEnabled()); // the same column twice
        QTest::keyClick(translation, Qt::Key_Down);
        QVERIFY(import->isEnabled());
        QTest::keyClick(translation, Qt::Key_Return); // the default button
        QTRY_VERIFY_WITH_TIMEOUT(importOver(&window), 60000);
        QCOMPARE(made, (QStringList{QStringLiteral("parole_1.ita"), QStringLiteral("parole_2.ita"),
                                    QStringLiteral("parole_3.ita")}));
        for (const QString& file : made)
            QCOMPARE(checkSubjectFile(QDir(out).filePath(file), QStringLiteral("prlita")),
                     QStringLiteral("VALID"));
    }
    const QStringList before = QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    {
        // A word list: refused with what the learner can do.
        ImportWindow window(root.filePath(QStringLiteral("lista.txt")), out);
        window.show();
        QTRY_VERIFY(importOver(&window));
        QVERIFY(statusOf(&window).startsWith(s.captions(Caption::ImportWordList)));
    }
    {
        // A long import cancelled in the middle: nothing new, no working folder.
        ImportWindow window(root.filePath(QStringLiteral("molte.txt")), out);
        window.show();
        auto* phrase = window.findChild<QComboBox*>(QStringLiteral("phraseColumn"));
        QTRY_COMPARE(phrase->count(), 3);
        phrase->setCurrentIndex(1);
        window.findChild<QComboBox*>(QStringLiteral("translationColumn"))->setCurrentIndex(2);
        window.findChild<QPushButton*>(QStringLiteral("importButton"))->click();
        auto* progress = window.findChild<QProgressBar*>(QStringLiteral("progress"));
        QTRY_VERIFY_WITH_TIMEOUT(progress->value() >= 2, 60000);
        QCOMPARE(progress->maximum(), 300);
        window.findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(importOver(&window), 60000);
        QCOMPARE(statusOf(&window), s.captions(Caption::ImportCancelled));
    }
    QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);

    // A package with a review log offers it to the logged-in learner; ticked, its reviews go to
    // the keeper the window was given, and the summary says what was added.
    const QString recipe = root.filePath(QStringLiteral("recipe.json"));
    writeFile(recipe, R"({"out": ")" + root.filePath(QStringLiteral("Storia.apkg")).toUtf8() +
                          R"(", "deck": "Storia", "fields": ["Italian", "English"],
                          "notes": [["il cane", "the dog"]],
                          "revlog": [[0, 1767261600000, 3, 0], [0, 1767434400000, 1, 1]]})");
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral(PARLANTO_SOURCE_DIR "/tests/tools/make_anki.py"), recipe});
    QVERIFY(python.waitForFinished(120000) && python.exitCode() == 0);
    s.CurrentUser = QStringLiteral("Anna Rossi");
    size_t kept = 0;
    ImportWindow window(root.filePath(QStringLiteral("Storia.apkg")), out, nullptr,
                        [&kept](const VocabularyImport::Result& result, QString*) {
                            kept = result.reviews.size();
                            return std::optional<int>(int(kept));
                        });
    window.show();
    auto* history = window.findChild<QCheckBox*>(QStringLiteral("bringHistory"));
    QTRY_VERIFY(!history->isHidden());
    QVERIFY(history->text().contains(s.CurrentUser));
    history->click();
    QTRY_VERIFY(window.findChild<QPushButton*>(QStringLiteral("importButton"))->isEnabled());
    window.findChild<QPushButton*>(QStringLiteral("importButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(importOver(&window), 60000);
    QCOMPARE(kept, size_t(2));
    QVERIFY(statusOf(&window).contains(s.captions(Caption::AnkiHistoryAdded).arg(2).arg(0)));
}

QTEST_MAIN(TestVocabularyInProgram)
#include "TestVocabularyInProgram.moc"
