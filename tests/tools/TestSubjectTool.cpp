// The authoring tool parlanto-subject, run as a teacher runs it (QProcess on the built
// program), on files in a temporary folder.
#include "platform/WaveFile.h"
#include "subjects/SubjectFile.h"
#include "support/TestSupport.h"

#include "BuildInfo.h"
#include "state/Edition.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct ToolRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun runTool(const QStringList& arguments, const QString& workingFolder = QString())
{
    QProcess process;
    process.setWorkingDirectory(workingFolder);
    process.start(QStringLiteral(PARLANTO_TOOLS_DIR "/parlanto-subject"), arguments);
    ToolRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QString row(const QString& phrase, const QString& translation, const QString& translation2,
            const QString& sound)
{
    return QStringList{phrase, translation, translation2, sound}.join(QLatin1Char('\t'));
}

} // namespace

class TestSubjectTool : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void refusals_data();
    void refusals();
    void forceReplaces();
    void roundTrip();
    void speaksWithEspeak();
    void checkPrintsTheProgramsVerdict();
    void checkDefaultsToTheBuildsEdition();
    void virtualFiles();
    void virtualRefusesMissingPhrases();
    void usageErrors();
    void commandLine_data();
    void commandLine();
    void tableThatIsNotUtf8();
    void virtualSubjectFileIsNamed();
    void readmeExampleWorksAsWritten();

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString writeTable(const QString& name, const QStringList& lines);

    QTemporaryDir m_dir;
};

void TestSubjectTool::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFileInfo(QStringLiteral(PARLANTO_TOOLS_DIR "/parlanto-subject")).isExecutable(),
             "parlanto-subject is not built");
    QVERIFY(writeAll(path(QStringLiteral("good.wav")), TestSupport::makeWave(1)));
    TestSupport::writeGarbage(path(QStringLiteral("bad.wav")), 2000);
}

QString TestSubjectTool::writeTable(const QString& name, const QStringList& lines)
{
    const QString file = path(name);
    writeAll(file, (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    return file;
}

void TestSubjectTool::refusals_data()
{
    QTest::addColumn<QStringList>("table");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("message");

    const QString good =
        row(QStringLiteral("Ciao!"), QStringLiteral("Hello!"), QString(), QStringLiteral("good.wav"));
    QStringList eleven;
    for (int i = 1; i <= 11; ++i)
        eleven << row(QStringLiteral("Frase %1").arg(i), QStringLiteral("Phrase %1").arg(i), QString(),
                      QStringLiteral("good.wav"));

    QTest::newRow("more than ten phrases") << eleven << "eleven.ita" << QStringList() << "at most 10";
    QTest::newRow("sound that is not a WAVE file") << QStringList{good, row("Due", "Two", "", "bad.wav")}
                                                   << "badwave.ita" << QStringList() << "not a WAVE file";
    QTest::newRow("sound file missing") << QStringList{row("Due", "Two", "", "nowhere.wav")}
                                        << "nosoundfile.ita" << QStringList() << "cannot read";
    QTest::newRow("no sound at all") << QStringList{row("Due", "Two", "", "")} << "nosound.ita"
                                     << QStringList() << "no sound";
    QTest::newRow("existing file without --force")
        << QStringList{good} << "existing.ita" << QStringList() << "already exists";
    QTest::newRow("unknown edition") << QStringList{good} << "edition.ita"
                                     << QStringList{"--edition", "prlxyz"} << "unknown edition \"prlxyz\"";
    QTest::newRow("extension of another edition")
        << QStringList{good} << "other.spa" << QStringList() << "must end with .ita";
    QTest::newRow("too many fields") << QStringList{good + "\textra"} << "fields.ita" << QStringList()
                                     << "expected 2 to 4";
    QTest::newRow("empty translation")
        << QStringList{row("Tre", "", "", "good.wav")} << "empty.ita" << QStringList() << "must not be empty";
    QTest::newRow("empty table") << QStringList{"# nothing but a comment"} << "none.ita" << QStringList()
                                 << "holds no phrase";
}

void TestSubjectTool::refusals()
{
    QFETCH(QStringList, table);
    QFETCH(QString, out);
    QFETCH(QStringList, options);
    QFETCH(QString, message);

    const QString outPath = path(out);
    const bool existing = out == QLatin1String("existing.ita");
    QByteArray before;
    if (existing) {
        QVERIFY(TestSupport::writeSubject(outPath, QStringLiteral("prlita"), 2));
        before = readAll(outPath);
    }
    const QString tablePath = writeTable(QStringLiteral("refused.tsv"), table);
    QStringList arguments{QStringLiteral("create"), outPath, QStringLiteral("--phrases"), tablePath};
    if (!options.contains(QStringLiteral("--edition")))
        arguments << QStringLiteral("--edition") << QStringLiteral("prlita");
    arguments << options;

    const ToolRun run = runTool(arguments);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY2(run.err.startsWith(QLatin1String("parlanto-subject: ")), qPrintable(run.err));
    if (existing)
        QCOMPARE(readAll(outPath), before);
    else
        QVERIFY(!QFileInfo::exists(outPath));
    // Nothing half-made is left in the folder either.
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden),
             QStringList());
}

