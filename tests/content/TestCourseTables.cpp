// The course's two-language sources: complete for every edition (checked here without
// building the editions), and turned into the one-language tables parlanto-subject reads.
#include "common/CourseTable.h"
#include "state/Edition.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString CourseDir = QStringLiteral(PARLANTO_SOURCE_DIR "/data/course");
const QString VirtualDir = QStringLiteral(PARLANTO_SOURCE_DIR "/data/virtual");

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

} // namespace

class TestCourseTables : public QObject
{
    Q_OBJECT
private slots:
    void everyEditionHasItsCourse_data();
    void everyEditionHasItsCourse();
    void editionPhraseTable_data();
    void editionPhraseTable();
    void editionVirtualTable();
};

void TestCourseTables::everyEditionHasItsCourse_data()
{
    QTest::addColumn<QString>("code");
    for (const Edition& e : editionTable())
        QTest::newRow(qPrintable(e.ProgramCode)) << e.ProgramCode;
}

void TestCourseTables::everyEditionHasItsCourse()
{
    QFETCH(QString, code);
    const Edition edition = *findEdition(code);
    const QString language = edition.InterfaceLanguage;
    QString error;
    const auto titles = CourseTable::readTitles(CourseDir + QStringLiteral("/titles.tsv"), &error);
    QVERIFY2(titles, qPrintable(error));

    const QDir folder(CourseDir + QLatin1Char('/') + edition.StudiedLanguage);
    const QStringList tables = folder.entryList({QStringLiteral("*.tsv")}, QDir::Files, QDir::Name);
    QVERIFY2(tables.size() >= 8, qPrintable(folder.path()));
    QHash<QString, qsizetype> phraseCounts;
    QSet<QString> fileNames;
    for (const QString& table : tables) {
        const QString name = QFileInfo(table).completeBaseName();
        const auto phrases = CourseTable::readSubject(folder.filePath(table), &error);
        QVERIFY2(phrases, qPrintable(error));
        QVERIFY2(phrases->size() >= 6 && phrases->size() <= 10, qPrintable(table));
        // Refused when a phrase lacks its translation in the learner's language or holds a "*".
        QVERIFY2(CourseTable::phraseTable(*phrases, language, QString(), &error),
                 qPrintable(table + QStringLiteral(", ") + error));
        for (const auto& p : *phrases) {
            if (!p.sound.isEmpty())
                QVERIFY2(QFileInfo::exists(folder.filePath(p.sound)), qPrintable(p.sound));
        }
        const QString fileName = titles->value(name).value(language);
        QVERIFY2(!fileName.isEmpty(), qPrintable(name + QStringLiteral(" has no title")));
        QVERIFY2(!fileNames.contains(fileName.toUpper()), qPrintable(fileName));
        fileNames << fileName.toUpper();
        phraseCounts.insert(name, qsizetype(phrases->size()));
    }

    const QString examples = VirtualDir + QLatin1Char('/') + edition.StudiedLanguage + QStringLiteral(".tsv");
    const auto virtualPhrases = CourseTable::readVirtual(examples, &error);
    QVERIFY2(virtualPhrases, qPrintable(error));
    QVERIFY(!titles->value(QStringLiteral("Examples")).value(language).isEmpty());
    QVERIFY2(CourseTable::virtualTable(*virtualPhrases, *titles, edition, &error), qPrintable(error));
    QHash<QString, int> perSubject;
    for (const auto& v : *virtualPhrases) {
        QVERIFY2(phraseCounts.contains(v.subject), qPrintable(v.subject));
        QVERIFY2(v.phraseNo <= phraseCounts.value(v.subject),
                 qPrintable(v.subject + QLatin1Char(' ') + QString::number(v.phraseNo)));
        ++perSubject[v.name(language)];
    }
    QVERIFY(perSubject.size() >= 2);
    for (const int count : std::as_const(perSubject))
        QVERIFY(count >= 2 && count <= 10);
}

