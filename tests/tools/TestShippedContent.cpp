// What the build lays out in the program folder for the learner: the installed subjects
// of the edition's course, the example virtual subjects, custom.tpl, the offline page, and
// the click sound compiled into the program.
#include "common/CourseTable.h"
#include "platform/WaveFile.h"
#include "state/Captions.h"
#include "state/Edition.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectTitle.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString ProgramDir = QStringLiteral(PARLANTO_PROGRAM_DIR);
const Edition ThisEdition = buildEdition();
const QString CourseDir = QStringLiteral(PARLANTO_SOURCE_DIR "/data/course/") + ThisEdition.StudiedLanguage;

// The folders the program lists, named by the captions in the learner's language.
const Captions& captions()
{
    static const Captions loaded = [] {
        Captions c;
        QString error;
        c.load(ProgramDir + QStringLiteral("/Parlanto.tpl"), ThisEdition.InterfaceLanguage, &error);
        return c;
    }();
    return loaded;
}

QString subjectsDir()
{
    return ProgramDir + QLatin1Char('/') + captions().installedSubjectsFolderName();
}

QStringList shippedSubjects()
{
    return QDir(subjectsDir()).entryList({ThisEdition.installedSubjectPattern()}, QDir::Files, QDir::Name);
}

// The name each shipped file has in the learner's language.
QString shippedName(const QString& englishName)
{
    QString error;
    static const auto titles =
        CourseTable::readTitles(QStringLiteral(PARLANTO_SOURCE_DIR "/data/course/titles.tsv"), &error);
    return titles ? titles->value(englishName).value(ThisEdition.InterfaceLanguage) : QString();
}

} // namespace

class TestShippedContent : public QObject
{
    Q_OBJECT
private slots:
    void everyCourseTableIsShipped();
    void checkSaysValidForEveryShippedSubject();
    void shippedPhrases();
    void shippedSoundsAreWaveFiles();
    void exampleVirtualSubjectsPointAtShippedPhrases();
    void customTemplateIsAnEmptyVirtualFile();
    void offlinePage();
    void clickSound();
};

void TestShippedContent::everyCourseTableIsShipped()
{
    QVERIFY(captions().isLoaded());
    const QStringList tables = QDir(CourseDir).entryList({QStringLiteral("*.tsv")}, QDir::Files, QDir::Name);
    QVERIFY(tables.size() >= 8);
    QStringList expected;
    for (const QString& t : tables)
        expected << shippedName(QFileInfo(t).completeBaseName()) + QLatin1Char('.') +
                        ThisEdition.LanguageCode;
    expected.sort();
    QStringList shipped = shippedSubjects();
    shipped.sort();
    QCOMPARE(shipped, expected);
}

void TestShippedContent::checkSaysValidForEveryShippedSubject()
{
    QStringList files;
    for (const QString& name : shippedSubjects())
        files << QDir(subjectsDir()).filePath(name);
    QVERIFY(files.size() >= 8);
    QProcess tool;
    tool.start(QStringLiteral(PARLANTO_TOOLS_DIR "/parlanto-subject"),
               QStringList{QStringLiteral("check")} + files);
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 0);
    const QStringList lines =
        QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), files.size());
    for (int i = 0; i < files.size(); ++i)
        QCOMPARE(lines.at(i), files.at(i) + QStringLiteral(": VALID"));
}

void TestShippedContent::shippedPhrases()
{
    // Titles: words joined by "_"; the tree shows them in proper case.
    const QRegularExpression fileName(QStringLiteral("^\\p{Lu}\\p{Ll}*(_\\p{L}\\p{Ll}*)*\\.") +
                                      ThisEdition.LanguageCode + QLatin1Char('$'));
    const QStringList tables = QDir(CourseDir).entryList({QStringLiteral("*.tsv")}, QDir::Files);
    QVERIFY(!tables.isEmpty());
    for (const QString& table : tables) {
        const QString name =
            shippedName(QFileInfo(table).completeBaseName()) + QLatin1Char('.') + ThisEdition.LanguageCode;
        QVERIFY2(fileName.match(name).hasMatch(), qPrintable(name));
        QVERIFY(!properTitle(name).trimmed().isEmpty());
        QString error;
        const auto source = CourseTable::readSubject(QDir(CourseDir).filePath(table), &error);
        QVERIFY2(source, qPrintable(error));
        const auto phrases = InstalledSubject::phrases(QDir(subjectsDir()).filePath(name), false, &error);
        QVERIFY2(phrases, qPrintable(name + QStringLiteral(": ") + error));
        QCOMPARE(phrases->size(), source->size());
        for (size_t i = 0; i < phrases->size(); ++i) {
            const Phrase& p = phrases->at(i);
            // The learner's language's columns, as written in the course's table.
            const QString language = ThisEdition.InterfaceLanguage;
            QCOMPARE(p.phraseNo, qint64(i + 1));
            QCOMPARE(p.tPhrase, source->at(i).phrase);
            QCOMPARE(p.tTranslation, source->at(i).translation(language));
            QCOMPARE(p.tTranslation2, source->at(i).note(language));
        }
    }
}