void TestSubjectTool::forceReplaces()
{
    const QString out = path(QStringLiteral("forced.ita"));
    QVERIFY(TestSupport::writeSubject(out, QStringLiteral("prlita"), 5));
    const QString table = writeTable(QStringLiteral("forced.tsv"), {row("Nuovo", "New", "", "good.wav")});
    const ToolRun run = runTool({"create", out, "--edition", "prlita", "--phrases", table, "--force"});
    QCOMPARE(run.exitCode, 0);
    QString error;
    const auto phrases = InstalledSubject::phrases(out, false, &error);
    QVERIFY2(phrases, qPrintable(error));
    QCOMPARE(phrases->size(), size_t(1));
    QCOMPARE(phrases->front().tPhrase, QStringLiteral("Nuovo"));
}

void TestSubjectTool::roundTrip()
{
    QTemporaryDir sounds;
    QVERIFY(sounds.isValid());
    const QList<QByteArray> waves{TestSupport::makeWave(3, 120), TestSupport::makeWave(4, 250),
                                  TestSupport::makeWave(5, 80)};
    for (int i = 0; i < waves.size(); ++i)
        QVERIFY(writeAll(sounds.filePath(QStringLiteral("s%1.wav").arg(i + 1)), waves.at(i)));
    // Accents, quotes, an escaped backslash and tab, and a phrase starting with "#".
    const QString table =
        writeTable(QStringLiteral("trip.tsv"),
                   {QStringLiteral("# a comment line"), QString(),
                    row(QStringLiteral("Un caffè, per favore."), QStringLiteral("A coffee, please."),
                        QStringLiteral("In Italy \"un caffè\" is an espresso."), QStringLiteral("s1.wav")),
                    row(QStringLiteral("Perché no?"), QStringLiteral("Why not? a\\\\b"), QString(),
                        QStringLiteral("s2.wav")),
                    row(QStringLiteral("\\#Numero uno"), QStringLiteral("Number\\tone"),
                        QStringLiteral("Lit."), QStringLiteral("s3.wav"))});
    const QStringList phrases{QStringLiteral("Un caffè, per favore."), QStringLiteral("Perché no?"),
                              QStringLiteral("#Numero uno")};
    const QStringList translations{QStringLiteral("A coffee, please."), QStringLiteral("Why not? a\\b"),
                                   QStringLiteral("Number\tone")};
    const QStringList seconds{QStringLiteral("In Italy \"un caffè\" is an espresso."), QString(""),
                              QStringLiteral("Lit.")};

    const QString subject = path(QStringLiteral("Round_Trip.ita"));
    ToolRun run =
        runTool({"create", subject, "--edition", "prlita", "--phrases", table, "--sounds", sounds.path()});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    QString error;
    const auto stored = InstalledSubject::phrases(subject, true, &error);
    QVERIFY2(stored, qPrintable(error));
    QCOMPARE(stored->size(), size_t(3));
    for (int i = 0; i < 3; ++i) {
        const Phrase& p = stored->at(size_t(i));
        QCOMPARE(p.phraseNo, qint64(i + 1));
        QCOMPARE(p.tPhrase, phrases.at(i));
        QCOMPARE(p.tTranslation, translations.at(i));
        QCOMPARE(p.tTranslation2, seconds.at(i));
        QCOMPARE(p.bsound, waves.at(i));
    }
    QCOMPARE(checkSubjectFile(subject, QStringLiteral("prlita")), QStringLiteral("VALID"));

    // list: one line per phrase with its number, texts and sound length.
    run = runTool({"list", subject});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.contains(QStringLiteral("edition prlita, 3 phrases")));
    QVERIFY2(run.out.contains(QStringLiteral("1\tUn caffè, per favore.\tA coffee, please.\t")),
             qPrintable(run.out));
    QVERIFY(run.out.contains(QStringLiteral("2\tPerché no?\tWhy not? a\\\\b\t\t0.25 s")));
    QVERIFY(run.out.contains(QStringLiteral("3\t#Numero uno\tNumber\\tone\tLit.\t0.08 s")));

    // export, then create again from what was exported: same texts, same sound bytes.
    const QString exported = path(QStringLiteral("exported"));
    run = runTool({"export", subject, "--to", exported});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(readAll(QDir(exported).filePath(
                     QStringLiteral("Round_Trip_%1.wav").arg(i + 1, 2, 10, QLatin1Char('0')))),
                 waves.at(i));
    // A second export into the same folder is refused unless forced.
    run = runTool({"export", subject, "--to", exported});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.err.contains(QStringLiteral("already exists")));
    QCOMPARE(runTool({"export", subject, "--to", exported, "--force"}).exitCode, 0);

    const QString again = path(QStringLiteral("Round_Trip_Again.ita"));
    run = runTool({"create", again, "--edition", "prlita", "--phrases",
                   QDir(exported).filePath(QStringLiteral("Round_Trip.tsv")), "--sounds", exported});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const auto reread = InstalledSubject::phrases(again, true, &error);
    QVERIFY2(reread, qPrintable(error));
    QCOMPARE(reread->size(), stored->size());
    for (size_t i = 0; i < stored->size(); ++i) {
        QCOMPARE(reread->at(i).phraseNo, stored->at(i).phraseNo);
        QCOMPARE(reread->at(i).tPhrase, stored->at(i).tPhrase);
        QCOMPARE(reread->at(i).tTranslation, stored->at(i).tTranslation);
        QCOMPARE(reread->at(i).tTranslation2, stored->at(i).tTranslation2);
        QCOMPARE(reread->at(i).bsound, stored->at(i).bsound);
    }
}

