#include "StudyFixture.h"

#include "content/LoadingLog.h"
#include "platform/Files.h"
#include "platform/Twips.h"
#include "study/ActivityNames.h"
#include "study/ActivityPanel.h"
#include "study/ActivityPrograms.h"
#include "study/HandOverFiles.h"
#include "study/SubjectSelection.h"
#include "subjects/SubjectTree.h"
#include "users/UsersDatabase.h"

#include <QAccessible>
#include <QBuffer>
#include <QDateTime>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>

#include <memory>

namespace {
QByteArray png(QRgb colour)
{
    QImage image(40, 10, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer b(&bytes);
    b.open(QIODevice::WriteOnly);
    image.save(&b, "PNG");
    return bytes;
}

void writeCfg(const QString& path, int rows = 2)
{
    QString error;
    auto db = Database::open(path, Database::TemplatePassword, Database::Mode::Create, &error);
    QVERIFY2(db, qPrintable(error));
    QVERIFY(db->exec("CREATE TABLE tblImages (pkImageID INTEGER PRIMARY KEY, bEnglish BLOB, bSpanish BLOB)"));
    for (int row = 1; row <= rows; ++row) {
        Statement st = db->prepare("INSERT INTO tblImages VALUES (?, ?, ?)");
        st.bindInt(1, row).bindBlob(2, png(row == 1 ? 0xff0000 : 0x00ff00)).bindBlob(3, png(0x0000ff));
        QVERIFY(st.run());
    }
}

void writeProgram(const QString& path, const QByteArray& script = "#!/bin/sh\nexit 0\n")
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(script);
    f.close();
    f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeUser);
}

// An activity as a third party would write it from the contract alone: it reads what the
// input file names, waits until the test lets it finish, then reads the subject line and the
// sound files again and records them (so files taken away meanwhile show).
QByteArray waitingActivity(const QString& records, const QString& name)
{
    return QStringLiteral("#!/bin/sh\n"
                          "rec='%1%2'\n"
                          "n=$(sed -n 8p \"$1\" | tr -d '\\r')\n"
                          "while [ ! -e '%1go' ] && [ -d '%1' ]; do sleep 0.05; done\n"
                          "{ sed -n 7p \"$1\" | tr -d '\\r'\n"
                          "  i=1; while [ $i -le $n ]; do\n"
                          "    cat \"$(sed -n \"$((15 + 4 * i))p\" \"$1\" | tr -d '\\r\"')\" || exit 1\n"
                          "    i=$((i + 1)); done; } > \"$rec.part\" && mv \"$rec.part\" \"$rec\"\n")
        .arg(records, name)
        .toUtf8();
}

struct Start
{
    QString program;
    QStringList arguments;
    QString folder;
};
} // namespace

class TestActivityPanel : public QObject
{
    Q_OBJECT
    std::unique_ptr<StudyFixture> fx;
    std::unique_ptr<QWidget> main;
    SubjectTree* tree = nullptr;
    ActivityPanel* panel = nullptr;
    SubjectSelection* selection = nullptr;
    QList<Start> starts;
    bool ended = false;

    void activities(int n)
    {
        for (int i = 1; i <= n; ++i) {
            const QString name = QStringLiteral("act%1").arg(i, 2, 10, QLatin1Char('0'));
            writeProgram(app().activitiesFolder + name);
            writeCfg(app().activitiesFolder + name + ".cfg");
        }
    }

    void build()
    {
        main = std::make_unique<QWidget>();
        auto* layout = new QHBoxLayout(main.get());
        tree = new SubjectTree(main.get());
        panel = new ActivityPanel(tree, main.get());
        selection = new SubjectSelection(tree, main.get());
        QObject::connect(panel, &ActivityPanel::quitRequested, [this] { ended = true; });
        panel->setPhraseLoader([this](QTreeWidgetItem* subject) { selection->loadPhrases(subject); });
        layout->addWidget(tree);
        layout->addWidget(panel);
        tree->createFolders();
        tree->loadSubjects();
        tree->loadVirtualSubjects();
        panel->loadActivities();
    }

    QTreeWidgetItem* installedSubject(int i) { return tree->installedFolder()->child(i); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        fx = std::make_unique<StudyFixture>();
        fx->setUp();
        starts.clear();
        ended = false;
        ActivityPrograms::setStarterForTests(
            [this](const QString& p, const QStringList& a, const QString& f, qint64*, QString*) {
                starts << Start{p, a, f};
                return true;
            });
    }
    void cleanup()
    {
        main.reset();
        ActivityPrograms::setStarterForTests({});
        LoadingLog::setSink({});
        setWriteRedirectForTests({});
    }

