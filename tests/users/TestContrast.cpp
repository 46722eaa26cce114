// The windows that paint the program's own light pictures, shown under the desktop palette
// the test runs with (PARLANTO_TEST_PALETTE: "default", "dark" through Qt's GTK platform
// theme with Adwaita dark, "high" a high-contrast palette): a screenshot of each is saved,
// and every visible label's text, and every row of its lists, is measured on the rendered
// pixels against the background around it.
#include "WindowFixture.h"
#include "app/MainWindow.h"
#include "app/WindowFlow.h"
#include "platform/Sound.h"
#include "state/AppState.h"
#include "study/PhraseEditWindow.h"
#include "subjects/SubjectTree.h"
#include "support/Contrast.h"
#include "support/TestSupport.h"
#include "users/AdminWindow.h"
#include "users/LoginWindow.h"
#include "users/ProfileWindow.h"
#include "users/UsersDatabase.h"
#include "widgets/Dialogs.h"
#include "widgets/FocusedSelection.h"
#include "widgets/MessageWindow.h"
#include "widgets/TiledBackground.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

class TestContrast : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void windowsReadable();
    void focusedSelectionStandsOut();

private:
    void check(QWidget* window, const QString& name);

    QString m_palette;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_main;
    std::unique_ptr<WindowFlow> m_flow;
};

void TestContrast::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    Sound::setPlayerForTests([](const QString&, bool) {});
    m_palette = qEnvironmentVariable("PARLANTO_TEST_PALETTE", QStringLiteral("default"));
    if (m_palette == QLatin1String("high"))
        QApplication::setPalette(Contrast::highContrastPalette());
    if (m_palette == QLatin1String("dark") &&
        QApplication::palette().color(QPalette::Window).lightness() > 128)
        QSKIP("The dark desktop theme is not available here (Qt's GTK platform theme with Adwaita dark)");
}

void TestContrast::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QString error;
    QVERIFY2(WindowFixture::prepare(m_dir->path(), &error), qPrintable(error));
    const UsersDatabase users = UsersDatabase::forApp();
    QVERIFY2(users.createFromTemplate(&error), qPrintable(error));
    Learner admin;
    admin.tFirstname = QStringLiteral("Ada");
    admin.tLastname = QStringLiteral("Admin");
    admin.nIcon = 3;
    Learner other = admin;
    other.tFirstname = QStringLiteral("Bea");
    QVERIFY2(users.addLearner(admin, &error) && users.addLearner(other, &error), qPrintable(error));
    Dialogs::setHandlerForTests([](const Dialogs::Request&) { return QMessageBox::Ok; });
    m_main = std::make_unique<MainWindow>();
    m_flow = std::make_unique<WindowFlow>(*m_main);
}

void TestContrast::cleanup()
{
    WindowFixture::finish(m_main, m_flow);
    Dialogs::setHandlerForTests({});
}

void TestContrast::check(QWidget* window, const QString& name)
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTest::qWait(50);
    const QImage shot = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const qreal ratio = shot.devicePixelRatio();
    const QString folder = QDir::current().filePath(QStringLiteral("screenshots"));
    QDir().mkpath(folder);
    shot.save(folder + QLatin1Char('/') + m_palette + QLatin1Char('-') + name + QStringLiteral(".png"));

    QStringList weak;
    auto measure = [&](const QRect& local, QWidget* owner, const QString& what) -> bool {
        const QRect inWindow(owner->mapTo(window, local.topLeft()), local.size());
        const QRect px(QPoint(qRound(inWindow.left() * ratio), qRound(inWindow.top() * ratio)),
                       QSize(qRound(inWindow.width() * ratio), qRound(inWindow.height() * ratio)));
        const auto c = Contrast::ofText(shot, px);
        if (c && *c < 4.5)
            weak << QStringLiteral("\"%1\" %2:1").arg(what).arg(*c, 0, 'f', 2);
        return c.has_value();
    };
    int measured = 0;
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(window) || label->text().trimmed().isEmpty())
            continue;
        measured += measure(label->contentsRect(), label, label->text());
    }
    for (QAbstractButton* box : window->findChildren<QAbstractButton*>()) {
        if (box->isVisibleTo(window) && box->inherits("QCheckBox"))
            measured += measure(box->rect(), box, box->text());
    }
    for (QTreeWidget* tree : window->findChildren<QTreeWidget*>()) {
        if (!tree->isVisibleTo(window))
            continue;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = tree->topLevelItem(i);
            // The text only: the icon beside it is a picture, not text.
            QRect r = tree->visualItemRect(item);
            const int textLeft =
                tree->visualRect(tree->indexFromItem(item)).left() + tree->iconSize().width() + 6;
            r.setLeft(std::max(r.left(), textLeft));
            if (r.isValid())
                measured += measure(r, tree->viewport(), item->text(0));
        }
    }
    QVERIFY2(measured > 0, qPrintable(name + QStringLiteral(": no text was measured")));
    QVERIFY2(weak.isEmpty(), qPrintable(QStringLiteral("%1 under the %2 palette, below 4.5:1: %3")
                                            .arg(name, m_palette, weak.join(QStringLiteral(", ")))));
    qInfo("%s: %d texts measured under the %s palette", qPrintable(name), measured, qPrintable(m_palette));
}

