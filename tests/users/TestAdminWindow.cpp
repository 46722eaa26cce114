#include "WindowFixture.h"
#include "app/MainWindow.h"
#include "app/WindowFlow.h"
#include "platform/Database.h"
#include "platform/Sound.h"
#include "state/AppState.h"
#include "study/HandOverFiles.h"
#include "support/TestSupport.h"
#include "users/AdminWindow.h"
#include "users/UsersBackup.h"
#include "users/UsersDatabase.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <memory>

namespace {

QStringList topTexts(QTreeWidget* tree)
{
    QStringList t;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        t << tree->topLevelItem(i)->text(0);
    return t;
}

QStringList childTexts(QTreeWidgetItem* item)
{
    QStringList t;
    for (int i = 0; i < item->childCount(); ++i)
        t << item->child(i)->text(0);
    return t;
}

// Each row of the result list as "name|score|date|time".
QStringList rows(QTreeWidget* list)
{
    QStringList r;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        r << QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}.join(QLatin1Char('|'));
    }
    return r;
}

QTreeWidgetItem* child(QTreeWidget* tree, const QString& top, const QString& name)
{
    const auto tops = tree->findItems(top, Qt::MatchExactly);
    if (tops.size() != 1)
        return nullptr;
    for (int i = 0; i < tops[0]->childCount(); ++i) {
        if (tops[0]->child(i)->text(0) == name)
            return tops[0]->child(i);
    }
    return nullptr;
}

} // namespace

class TestAdminWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void queriesBindNames();
    void learnerView();
    void activityAndSubjectViews();
    void emptyDatabase();
    void damagedDatabase();
    void clearingAsksTwice_data();
    void clearingAsksTwice();
    void enterKeepsLearners();
    void resultsShownWhole();
    void controlsNamed();

private:
    UsersDatabase users() const { return UsersDatabase::forApp(); }
    void addLearner(const QString& first, const QString& last, int icon);
    void addScore(const QString& name, const QString& activity, const QString& subject, const QVariant& text,
                  const QVariant& number, const QString& time);
    void fillDatabase();
    AdminWindow* openAdmin();
    void clickNode(AdminWindow* w, QTreeWidgetItem* item);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_main;
    std::unique_ptr<WindowFlow> m_flow;
    std::unique_ptr<AdminWindow> m_admin;
    QStringList m_messages;
    QList<Dialogs::Request> m_boxes;
    QList<QMessageBox::StandardButton> m_answers; // given to the boxes in turn
};

void TestAdminWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    Sound::setPlayerForTests([](const QString&, bool) {});
}

void TestAdminWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QString error;
    QVERIFY2(WindowFixture::prepare(m_dir->path(), &error), qPrintable(error));
    QVERIFY2(users().createFromTemplate(&error), qPrintable(error));

    m_messages.clear();
    m_boxes.clear();
    m_answers.clear();
    Dialogs::setHandlerForTests([this](const Dialogs::Request& r) {
        if (r.kind == Dialogs::Request::Kind::Message) {
            m_messages << r.text;
            return QMessageBox::Ok;
        }
        m_boxes << r;
        return m_answers.isEmpty() ? QMessageBox::Ok : m_answers.takeFirst();
    });
    m_main = std::make_unique<MainWindow>();
    m_flow = std::make_unique<WindowFlow>(*m_main);
}

void TestAdminWindow::cleanup()
{
    m_admin.reset();
    WindowFixture::finish(m_main, m_flow);
    Dialogs::setHandlerForTests({});
}

void TestAdminWindow::addLearner(const QString& first, const QString& last, int icon)
{
    Learner l;
    l.tFirstname = first;
    l.tLastname = last;
    l.nIcon = icon;
    QString error;
    QVERIFY2(users().addLearner(l, &error), qPrintable(error));
}