void TestSubjectTool::speaksWithEspeak()
{
    if (QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty())
        QSKIP("espeak-ng is not installed");
    const QString table =
        writeTable(QStringLiteral("spoken.tsv"),
                   {row("Buongiorno!", "Good morning!", "", ""), row("-Meno", "Minus", "", "")});
    const QString out = path(QStringLiteral("Spoken.ita"));
    const ToolRun run = runTool({"create", out, "--edition", "prlita", "--phrases", table, "--speak", "it"});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QString error;
    const auto phrases = InstalledSubject::phrases(out, true, &error);
    QVERIFY2(phrases, qPrintable(error));
    QCOMPARE(phrases->size(), size_t(2));
    for (const Phrase& p : *phrases) {
        const WaveInfo wave = readWaveInfo(p.bsound);
        QVERIFY2(wave.valid, qPrintable(wave.error));
        QVERIFY(wave.durationMs > 200);
    }
}

void TestSubjectTool::checkPrintsTheProgramsVerdict()
{
    const QString valid = path(QStringLiteral("Valid.ita"));
    const QString spanish = path(QStringLiteral("Spanish.ita"));
    const QString garbage = path(QStringLiteral("Garbage.ita"));
    QVERIFY(TestSupport::writeSubject(valid, QStringLiteral("prlita"), 3));
    QVERIFY(TestSupport::writeSubject(spanish, QStringLiteral("prlspa"), 3));
    TestSupport::writeGarbage(garbage);

    ToolRun run = runTool({"check", valid, spanish, garbage, "--edition", "prlita"});
    QCOMPARE(run.exitCode, 1);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), valid + QStringLiteral(": VALID"));
    QCOMPARE(lines.at(1), spanish + QStringLiteral(": WRONG_LANGUAGE*prlspa"));
    QCOMPARE(lines.at(2),
             garbage + QStringLiteral(": ") + checkSubjectFile(garbage, QStringLiteral("prlita")));
    QVERIFY(!lines.at(2).endsWith(QLatin1String("VALID")));

    run = runTool({"check", spanish, "--edition", "prlspa"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, spanish + QStringLiteral(": VALID\n"));
}