    // The review folder says how many phrases are due once the learner's rows are read; an
    // activity pressed on it studies them, the least likely remembered first, under the
    // subject "Review"; with nothing due, a message says when the next review is. In each
    // interface language with the shipped texts, by keyboard and by mouse.
    void reviewFolder_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("byMouse");
        // the folder with two due, the score's subject, nothing due, the message, its description
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("English, keyboard")
            << "English" << false
            << QStringList{"Review: 2 due", "Review", "Review: nothing due",
                           "Nothing is due for review today. The next review is on %1.",
                           "Phrases you are about to forget, chosen from what you have studied."};
        QTest::newRow("Spanish, mouse")
            << "Spanish" << true
            << QStringList{"Repaso: 2 pendientes", "Repaso", "Repaso: nada pendiente",
                           "Hoy no hay nada que repasar. El próximo repaso es el %1.",
                           "Frases que está a punto de olvidar, elegidas entre lo que ha estudiado."};
    }
    void reviewFolder()
    {
        QFETCH(QString, language);
        QFETCH(bool, byMouse);
        QFETCH(QStringList, texts);
        activities(1);
        QVERIFY(fx->subject(TestSupport::subjectFile("caffe"), 3));
        const QString file = TestSupport::subjectFile("caffe");
        QString error;
        app().edition.InterfaceLanguage = language;
        QVERIFY2(app().captions.load(QStringLiteral(PARLANTO_PROGRAM_DIR "/Parlanto.tpl"), language, &error),
                 qPrintable(error));
        const QString users = app().usersDatabasePath();
        {
            auto db = Database::open(users, Database::TemplatePassword, Database::Mode::Create, &error);
            QVERIFY2(
                db && db->exec(
                          "CREATE TABLE tblscores (pkScoreID INTEGER PRIMARY KEY AUTOINCREMENT, tName TEXT, "
                          "tActivity TEXT, tSubject TEXT, textScore TEXT, numberScore REAL, nDate TEXT, "
                          "nTime TEXT)"),
                qPrintable(error));
        }
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        const QString anna = QStringLiteral("Anna"), bruno = QStringLiteral("Bruno");
        // Good ten days ago (R 0.77 today), Again five days ago (R 0.61), Good now (due in 2 days).
        QVERIFY2(appendScore(users, ScoreRow{anna, "act01", "Mix", QString("2/3"), 67.0, {}, {}},
                             {{anna, {file, 1}, "act01", now - 10 * 86400, Grade::Good},
                              {anna, {file, 2}, "act01", now - 5 * 86400, Grade::Again},
                              {anna, {file, 3}, "act01", now, Grade::Good},
                              {bruno, {file, 1}, "act01", now, Grade::Good}},
                             &error),
                 qPrintable(error));
        build();
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        auto press = [&] {
            if (byMouse) {
                tree->scrollToItem(tree->reviewFolder());
                QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                                  tree->visualItemRect(tree->reviewFolder()).center());
                QCOMPARE(tree->currentItem(), tree->reviewFolder());
                QTest::mouseClick(panel->button(0), Qt::LeftButton);
            } else {
                tree->setFocus();
                tree->setCurrentItem(tree->reviewFolder());
                panel->button(0)->setFocus();
                QTest::keyClick(panel->button(0), Qt::Key_Space);
            }
        };
        panel->startReview(users, anna);
        QTRY_COMPARE(tree->reviewFolder()->text(0), texts[0]);
        // The due phrases straight under the folder, as a subject's phrases are.
        QTreeWidgetItem* set = tree->reviewFolder();
        QCOMPARE(set->childCount(), 2);
        QCOMPARE(SubjectNode::of(set->child(0)).number, 2);
        QCOMPARE(SubjectNode::of(set->child(1)).number, 1);
        QCOMPARE(set->child(1)->text(0), QStringLiteral("Phrase 1")); // as the subject lists it
        // What a screen reader says of the folder is what it shows, and what it holds.
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(tree);
        QVERIFY(node);
        bool named = false;
        for (int i = 0; i < node->childCount() && !named; ++i)
            named = node->child(i) && node->child(i)->text(QAccessible::Name) == texts[0] &&
                    node->child(i)->text(QAccessible::Description) == texts[4];
        QVERIFY(named);
        QCOMPARE(set->toolTip(0), texts[4]);

        press();
        QVERIFY(fx->boxes.isEmpty());
        QCOMPARE(starts.size(), 1);
        const QByteArray input = StudyFixture::readAll(app().activityInputFile());
        QVERIFY(input.contains("\r\n" + texts[1].toUtf8() + "\r\n2\r\n"));
        QVERIFY(input.indexOf("Frase 2") < input.indexOf("Frase 1"));

        // Bruno studied one phrase today: nothing is due, and the press says when it will be.
        panel->startReview(users, bruno);
        QTRY_COMPARE(tree->reviewFolder()->text(0), texts[2]);
        QCOMPARE(tree->reviewFolder()->childCount(), 0);
        press();
        QCOMPARE(starts.size(), 1);
        QCOMPARE(fx->boxes.size(), 1);
        const QLocale locale =
            language == "Spanish" ? QLocale(QLocale::Spanish) : app().edition.interfaceLocale();
        QCOMPARE(fx->boxes[0].text, texts[3].arg(locale.toString(
                                        QDate::currentDate().addDays(2),
                                        language == "Spanish" ? QStringLiteral("dddd d 'de' MMMM 'de' yyyy")
                                                              : QStringLiteral("dddd, d MMMM yyyy"))));
        QVERIFY(main->isEnabled());
    }

    // Due phrases that can no longer be studied (their subject file gone, their phrase gone
    // from it, a number or name that names no installed phrase) are the most overdue, yet never
    // chosen: counted apart, the others studied; a learner with only those is told why.
    void reviewLeavesOutWhatCannotBeStudied()
    {
        activities(1);
        QVERIFY(fx->subject(TestSupport::subjectFile("caffe"), 3));
        const QString file = TestSupport::subjectFile("caffe");
        QString error;
        QVERIFY2(app().captions.load(QStringLiteral(PARLANTO_PROGRAM_DIR "/Parlanto.tpl"), "English", &error),
                 qPrintable(error));
        const QString users = app().usersDatabasePath();
        {
            auto db = Database::open(users, Database::TemplatePassword, Database::Mode::Create, &error);
            QVERIFY2(db &&
                         db->exec("CREATE TABLE tblscores (pkScoreID INTEGER PRIMARY KEY "
                                  "AUTOINCREMENT, tName TEXT, tActivity TEXT, tSubject TEXT, textScore TEXT, "
                                  "numberScore REAL, nDate TEXT, nTime TEXT)"),
                     qPrintable(error));
        }
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        std::vector<PhraseResultRow> rows;
        const QStringList gone{"Gone.ita", "../" + file, "Gone/" + file, ""};
        for (const QString& name : gone) // forty days overdue: the most overdue of all
            for (int p = 1; p <= 4; ++p)
                rows.push_back({"Anna", {name, p}, "act01", now - 40 * 86400, Grade::Again});
        for (qint64 p : {qint64(0), qint64(-3), qint64(99)})
            rows.push_back({"Anna", {file, p}, "act01", now - 40 * 86400, Grade::Again});
        rows.push_back({"Anna", {file, 2}, "act01", now - 5 * 86400, Grade::Again});
        rows.push_back({"Bruno", {"Gone.ita", 1}, "act01", now - 40 * 86400, Grade::Again});
        QVERIFY2(
            appendScore(users, ScoreRow{"Anna", "act01", "Mix", QString("0/1"), 0.0, {}, {}}, rows, &error),
            qPrintable(error));
        build();
        panel->startReview(users, "Anna");
        QTRY_COMPARE(tree->reviewFolder()->text(0), QStringLiteral("Review: 1 due"));
        QCOMPARE(tree->reviewFolder()->childCount(), 2);
        QCOMPARE(SubjectNode::of(tree->reviewFolder()->child(0)).number, 2);
        QCOMPARE(tree->reviewFolder()->child(1)->text(0),
                 QStringLiteral("19 due phrases of subjects no longer installed"));
        tree->setCurrentItem(tree->reviewFolder()->child(1));
        QTest::mouseClick(panel->button(0), Qt::LeftButton);
        QCOMPARE(starts.size(), 1);
        QVERIFY(StudyFixture::readAll(app().activityInputFile()).contains("Frase 2"));

        panel->startReview(users, "Bruno");
        QTRY_COMPARE(tree->reviewFolder()->text(0), QStringLiteral("Review: nothing due"));
        tree->setCurrentItem(tree->reviewFolder());
        QTest::mouseClick(panel->button(0), Qt::LeftButton);
        QCOMPARE(starts.size(), 1);
        QCOMPARE(fx->boxes.size(), 1);
        QVERIFY2(fx->boxes[0].text.startsWith("The phrases due for review can no longer be studied") &&
                     fx->boxes[0].text.contains("1 due phrases of subjects no longer installed"),
                 qPrintable(fx->boxes[0].text));
        QVERIFY(main->isEnabled());
    }

    void threeActivitiesLayout()
    {
        activities(3);
        // An executable picture file is still no activity.
        TestSupport::writeGarbage(app().activitiesFolder + "notes.cfg");
        QFile(app().activitiesFolder + "notes.cfg").setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        QStringList log;
        LoadingLog::setSink([&log](const QString& line) { log << line; });
        build();
        QCOMPARE(panel->activities(), (QStringList{"act01", "act02", "act03"}));
        const int w = ActivityPanel::ButtonWidth, h = ActivityPanel::ButtonHeight;
        QCOMPARE(panel->button(0)->geometry(), Twips::rect(0, 0, w, h));
        QCOMPARE(panel->button(1)->geometry(), Twips::rect(2550, 0, w, h));
        QCOMPARE(panel->button(2)->geometry(), Twips::rect(0, 640, w, h));
        QCOMPARE(panel->lblMoreActs()->y(), Twips::toPixels(640 + 800));
        QCOMPARE(panel->lblMoreActs()->text(), QStringLiteral("C114"));
        QCOMPARE(panel->button(2)->objectName(), QStringLiteral("btnAct_2"));
        QCOMPARE(panel->button(2)->accessibleName(), QStringLiteral("act03"));
        QCOMPARE(log, (QStringList{"C23 act01", "C8", "C23 act02", "C8", "C23 act03", "C8"}));
        QVERIFY(!ended);
        QTest::mouseClick(panel->lblMoreActs(), Qt::LeftButton);
        QCOMPARE(fx->opened.size(), 1);
        QVERIFY(fx->opened.first().contains("activities.htm") || fx->opened.first().contains("C95"));
    }

    // The activities this build ships, found by the panel from their programs and pictures
    // alone: a button for every program of the Activities folder, Dictation among them, each
    // drawn in the learner's language.
    void shippedActivities()
    {
        const QString shipped = QStringLiteral(PARLANTO_PROGRAM_DIR "/Activities/");
        QString error;
        QVERIFY2(copyFolder(shipped, app().activitiesFolder, &error), qPrintable(error));
        QStringList programs;
        for (const QFileInfo& f : QDir(shipped).entryInfoList(QDir::Files | QDir::Executable, QDir::Name))
            if (f.suffix().isEmpty() && QFileInfo::exists(f.filePath() + ".cfg"))
                programs << f.fileName();
        QVERIFY2(programs.contains("Dictation") && programs.size() >= 3, qPrintable(programs.join(", ")));
        QImage pictures[2];
        for (int i = 0; i < 2; ++i) {
            app().edition = *findEdition(i == 0 ? "prlita" : "prlito"); // English, then Spanish
            build();
            QStringList found = panel->activities();
            found.sort();
            QCOMPARE(found, programs);
            QVERIFY(fx->boxes.isEmpty());
            ActivityButton* b = panel->button(int(panel->activities().indexOf("Dictation")));
            // Named in the learner's language, as the picture says.
            QCOMPARE(b->accessibleName(), i == 0 ? QStringLiteral("Dictation") : QStringLiteral("Dictado"));
            pictures[i] = b->grab().toImage();
            main.reset();
        }
        QVERIFY(pictures[0] != pictures[1]); // "Dictation", "Dictado"
    }

    void moreActivitiesLinkWhole()
    {
        // The real wording, longer than a button is wide, is never cut.
        QStringList texts;
        for (int i = 1; i <= 400; ++i)
            texts << QStringLiteral("C%1").arg(i);
        texts[114 - 1] = QStringLiteral("More activities on the web...");
        app().captions.setTexts(texts);
        activities(2);
        build();
        QPushButton* more = panel->lblMoreActs();
        QVERIFY(more->width() >= more->sizeHint().width());
        QVERIFY(more->height() >= more->sizeHint().height());
        QVERIFY(more->geometry().right() < panel->width());
    }
    void scrollBarFromEighteen_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("scroll");
        QTest::newRow("17") << 17 << false;
        QTest::newRow("18") << 18 << true;
    }
    void scrollBarFromEighteen()
    {
        QFETCH(int, count);
        QFETCH(bool, scroll);
        activities(count);
        build();
        main->show();
        QCOMPARE(TestSupport::child<QScrollBar>(panel, "VScroll")->isVisible(), scroll);
        QCOMPARE(panel->button(count - 1)->geometry().topLeft(),
                 Twips::point(((count - 1) % 2) * 2550, ((count - 1) / 2) * 640));
    }

    void oneOrNoActivity()
    {
        activities(1);
        build();
        QCOMPARE(panel->LastActivityIndex(), 0);
        QVERIFY(panel->button(0));
        QCOMPARE(panel->button(0)->geometry(),
                 Twips::rect(0, 0, ActivityPanel::ButtonWidth, ActivityPanel::ButtonHeight));
        main.reset();
        QFile::remove(app().activitiesFolder + "act01");
        build();
        QVERIFY(!panel->button(0));
        QCOMPARE(panel->findChild<QLabel*>("lblNoActivities")->text(), QStringLiteral("C230"));
    }

    void brokenPictureFileEndsProgram()
    {
        activities(2);
        QFile::remove(app().activitiesFolder + "act02.cfg");
        writeCfg(app().activitiesFolder + "act02.cfg", 1);
        build();
        QVERIFY(ended);
        QCOMPARE(fx->boxes.size(), 2);
        QVERIFY2(fx->boxes[0].text.startsWith(QStringLiteral("C105\nact02\n\nact02.cfg: ")) &&
                     fx->boxes[0].text.contains(QStringLiteral("fewer than two pictures")) &&
                     fx->boxes[0].text.endsWith(QStringLiteral("\n\nC106")),
                 qPrintable(fx->boxes[0].text));
        QCOMPARE(fx->boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(fx->boxes[0].title, app().edition.EditionTitle);
        QCOMPARE(fx->boxes[1].text, QStringLiteral("C107"));
    }

    // A picture file made from the contract alone, with the sqlcipher shell as anyone would:
    // only the two picture columns, row 1 normal and row 2 hover, no key column.
    void pictureFileFromTheContract()
    {
        activities(2);
        const QString cfg = app().activitiesFolder + "act02.cfg";
        QFile::remove(cfg);
        const QString sql =
            QString("PRAGMA key = 'qrv6180';\nPRAGMA kdf_iter = 64;\n"
                    "CREATE TABLE tblImages (bEnglish BLOB, bSpanish BLOB);\n"
                    "INSERT INTO tblImages VALUES (X'%1', X'%2');\n"
                    "INSERT INTO tblImages VALUES (X'%3', X'%4');\n")
                .arg(QString::fromLatin1(png(0xff0000).toHex()), QString::fromLatin1(png(0x0000ff).toHex()),
                     QString::fromLatin1(png(0x00ff00).toHex()), QString::fromLatin1(png(0xffff00).toHex()));
        QProcess shell;
        shell.start("sqlcipher", {cfg});
        QVERIFY(shell.waitForStarted());
        shell.write(sql.toUtf8());
        shell.closeWriteChannel();
        QVERIFY(shell.waitForFinished(30000));
        QVERIFY2(shell.exitCode() == 0 && QFileInfo(cfg).size() > 0,
                 shell.readAllStandardError().constData());
        build();
        QVERIFY(!ended);
        QVERIFY(fx->boxes.isEmpty());
        ActivityButton* b = panel->button(1);
        const QPoint centre = b->rect().center();
        // The learner's language picks the column.
        const bool english = app().edition.InterfaceLanguage == QLatin1String("English");
        QCOMPARE(QColor(b->grab().toImage().pixel(centre)), QColor(english ? Qt::red : Qt::blue));
        b->showHover(true);
        QCOMPARE(QColor(b->grab().toImage().pixel(centre)), QColor(english ? Qt::green : Qt::yellow));
        // Without a names table the button is named by its program.
        QCOMPARE(b->accessibleName(), QStringLiteral("act02"));
    }

    // The names table beside the pictures, made with the shell as well: the button, and
    // whatever shows the activity's results, says the name in the learner's language; the
    // stored results keep the program's name.
    void activityNamedInTheLearnersLanguage()
    {
        activities(2);
        const QString cfg = app().activitiesFolder + "act01.cfg";
        QProcess shell;
        shell.start("sqlcipher", {cfg});
        QVERIFY(shell.waitForStarted());
        shell.write("PRAGMA key = 'qrv6180';\nPRAGMA kdf_iter = 64;\n"
                    "CREATE TABLE tblNames (tEnglish TEXT, tSpanish TEXT);\n"
                    "INSERT INTO tblNames VALUES ('Cards', 'Tarjetas');\n");
        shell.closeWriteChannel();
        QVERIFY(shell.waitForFinished(30000));
        QVERIFY2(shell.exitCode() == 0, shell.readAllStandardError().constData());
        build();
        QVERIFY(!ended);
        const bool english = app().edition.InterfaceLanguage == QLatin1String("English");
        QCOMPARE(panel->button(0)->accessibleName(), QString(english ? "Cards" : "Tarjetas"));
        QCOMPARE(panel->button(1)->accessibleName(), QStringLiteral("act02"));
        QCOMPARE(ActivityNames::nameFromPictureFile(cfg, "Spanish", "act01"), QStringLiteral("Tarjetas"));
        QCOMPARE(ActivityNames::nameFromPictureFile(cfg, "English", "act01"), QStringLiteral("Cards"));
        QCOMPARE(ActivityNames::nameFromPictureFile(cfg + ".none", "Spanish", "act01"),
                 QStringLiteral("act01"));
    }

    void folderSelectedIsRefused()
    {
        activities(2);
        QVERIFY(fx->subject(TestSupport::subjectFile("a"), 2));
        build();
        tree->setCurrentItem(tree->installedFolder());
        QTest::mouseClick(panel->button(0), Qt::LeftButton);
        QCOMPARE(fx->boxes.size(), 1);
        QCOMPARE(fx->boxes.first().title, QStringLiteral("C103"));
        QCOMPARE(fx->boxes.first().text, QStringLiteral("C22"));
        QVERIFY(starts.isEmpty());
        QVERIFY(main->isEnabled());
    }

    // A virtual subject reached with the arrow keys (never clicked, so its phrases are not
    // loaded yet) is studied like a clicked one, not marked as failed.
    void virtualSubjectChosenWithKeys()
    {
        activities(1);
        QVERIFY(fx->subject("a.ita", 4));
        fx->virtualSubject("Mine.vita", "Trip", {{"a.ita", 1}, {"a.ita", 3}});
        build();
        const auto folders = tree->findItems("Mine", Qt::MatchExactly);
        QCOMPARE(folders.size(), 1);
        QTreeWidgetItem* subject = folders[0]->child(0);
        QCOMPARE(subject->childCount(), 0);
        tree->setCurrentItem(subject);
        QTest::mouseClick(panel->button(0), Qt::LeftButton);
        QVERIFY(fx->boxes.isEmpty());
        QCOMPARE(starts.size(), 1);
        QCOMPARE(app().StudyPhraseCount, 2);
        QVERIFY(tree->shownImage(subject) != SubjectTree::FailedSubjectImage);
    }

    // A phrase selected: its subject is selected and studied whole; the program is started
    // with the input file's name, in the hand-over folder.
    void phraseSelectedStudiesSubject()
    {
        activities(3);
        QVERIFY(fx->subject(TestSupport::subjectFile("a"), 4));
        build();
        QTreeWidgetItem* subject = installedSubject(0);
        tree->setCurrentItem(subject);
        selection->onNodeClicked(subject);
        tree->setCurrentItem(subject->child(2));
        panel->button(1)->setFocus();
        QTest::keyClick(panel->button(1), Qt::Key_Space);
        QCOMPARE(starts.size(), 1);
        QCOMPARE(tree->currentItem(), subject);
        QCOMPARE(starts[0].program, app().activitiesFolder + "act02");
        QCOMPARE(starts[0].arguments, QStringList{app().activityInputFileName()});
        QCOMPARE(starts[0].folder, app().handOverFolder);
        QCOMPARE(app().StudyPhraseCount, 4);
        const QList<QByteArray> lines = StudyFixture::readAll(app().activityInputFile()).split('\n');
        QCOMPARE(lines.at(6), QByteArray("A\r"));
        QCOMPARE(lines.at(7), QByteArray("4\r"));
        QVERIFY(fx->boxes.isEmpty());
        QVERIFY(main->isEnabled());
    }

    // The random subject keeps its leading blank in the tree; the activity gets the title
    // without it.
    void randomSubjectTitleTrimmed()
    {
        activities(2);
        QVERIFY(fx->subject(TestSupport::subjectFile("basic_phrases"), 2));
        build();
        selection->onNodeClicked(tree->randomSubjectFolder());
        QTreeWidgetItem* drawn = tree->randomSubjectFolder()->child(0);
        QCOMPARE(drawn->text(0), QStringLiteral(" Basic Phrases"));
        tree->setCurrentItem(drawn);
        panel->onActivityClicked(0);
        QCOMPARE(starts.size(), 1);
        const QList<QByteArray> lines = StudyFixture::readAll(app().activityInputFile()).split('\n');
        QCOMPARE(lines.at(6), QByteArray("Basic Phrases\r"));
    }

    void otherEditionRefused()
    {
        activities(2);
        QVERIFY(fx->subject(TestSupport::subjectFile("spanish"), 3, TestSupport::otherEdition(0)));
        build();
        QTreeWidgetItem* subject = installedSubject(0);
        for (int attempt = 0; attempt < 2; ++attempt) {
            tree->setCurrentItem(subject);
            QTest::mouseClick(panel->button(0), Qt::LeftButton);
            QCOMPARE(fx->boxes.size(), attempt + 1);
            QVERIFY(fx->boxes.last().text.contains(TestSupport::subjectFile("spanish")));
            QCOMPARE(subject->data(0, SubjectTree::ImageRole).toInt(), int(SubjectTree::FailedSubjectImage));
            QVERIFY(starts.isEmpty());
            QVERIFY(main->isEnabled());
        }
    }

    void noPhrasesToStudy()
    {
        activities(2);
        QString error;
        QVERIFY(InstalledSubject::create(fx->installed(TestSupport::subjectFile("empty")),
                                         TestSupport::ownEdition(), {}, true, &error));
        build();
        tree->setCurrentItem(installedSubject(0));
        panel->onActivityClicked(0);
        QCOMPARE(fx->boxes.size(), 1);
        QCOMPARE(fx->boxes.first().text, QStringLiteral("C232"));
        QVERIFY(starts.isEmpty());
        QVERIFY(main->isEnabled());
    }

    // The program went away after start-up: a message, and the window is usable again.
    void programThatCannotStart()
    {
        ActivityPrograms::setStarterForTests({});
        activities(2);
        QVERIFY(fx->subject(TestSupport::subjectFile("a"), 2));
        build();
        QFile::remove(app().activitiesFolder + "act01");
        tree->setCurrentItem(installedSubject(0));
        panel->onActivityClicked(0);
        QCOMPARE(fx->boxes.size(), 1);
        QCOMPARE(fx->boxes.first().icon, QMessageBox::Critical);
        QVERIFY(fx->boxes.first().text.startsWith("C233 act01\n\n"));
        QVERIFY(main->isEnabled());
    }

    // A real program is started for real and sees the input file's name and folder; the panel
    // tells once it has ended.
    void realLaunch()
    {
        ActivityPrograms::setStarterForTests({});
        const QString record = fx->dir.path() + "/record.txt";
        writeProgram(app().activitiesFolder + "recorder",
                     QStringLiteral(
                         "#!/bin/sh\n{ pwd; echo \"$#\"; echo \"$1\"; cat \"$1\" | head -n 8 | tail -n 1; } "
                         "> '%1.part' && mv '%1.part' '%1'\n")
                         .arg(record)
                         .toUtf8());
        writeCfg(app().activitiesFolder + "recorder.cfg");
        QVERIFY(fx->subject(TestSupport::subjectFile("a"), 3));
        build();
        QSignalSpy ended(panel, &ActivityPanel::activityEnded);
        tree->setCurrentItem(installedSubject(0));
        panel->onActivityClicked(0);
        QVERIFY(fx->boxes.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(record), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
        const QList<QByteArray> lines = StudyFixture::readAll(record).split('\n');
        QCOMPARE(QDir(QString::fromUtf8(lines.at(0))).canonicalPath(),
                 QDir(app().handOverFolder).canonicalPath());
        QCOMPARE(lines.at(1), QByteArray("1"));
        QCOMPARE(QString::fromUtf8(lines.at(2)), app().activityInputFileName());
        QCOMPARE(lines.at(3), QByteArray("3\r"));
    }

    // Two activities open at once each keep the files they were handed while they run; the
    // launch after they have ended removes them, and the end of the launcher removes the rest.
    void twoActivitiesKeepTheirOwnFiles()
    {
        ActivityPrograms::setStarterForTests({});
        const QString records = fx->dir.path() + "/records/";
        QVERIFY(QDir().mkpath(records));
        for (const QString name : {"first", "second"}) {
            writeProgram(app().activitiesFolder + name, waitingActivity(records, name));
            writeCfg(app().activitiesFolder + name + ".cfg");
        }
        QVERIFY(fx->subject(TestSupport::subjectFile("a"), 3));
        std::vector<Phrase> others;
        for (int i = 1; i <= 2; ++i)
            others.push_back({i, QString("Altra %1").arg(i), QString("Other %1").arg(i), "",
                              TestSupport::makeWave(10 + i)});
        QString error;
        QVERIFY(InstalledSubject::create(fx->installed(TestSupport::subjectFile("b")),
                                         TestSupport::ownEdition(), others, true, &error));
        build();
        tree->setCurrentItem(installedSubject(0));
        panel->onActivityClicked(0);
        tree->setCurrentItem(installedSubject(1));
        panel->onActivityClicked(1);
        QVERIFY(fx->boxes.isEmpty());
        QCOMPARE(app().handOverSets.size(), size_t(2));
        QVERIFY(app().handOverSets[0].handle != app().handOverSets[1].handle);

        QFile(records + "go").open(QIODevice::WriteOnly);
        QTRY_VERIFY_WITH_TIMEOUT(
            QFileInfo::exists(records + "first") && QFileInfo::exists(records + "second"), 20000);
        QCOMPARE(StudyFixture::readAll(records + "first"), "A\n" +
                                                               fx->bsound(TestSupport::subjectFile("a"), 1) +
                                                               fx->bsound(TestSupport::subjectFile("a"), 2) +
                                                               fx->bsound(TestSupport::subjectFile("a"), 3));
        QCOMPARE(StudyFixture::readAll(records + "second"),
                 "B\n" + TestSupport::makeWave(11) + TestSupport::makeWave(12));

        for (const HandOverSet& set : app().handOverSets)
            QTRY_VERIFY_WITH_TIMEOUT(!processIsRunning(set.activityPid), 20000);
        tree->setCurrentItem(installedSubject(1));
        panel->onActivityClicked(0);
        const QString h = QString::number(app().launchHandle);
        QStringList expected{"~prl" + h + "1.wav", "~prl" + h + "2.wav", "~prl" + h + ".txt",
                             "~prl" + h + ".ids"};
        QStringList present = QDir(app().handOverFolder).entryList(QDir::Files);
        expected.sort();
        present.sort();
        QCOMPARE(present, expected);

        QTRY_VERIFY_WITH_TIMEOUT(!processIsRunning(app().handOverSets.back().activityPid), 20000);
        HandOverFiles::removeAll(app());
        QVERIFY(!QFileInfo::exists(app().handOverFolder));
    }

    // A disk that refuses a byte of any hand-over file (the real /dev/full stands in for the
    // full temporary folder) stops the launch with the file's name and the reason; nothing is
    // started and no file of the set is left.
    void failedWriteStartsNothing_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::newRow("third sound") << "3.wav";
        QTest::newRow("input file") << ".txt.part";
    }
    void failedWriteStartsNothing()
    {
        if (!QFileInfo("/dev/full").isWritable())
            QSKIP("this system has no /dev/full");
        QFETCH(QString, failing);
        activities(2);
        QVERIFY(fx->subject(TestSupport::subjectFile("a"), 4));
        build();
        setWriteRedirectForTests([failing](const QString& path) {
            return path.endsWith(failing) ? QString("/dev/full") : QString();
        });
        tree->setCurrentItem(installedSubject(0));
        panel->onActivityClicked(0);
        QVERIFY(starts.isEmpty());
        QCOMPARE(fx->boxes.size(), 1);
        const AppState& s = app();
        const QString file = failing == "3.wav" ? s.studySoundFile(3) : s.activityInputFile();
        QVERIFY2(fx->boxes[0].text.contains(file + " could not be written: No space left on device"),
                 qPrintable(fx->boxes[0].text));
        QCOMPARE(QDir(s.handOverFolder).entryList(QDir::Files), QStringList());
        QVERIFY(s.handOverSets.empty());
        QVERIFY(main->isEnabled());
    }
};

QTEST_MAIN(TestActivityPanel)
#include "TestActivityPanel.moc"
