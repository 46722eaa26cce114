// The virtual subject editor driven as a person would: real widgets offscreen, real drag
// events delivered to the tree, real subject files read back after each action.
#include "support/TestSupport.h"

#include "app/MainWindow.h"
#include "app/WindowFlow.h"
#include "editor/EditorTree.h"
#include "editor/VirtualSubjectEditor.h"
#include "platform/Sound.h"
#include "platform/Twips.h"
#include "state/AppState.h"
#include "study/PhraseSound.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectTree.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

class TestVirtualSubjectEditor : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QPointer<VirtualSubjectEditor> m_editor;
    QStringList m_boxes;                                           // standard message boxes: their texts
    QStringList m_messages;                                        // the program's own modal messages
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;        // what each box is answered
    QMessageBox::StandardButton m_default = QMessageBox::NoButton; // the last box's default

    static QString c(int n) { return QStringLiteral("C%1").arg(n); }
    QString vpath(const QString& file) const { return app().virtualSubjectsFolder + file; }
    EditorTree* left() const { return TestSupport::child<EditorTree>(m_editor, "TreeSubjects"); }
    EditorTree* right() const { return TestSupport::child<EditorTree>(m_editor, "TreeVirtual"); }

    void writeVirtual(const QString& file, const QStringList& subjects)
    {
        QString error;
        QVERIFY2(VirtualSubjectFile::createEmpty(vpath(file), &error), qPrintable(error));
        for (const QString& s : subjects)
            QVERIFY(VirtualSubjectFile::addSubject(vpath(file), s, &error));
    }

    void open()
    {
        m_editor = new VirtualSubjectEditor();
        m_editor->setAttribute(Qt::WA_DeleteOnClose);
        m_editor->load();
        m_editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_editor));
    }

    static QTreeWidgetItem* child(QTreeWidgetItem* parent, const QString& text)
    {
        for (int i = 0; i < parent->childCount(); ++i)
            if (parent->child(i)->text(0) == text)
                return parent->child(i);
        return nullptr;
    }
    QTreeWidgetItem* folder(const QString& text) const
    {
        const auto found = right()->findItems(text, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }
    QTreeWidgetItem* installed(const QString& title) const { return child(left()->topLevelItem(0), title); }

    void click(EditorTree* tree, QTreeWidgetItem* node)
    {
        tree->scrollToItem(node);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
    }

    // A drag from the left tree's node `source` (pressed first, as a drag starts) dropped
    // on the right tree at pos: enter, move and drop events delivered to its viewport.
    void dragTo(QTreeWidgetItem* source, const QPoint& pos)
    {
        left()->scrollToItem(source);
        QTest::mousePress(left()->viewport(), Qt::LeftButton, {}, left()->visualItemRect(source).center());
        QTest::mouseRelease(left()->viewport(), Qt::LeftButton, {}, QPoint(1, 1));
        left()->setCurrentItem(source);
        std::unique_ptr<QMimeData> data(left()->model()->mimeData({left()->index(source)}));
        QVERIFY(data);
        QWidget* target = right()->viewport();
        QDragEnterEvent enter(pos, Qt::CopyAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent move(pos, Qt::CopyAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(target, &move);
        QDropEvent drop(pos, Qt::CopyAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(target, &drop);
    }
    void dragOnto(QTreeWidgetItem* source, QTreeWidgetItem* target)
    {
        right()->scrollToItem(target);
        dragTo(source, right()->visualItemRect(target).center());
    }

    // The line edit of the label being edited; types text and presses key.
    void typeLabel(const QString& text, Qt::Key key = Qt::Key_Return)
    {
        QTRY_VERIFY(right()->isEditingLabel());
        auto* line = right()->viewport()->findChild<QLineEdit*>();
        QVERIFY(line);
        QCOMPARE(line->accessibleName(), c(84)); // the in-place field is named
        line->selectAll();
        if (!text.isNull() && text.isEmpty())
            QTest::keyClick(line, Qt::Key_Backspace);
        else if (!text.isNull())
            line->insert(text); // typed over the selection (keyClicks takes only ASCII)
        QTest::keyClick(line, key);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    std::vector<VirtualPhrase> rows(const QString& file, qint64 nParent)
    {
        QString error;
        const auto p = VirtualSubjectFile::phrases(vpath(file), nParent, &error);
        return p ? *p : std::vector<VirtualPhrase>{};
    }
    QStringList subjectNames(const QString& file)
    {
        QString error;
        QStringList names;
        const auto s = VirtualSubjectFile::subjects(vpath(file), &error);
        if (s)
            for (const auto& v : *s)
                names << v.name;
        return names;
    }
    static qint64 key(QTreeWidgetItem* node) { return SubjectNode::of(node).number; }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        // The desktop's data folder, where its trash lives.
        QVERIFY(QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)));
        Dialogs::setHandlerForTests([this](const Dialogs::Request& r) {
            if (r.kind == Dialogs::Request::Kind::Message) {
                m_messages << r.text;
                return QMessageBox::Ok;
            }
            m_boxes << r.text;
            m_default = r.defaultButton;
            return m_answer;
        });
        Sound::setPlayerForTests([](const QString&, bool) {});
    }

    void init()
    {
        resetAppState();
        QStringList captions;
        for (int n = 1; n <= 700; ++n)
            captions << c(n);
        app().captions.setTexts(captions);
        // Under the test's own home, so a deleted folder goes to that home's trash.
        m_dir = std::make_unique<QTemporaryDir>(QDir::homePath() + "/editor-XXXXXX");
        QVERIFY(TestSupport::useFoldersUnder(app(), m_dir->path()));
        QVERIFY(QDir().mkpath(app().installedSubjectsFolder) && QDir().mkpath(app().virtualSubjectsFolder));
        QString error;
        QVERIFY(VirtualSubjectFile::createEmpty(app().customTemplatePath(), &error));
        const QString code = app().edition.ProgramCode;
        const QString ext = "." + app().edition.LanguageCode;
        QVERIFY(
            TestSupport::writeSubject(app().installedSubjectsFolder + "at_the_cafe" + ext, code, 10, &error));
        QVERIFY(TestSupport::writeSubject(app().installedSubjectsFolder + "everyday_phrases" + ext, code, 12,
                                          &error));
        m_boxes.clear();
        m_messages.clear();
        m_answer = QMessageBox::Ok;
    }

    // Closes the editor; whether it announced that the subjects changed.
    bool closesWithChanges()
    {
        QSignalSpy closed(m_editor.data(), &VirtualSubjectEditor::closed);
        m_editor->close();
        return closed.size() == 1 && closed[0][0].toBool();
    }

    void cleanup()
    {
        if (m_editor) {
            m_editor->close();
            delete m_editor;
        }
        MessageWindow::unload();
    }

    void loadsBothTreesAndReportsADamagedFile()
    {
        writeVirtual("Travel.v" + app().edition.LanguageCode, {"Rome", "Milan"});
        TestSupport::writeGarbage(vpath("Broken.v" + app().edition.LanguageCode));
        writeVirtual("Zoo.v" + app().edition.LanguageCode, {});
        open();
        QTreeWidgetItem* root = left()->topLevelItem(0);
        QCOMPARE(root->text(0), c(2));
        QVERIFY(root->isExpanded() && EditorTree::isBold(root));
        QCOMPARE(root->childCount(), 2);
        QCOMPARE(root->child(0)->text(0), QString("At The Cafe"));
        QCOMPARE(root->child(1)->text(0), QString("Everyday Phrases"));
        QCOMPARE(right()->topLevelItemCount(), 3);
        QCOMPARE(right()->topLevelItem(0)->text(0), QString("Broken"));
        QCOMPARE(EditorTree::image(right()->topLevelItem(0)), int(SubjectTree::FailedSubjectImage));
        QCOMPARE(folder("Travel")->childCount(), 2);
        QCOMPARE(folder("Zoo")->childCount(), 0);
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_editor->isEnabled());
        QCOMPARE(right()->currentItem(), right()->topLevelItem(0));
        // An empty folder switches its picture on each click.
        click(right(), folder("Zoo"));
        QCOMPARE(EditorTree::image(folder("Zoo")), int(SubjectTree::OpenVirtualFolder));
        click(right(), folder("Zoo"));
        QCOMPARE(EditorTree::image(folder("Zoo")), int(SubjectTree::ClosedVirtualFolder));
        QVERIFY(m_editor->findChild<QPushButton*>("btnNewSubject")->isEnabled());
        for (QWidget* w : m_editor->findChildren<QWidget*>())
            if (w->focusPolicy() != Qt::NoFocus && !w->inherits("QScrollBar") && w->isVisibleTo(m_editor) &&
                w->parentWidget() == m_editor)
                QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }

    void newFolderDefaultNames_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("expected");
        const QString t = c(123);
        QTest::newRow("empty") << QStringList() << t;
        QTest::newRow("one") << QStringList{t} << t + " 2";
        QTest::newRow("one and 2") << QStringList{t, t + " 2"} << t + " 3";
        QTest::newRow("only 3") << QStringList{t + " 3"} << t + " 2";
        QTest::newRow("one and 3") << QStringList{t, t + " 3"} << t + " 4";
    }

    void newFolderDefaultNames()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, expected);
        const QString ext = ".v" + app().edition.LanguageCode;
        for (const QString& name : existing)
            writeVirtual(name + ext, {});
        open();
        QTest::mouseClick(m_editor->findChild<QPushButton*>("btnNewFolder"), Qt::LeftButton);
        QTreeWidgetItem* node = right()->topLevelItem(right()->topLevelItemCount() - 1);
        QCOMPARE(node->text(0), expected);
        QVERIFY(QFile::exists(vpath(expected + ext)));
        QCOMPARE(right()->currentItem(), node);
        // Accepting the default name is no rename and no refusal.
        typeLabel(QString());
        QCOMPARE(m_messages, QStringList());
        QVERIFY(!TestSupport::child<QTimer>(m_editor, "timEdit")->isActive());
        QCOMPARE(node->text(0), expected);
        QVERIFY(QFile::exists(vpath(expected + ext)));
        QVERIFY(closesWithChanges());
    }

    void newFolderWithoutTemplateAddsNothing()
    {
        QFile::remove(app().customTemplatePath());
        open();
        m_editor->onNewFolderClicked();
        QCOMPARE(right()->topLevelItemCount(), 0);
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].contains("btnNewFolder_Click"));
        QVERIFY(m_editor->isEnabled());
    }

    void subjectCopiedTwiceByDrops()
    {
        const QString file = "Holidays.v" + app().edition.LanguageCode;
        writeVirtual(file, {});
        open();
        dragOnto(installed("At The Cafe"), folder("Holidays"));
        dragOnto(installed("At The Cafe"), folder("Holidays"));
        QCOMPARE(m_boxes, QStringList());
        QCOMPARE(subjectNames(file), QStringList({"At The Cafe", "At The Cafe"}));
        QTreeWidgetItem* h = folder("Holidays");
        QCOMPARE(h->childCount(), 2);
        QCOMPARE(right()->currentItem(), h);
        QVERIFY(key(h->child(0)) != key(h->child(1)));
        for (int i = 0; i < 2; ++i) {
            const auto phrases = rows(file, key(h->child(i)));
            QCOMPARE(phrases.size(), size_t(10));
            QCOMPARE(phrases[3].tfilename, "at_the_cafe." + app().edition.LanguageCode);
            QCOMPARE(phrases[3].phraseNo, 4);
            QCOMPARE(h->child(i)->childCount(), 10);
            QCOMPARE(SubjectNode::of(h->child(i)->child(3)).rowKey, phrases[3].rowKey);
        }
        QVERIFY(right()->dropHighlight() == nullptr);
        // A whole subject dropped on a virtual subject is refused and writes nothing.
        dragOnto(installed("Everyday Phrases"), h->child(0));
        QCOMPARE(m_boxes, QStringList{c(137)});
        QCOMPARE(subjectNames(file).size(), 2);
        // Empty space takes nothing.
        h->setExpanded(false);
        dragTo(installed("Everyday Phrases"), QPoint(5, right()->viewport()->height() - 2));
        QCOMPARE(subjectNames(file).size(), 2);
        QVERIFY(closesWithChanges());
    }

    void phraseDropsUpToTen()
    {
        const QString file = "Words.v" + app().edition.LanguageCode;
        writeVirtual(file, {"Mixed"});
        const qint64 nParent = 1;
        std::vector<VirtualPhrase> nine(9);
        for (int i = 0; i < 9; ++i) {
            nine[i].tfilename = "at_the_cafe." + app().edition.LanguageCode;
            nine[i].phraseNo = i + 1;
            nine[i].tTranslation = QStringLiteral("Old %1").arg(i);
        }
        QString error;
        QVERIFY(VirtualSubjectFile::addPhrases(vpath(file), nParent, nine, &error));
        open();
        click(left(), installed("Everyday Phrases"));
        QTreeWidgetItem* everyday = installed("Everyday Phrases");
        QCOMPARE(everyday->childCount(), 12);
        QTreeWidgetItem* mixed = folder("Words")->child(0);
        // Never opened: its nine phrases count all the same; the tenth goes in.
        dragOnto(everyday->child(4), mixed);
        QCOMPARE(m_boxes, QStringList());
        auto stored = rows(file, nParent);
        QCOMPARE(stored.size(), size_t(10));
        QCOMPARE(stored.back().tfilename, "everyday_phrases." + app().edition.LanguageCode);
        QCOMPARE(stored.back().phraseNo, 5);
        QCOMPARE(stored.back().tPhrase, QString("Frase 5"));
        QCOMPARE(mixed->childCount(), 10);
        QCOMPARE(right()->currentItem(), mixed->child(9));
        // A phrase has no name of its own: its menu offers no Rename, a subject's does.
        auto* rename = m_editor->findChild<QAction*>(QStringLiteral("mnuRename"));
        QVERIFY(rename);
        emit right()->menuRequested(right()->viewport()->mapToGlobal(QPoint(4, 4)));
        QVERIFY(!rename->isEnabled());
        if (QWidget* menu = QApplication::activePopupWidget())
            menu->close();
        right()->setCurrentItem(mixed);
        emit right()->menuRequested(right()->viewport()->mapToGlobal(QPoint(4, 4)));
        QVERIFY(rename->isEnabled());
        if (QWidget* menu = QApplication::activePopupWidget())
            menu->close();
        // The eleventh, dropped on one of its phrases, is refused.
        dragOnto(everyday->child(5), mixed->child(2));
        QCOMPARE(m_boxes, QStringList{c(7)});
        QCOMPARE(rows(file, nParent).size(), size_t(10));
        // A phrase on a folder is refused.
        dragOnto(everyday->child(5), folder("Words"));
        QCOMPARE(m_boxes, QStringList({c(7), c(126)}));
        QCOMPARE(rows(file, nParent).size(), size_t(10));
        // Dragging the root copies nothing.
        dragOnto(left()->topLevelItem(0), mixed);
        QCOMPARE(m_boxes.size(), 2);
    }

    void deletingOneOfTwoCopiesRemovesOneRow()
    {
        const QString file = "Twice.v" + app().edition.LanguageCode;
        writeVirtual(file, {"Pair"});
        open();
        click(left(), installed("At The Cafe"));
        click(right(), folder("Twice")->child(0));
        QTreeWidgetItem* pair = folder("Twice")->child(0);
        dragOnto(installed("At The Cafe")->child(0), pair);
        dragOnto(installed("At The Cafe")->child(0), pair);
        auto stored = rows(file, 1);
        QCOMPARE(stored.size(), size_t(2));
        QCOMPARE(stored[0].phraseNo, stored[1].phraseNo);
        click(right(), pair->child(1));
        QTest::keyClick(right(), Qt::Key_Delete);
        stored = rows(file, 1);
        QCOMPARE(stored.size(), size_t(1));
        QCOMPARE(SubjectNode::of(pair->child(0)).rowKey, stored[0].rowKey);
        QCOMPARE(pair->childCount(), 1);
        // Deleting the virtual subject takes its phrases along.
        click(right(), pair);
        TestSupport::child<QMenu>(m_editor, "mnuEdit")->actions().at(2)->trigger(); // mnuDelete
        QCOMPARE(subjectNames(file), QStringList());
        QCOMPARE(rows(file, 1).size(), size_t(0));
        QVERIFY(!m_editor->findChild<QPushButton*>("btnNewSubject")->isEnabled());
    }

    // Deleting is immediate; Ctrl+Z and the menu bring the deletions back, newest first,
    // row for row: the same names, phrases, keys and order, in the file and in the tree.
    void deletionsUndone()
    {
        const QString file = "Undo.v" + app().edition.LanguageCode;
        writeVirtual(file, {"First", "Pair", "Last"});
        open();
        click(left(), installed("At The Cafe"));
        click(right(), folder("Undo")->child(1));
        QTreeWidgetItem* pair = folder("Undo")->child(1);
        for (int i = 0; i < 3; ++i)
            dragOnto(installed("At The Cafe")->child(i), pair);
        const auto before = rows(file, 2);
        QCOMPARE(before.size(), size_t(3));
        QVERIFY(!TestSupport::child<QAction>(m_editor, "mnuUndo")->isEnabled());

        click(right(), pair->child(1));
        QTest::keyClick(right(), Qt::Key_Delete);
        click(right(), pair);
        QTest::keyClick(right(), Qt::Key_Delete);
        QCOMPARE(subjectNames(file), QStringList({"First", "Last"}));
        QCOMPARE(rows(file, 2).size(), size_t(0));
        QVERIFY(TestSupport::child<QAction>(m_editor, "mnuUndo")->isEnabled());

        QTest::keyClick(right(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(subjectNames(file), QStringList({"First", "Pair", "Last"}));
        QCOMPARE(rows(file, 2).size(), size_t(2));
        TestSupport::child<QAction>(m_editor, "mnuUndo")->trigger();
        QVERIFY(!TestSupport::child<QAction>(m_editor, "mnuUndo")->isEnabled());
        const auto after = rows(file, 2);
        QCOMPARE(after.size(), before.size());
        for (size_t i = 0; i < after.size(); ++i) {
            QCOMPARE(after[i].rowKey, before[i].rowKey);
            QCOMPARE(after[i].tfilename, before[i].tfilename);
            QCOMPARE(after[i].phraseNo, before[i].phraseNo);
            QCOMPARE(after[i].tPhrase, before[i].tPhrase);
            QCOMPARE(after[i].tTranslation, before[i].tTranslation);
            QCOMPARE(after[i].tTranslation2, before[i].tTranslation2);
        }
        // The tree shows them where they were, the restored phrase selected.
        QTreeWidgetItem* undone = folder("Undo");
        QCOMPARE(undone->childCount(), 3);
        QCOMPARE(undone->child(1)->text(0), QString("Pair"));
        pair = undone->child(1);
        QCOMPARE(pair->childCount(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(SubjectNode::of(pair->child(i)).rowKey, before[size_t(i)].rowKey);
        QCOMPARE(right()->currentItem(), pair->child(1));

        // Nothing left to undo: said, nothing written.
        QTest::keyClick(right(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(rows(file, 2).size(), size_t(3));
    }

    // Delete acts on the right tree's selection only while that tree is the one in use: with
    // the left tree pressed or focused, the button, the menu entry and the key do nothing. A
    // whole folder goes only after a question whose default is Cancel. Undo is a button too.
    void deleteTargetAndFolderQuestion()
    {
        const QString file = "Keep.v" + app().edition.LanguageCode;
        writeVirtual(file, {"One", "Two"});
        open();
        auto* del = TestSupport::child<QPushButton>(m_editor, "btnDelete");
        auto* undo = TestSupport::child<QPushButton>(m_editor, "btnUndo");
        auto* mnuDelete = TestSupport::child<QAction>(m_editor, "mnuDelete");
        QVERIFY(del && undo && mnuDelete);
        QCOMPARE(undo->accessibleName(), c(368));
        QCOMPARE(undo->focusPolicy(), Qt::StrongFocus);
        folder("Keep")->setExpanded(true);
        click(right(), folder("Keep")->child(0)); // "One", the right tree's selection
        QVERIFY(del->isEnabled() && mnuDelete->isEnabled());
        click(left(), installed("At The Cafe"));
        QVERIFY(!del->isEnabled() && !mnuDelete->isEnabled());
        m_editor->onDeleteClicked(); // as Delete would: nothing the learner cannot see goes
        QTest::keyClick(left(), Qt::Key_Delete);
        QCOMPARE(subjectNames(file), QStringList({"One", "Two"}));

        // Back in the right tree: "One" goes; the Undo button, reached by Tab, brings it back.
        right()->setFocus();
        QVERIFY(del->isEnabled() && !undo->isEnabled());
        QTest::keyClick(right(), Qt::Key_Delete);
        QCOMPARE(subjectNames(file), QStringList({"Two"}));
        QVERIFY(undo->isEnabled());
        undo->setFocus();
        QTest::keyClick(undo, Qt::Key_Space);
        QCOMPARE(subjectNames(file), QStringList({"One", "Two"}));
        QVERIFY(!undo->isEnabled());

        // The whole folder: asked, Cancel the default; Cancel keeps it, Yes deletes it.
        click(right(), folder("Keep"));
        QTest::keyClick(right(), Qt::Key_Delete);
        QCOMPARE(m_boxes, QStringList{c(601)});
        QCOMPARE(m_default, QMessageBox::Cancel);
        QVERIFY(QFile::exists(vpath(file)) && folder("Keep"));
        m_answer = QMessageBox::Yes;
        QTest::mouseClick(del, Qt::LeftButton);
        QVERIFY(!QFile::exists(vpath(file)));
        QVERIFY(!folder("Keep"));
    }

    void renameFolderAndSubject()
    {
        const QString ext = ".v" + app().edition.LanguageCode;
        writeVirtual("Travel" + ext, {"Rome"});
        QString error;
        VirtualPhrase p;
        p.tfilename = "at_the_cafe." + app().edition.LanguageCode;
        p.phraseNo = 2;
        p.tTranslation = "Stored";
        QVERIFY(VirtualSubjectFile::addPhrases(vpath("Travel" + ext), 1, {p}, &error));
        writeVirtual("Work" + ext, {});
        open();
        QTreeWidgetItem* travel = folder("Travel");
        click(right(), travel);
        QTest::keyClick(right(), Qt::Key_F2);
        QCOMPARE(m_editor->OldLabel(), QString("Travel"));
        typeLabel("Vacanze all'età");
        QCOMPARE(travel->text(0), QString("Vacanze all'età"));
        QVERIFY(!QFile::exists(vpath("Travel" + ext)));
        QCOMPARE(subjectNames("Vacanze all'età" + ext), QStringList{"Rome"});
        // The phrases are read from the renamed file.
        click(right(), travel->child(0));
        QCOMPARE(travel->child(0)->childCount(), 1);
        QCOMPARE(travel->child(0)->child(0)->text(0), QString("Stored"));
        // A virtual subject's name is its row, stored exactly as typed.
        m_editor->onRenameClicked();
        typeLabel(" Roma ");
        QCOMPARE(subjectNames("Vacanze all'età" + ext), QStringList{" Roma "});
        QVERIFY(m_messages.isEmpty());
    }

    void refusedNamesRestartTheEdit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("message");
        QTest::addColumn<bool>("onFolder");
        QTest::newRow("blank folder") << "   " << 124 << true;
        QTest::newRow("blank subject") << "" << 124 << false;
        QTest::newRow("existing file") << "Work" << 125 << true;
        QTest::newRow("slash") << "a/b" << 152 << true;
    }

    void refusedNamesRestartTheEdit()
    {
        QFETCH(QString, typed);
        QFETCH(int, message);
        QFETCH(bool, onFolder);
        const QString ext = ".v" + app().edition.LanguageCode;
        writeVirtual("Travel" + ext, {"Rome"});
        writeVirtual("Work" + ext, {});
        open();
        QTreeWidgetItem* node = onFolder ? folder("Travel") : folder("Travel")->child(0);
        const QString old = node->text(0);
        click(right(), node);
        m_editor->onRenameClicked();
        typeLabel(typed.isEmpty() ? QString("") : typed);
        QCOMPARE(m_messages, QStringList{c(message)});
        QTRY_VERIFY(right()->isEditingLabel());
        QCOMPARE(node->text(0), old);
        QVERIFY(QFile::exists(vpath("Travel" + ext)));
        QCOMPARE(subjectNames("Travel" + ext), QStringList{"Rome"});
        // Escape leaves the old name.
        typeLabel("Something", Qt::Key_Escape);
        QCOMPARE(node->text(0), old);
        QCOMPARE(m_messages.size(), 1);
    }

    void damagedFileInAHandlerIsReported()
    {
        const QString file = "Fragile.v" + app().edition.LanguageCode;
        writeVirtual(file, {"One"});
        open();
        TestSupport::writeGarbage(vpath(file));
        click(right(), folder("Fragile"));
        m_editor->onNewSubjectClicked();
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].contains("btnNewSubject_Click"));
        QCOMPARE(folder("Fragile")->childCount(), 1);
        dragOnto(installed("At The Cafe"), folder("Fragile"));
        QCOMPARE(m_boxes.size(), 2);
        QCOMPARE(folder("Fragile")->childCount(), 1);
        QVERIFY(m_editor->isEnabled());
    }

    void doubleClickPlaysAPhraseOfEitherTree()
    {
        const QString code = app().edition.LanguageCode;
        writeVirtual("Play.v" + code, {"Listen"});
        VirtualPhrase p;
        p.tfilename = "at_the_cafe." + code;
        p.phraseNo = 3;
        p.tPhrase = "Frase 3";
        p.tTranslation = "Phrase 3";
        QString error;
        QVERIFY(VirtualSubjectFile::addPhrases(vpath("Play.v" + code), 1, {p}, &error));
        QVERIFY(
            TestSupport::writeSubject(app().installedSubjectsFolder + "other." + code, "prlspa", 2, &error));
        open();
        QStringList played;
        Sound::setPlayerForTests([&](const QString& source, bool) { played << source; });
        QTreeWidgetItem* subject = folder("Play")->child(0);
        click(right(), subject);
        QTest::mouseDClick(right()->viewport(), Qt::LeftButton, {},
                           right()->visualItemRect(subject).center());
        QVERIFY(played.isEmpty());
        QTreeWidgetItem* phrase = subject->child(0);
        QTest::mouseDClick(right()->viewport(), Qt::LeftButton, {}, right()->visualItemRect(phrase).center());
        Sound::setPlayerForTests([](const QString&, bool) {});
        QCOMPARE(played, QStringList{PhraseSound::temporaryFile()});
        QFile sound(PhraseSound::temporaryFile());
        QVERIFY(sound.open(QIODevice::ReadOnly));
        QCOMPARE(sound.readAll(), TestSupport::makeWave(3));
        // A subject of another edition is marked and reported when first clicked.
        click(left(), installed("Other"));
        QCOMPARE(EditorTree::image(installed("Other")), int(SubjectTree::FailedSubjectImage));
        QCOMPARE(installed("Other")->childCount(), 0);
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(left()->currentItem(), left()->topLevelItem(0));
    }

    void autoScrollBands_data()
    {
        QTest::addColumn<int>("fromTopTwips");    // >= 0: distance from the top edge
        QTest::addColumn<int>("fromBottomTwips"); // >= 0: distance from the bottom edge
        QTest::addColumn<int>("direction");       // 0: no scrolling
        QTest::newRow("50 below the top") << 50 << -1 << -1;
        QTest::newRow("150 above the bottom") << -1 << 150 << 1;
        QTest::newRow("between the bands") << 1000 << -1 << 0;
        QTest::newRow("200 below the top") << 200 << -1 << 0;
        QTest::newRow("300 above the bottom") << -1 << 300 << 0;
    }

    void autoScrollBands()
    {
        QFETCH(int, fromTopTwips);
        QFETCH(int, fromBottomTwips);
        QFETCH(int, direction);
        QStringList many;
        for (int i = 0; i < 80; ++i)
            many << QStringLiteral("Subject %1").arg(i);
        writeVirtual("Big.v" + app().edition.LanguageCode, many);
        open();
        folder("Big")->setExpanded(true);
        QScrollBar* bar = right()->verticalScrollBar();
        QVERIFY(bar->maximum() > 4);
        bar->setValue(bar->maximum() / 2);
        const int start = bar->value();
        const int h = right()->viewport()->height();
        const int y =
            fromTopTwips >= 0 ? Twips::toPixels(fromTopTwips) : h - Twips::toPixels(fromBottomTwips);
        std::unique_ptr<QMimeData> data(left()->model()->mimeData({left()->index(installed("At The Cafe"))}));
        const QPoint pos(20, y);
        QDragEnterEvent enter(pos, Qt::CopyAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(right()->viewport(), &enter);
        QDragMoveEvent move(pos, Qt::CopyAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(right()->viewport(), &move);
        QCOMPARE(right()->dropHighlight(), right()->itemAt(pos));
        QCOMPARE(TestSupport::child<QTimer>(m_editor, "timScroll")->isActive(), direction != 0);
        if (direction != 0) {
            QCOMPARE(m_editor->ScrollDirection(), direction);
            QTRY_VERIFY(bar->value() != start);
            QVERIFY((bar->value() - start) * direction > 0);
        }
        // Leaving the tree stops the scrolling and the highlight.
        QDragLeaveEvent leave;
        QApplication::sendEvent(right()->viewport(), &leave);
        QVERIFY(!TestSupport::child<QTimer>(m_editor, "timScroll")->isActive());
        QVERIFY(right()->dropHighlight() == nullptr);
    }

    void keyboardOnly()
    {
        open();
        m_editor->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_editor));
        // A folder by its shortcut, named by typing.
        QTest::keyClick(m_editor, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        typeLabel("Holidays");
        const QString file = "Holidays.v" + app().edition.LanguageCode;
        QVERIFY(QFile::exists(vpath(file)));
        // A whole subject copied with F5 from the left tree's selection.
        left()->setFocus();
        QTest::keyClick(left(), Qt::Key_Down); // At The Cafe
        QCOMPARE(left()->currentItem(), installed("At The Cafe"));
        QCOMPARE(QApplication::focusWidget(), left()); // still there after its phrases were read
        QTest::keyClick(m_editor, Qt::Key_F5);         // the button's shortcut: an animated click
        QTRY_COMPARE(subjectNames(file), QStringList{"At The Cafe"});
        // A new virtual subject and one phrase into it.
        right()->setFocus();
        QTest::keyClick(m_editor, Qt::Key_N, Qt::ControlModifier);
        typeLabel("Mine");
        QCOMPARE(subjectNames(file), QStringList({"At The Cafe", "Mine"}));
        left()->setFocus();
        QTest::keyClick(left(), Qt::Key_Right); // opens At The Cafe
        QTest::keyClick(left(), Qt::Key_Down);  // its first phrase
        QVERIFY(EditorTree::isPhrase(left()->currentItem()));
        QTest::keyClick(m_editor, Qt::Key_F5);
        QTRY_COMPARE(rows(file, 2).size(), size_t(1));
        QCOMPARE(m_boxes, QStringList());
        // Rename with F2, delete with the Delete key.
        right()->setFocus();
        QTest::keyClick(right(), Qt::Key_Up); // Mine
        QTest::keyClick(right(), Qt::Key_F2);
        typeLabel("Mia");
        QCOMPARE(subjectNames(file), QStringList({"At The Cafe", "Mia"}));
        QTest::keyClick(right(), Qt::Key_Delete);
        QCOMPARE(subjectNames(file), QStringList({"At The Cafe"}));
        // Escape during a rename ends the rename only; then it closes the window.
        QTest::keyClick(right(), Qt::Key_F2);
        QTRY_VERIFY(right()->findChild<QLineEdit*>() && right()->findChild<QLineEdit*>()->isVisible());
        QTest::keyClick(right()->findChild<QLineEdit*>(), Qt::Key_Escape);
        QVERIFY(m_editor && m_editor->isVisible());
        QTest::keyClick(right(), Qt::Key_Escape);
        QTRY_VERIFY(!m_editor);
    }

    void closingRebuildsTheMainTree()
    {
        const QString ext = ".v" + app().edition.LanguageCode;
        writeVirtual("Gone" + ext, {"A"});
        writeVirtual("Kept" + ext, {"B"});
        MainWindow main;
        WindowFlow flow(main);
        main.subjectTree()->createFolders();
        main.subjectTree()->loadSubjects();
        main.subjectTree()->loadVirtualSubjects();
        QCOMPARE(main.subjectTree()->topLevelItemCount(), 6);
        main.show();
        m_editor = flow.openEditor(0);
        QVERIFY(!main.isVisible());
        QVERIFY(m_editor->isVisible());
        QCOMPARE(right()->currentItem(), folder("Gone"));
        click(right(), folder("Gone"));
        m_answer = QMessageBox::Yes;
        m_editor->onDeleteClicked();
        QVERIFY(!QFile::exists(vpath("Gone" + ext)));
        QCOMPARE(right()->topLevelItemCount(), 1);
        QTest::mouseClick(m_editor->findChild<QPushButton*>("btnDone"), Qt::LeftButton);
        QTRY_VERIFY(!m_editor);
        QVERIFY(main.isVisible());
        QCOMPARE(main.subjectTree()->topLevelItemCount(), 5);
        QCOMPARE(main.subjectTree()->topLevelItem(4)->text(0), QString("Kept"));
    }
};

QTEST_MAIN(TestVirtualSubjectEditor)
#include "TestVirtualSubjectEditor.moc"