void TestSubjectTool::checkDefaultsToTheBuildsEdition()
{
    const QString file = path(QStringLiteral("Build_Edition.ita"));
    QVERIFY(TestSupport::writeSubject(file, QString::fromLatin1(BuildInfo::ProgramCode), 2));
    const ToolRun run = runTool({"check", file});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, file + QStringLiteral(": VALID\n"));
}

void TestSubjectTool::virtualFiles()
{
    const QString subjects = path(QStringLiteral("subjects"));
    QVERIFY(QDir().mkpath(subjects));
    QVERIFY(TestSupport::writeSubject(QDir(subjects).filePath(QStringLiteral("One.ita")),
                                      QStringLiteral("prlita"), 4));
    QVERIFY(TestSupport::writeSubject(QDir(subjects).filePath(QStringLiteral("Two.ita")),
                                      QStringLiteral("prlita"), 3));
    const QString table = writeTable(QStringLiteral("virtual.tsv"), {"Mix\tOne.ita\t2", "Mix\tTwo.ita\t3",
                                                                     "Other\tOne.ita\t4", "Mix\tOne.ita\t1"});
    const QString out = path(QStringLiteral("Made.vita"));
    ToolRun run = runTool({"virtual", out, "--table", table, "--subjects", subjects, "--edition", "prlita"});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    QString error;
    const auto parents = VirtualSubjectFile::subjects(out, &error);
    QVERIFY2(parents, qPrintable(error));
    QCOMPARE(parents->size(), size_t(2));
    QCOMPARE(parents->at(0).name, QStringLiteral("Mix"));
    QCOMPARE(parents->at(1).name, QStringLiteral("Other"));
    const auto mix = VirtualSubjectFile::phrases(out, parents->at(0).nParent, &error);
    QVERIFY2(mix, qPrintable(error));
    QCOMPARE(mix->size(), size_t(3));
    QCOMPARE(mix->at(1).tfilename, QStringLiteral("Two.ita"));
    QCOMPARE(mix->at(1).phraseNo, qint64(3));
    QCOMPARE(mix->at(1).tPhrase, QStringLiteral("Frase 3"));
    QCOMPARE(mix->at(1).tTranslation, QStringLiteral("Phrase 3"));
    QCOMPARE(mix->at(1).tTranslation2, QStringLiteral("Literal 3"));

    // Without a table: an empty file of the custom.tpl layout.
    const QString empty = path(QStringLiteral("empty.tpl"));
    run = runTool({"virtual", empty});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const auto none = VirtualSubjectFile::subjects(empty, &error);
    QVERIFY2(none, qPrintable(error));
    QVERIFY(none->empty());
    QCOMPARE(runTool({"virtual", empty}).exitCode, 1);
    QCOMPARE(runTool({"virtual", empty, "--force"}).exitCode, 0);
}