void TestContrast::windowsReadable()
{
    auto* login = new LoginWindow;
    check(login, QStringLiteral("login"));
    delete login;
    if (QTest::currentTestFailed())
        return;

    ProfileWindow profile({});
    profile.findChild<QAbstractButton*>(QStringLiteral("chkPassword"))->setChecked(true);
    check(&profile, QStringLiteral("new-learner"));
    profile.hide();
    if (QTest::currentTestFailed())
        return;

    SubjectTree tree;
    auto* node = new QTreeWidgetItem(&tree, {QStringLiteral("Buongiorno")});
    PhraseEditWindow edit(&tree, node);
    check(&edit, QStringLiteral("edit-phrase"));
    edit.hide();
    if (QTest::currentTestFailed())
        return;

    AdminWindow admin(m_main.get());
    m_flow->connectAdministration(&admin);
    admin.show();
    TestSupport::child<QComboBox>(&admin, "cboView")
        ->setFocus(); // it opens on the learners, the administrator in colour
    QTreeWidget* results = TestSupport::child<QTreeWidget>(&admin, "tvwResults");
    QVERIFY(results->topLevelItemCount() >= 2);
    results->setCurrentItem(results->topLevelItem(1)); // one row selected, the administrator's not
    check(&admin, QStringLiteral("results"));
}

void TestContrast::focusedSelectionStandsOut()
{
    // Two trees side by side, as in the editor: only the focused one's selection is in the
    // full selection colour, and both stay readable.
    QWidget window;
    TiledBackground::install(&window, QStringLiteral("main"));
    auto* layout = new QHBoxLayout(&window);
    QTreeWidget* trees[2];
    for (QTreeWidget*& tree : trees) {
        tree = new QTreeWidget(&window);
        tree->setHeaderHidden(true);
        FocusedSelection::install(tree);
        tree->setCurrentItem(new QTreeWidgetItem(tree, {QStringLiteral("Al Caffè")}));
        layout->addWidget(tree);
    }
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window); // no window manager gives it the focus here
    trees[0]->setFocus();
    QTRY_VERIFY(trees[0]->hasFocus());
    QTest::qWait(50);
    auto rowColour = [](QTreeWidget* tree) {
        const QImage image = tree->viewport()->grab().toImage();
        const QRect r = tree->visualItemRect(tree->topLevelItem(0));
        return QColor(image.pixel(int((r.right() - 4) * image.devicePixelRatio()),
                                  int(r.center().y() * image.devicePixelRatio())));
    };
    const QColor focused = rowColour(trees[0]), unfocused = rowColour(trees[1]);
    QVERIFY2(Contrast::ratio(focused.rgb(), unfocused.rgb()) >= 1.5,
             qPrintable(focused.name() + QStringLiteral(" beside ") + unfocused.name()));
    trees[1]->setFocus();
    QTRY_VERIFY(trees[1]->hasFocus());
    QTest::qWait(50);
    QCOMPARE(rowColour(trees[1]), focused);
    QCOMPARE(rowColour(trees[0]), unfocused);
}

QTEST_MAIN(TestContrast)
#include "TestContrast.moc"