void TestShippedContent::shippedSoundsAreWaveFiles()
{
    const QString sox = QStandardPaths::findExecutable(QStringLiteral("sox"));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    int checked = 0;
    for (const QString& name : shippedSubjects()) {
        QString error;
        const auto phrases = InstalledSubject::phrases(QDir(subjectsDir()).filePath(name), true, &error);
        QVERIFY2(phrases, qPrintable(error));
        for (const Phrase& p : *phrases) {
            const QString where = QStringLiteral("%1 phrase %2").arg(name).arg(p.phraseNo);
            const WaveInfo wave = readWaveInfo(p.bsound);
            QVERIFY2(wave.valid, qPrintable(where + QStringLiteral(": ") + wave.error));
            QCOMPARE(wave.formatTag, 1);
            QCOMPARE(wave.channels, 1);
            QVERIFY2(wave.durationMs > 300 && wave.durationMs < 10000, qPrintable(where));
            if (sox.isEmpty())
                continue;
            const QString file = dir.filePath(QStringLiteral("phrase.wav"));
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(p.bsound);
            f.close();
            QProcess info;
            info.start(sox, {QStringLiteral("--i"), file});
            QVERIFY(info.waitForFinished(30000));
            QVERIFY2(info.exitCode() == 0,
                     qPrintable(where + QString::fromUtf8(info.readAllStandardError())));
            QVERIFY(info.readAllStandardOutput().contains("Sample Rate"));
            ++checked;
        }
    }
    if (sox.isEmpty())
        QSKIP("sox is not installed: the WAVE headers were checked, sox --i was not run");
    QVERIFY(checked >= 8 * 6);
}

void TestShippedContent::exampleVirtualSubjectsPointAtShippedPhrases()
{
    const QString file = ProgramDir + QLatin1Char('/') + captions().virtualSubjectsFolderName() +
                         QLatin1Char('/') + shippedName(QStringLiteral("Examples")) + QStringLiteral(".v") +
                         ThisEdition.LanguageCode;
    QString error;
    const auto subjects = VirtualSubjectFile::subjects(file, &error);
    QVERIFY2(subjects, qPrintable(error));
    QCOMPARE(subjects->size(), size_t(2));
    for (const VirtualSubject& subject : *subjects) {
        QVERIFY(!subject.name.isEmpty());
        const auto phrases = VirtualSubjectFile::phrases(file, subject.nParent, &error);
        QVERIFY2(phrases, qPrintable(error));
        QVERIFY(phrases->size() >= 2 && phrases->size() <= 10);
        for (const VirtualPhrase& v : *phrases) {
            const QString installed = QDir(subjectsDir()).filePath(v.tfilename);
            QCOMPARE(checkSubjectFile(installed, ThisEdition.ProgramCode), QStringLiteral("VALID"));
            bool found = false;
            const auto original = InstalledSubject::phrase(installed, v.phraseNo, false, &found, &error);
            QVERIFY2(original && found,
                     qPrintable(v.tfilename + QStringLiteral(" ") + QString::number(v.phraseNo)));
            QCOMPARE(v.tPhrase, original->tPhrase);
            QCOMPARE(v.tTranslation, original->tTranslation);
            QCOMPARE(v.tTranslation2, original->tTranslation2);
        }
    }
}

void TestShippedContent::customTemplateIsAnEmptyVirtualFile()
{
    const QString file = ProgramDir + QStringLiteral("/custom.tpl");
    QString error;
    const auto subjects = VirtualSubjectFile::subjects(file, &error);
    QVERIFY2(subjects, qPrintable(error));
    QVERIFY(subjects->empty());
    const auto phrases = VirtualSubjectFile::phrases(file, 1, &error);
    QVERIFY2(phrases, qPrintable(error));
    QVERIFY(phrases->empty());
}

void TestShippedContent::offlinePage()
{
    QFile page(ProgramDir + QStringLiteral("/offline.htm"));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll());
    QVERIFY(text.startsWith(QLatin1String("<!DOCTYPE html>")));
    QVERIFY(text.contains(QLatin1String("charset=\"utf-8\"")));
    QVERIFY(text.contains(QLatin1String("Parlanto")));
    QVERIFY(text.contains(QLatin1String("</html>")));
}

void TestShippedContent::clickSound()
{
    QFile click(QStringLiteral(":/sounds/click.wav"));
    QVERIFY2(click.open(QIODevice::ReadOnly), "the click sound is not a resource of parlanto_core");
    const QByteArray bytes = click.readAll();
    const WaveInfo wave = readWaveInfo(bytes);
    QVERIFY2(wave.valid, qPrintable(wave.error));
    QCOMPARE(wave.formatTag, 1);
    QCOMPARE(wave.channels, 1);
    QCOMPARE(wave.sampleRate, 44100);
    QCOMPARE(wave.bitsPerSample, 16);
    QVERIFY(wave.durationMs > 0 && wave.durationMs < 100);
    QCOMPARE(bytes.size(), qsizetype(582));
}

QTEST_GUILESS_MAIN(TestShippedContent)
#include "TestShippedContent.moc"