void TestSubjectTool::virtualRefusesMissingPhrases()
{
    const QString subjects = path(QStringLiteral("subjects2"));
    QVERIFY(QDir().mkpath(subjects));
    QVERIFY(TestSupport::writeSubject(QDir(subjects).filePath(QStringLiteral("One.ita")),
                                      QStringLiteral("prlita"), 2));
    QVERIFY(TestSupport::writeSubject(QDir(subjects).filePath(QStringLiteral("Spa.ita")),
                                      QStringLiteral("prlspa"), 2));
    const struct
    {
        const char* line;
        const char* message;
    } cases[] = {{"Mix\tOne.ita\t3", "has no phrase 3"},
                 {"Mix\tGone.ita\t1", "Gone.ita"},
                 {"Mix\tSpa.ita\t1", "WRONG_LANGUAGE*prlspa"},
                 {"Mix\tOne.ita", "expected virtual subject"}};
    for (const auto& c : cases) {
        const QString table = writeTable(QStringLiteral("bad_virtual.tsv"), {QString::fromUtf8(c.line)});
        const QString out = path(QStringLiteral("Bad.vita"));
        const ToolRun run =
            runTool({"virtual", out, "--table", table, "--subjects", subjects, "--edition", "prlita"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QString::fromUtf8(c.message)), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(out));
    }
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden),
             QStringList());
}

void TestSubjectTool::usageErrors()
{
    for (const QStringList& arguments :
         {QStringList{}, QStringList{"frobnicate"}, QStringList{"create", "x.ita"}, QStringList{"list"},
          QStringList{"check"}, QStringList{"export", "x.ita"}, QStringList{"list", "x.ita", "--bogus"}}) {
        const ToolRun run = runTool(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(QStringLiteral("Usage:")));
    }
    const ToolRun help = runTool({"help"});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains(QStringLiteral("parlanto-subject create")));
}

// Options as a person types them: before or after the file, long, short or with one dash,
// per-command help, "--" before a file name that starts with a dash.
void TestSubjectTool::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const QString file = path(QStringLiteral("One.ita"));
    const QString dashed = path(QStringLiteral("-dash.ita"));
    QTest::newRow("--version") << QStringList{"--version"} << 0
                               << QStringLiteral("parlanto-subject 1.0.0 (build ") << QString();
    QTest::newRow("per-command help") << QStringList{"create", "--help"} << 0
                                      << QStringLiteral("Usage: parlanto-subject create OUT") << QString();
    QTest::newRow("help COMMAND") << QStringList{"help", "export"} << 0 << QStringLiteral("--to <DIR>")
                                  << QString();
    const QString own = TestSupport::ownEdition();
    QTest::newRow("short option") << QStringList{"check", "-e", own, file} << 0
                                  << file + QStringLiteral(": VALID\n") << QString();
    QTest::newRow("one-dash long option")
        << QStringList{"check", "-edition=" + TestSupport::otherEdition(), file} << 1
        << ": WRONG_LANGUAGE*" + own + "\n"
        << QString();
    QTest::newRow("unknown short option")
        << QStringList{"check", "-x", file} << 2 << QString() << QStringLiteral("Unknown option 'x'");
    QTest::newRow("option before the command")
        << QStringList{"--edition", own, "check", file} << 2 << QString()
        << QStringLiteral("options come after the command");
    QTest::newRow("-- ends the options")
        << QStringList{"list", "--", dashed} << 0 << "edition " + own + ", 1 phrase\n"
        << QString();
    QTest::newRow("explained verdict")
        << QStringList{"check", "--explain", file} << 0
        << "VALID\n  This subject belongs to " + buildEdition().EditionTitle + " (" + own + ")" << QString();
    QTest::newRow("unknown edition") << QStringList{"check", "-e", "prlxyz", file} << 1 << QString()
                                     << QStringLiteral("unknown edition \"prlxyz\"");
}

void TestSubjectTool::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    for (const char* name : {"One.ita", "-dash.ita"}) {
        if (!QFileInfo::exists(path(QLatin1String(name))))
            QVERIFY(TestSupport::writeSubject(path(QLatin1String(name)), TestSupport::ownEdition(), 1));
    }
    const ToolRun run = runTool(arguments);
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.out + run.err));
    QVERIFY2(run.out.contains(out), qPrintable(run.out));
    QVERIFY2(run.err.contains(err), qPrintable(run.err));
}