void TestCourseTables::editionPhraseTable_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QByteArray>("expected"); // the table's data lines, or empty when refused
    QTest::addColumn<QString>("error");

    const QByteArray two = "# phrase\tEnglish\tnote\tSpanish\tnote\tsound\n"
                           "Ciao!\tHi!\tInformal.\t\xc2\xa1Hola!\t\tciao.wav\n"
                           "Due\\tparole\tTwo\\\\words\t\tDos palabras\tLiteralmente: dos.\n";
    QTest::newRow("English columns")
        << two << "English" << QByteArray("Ciao!\tHi!\tInformal.\tciao.wav\nDue\\tparole\tTwo\\\\words\t\t\n")
        << QString();
    QTest::newRow("Spanish columns")
        << two << "Spanish"
        << QByteArray("Ciao!\t\xc2\xa1Hola!\t\tciao.wav\nDue\\tparole\tDos palabras\tLiteralmente: dos.\t\n")
        << QString();
    QTest::newRow("CRLF and BOM") << QByteArray("\xef\xbb\xbfSi.\tYes.\t\tS\xc3\xad.\t\r\n") << "Spanish"
                                  << QByteArray("Si.\tS\xc3\xad.\t\t\n") << QString();
    QTest::newRow("missing translation")
        << QByteArray("Si.\tYes.\t\t\t\nNo.\t\t\tNo.\t\n") << "English" << QByteArray() << "line 2";
    QTest::newRow("star") << QByteArray("Si.\tYes.\t*\tS\xc3\xad.\t\n") << "English"
                          << QByteArray("Si.\tYes.\t*\t\n") << QString();
    QTest::newRow("one-language table")
        << QByteArray("Si.\tYes.\n") << "English" << QByteArray() << "line 1: expected 5 or 6";
    QTest::newRow("Latin-1") << QByteArray("# ok\nS\xec.\tYes.\t\t\t\n") << "English" << QByteArray()
                             << "line 2: not UTF-8";
}

void TestCourseTables::editionPhraseTable()
{
    QFETCH(QByteArray, source);
    QFETCH(QString, language);
    QFETCH(QByteArray, expected);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString message;
    const auto phrases = CourseTable::readSubject(writeFile(dir, QStringLiteral("s.tsv"), source), &message);
    const auto table = phrases
                           ? CourseTable::phraseTable(*phrases, language, QStringLiteral("comment"), &message)
                           : std::nullopt;
    if (expected.isEmpty()) {
        QVERIFY(!table);
        QVERIFY2(message.contains(error), qPrintable(message));
        return;
    }
    QVERIFY2(table, qPrintable(message));
    QCOMPARE(*table,
             QByteArray("# comment\n# phrase\ttranslation\tsecond translation\tsound file\n") + expected);
}

void TestCourseTables::editionVirtualTable()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString error;
    const auto titles = CourseTable::readTitles(
        writeFile(dir, QStringLiteral("t.tsv"), "# titles\nAt_the_Cafe\tEn_el_Caf\xc3\xa9\n"), &error);
    QVERIFY2(titles, qPrintable(error));
    const auto phrases =
        CourseTable::readVirtual(writeFile(dir, QStringLiteral("v.tsv"),
                                           "Coffee\tCaf\xc3\xa9\tAt_the_Cafe\t3\nCoffee\t\tAt_the_Cafe\t4\n"),
                                 &error);
    QVERIFY2(phrases, qPrintable(error));
    const auto english =
        CourseTable::virtualTable(*phrases, *titles, *findEdition(QStringLiteral("prlfre")), &error);
    QVERIFY2(english, qPrintable(error));
    QVERIFY(english->endsWith("Coffee\tAt_the_Cafe.fre\t3\nCoffee\tAt_the_Cafe.fre\t4\n"));
    // The second row has no Spanish name: refused, not shipped nameless.
    QVERIFY(!CourseTable::virtualTable(*phrases, *titles, *findEdition(QStringLiteral("prlfra")), &error));
    QVERIFY2(error.contains(QLatin1String("line 2")), qPrintable(error));

    QVERIFY(!CourseTable::readTitles(writeFile(dir, QStringLiteral("bad.tsv"), "A\tEn el caf\xc3\xa9\n"),
                                     &error));
    QVERIFY(!CourseTable::readVirtual(writeFile(dir, QStringLiteral("bad.tsv"), "A\tB\tC\tx\n"), &error));
}

QTEST_GUILESS_MAIN(TestCourseTables)
#include "TestCourseTables.moc"
