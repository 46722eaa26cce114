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
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectTree.h"
#include "support/TestSupport.h"
#include "users/UsersDatabase.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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
        // The padded files of gigabytes are sparse: their size and time tell a change.
        if (!info.isSymLink() && info.isFile() && info.size() > (64 << 20))
            h = QByteArray::number(info.size()) + ' ' +
                QByteArray::number(info.lastModified().toMSecsSinceEpoch());
        else if (!info.isSymLink() && info.isFile() && f.open(QIODevice::ReadOnly))
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
    void openedFiles_data() { rows("import"); }
    void openedFiles();
    void programOnHostileFiles();
    void lyingSoundHeard();

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
    QVERIFY(count >= 3);
}

void TestBadFiles::init()
{
    resetAppState();
    // The corpus is made for the Italian edition for English speakers, whatever the build.
    app().edition = *findEdition(QStringLiteral("prlita"));
    TestSupport::useNumberedCaptions(app());
    m_boxes.clear();
    Dialogs::setHandlerForTests([this](const Dialogs::Request& r) {
        if (r.kind == Dialogs::Request::Kind::Message)
            return QMessageBox::Ok; // the program's own notices are not counted here
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
    // On a copy: a file of an older version gets its missing columns.
    QTemporaryDir folder;
    const QString copy = folder.filePath(name);
    QVERIFY(QFile::copy(file("users"), copy));
    const UsersDatabase users(copy, QString());
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

// A file opened with the program (its command line, a file manager) is checked before it
// is read: one padded to gigabytes is refused by its size, with the reason.
void TestBadFiles::openedFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, outcome);
    QTemporaryDir data;
    AppState& s = app();
    s.installedSubjectsFolder = data.filePath(QStringLiteral("Subjects/"));
    s.learnerSubjectsFolder = s.installedSubjectsFolder;
    s.virtualSubjectsFolder = data.filePath(QStringLiteral("MySubjects/"));
    const SubjectImport import = checkSubjectImport(s, file("import"));
    if (outcome == QLatin1String("usable")) {
        QCOMPARE(int(import.kind), int(SubjectImport::InstalledSubjectFile));
        QString error;
        QVERIFY2(copySubjectImport(file("import"), import, false, &error), qPrintable(error));
        return;
    }
    QCOMPARE(int(import.kind), int(SubjectImport::Refused));
    QVERIFY2(names(import.verdict, name) && import.verdict.contains(QStringLiteral("64 MB")),
             qPrintable(import.verdict));
}

// The real program started on the hostile files at once (its subjects, virtual subjects,
// users database and activity pictures): it reads them all, stays within 300 MB, changes
// none of the subject files nor their folders, and a SIGTERM ends it within a second.
void TestBadFiles::programOnHostileFiles()
{
    QTemporaryDir root;
    const QString program = root.filePath(QStringLiteral("program/"));
    for (const char* sub : {"Subjects", "MySubjects", "Activities"})
        QVERIFY(QDir().mkpath(program + QLatin1String(sub)));
    for (const char* file : {"parlanto", "Parlanto.tpl", "custom.tpl", "offline.htm"})
        QVERIFY(QFile::copy(QStringLiteral(PARLANTO_PROGRAM_DIR "/") + QLatin1String(file),
                            program + QLatin1String(file)));
    const QString c = corpusFolder();
    for (const char* name : {"Recursive_View", "Trigger", "WAL_Mode", "Good"}) {
        const QString n = QLatin1String(name);
        QVERIFY(
            QFile::copy(c + "installed/" + n + ".ita", program + "Subjects/" + TestSupport::subjectFile(n)));
        QVERIFY(
            QFile::copy(c + "virtual/" + n + ".vita", program + "MySubjects/" + TestSupport::virtualFile(n)));
    }
    QVERIFY(QFile::copy(c + "users/Recursive_View.dat", program + "Users.dat"));
    QVERIFY(QFile::copy(QStringLiteral(PARLANTO_PROGRAM_DIR "/Activities/Flashcards"),
                        program + "Activities/Flashcards"));
    QVERIFY(QFile::copy(c + "cfg/SVG_Fifo.cfg", program + "Activities/Flashcards.cfg"));

    const QByteArray executable = QFile::encodeName(program + "parlanto");
    const QByteArray home = QFile::encodeName(root.filePath(QStringLiteral("home")));
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("HOME", home.constData(), 1);
        ::setenv("XDG_CONFIG_HOME", (home + "/.config").constData(), 1);
        ::setenv("XDG_DATA_HOME", (home + "/.local/share").constData(), 1);
        ::setenv("XDG_CACHE_HOME", (home + "/.cache").constData(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::execl(executable.constData(), executable.constData(), nullptr);
        ::_exit(127);
    }
    QVERIFY(child > 0);
    // Long enough to open every file (the messages then wait for an answer).
    QTest::qWait(8000);
    int status = 0;
    rusage usage{};
    QCOMPARE(::wait4(child, &status, WNOHANG, &usage), 0); // still running, not crashed
    QElapsedTimer clock;
    clock.start();
    QVERIFY(::kill(child, SIGTERM) == 0);
    pid_t ended = 0;
    while ((ended = ::wait4(child, &status, WNOHANG, &usage)) == 0 && clock.elapsed() < 5000)
        QThread::msleep(10);
    const qint64 took = clock.elapsed();
    if (ended == 0) {
        ::kill(child, SIGKILL);
        ::wait4(child, &status, 0, &usage);
    }
    qInfo("ended %lld ms after SIGTERM, peak memory %ld MB", took, usage.ru_maxrss / 1024);
    QVERIFY2(ended == child && took < 1000, qPrintable(QString::number(took)));
    QVERIFY2(usage.ru_maxrss < 300 * 1024, qPrintable(QString::number(usage.ru_maxrss)));
    // It got through them: the virtual subject files were listed (their index written) and
    // the users database was kept aside as damaged.
    QVERIFY(!QDir(root.filePath(QStringLiteral("home/.cache/Parlanto"))).entryList(QDir::Files).isEmpty());
    QCOMPARE(QDir(program).entryList({QStringLiteral("Users.dat.damaged*")}, QDir::Files).size(), 1);
    // Nothing was written beside the subject files, and the hostile files are as they were.
    for (const char* folder : {"Subjects", "MySubjects"})
        QCOMPARE(QDir(program + folder).entryList(QDir::Files).size(), 4);
    QCOMPARE(hashes(c + QStringLiteral("installed")).value(c + "installed/Trigger.ita"),
             hashes(program + QStringLiteral("Subjects"))
                 .value(program + "Subjects/" + TestSupport::subjectFile("Trigger")));
}

// "Listen" on the phrase whose sound claims 0xFFFFFFF0 bytes of samples, in a process of its
// own with the real player: the player is handed the sound with the sizes it really holds,
// the process stays within 300 MB, and the subject file is unchanged (cleanup()).
void TestBadFiles::lyingSoundHeard()
{
    QTemporaryDir temp;
    const QByteArray probe = LISTEN_PROBE;
    const QByteArray folder = QFile::encodeName(corpusFolder() + QStringLiteral("installed/"));
    // Its own temporary folder; made before the fork, where only exec-safe calls follow.
    QList<QByteArray> environment{"TMPDIR=" + QFile::encodeName(temp.path())};
    for (const QString& variable : QProcessEnvironment::systemEnvironment().toStringList()) {
        if (!variable.startsWith(QLatin1String("TMPDIR=")))
            environment << QFile::encodeName(variable);
    }
    std::vector<char*> envp;
    for (QByteArray& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    int out[2];
    QVERIFY(::pipe(out) == 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::execle(probe.constData(), probe.constData(), folder.constData(), "Lying_Wave.ita", "1", nullptr,
                 envp.data());
        ::_exit(127);
    }
    QVERIFY(child > 0);
    ::close(out[1]);
    QByteArray said;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, n);
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    QCOMPARE(::wait4(child, &status, 0, &usage), child);
    qInfo("peak memory %ld MB", usage.ru_maxrss / 1024);
    QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, said.constData());
    QVERIFY2(usage.ru_maxrss < 300 * 1024, qPrintable(QString::number(usage.ru_maxrss)));
    // 44 bytes of header and the 1600 bytes of samples the file holds, claimed truthfully.
    QVERIFY2(said.contains("handed: 1644 1600 1600\n"), said.constData());
    // No message but, on a machine without sound, that there is no sound device.
    for (const QByteArray& line : said.split('\n'))
        QVERIFY2(!line.startsWith("box: ") || line == "box: " + TestSupport::captionText(363).toUtf8(),
                 line.constData());
}

QTEST_MAIN(TestBadFiles)
#include "TestBadFiles.moc"