void TestAdminWindow::addScore(const QString& name, const QString& activity, const QString& subject,
                               const QVariant& text, const QVariant& number, const QString& time)
{
    // Written directly: activities may leave textScore or numberScore Null.
    QString error;
    auto db = Database::open(users().path(), Database::TemplatePassword, Database::Mode::ReadWrite, &error);
    QVERIFY2(db, qPrintable(error));
    Statement s = db->prepare(QStringLiteral("INSERT INTO tblscores (tName, tActivity, tSubject, textScore, "
                                             "numberScore, nDate, nTime) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                              &error);
    QVERIFY2(s.isValid(), qPrintable(error));
    s.bindText(1, name).bindText(2, activity).bindText(3, subject).bind(4, text).bind(5, number);
    s.bindText(6, QStringLiteral("2024-03-01")).bindText(7, time);
    QVERIFY2(s.run(), qPrintable(s.errorString()));
}

void TestAdminWindow::fillDatabase()
{
    addLearner(QStringLiteral("Ada"), QStringLiteral("Admin"), 3);
    addLearner(QStringLiteral("Sean"), QStringLiteral("O'Brien"), 7);
    addLearner(QStringLiteral("Bea"), QStringLiteral("Bauer"), 12);
    const QString sean = QStringLiteral("Sean O'Brien");
    const QString ada = QStringLiteral("Ada Admin");
    addScore(sean, QStringLiteral("Memory"), QStringLiteral("Food"), QStringLiteral("8/10"), 80.0,
             QStringLiteral("10:00:00"));
    addScore(sean, QStringLiteral("Memory"), QStringLiteral("Travel"), QVariant(), 72.5,
             QStringLiteral("10:05:00"));
    addScore(sean, QStringLiteral("Listening"), QStringLiteral("Food"), QString(""), 90.0,
             QStringLiteral("11:00:00"));
    addScore(ada, QStringLiteral("Memory"), QStringLiteral("Food"), QStringLiteral("3 of 4"), 75.0,
             QStringLiteral("12:00:00"));
    addScore(QStringLiteral("Bea Bauer"), QStringLiteral("Writing"), QStringLiteral("Pub's menu"), QVariant(),
             QVariant(), QStringLiteral("13:00:00"));
}

AdminWindow* TestAdminWindow::openAdmin()
{
    m_admin = std::make_unique<AdminWindow>(m_main.get());
    m_flow->connectAdministration(m_admin.get());
    m_admin->show();
    if (!QTest::qWaitForWindowExposed(m_admin.get()))
        qWarning("administration window not exposed");
    return m_admin.get();
}

void TestAdminWindow::clickNode(AdminWindow* w, QTreeWidgetItem* item)
{
    QVERIFY(item);
    TestSupport::child<QTreeWidget>(w, "tvwResults")->scrollToItem(item);
    const QRect r = TestSupport::child<QTreeWidget>(w, "tvwResults")->visualItemRect(item);
    QVERIFY(r.isValid());
    QTest::mouseClick(TestSupport::child<QTreeWidget>(w, "tvwResults")->viewport(), Qt::LeftButton, {},
                      r.center());
}

void TestAdminWindow::queriesBindNames()
{
    fillDatabase();
    QString error;
    QCOMPARE(users().activityNames(&error).value_or(QStringList{QStringLiteral("failed")}),
             (QStringList{QStringLiteral("Listening"), QStringLiteral("Memory"), QStringLiteral("Writing")}));
    QCOMPARE(users().subjectNames(&error).value_or(QStringList{QStringLiteral("failed")}),
             (QStringList{QStringLiteral("Food"), QStringLiteral("Pub's menu"), QStringLiteral("Travel")}));

    auto toRows = [](const std::optional<QList<ResultRow>>& found) {
        QStringList r;
        if (!found)
            return QStringList{QStringLiteral("failed")};
        for (const ResultRow& row : *found)
            r << QStringList{row.name, row.score, row.nDate, row.nTime}.join(QLatin1Char('|'));
        return r;
    };
    // A name with an apostrophe is a value like any other; Null and "" text show the number.
    QCOMPARE(toRows(users().resultsOfLearnerInActivity(QStringLiteral("Sean O'Brien"),
                                                       QStringLiteral("Memory"), &error)),
             (QStringList{QStringLiteral("Food|8/10|2024-03-01|10:00:00"),
                          QStringLiteral("Travel|72.5|2024-03-01|10:05:00")}));
    QCOMPARE(toRows(users().resultsOfActivityInSubject(QStringLiteral("Writing"),
                                                       QStringLiteral("Pub's menu"), &error)),
             QStringList{QStringLiteral("Bea Bauer||2024-03-01|13:00:00")});
    QCOMPARE(toRows(users().resultsOfSubjectForLearner(QStringLiteral("Food"), QStringLiteral("Sean O'Brien"),
                                                       &error)),
             (QStringList{QStringLiteral("Memory|8/10|2024-03-01|10:00:00"),
                          QStringLiteral("Listening|90|2024-03-01|11:00:00")}));
    // Quotes in a name never reach the statement's text.
    QCOMPARE(toRows(users().resultsOfSubjectForLearner(QStringLiteral("Food' OR '1'='1"),
                                                       QStringLiteral("Sean O'Brien"), &error)),
             QStringList{});

    const UsersDatabase missing(m_dir->filePath(QStringLiteral("none.dat")), app().templateDatabasePath());
    QVERIFY(!missing.activityNames(&error));
    QVERIFY(!error.isEmpty());
}

void TestAdminWindow::learnerView()
{
    fillDatabase();
    AdminWindow* w = openAdmin();
    QCOMPARE(w->windowTitle(), TestSupport::captionText(54));
    QCOMPARE(TestSupport::child<QLabel>(w, "lblView")->text(), TestSupport::captionText(52));
    QCOMPARE(TestSupport::child<QPushButton>(w, "btnClearDatabase")->text(), TestSupport::captionText(56));
    QCOMPARE(TestSupport::child<QComboBox>(w, "cboView")->count(), 3);
    QCOMPARE(TestSupport::child<QComboBox>(w, "cboView")->itemText(0), TestSupport::captionText(50));
    QCOMPARE(TestSupport::child<QComboBox>(w, "cboView")->itemText(1), TestSupport::captionText(46));
    QCOMPARE(TestSupport::child<QComboBox>(w, "cboView")->itemText(2), TestSupport::captionText(10));
    // It opens on its first view.
    QCOMPARE(TestSupport::child<QComboBox>(w, "cboView")->currentIndex(), 0);
    QCOMPARE(w->shownView(), AdminWindow::LearnerView);
    QTreeWidget* tree = TestSupport::child<QTreeWidget>(w, "tvwResults");
    QCOMPARE(topTexts(tree), (QStringList{QStringLiteral("Ada Admin"), QStringLiteral("Sean O'Brien"),
                                          QStringLiteral("Bea Bauer")}));
    QCOMPARE(tree->topLevelItem(0)->foreground(0).color(), QColor(Qt::blue));
    QVERIFY(tree->topLevelItem(1)->foreground(0).color() != QColor(Qt::blue));
    const QStringList activities{QStringLiteral("Listening"), QStringLiteral("Memory"),
                                 QStringLiteral("Writing")};
    for (int i = 0; i < 3; ++i) {
        QVERIFY(tree->topLevelItem(i)->font(0).bold());
        QCOMPARE(childTexts(tree->topLevelItem(i)), activities);
        QVERIFY(!tree->topLevelItem(i)->child(0)->font(0).bold());
    }
    QCOMPARE(TestSupport::child<QTreeWidget>(w, "lvwResults")->headerItem()->text(0),
             TestSupport::captionText(10));
    QCOMPARE(TestSupport::child<QTreeWidget>(w, "lvwResults")->headerItem()->text(1),
             TestSupport::captionText(47));

    // A click opens and closes a learner; a click on an activity lists the results by subject.
    QTreeWidgetItem* sean = tree->topLevelItem(1);
    clickNode(w, sean);
    QVERIFY(sean->isExpanded());
    clickNode(w, child(tree, QStringLiteral("Sean O'Brien"), QStringLiteral("Memory")));
    QCOMPARE(rows(TestSupport::child<QTreeWidget>(w, "lvwResults")),
             (QStringList{QStringLiteral("Food|8/10|2024-03-01|10:00:00"),
                          QStringLiteral("Travel|72.5|2024-03-01|10:05:00")}));
    // Enter on the current node acts as a click.
    tree->setFocus();
    tree->setCurrentItem(child(tree, QStringLiteral("Sean O'Brien"), QStringLiteral("Listening")));
    QTest::keyClick(tree, Qt::Key_Return);
    QCOMPARE(rows(TestSupport::child<QTreeWidget>(w, "lvwResults")),
             QStringList{QStringLiteral("Food|90|2024-03-01|11:00:00")});
    // The arrows alone show the results of the node they reach.
    QTest::keyClick(tree, Qt::Key_Down);
    QCOMPARE(rows(TestSupport::child<QTreeWidget>(w, "lvwResults")),
             (QStringList{QStringLiteral("Food|8/10|2024-03-01|10:00:00"),
                          QStringLiteral("Travel|72.5|2024-03-01|10:05:00")}));
    clickNode(w, child(tree, QStringLiteral("Sean O'Brien"), QStringLiteral("Writing")));
    QCOMPARE(rows(TestSupport::child<QTreeWidget>(w, "lvwResults")), QStringList{}); // a pair without results
    clickNode(w, sean);
    QVERIFY(!sean->isExpanded());
    QVERIFY(m_messages.isEmpty());
    QVERIFY(m_boxes.isEmpty());
}

void TestAdminWindow::activityAndSubjectViews()
{
    fillDatabase();
    AdminWindow* w = openAdmin();
    QTreeWidget* tree = TestSupport::child<QTreeWidget>(w, "tvwResults");
    const QStringList subjects{QStringLiteral("Food"), QStringLiteral("Pub's menu"),
                               QStringLiteral("Travel")};
    const QStringList learners{QStringLiteral("Ada Admin"), QStringLiteral("Sean O'Brien"),
                               QStringLiteral("Bea Bauer")};

    w->showView(AdminWindow::ActivityView);
    QCOMPARE(topTexts(tree),
             (QStringList{QStringLiteral("Listening"), QStringLiteral("Memory"), QStringLiteral("Writing")}));
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        QCOMPARE(childTexts(tree->topLevelItem(i)), subjects);
    QCOMPARE(TestSupport::child<QTreeWidget>(w, "lvwResults")->headerItem()->text(0),
             TestSupport::captionText(50));
    w->onResultsNodeClicked(child(tree, QStringLiteral("Memory"), QStringLiteral("Food")));
    QCOMPARE(rows(TestSupport::child<QTreeWidget>(w, "lvwResults")),
             (QStringList{QStringLiteral("Sean O'Brien|8/10|2024-03-01|10:00:00"),
                          QStringLiteral("Ada Admin|3 of 4|2024-03-01|12:00:00")}));

    w->showView(AdminWindow::SubjectView);
    // A new view starts with no results, the list saying what to choose.
    QCOMPARE(rows(TestSupport::child<QTreeWidget>(w, "lvwResults")), QStringList{TestSupport::captionText(558) + QStringLiteral("|||")});
    QVERIFY(!(TestSupport::child<QTreeWidget>(w, "lvwResults")->topLevelItem(0)->flags() & Qt::ItemIsSelectable));
    QCOMPARE(topTexts(tree), subjects);
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        QCOMPARE(childTexts(tree->topLevelItem(i)), learners);
    QVERIFY(tree->topLevelItem(0)->foreground(0).color() != QColor(Qt::blue));
    QCOMPARE(TestSupport::child<QTreeWidget>(w, "lvwResults")->headerItem()->text(0),
             TestSupport::captionText(46));
    w->onResultsNodeClicked(child(tree, QStringLiteral("Food"), QStringLiteral("Sean O'Brien")));
    QCOMPARE(rows(TestSupport::child<QTreeWidget>(w, "lvwResults")),
             (QStringList{QStringLiteral("Memory|8/10|2024-03-01|10:00:00"),
                          QStringLiteral("Listening|90|2024-03-01|11:00:00")}));
    w->onResultsNodeClicked(child(tree, QStringLiteral("Pub's menu"), QStringLiteral("Bea Bauer")));
    QCOMPARE(rows(TestSupport::child<QTreeWidget>(w, "lvwResults")),
             QStringList{QStringLiteral("Writing||2024-03-01|13:00:00")});

    // Results recorded meanwhile appear when the view is chosen again.
    addScore(QStringLiteral("Ada Admin"), QStringLiteral("Speaking"), QStringLiteral("Weather"), QVariant(),
             1.0, QStringLiteral("14:00:00"));
    QCOMPARE(tree->topLevelItemCount(), 3);
    w->showView(AdminWindow::SubjectView);
    QCOMPARE(tree->topLevelItemCount(), 4);
    QVERIFY(m_messages.isEmpty());
}

void TestAdminWindow::emptyDatabase()
{
    addLearner(QStringLiteral("Ada"), QStringLiteral("Admin"), 3);
    addLearner(QStringLiteral("Sean"), QStringLiteral("O'Brien"), 7);
    AdminWindow* w = openAdmin();
    QTreeWidget* tree = TestSupport::child<QTreeWidget>(w, "tvwResults");

    w->showView(AdminWindow::LearnerView);
    QCOMPARE(topTexts(tree), (QStringList{QStringLiteral("Ada Admin"), QStringLiteral("Sean O'Brien"),
                                          TestSupport::captionText(55)}));
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        QCOMPARE(tree->topLevelItem(i)->childCount(), 0);

    for (int view : {AdminWindow::ActivityView, AdminWindow::SubjectView}) {
        w->showView(view);
        QCOMPARE(topTexts(tree), QStringList{TestSupport::captionText(55)});
        clickNode(w, tree->topLevelItem(0)); // does nothing
        QVERIFY(!tree->topLevelItem(0)->isExpanded());
        QCOMPARE(TestSupport::child<QTreeWidget>(w, "lvwResults")->topLevelItemCount(), 0);
    }
    QVERIFY(m_messages.isEmpty());
    QVERIFY(m_boxes.isEmpty());
}

void TestAdminWindow::damagedDatabase()
{
    fillDatabase();
    AdminWindow* w = openAdmin();
    w->showView(AdminWindow::LearnerView);
    QTreeWidgetItem* memory = child(TestSupport::child<QTreeWidget>(w, "tvwResults"),
                                    QStringLiteral("Sean O'Brien"), QStringLiteral("Memory"));
    QVERIFY(memory);

    // The file goes bad while the window is open: both the list and the next tree report it.
    QVERIFY(users().remove(nullptr));
    TestSupport::writeGarbage(users().path());
    w->onResultsNodeClicked(memory);
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(TestSupport::child<QTreeWidget>(w, "lvwResults")->topLevelItemCount(), 0);

    w->showView(AdminWindow::ActivityView);
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].title, QStringLiteral("ERROR"));
    QCOMPARE(TestSupport::child<QTreeWidget>(w, "tvwResults")->topLevelItemCount(), 0);
    QVERIFY(!m_main->hasEnded());
}

