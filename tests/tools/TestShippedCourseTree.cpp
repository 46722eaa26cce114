// The built edition's course as the learner sees it: the subject tree lists the shipped
// subjects and the example virtual subjects, named in the learner's language.
#include "common/CourseTable.h"
#include "state/AppState.h"
#include "subjects/SubjectTree.h"
#include "widgets/Dialogs.h"

#include <QDir>
#include <QSet>
#include <QtTest>

namespace {

const QString ProgramDir = QStringLiteral(PARLANTO_PROGRAM_DIR "/");
const QString SourceDir = QStringLiteral(PARLANTO_SOURCE_DIR "/data/");

QStringList lowerSorted(QStringList texts)
{
    for (QString& t : texts)
        t = t.toLower();
    texts.sort();
    return texts;
}

} // namespace

class TestShippedCourseTree : public QObject
{
    Q_OBJECT
private slots:
    void treeShowsTheCourseInTheLearnersLanguage();
};

void TestShippedCourseTree::treeShowsTheCourseInTheLearnersLanguage()
{
    resetAppState();
    const QString language = app().edition.InterfaceLanguage;
    QString error;
    QVERIFY2(app().captions.load(ProgramDir + QStringLiteral("Parlanto.tpl"), language, &error),
             qPrintable(error));
    app().programFolder = ProgramDir;
    app().installedSubjectsFolder =
        ProgramDir + app().captions.installedSubjectsFolderName() + QLatin1Char('/');
    app().virtualSubjectsFolder = ProgramDir + app().captions.virtualSubjectsFolderName() + QLatin1Char('/');
    QStringList messages;
    Dialogs::setHandlerForTests([&messages](const Dialogs::Request& r) {
        messages << r.text;
        return QMessageBox::Ok;
    });
    SubjectTree tree;
    tree.createFolders();
    tree.loadSubjects();
    tree.loadVirtualSubjects();
    Dialogs::setHandlerForTests({});
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join(QLatin1Char('\n'))));

    const auto titles = CourseTable::readTitles(SourceDir + QStringLiteral("course/titles.tsv"), &error);
    QVERIFY2(titles, qPrintable(error));
    QStringList expected;
    const QDir course(SourceDir + QStringLiteral("course/") + app().edition.StudiedLanguage);
    for (const QString& table : course.entryList({QStringLiteral("*.tsv")}, QDir::Files))
        expected << titles->value(QFileInfo(table).completeBaseName())
                        .value(language)
                        .replace(QLatin1Char('_'), QLatin1Char(' '));
    QStringList shown;
    for (int i = 0; i < tree.installedFolder()->childCount(); ++i)
        shown << tree.installedFolder()->child(i)->text(0);
    QCOMPARE(lowerSorted(shown), lowerSorted(expected));

    // The example virtual subject file: a folder of its own holding the named virtual subjects.
    const auto examples = CourseTable::readVirtual(SourceDir + QStringLiteral("virtual/") +
                                                       app().edition.StudiedLanguage + QStringLiteral(".tsv"),
                                                   &error);
    QVERIFY2(examples, qPrintable(error));
    QSet<QString> names;
    for (const auto& v : *examples)
        names << v.name(language);
    const QString folderTitle = titles->value(QStringLiteral("Examples")).value(language);
    QTreeWidgetItem* folder = nullptr;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        if (tree.topLevelItem(i)->text(0) == folderTitle)
            folder = tree.topLevelItem(i);
    }
    QVERIFY2(folder, qPrintable(folderTitle));
    QSet<QString> shownNames;
    for (int i = 0; i < folder->childCount(); ++i)
        shownNames << folder->child(i)->text(0);
    QCOMPARE(shownNames, names);
}

QTEST_MAIN(TestShippedCourseTree)
#include "TestShippedCourseTree.moc"
