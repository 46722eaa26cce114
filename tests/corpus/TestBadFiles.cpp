// Every reader of outside files against the corpus of damaged and hostile files that
// tests/data/make_corpus.sh makes: a refused file gets a message that names it, an odd but
// valid one is read, the other files stay listed and usable, and no file is changed.
#include "ActivityInput.h"
#include "content/ActivityPictures.h"
#include "content/TemplateContent.h"
#include "platform/Sound.h"
#include "state/AppState.h"
#include "state/Captions.h"
#include "study/SubjectSelection.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectTree.h"
#include "support/TestSupport.h"
#include "users/UsersDatabase.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int FixedFolders = 4; // the installed, random subject, random phrases and review folders

// Name and content hash of every entry under folder (links by their target's name).
QMap<QString, QByteArray> hashes(const QString& folder)
{
    QMap<QString, QByteArray> result;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        QByteArray h = info.isSymLink() ? info.symLinkTarget().toUtf8() : QByteArray("-");
        QFile f(info.filePath());
        if (!info.isSymLink() && info.isFile() && f.open(QIODevice::ReadOnly))
            h = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
        result.insert(info.filePath(), h);
    }
    return result;
}

bool names(const QString& message, const QString& file)
{
    return message.contains(file, Qt::CaseInsensitive);
}

QString corpusFolder()
{
    static QTemporaryDir dir;
    return dir.path() + QStringLiteral("/corpus/");
}

} // namespace

class TestBadFiles : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void installedSubjects_data() { rows("installed"); }
    void installedSubjects();
    void virtualSubjects_data() { rows("virtual"); }
    void virtualSubjects();
    void usersDatabases_data() { rows("users"); }
    void usersDatabases();
    void templates_data() { rows("template"); }
    void templates();
    void pictureFiles_data() { rows("cfg"); }
    void pictureFiles();
    void activityInputFiles_data() { rows("input"); }
    void activityInputFiles();

private:
    static void rows(const char* reader);
    QString file(const char* reader) const;
    QStringList boxTexts() const;

    QList<Dialogs::Request> m_boxes;
    QMap<QString, QByteArray> m_before;
};

void TestBadFiles::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    Sound::setPlayerForTests([](const QString&, bool) {});
    MessageWindow::setModalHandlerForTests([](const QString&) {});
    QProcess make;
    make.start(QStringLiteral("bash"),
               {QStringLiteral(PARLANTO_SOURCE_DIR "/tests/data/make_corpus.sh"), corpusFolder()});
    QVERIFY(make.waitForFinished(300000));
    QVERIFY2(make.exitCode() == 0, make.readAllStandardError().constData());
    qInfo("%s", make.readAllStandardOutput().trimmed().constData());
}

void TestBadFiles::rows(const char* reader)
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("outcome");
    QFile expect(corpusFolder() + QStringLiteral("expect.tsv"));
    QVERIFY(expect.open(QIODevice::ReadOnly));
    int count = 0;
    while (!expect.atEnd()) {
        const QStringList f = QString::fromUtf8(expect.readLine()).chopped(1).split(QLatin1Char('\t'));
        if (f.size() == 3 && f[0] == QLatin1String(reader)) {
            QTest::newRow(qPrintable(f[1].left(40))) << f[1] << f[2];
            ++count;
        }
    }
    QVERIFY(count >= 5);
}

void TestBadFiles::init()
{
    resetAppState();
    // The corpus is made for the Italian edition for English speakers, whatever the build.
    app().edition = *findEdition(QStringLiteral("prlita"));
    TestSupport::useNumberedCaptions(app());
    m_boxes.clear();
    Dialogs::setHandlerForTests([this](const Dialogs::Request& r) {
        m_boxes << r;
        return QMessageBox::No;
    });
    m_before = hashes(corpusFolder());
}

void TestBadFiles::cleanup()
{
    // Nothing was written, renamed or removed by reading.
    QCOMPARE(hashes(corpusFolder()), m_before);
    Dialogs::setHandlerForTests({});
}

QString TestBadFiles::file(const char* reader) const
{
    QFETCH(QString, name);
    return corpusFolder() + QLatin1String(reader) + QLatin1Char('/') + name;
}

QStringList TestBadFiles::boxTexts() const
{
    QStringList texts;
    for (const auto& b : m_boxes)
        texts << b.text;
    return texts;
}

void TestBadFiles::installedSubjects()
{
    QFETCH(QString, name);
    QFETCH(QString, outcome);
    AppState& s = app();
    s.installedSubjectsFolder = corpusFolder() + QStringLiteral("installed/");
    const QStringList listed = installedSubjectFiles(s.installedSubjectsFolder, s.edition.LanguageCode);
    QVERIFY(listed.contains(QStringLiteral("Good.ita")));
    QCOMPARE(listed.contains(name), outcome != QLatin1String("hidden"));
    if (outcome == QLatin1String("hidden"))
        return;

    SubjectTree tree;
    SubjectSelection selection(&tree);
    tree.createFolders();
    tree.loadSubjects();
    QCOMPARE(tree.installedFolder()->childCount(), listed.size());
    auto node = [&](const QString& file) -> QTreeWidgetItem* {
        for (int i = 0; i < tree.installedFolder()->childCount(); ++i) {
            if (SubjectNode::of(tree.installedFolder()->child(i)).file == file)
                return tree.installedFolder()->child(i);
        }
        return nullptr;
    };
    // The learner opens the subject and picks its first phrase, which checks the file.
    QTreeWidgetItem* subject = node(name);
    QVERIFY(subject);
    selection.onNodeClicked(subject);
    if (subject->childCount() > 0)
        selection.onNodeClicked(subject->child(0));
    const QStringList texts = boxTexts();
    if (outcome == QLatin1String("refused")) {
        QVERIFY2(!texts.isEmpty(), "no message");
        for (const QString& t : texts)
            QVERIFY2(names(t, name), qPrintable(t.left(300)));
    } else {
        QVERIFY2(texts.isEmpty(), qPrintable(texts.join(QLatin1Char('|')).left(300)));
    }
    // The program goes on: another subject still opens.
    m_boxes.clear();
    QTreeWidgetItem* good = node(QStringLiteral("Good.ita"));
    selection.onNodeClicked(good);
    QCOMPARE(good->childCount(), 3);
    QVERIFY(m_boxes.isEmpty());
}