void TestAdminWindow::clearingAsksTwice_data()
{
    QTest::addColumn<QList<QMessageBox::StandardButton>>("answers");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("no at first") << QList{QMessageBox::No} << false;
    QTest::newRow("box closed") << QList{QMessageBox::Cancel} << false;
    QTest::newRow("no at second") << QList{QMessageBox::Yes, QMessageBox::No} << false;
    QTest::newRow("yes twice") << QList{QMessageBox::Yes, QMessageBox::Yes} << true;
}

void TestAdminWindow::clearingAsksTwice()
{
    QFETCH(QList<QMessageBox::StandardButton>, answers);
    QFETCH(bool, cleared);
    fillDatabase();
    // The window reads its first view, which ends with the database closed.
    AdminWindow* w = openAdmin();
    // A file handed to the last activity.
    QString error;
    const auto learnersBefore = users().readLearners(&error);
    QVERIFY2(learnersBefore && !learnersBefore->isEmpty(), qPrintable(error));
    QVERIFY2(HandOverFiles::beginSet(app(), &error), qPrintable(error));
    QFile input(app().activityInputFile());
    QVERIFY(input.open(QIODevice::WriteOnly));
    input.close();

    m_answers = answers;
    QTest::mouseClick(TestSupport::child<QPushButton>(w, "btnClearDatabase"), Qt::LeftButton);

    const QString title = app().edition.EditionTitle;
    QCOMPARE(m_boxes.size(), answers.size());
    QCOMPARE(m_boxes[0].title, TestSupport::captionText(56));
    QCOMPARE(m_boxes[0].text,
             TestSupport::captionText(57) + " " + title + ".\n\n" + TestSupport::captionText(58));
    QCOMPARE(m_boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(m_boxes[0].icon, QMessageBox::NoIcon);
    for (const Dialogs::Request& box : m_boxes)
        QCOMPARE(box.defaultButton, QMessageBox::No);
    if (m_boxes.size() > 1) {
        QCOMPARE(m_boxes[1].title, TestSupport::captionText(56));
        QCOMPARE(m_boxes[1].text,
                 title + " " + TestSupport::captionText(59) + "\n\n" + TestSupport::captionText(60));
    }
    // Emptied in place (an activity saving meanwhile finds the file), its learners and
    // results kept in a copy first.
    const auto learnersAfter = users().readLearners(&error);
    QVERIFY2(learnersAfter, qPrintable(error));
    QCOMPARE(learnersAfter->size(), cleared ? 0 : learnersBefore->size());
    const QList<BackupCopy> copies = UsersBackup(users().path()).copies();
    QCOMPARE(copies.size(), cleared ? 1 : 0);
    if (cleared) {
        QCOMPARE(copies[0].kind, BackupCopy::Kind::BeforeClear);
        QCOMPARE(UsersDatabase(copies[0].path, QString()).readLearners(&error)->size(),
                 learnersBefore->size());
    }
    QCOMPARE(QFile::exists(app().activityInputFile()), !cleared);
    QCOMPARE(m_main->hasEnded(), cleared);
    QCOMPARE(m_messages, cleared ? QStringList{TestSupport::captionText(61)} : QStringList{});
}

void TestAdminWindow::enterKeepsLearners()
{
    // Real question boxes: a learner who presses Enter at each one keeps everything.
    fillDatabase();
    Dialogs::setHandlerForTests({});
    AdminWindow* w = openAdmin();
    int answered = 0;
    QTimer enter;
    connect(&enter, &QTimer::timeout, this, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++answered;
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    enter.start(20);
    QTimer::singleShot(10000, w, [] {
        if (QWidget* stuck = QApplication::activeModalWidget())
            stuck->close();
    });
    QTest::mouseClick(TestSupport::child<QPushButton>(w, "btnClearDatabase"), Qt::LeftButton);
    enter.stop();
    QCOMPARE(answered, 1);
    QVERIFY(QFile::exists(users().path()));
    QVERIFY(!m_main->hasEnded());
}

void TestAdminWindow::resultsShownWhole()
{
    fillDatabase();
    const QString longSubject = QStringLiteral("At the restaurant with the whole family on a Sunday");
    addScore(QStringLiteral("Ada Admin"), QStringLiteral("Memory"), longSubject, QStringLiteral("6/9 (67%)"),
             67.0, QStringLiteral("23:59:59"));
    AdminWindow* w = openAdmin();
    w->resize(1000, 500);
    w->showView(AdminWindow::LearnerView);
    w->onResultsNodeClicked(child(TestSupport::child<QTreeWidget>(w, "tvwResults"),
                                  QStringLiteral("Ada Admin"), QStringLiteral("Memory")));
    QTreeWidget* list = TestSupport::child<QTreeWidget>(w, "lvwResults");
    QCOMPARE(list->topLevelItemCount(), 2);
    QHeaderView* header = list->header();
    int total = 0;
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            const QString text = list->topLevelItem(row)->text(column);
            QVERIFY2(list->fontMetrics().horizontalAdvance(text) < header->sectionSize(column),
                     qPrintable(text));
        }
        total += header->sectionSize(column);
    }
    QCOMPARE(total, list->viewport()->width()); // the last column takes what is left
}

void TestAdminWindow::controlsNamed()
{
    AdminWindow* w = openAdmin();
    TestSupport::child<QComboBox>(w, "cboView")->setCurrentIndex(1);
    w->showView(1);
    const QString list =
        QAccessible::queryAccessibleInterface(TestSupport::child<QTreeWidget>(w, "lvwResults"))
            ->text(QAccessible::Name);
    const QString tree =
        QAccessible::queryAccessibleInterface(TestSupport::child<QTreeWidget>(w, "tvwResults"))
            ->text(QAccessible::Name);
    const QString box = QAccessible::queryAccessibleInterface(TestSupport::child<QComboBox>(w, "cboView"))
                            ->text(QAccessible::Name);
    QCOMPARE(list, TestSupport::captionText(221));
    QCOMPARE(tree, TestSupport::captionText(46));
    QCOMPARE(box, TestSupport::captionText(52)); // not the chosen entry
}

QTEST_MAIN(TestAdminWindow)
#include "TestAdminWindow.moc"