// A table saved as Latin-1 is refused at its first such line, and nothing is written.
void TestSubjectTool::tableThatIsNotUtf8()
{
    const QString table = path(QStringLiteral("latin1.tsv"));
    QVERIFY(writeAll(table,
                     "# made by an old editor\nCiao\tHello\t\tgood.wav\nPi\xF9 tardi\tLater\t\tgood.wav\n"));
    const QString out = path(QStringLiteral("Latin.ita"));
    const ToolRun run = runTool({"create", out, "--edition", "prlita", "--phrases", table});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("latin1.tsv, line 3: the text is not UTF-8")),
             qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(out));
}

// list and check tell a virtual subject file for what it is.
void TestSubjectTool::virtualSubjectFileIsNamed()
{
    const QString subjects = path(QStringLiteral("vsubjects"));
    QVERIFY(QDir().mkpath(subjects));
    const QString cafe = TestSupport::subjectFile(QStringLiteral("Cafe"));
    QVERIFY(TestSupport::writeSubject(subjects + QLatin1Char('/') + cafe, TestSupport::ownEdition(), 2));
    const QString table = writeTable(QStringLiteral("mine.tsv"), {"Revision\t" + cafe + "\t2"});
    const QString file = path(TestSupport::virtualFile(QStringLiteral("Mine")));
    QCOMPARE(runTool({"virtual", file, "--table", table, "--subjects", subjects, "--force"}).exitCode, 0);

    ToolRun run = runTool({"list", file});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.startsWith(QStringLiteral("# ") + file +
                                QStringLiteral(": virtual subject file, 1 virtual subject\n")),
             qPrintable(run.out));
    QVERIFY(run.out.contains("\nRevision\t" + cafe + "\t2\tFrase 2\tPhrase 2\n"));

    run = runTool({"check", "--explain", file});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(
        run.out.startsWith(file + QStringLiteral(": a virtual subject file, not an installed subject\n  This "
                                                 "is a virtual subject file holding 1 virtual subject")),
        qPrintable(run.out));
}

// The README's "Making your own subjects" commands, run as written from the repository's
// root (the build folder's name aside), with the home folder in a temporary folder.
void TestSubjectTool::readmeExampleWorksAsWritten()
{
    QFile readme(QStringLiteral(PARLANTO_SOURCE_DIR "/README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    const QString section =
        text.section(QStringLiteral("## Making your own subjects"), 1).section(QStringLiteral("\n## "), 0, 0);
    QStringList commands;
    for (const QString& line : section.split(QLatin1Char('\n'))) {
        const QString code = line.mid(4);
        if (!line.startsWith(QLatin1String("    ")))
            continue;
        if (code.startsWith(QLatin1String("build/bin/parlanto-subject ")))
            commands << code;
        else if (code.startsWith(QLatin1Char(' ')) && !commands.isEmpty() &&
                 commands.last().endsWith(QLatin1Char('\\')))
            commands.last() = commands.last().chopped(1) + code;
    }
    QCOMPARE(commands.size(), 4);
    const QString home = path(QStringLiteral("readme-home"));
    QVERIFY(QDir().mkpath(home));
    for (QString command : commands) {
        command.replace(QStringLiteral("build/bin/"), QStringLiteral(PARLANTO_TOOLS_DIR "/"));
        // The README is written for the default edition; another build makes its own files.
        command.replace(QStringLiteral("--edition prlita"), "--edition " + TestSupport::ownEdition());
        command.replace(QStringLiteral(".ita"), TestSupport::subjectFile(QString()));
        command = command.section(QLatin1Char('#'), 0, 0);
        QProcess shell;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        shell.setProcessEnvironment(env);
        shell.setWorkingDirectory(QStringLiteral(PARLANTO_SOURCE_DIR));
        shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
        QVERIFY(shell.waitForFinished(120000));
        QVERIFY2(shell.exitCode() == 0,
                 qPrintable(command + QLatin1Char('\n') + shell.readAllStandardError()));
        if (command.contains(QLatin1String(" check ")))
            QVERIFY(shell.readAllStandardOutput().endsWith(": VALID\n"));
    }
    QVERIFY(QFileInfo::exists(home + QStringLiteral("/museum/At_the_Museum_02.wav")));
}

QTEST_GUILESS_MAIN(TestSubjectTool)
#include "TestSubjectTool.moc"