void TestBadFiles::virtualSubjects()
{
    QFETCH(QString, name);
    QFETCH(QString, outcome);
    // The case and a good file, alone in a folder of their own.
    QTemporaryDir folder;
    QVERIFY(QFile::copy(file("virtual"), folder.filePath(name)));
    QVERIFY(QFile::copy(corpusFolder() + QStringLiteral("virtual/Good.vita"),
                        folder.filePath(QStringLiteral("A_Good.vita"))));
    const auto before = hashes(folder.path());
    AppState& s = app();
    s.installedSubjectsFolder = corpusFolder() + QStringLiteral("installed/");
    s.virtualSubjectsFolder = folder.path() + QLatin1Char('/');

    SubjectTree tree;
    SubjectSelection selection(&tree);
    tree.createFolders();
    tree.loadSubjects();
    tree.loadVirtualSubjects();
    QCOMPARE(tree.topLevelItemCount(), FixedFolders + 2);
    const QStringList texts = boxTexts();
    if (outcome == QLatin1String("refused")) {
        QCOMPARE(texts.size(), 1);
        QVERIFY2(names(texts[0], name), qPrintable(texts[0].left(300)));
    } else {
        QVERIFY2(texts.isEmpty(), qPrintable(texts.join(QLatin1Char('|')).left(300)));
    }
    // Every virtual subject of both files opens, or says which file it cannot use.
    for (int top = FixedFolders; top < tree.topLevelItemCount(); ++top) {
        QTreeWidgetItem* folderNode = tree.topLevelItem(top);
        for (int i = 0; i < folderNode->childCount(); ++i) {
            m_boxes.clear();
            selection.onNodeClicked(folderNode->child(i));
            for (const QString& t : boxTexts())
                QVERIFY2(names(t, SubjectNode::of(folderNode).file), qPrintable(t.left(300)));
        }
    }
    QVERIFY(tree.topLevelItem(FixedFolders)->child(0)->childCount() > 0);
    QCOMPARE(hashes(folder.path()), before);
}

void TestBadFiles::usersDatabases()
{
    QFETCH(QString, name);
    QFETCH(QString, outcome);
    const UsersDatabase users(file("users"), QString());
    QString error;
    DatabaseFailure failure = DatabaseFailure::None;
    const auto learners = users.readLearners(&error, &failure);
    if (outcome == QLatin1String("refused")) {
        QVERIFY(!learners);
        QVERIFY2(names(error, name), qPrintable(error));
        // Damaged, so the login window keeps it aside and starts a new one.
        QCOMPARE(int(failure), int(DatabaseFailure::Damaged));
    } else {
        QVERIFY2(learners && !learners->isEmpty(), qPrintable(error));
    }
}

void TestBadFiles::templates()
{
    QFETCH(QString, name);
    QFETCH(QString, outcome);
    const QString path = file("template");
    Captions captions;
    QString error;
    const bool loaded = TemplateContent::loadCaptions(path, QStringLiteral("English"), &captions, &error);
    QCOMPARE(loaded, outcome == QLatin1String("usable"));
    if (!loaded)
        QVERIFY2(names(error, name), qPrintable(error));
    // The other tables: read, or refused naming the file.
    QList<TemplateContent::LinkedText> rows;
    QStringList tips;
    int tipCount = 0;
    for (bool ok :
         {TemplateContent::loadSystemMessages(path, QStringLiteral("English"), captions, &rows, &error),
          TemplateContent::loadMenuLinks(path, QStringLiteral("English"), captions, &rows, &error),
          TemplateContent::loadTips(path, QStringLiteral("prlita"), &tips, &tipCount, &error)}) {
        if (!ok)
            QVERIFY2(names(error, name), qPrintable(error));
    }
}

void TestBadFiles::pictureFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, outcome);
    QString error;
    const auto pictures = loadActivityPictures(file("cfg"), QStringLiteral("bEnglish"), &error);
    QCOMPARE(bool(pictures), outcome == QLatin1String("usable"));
    if (!pictures)
        QVERIFY2(names(error, name), qPrintable(error));
}

void TestBadFiles::activityInputFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, outcome);
    QString error;
    const auto input = ActivityInput::read(file("input"), &error);
    QCOMPARE(bool(input), outcome == QLatin1String("usable"));
    if (input)
        return;
    QVERIFY2(names(error, name), qPrintable(error));
    // The activity program itself says so and ends, without a window left waiting.
    QProcess activity;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PARLANTO_ACTIVITY_NO_DIALOGS"), QStringLiteral("1"));
    activity.setProcessEnvironment(env);
    activity.start(QStringLiteral(PARLANTO_PROGRAM_DIR "/Activities/Flashcards"), {file("input")});
    QVERIFY(activity.waitForFinished(60000));
    QCOMPARE(activity.exitCode(), 1);
    const QString said = QString::fromUtf8(activity.readAllStandardError());
    QVERIFY2(names(said, name), qPrintable(said));
}

QTEST_MAIN(TestBadFiles)
#include "TestBadFiles.moc"
