// parlanto-subject import, run as a teacher runs it, on vocabularies other programs made:
// KWordQuiz's examples and KDE's word lists as Debian ships them (fetched by the tests'
// set-up), Anki packages and text exports made from Anki's documented layout by a Python
// script, and KVTML written by hand.
#include "platform/WaveFile.h"
#include "subjects/SubjectFile.h"
#include "support/TestSupport.h"

#include "state/Edition.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct ToolRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// tempFolder: the tool's temporary folder (TMPDIR), so that a test sees what it writes there.
ToolRun runTool(const QStringList& arguments, const QString& tempFolder = QString())
{
    QProcess process;
    if (!tempFolder.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), tempFolder);
        process.setProcessEnvironment(env);
    }
    process.start(QStringLiteral(PARLANTO_TOOLS_DIR "/parlanto-subject"), arguments);
    ToolRun run;
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Runs make_anki.py on a recipe; "" when it worked, else what went wrong.
QString makeAnki(const QJsonObject& recipe, const QString& folder)
{
    const QString recipePath = folder + QStringLiteral("/recipe.json");
    if (!writeAll(recipePath, QJsonDocument(recipe).toJson()))
        return QStringLiteral("cannot write the recipe");
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral(PARLANTO_SOURCE_DIR "/tests/tools/make_anki.py"), recipePath});
    if (!python.waitForFinished(120000) || python.exitCode() != 0)
        return QStringLiteral("make_anki.py failed: ") + QString::fromUtf8(python.readAllStandardError()) +
               python.errorString();
    QFile::remove(recipePath);
    return QString();
}

// A recorded sound as a third party has it: an ogg made by sox, 8000 Hz, 0.4 s.
QString makeOgg(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QProcess sox;
    sox.start(QStringLiteral("sox"),
              {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("8000"), QStringLiteral("-c"),
               QStringLiteral("2"), path, QStringLiteral("synth"), QStringLiteral("0.4"),
               QStringLiteral("sine"), QStringLiteral("440")});
    if (!sox.waitForFinished(60000) || sox.exitCode() != 0)
        return QStringLiteral("sox failed: ") + QString::fromUtf8(sox.readAllStandardError()) +
               sox.errorString();
    return QString();
}

// An mp3 as recorders write it (LAME, through libsndfile): 16000 Hz, 0.6 s.
QString makeMp3(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral(PARLANTO_SOURCE_DIR "/tests/tools/make_mp3.py"),
                                             path, QStringLiteral("0.6"), QStringLiteral("16000")});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return QStringLiteral("make_mp3.py failed: ") + QString::fromUtf8(python.readAllStandardError()) +
               python.errorString();
    return QString();
}

// Every file under a folder with its size and modification time, but those under skip.
QStringList snapshot(const QString& folder, const QString& skip)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.startsWith(skip))
            continue;
        const QFileInfo info = it.fileInfo();
        entries << QStringLiteral("%1 %2 %3")
                       .arg(path)
                       .arg(info.size())
                       .arg(info.lastModified().toMSecsSinceEpoch());
    }
    entries.sort();
    return entries;
}

QStringList subjectFiles(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::AllDirs | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// Each written subject, as the tool's own check sees it.
void verifyAllValid(const QString& folder, const QString& edition, int expectedCount)
{
    QStringList files;
    for (const QString& name : subjectFiles(folder))
        files << QDir(folder).filePath(name);
    QCOMPARE(files.size(), expectedCount);
    const ToolRun check = runTool(QStringList{QStringLiteral("check")} + files +
                                  QStringList{QStringLiteral("--edition"), edition});
    QVERIFY2(check.exitCode == 0, qPrintable(check.out + check.err));
    QCOMPARE(check.out.count(QStringLiteral(": VALID\n")), expectedCount);
}

QString kvtmlEntry(const QString& italian, const QString& english, const QString& sound = QString())
{
    return QStringLiteral("<entry id=\"%1\"><translation id=\"0\"><text>%2</text>%3</translation>"
                          "<translation id=\"1\"><text>%4</text></translation></entry>\n")
        .arg(qHash(italian) % 100000)
        .arg(italian, sound.isEmpty() ? QString() : QStringLiteral("<sound>%1</sound>").arg(sound), english);
}

} // namespace

class TestVocabularyImport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void kwordquizFrenchVerbs();
    void handWrittenKvtml();
    void ankiText();
    void ankiPackage();
    void newestLayoutPackage();
    void textsCleanedAndStaleFoldersRemoved();
    void badInputs_data();
    void badInputs();

private:
    // A file of Debian's packages, or "" with the reason in m_fetchProblem.
    QString debianFile(const QString& relative) const;

    QTemporaryDir m_root;
    QString m_fetched;
    QString m_fetchProblem;
};

void TestVocabularyImport::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_root.isValid());
    m_fetched = QStringLiteral(PARLANTO_KVTML_DIR);
    if (!QFileInfo::exists(m_fetched + QStringLiteral("/.complete"))) {
        QFile failed(m_fetched + QStringLiteral("/failed"));
        m_fetchProblem = failed.open(QIODevice::ReadOnly)
                             ? QString::fromUtf8(failed.readAll()).trimmed()
                             : QStringLiteral("the test set-up did not fetch them");
    }
}

QString TestVocabularyImport::debianFile(const QString& relative) const
{
    const QString path = m_fetched + QStringLiteral("/root/usr/share/") + relative;
    return QFileInfo::exists(path) ? path : QString();
}

// KWordQuiz's own example, French and English: French for English speakers takes it, the
// Italian edition refuses it naming both sides' languages.
void TestVocabularyImport::kwordquizFrenchVerbs()
{
    const QString verbs = debianFile(QStringLiteral("doc/kwordquiz/examples/french_verbs.kvtml"));
    if (verbs.isEmpty())
        QSKIP(qPrintable(QStringLiteral("Debian's kwordquiz examples are not there: ") + m_fetchProblem));
    const QString out = m_root.filePath(QStringLiteral("verbs"));
    const ToolRun run = runTool({QStringLiteral("import"), verbs, QStringLiteral("--edition"),
                                 QStringLiteral("prlfre"), QStringLiteral("--out"), out});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    // 35 entries, three of them empty: four subjects, the last of two phrases.
    QVERIFY2(run.out.contains(QStringLiteral("Made 4 subjects (32 phrases)")), qPrintable(run.out));
    QVERIFY(run.out.contains(QStringLiteral("3 notes without the phrase or its translation")));
    verifyAllValid(out, QStringLiteral("prlfre"), 4);
    QCOMPARE(subjectFiles(out).first(), QStringLiteral("french_verbs_1.fre"));
    const auto phrases =
        InstalledSubject::phrases(out + QStringLiteral("/french_verbs_1.fre"), true, nullptr);
    QVERIFY(phrases && phrases->size() == 10);
    QCOMPARE(phrases->front().tPhrase, QStringLiteral("je suis"));
    QCOMPARE(phrases->front().tTranslation, QStringLiteral("I am"));
    QVERIFY(readWaveInfo(phrases->front().bsound).valid); // spoken by espeak-ng

    const QString refusedOut = m_root.filePath(QStringLiteral("verbs-default"));
    const ToolRun refused = runTool({QStringLiteral("import"), verbs, QStringLiteral("--out"), refusedOut});
    const Edition e = buildEdition();
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(
        refused.err.contains(QStringLiteral("holds French and English; edition %1 studies %2 for %3 speakers")
                                 .arg(e.ProgramCode, e.StudiedLanguage, e.InterfaceLanguage)),
        qPrintable(refused.err));
    QVERIFY(!QFileInfo::exists(refusedOut)); // the folder made for it goes again
}

// Italian and English by hand, two lessons (one of twelve entries), a recorded sound beside
// the file in a subfolder, a name with an accent and a quote.
void TestVocabularyImport::handWrittenKvtml()
{
    const QString folder = m_root.filePath(QStringLiteral("kvtml-it"));
    const QByteArray recorded = TestSupport::makeWave(3, 300);
    QVERIFY(writeAll(folder + QStringLiteral("/suoni/cane.wav"), recorded));
    QString entries =
        kvtmlEntry(QStringLiteral("il cane"), QStringLiteral("the dog"), QStringLiteral("suoni/cane.wav"));
    for (int i = 1; i < 12; ++i)
        entries += kvtmlEntry(QStringLiteral("l'animale numero %1").arg(i),
                              QStringLiteral("animal number %1").arg(i));
    entries += kvtmlEntry(QStringLiteral("il caffè"), QStringLiteral("the coffee"));
    QString animals;
    QString food;
    // Entry ids come from kvtmlEntry's hash: read them back from the text.
    const QStringList lines = entries.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (int i = 0; i < lines.size(); ++i) {
        const QString id = lines[i].section(QLatin1Char('"'), 1, 1);
        (i < 12 ? animals : food) += QStringLiteral("<entry id=\"%1\"/>").arg(id);
    }
    const QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kvtml version=\"2.0\">\n"
            "<information><title>Vocabolario</title></information>\n"
            "<identifiers><identifier id=\"0\"><name>Italiano</name><locale>it</locale></identifier>"
            "<identifier id=\"1\"><name>English</name><locale>en_GB</locale></identifier></identifiers>\n"
            "<entries>\n%1</entries>\n<lessons><container><name>Animali</name>%2</container>"
            "<container><name>L'ora del caffè</name>%3</container></lessons>\n</kvtml>\n")
            .arg(entries, animals, food);
    const QString file = folder + QStringLiteral("/vocabolario.kvtml");
    QVERIFY(writeAll(file, xml.toUtf8()));
    const QString out = m_root.filePath(QStringLiteral("kvtml-it-out"));
    const ToolRun run = runTool({QStringLiteral("import"), file, QStringLiteral("--edition"),
                                 QStringLiteral("prlita"), QStringLiteral("--out"), out});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(QStringLiteral("Sounds: 1 from the file, 12 spoken by espeak-ng")),
             qPrintable(run.out));
    QCOMPARE(subjectFiles(out), (QStringList{QStringLiteral("Animali_1.ita"), QStringLiteral("Animali_2.ita"),
                                             QStringLiteral("L'ora_del_caffè.ita")}));
    verifyAllValid(out, QStringLiteral("prlita"), 3);
    const auto first = InstalledSubject::phrases(out + QStringLiteral("/Animali_1.ita"), true, nullptr);
    QVERIFY(first && first->size() == 10);
    QCOMPARE(first->front().tPhrase, QStringLiteral("il cane"));
    QCOMPARE(first->front().bsound, recorded); // a phrase-form WAVE is kept as it is
}

// Anki's text export: header lines, HTML and entities, a cloze note left out, a sound in
// the media folder beside it, quoted fields.
void TestVocabularyImport::ankiText()
{
    const QString folder = m_root.filePath(QStringLiteral("anki-text"));
    const QString ogg = makeOgg(folder + QStringLiteral("/collection.media/cane.ogg"));
    QVERIFY2(ogg.isEmpty(), qPrintable(ogg));
    QJsonArray notes{
        QJsonArray{QStringLiteral("il cane [sound:cane.ogg]"), QStringLiteral("the dog")},
        QJsonArray{QStringLiteral("<b>il gatto</b>&nbsp;nero<br>piccolo"),
                   QStringLiteral("the small &amp; black cat")},
        QJsonArray{QStringLiteral("dice \"ciao\"\tpiano"), QStringLiteral("says &quot;hello&quot;")}};
    const QJsonObject recipe{
        {QStringLiteral("kind"), QStringLiteral("text")},
        {QStringLiteral("out"), folder + QStringLiteral("/animali.txt")},
        {QStringLiteral("deck"), QStringLiteral("Lingue::Animali domestici")},
        {QStringLiteral("fields"), QJsonArray{QStringLiteral("Italian"), QStringLiteral("English")}},
        {QStringLiteral("notes"), notes},
        {QStringLiteral("cloze"), QJsonArray{QStringLiteral("il {{c1::cane}} abbaia")}}};
    const QString made = makeAnki(recipe, folder);
    QVERIFY2(made.isEmpty(), qPrintable(made));
    const QString out = m_root.filePath(QStringLiteral("anki-text-out"));
    const ToolRun run =
        runTool({QStringLiteral("import"), folder + QStringLiteral("/animali.txt"),
                 QStringLiteral("--edition"), QStringLiteral("prlita"), QStringLiteral("--out"), out,
                 QStringLiteral("--title-prefix"), QStringLiteral("Anna:")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(QStringLiteral("Left out: 1 cloze notes")), qPrintable(run.out));
    QVERIFY(run.out.contains(QStringLiteral("Sounds: 1 from the file, 2 spoken by espeak-ng")));
    QCOMPARE(subjectFiles(out), QStringList{QStringLiteral("Anna_Animali_domestici.ita")});
    verifyAllValid(out, QStringLiteral("prlita"), 1);
    const auto phrases =
        InstalledSubject::phrases(out + QStringLiteral("/Anna_Animali_domestici.ita"), true, nullptr);
    QVERIFY(phrases && phrases->size() == 3);
    QCOMPARE(phrases->at(0).tPhrase, QStringLiteral("il cane"));
    QCOMPARE(phrases->at(1).tPhrase, QStringLiteral("il gatto nero piccolo"));
    QCOMPARE(phrases->at(1).tTranslation, QStringLiteral("the small & black cat"));
    QCOMPARE(phrases->at(2).tPhrase, QStringLiteral("dice \"ciao\" piano"));
    QCOMPARE(phrases->at(2).tTranslation, QStringLiteral("says \"hello\""));
    // The ogg, decoded: its 0.4 s at 8000 Hz in one channel of 16 bits.
    const WaveInfo sound = readWaveInfo(phrases->at(0).bsound);
    QVERIFY2(sound.valid, qPrintable(sound.error));
    QCOMPARE(sound.sampleRate, 8000);
    QCOMPARE(sound.channels, 1);
    QCOMPARE(sound.bitsPerSample, 16);
    QVERIFY2(qAbs(sound.durationMs - 400) <= 20, qPrintable(QString::number(sound.durationMs)));
    QVERIFY(readWaveInfo(phrases->at(1).bsound).sampleRate != 8000); // espeak-ng's

    // Anki's default export: note type, deck and tags in columns of their own, the decks
    // making their own subjects, the columns unnamed.
    QVERIFY(writeAll(folder + QStringLiteral("/decks.txt"),
                     "#separator:tab\n#html:true\n#notetype column:1\n#deck column:2\n#tags column:5\n"
                     "Basic\tItaliano::Animali\til cane\tthe dog\tanimali\n"
                     "Basic\tItaliano::Cibo\t\"la \"\"mela\"\"\tverde\"\tthe apple\t\n"));
    const QString decksOut = m_root.filePath(QStringLiteral("anki-decks-out"));
    const ToolRun decks =
        runTool({QStringLiteral("import"), folder + QStringLiteral("/decks.txt"), QStringLiteral("--edition"),
                 QStringLiteral("prlita"), QStringLiteral("--out"), decksOut, QStringLiteral("--columns"),
                 QStringLiteral("phrase,translation")});
    QVERIFY2(decks.exitCode == 0, qPrintable(decks.err));
    QCOMPARE(subjectFiles(decksOut),
             (QStringList{QStringLiteral("Animali.ita"), QStringLiteral("Cibo.ita")}));
    const auto food = InstalledSubject::phrases(decksOut + QStringLiteral("/Cibo.ita"), false, nullptr);
    QVERIFY(food && food->size() == 1);
    QCOMPARE(food->front().tPhrase, QStringLiteral("la \"mela\" verde"));
}

// An .apkg of the older layout: fields named Front and Back, so the columns must be named;
// an mp3 through the package's media map; a cloze note type left out.
void TestVocabularyImport::ankiPackage()
{
    const QString folder = m_root.filePath(QStringLiteral("anki-package"));
    const QString mp3 = makeMp3(folder + QStringLiteral("/source/mela.mp3"));
    QVERIFY2(mp3.isEmpty(), qPrintable(mp3));
    QJsonArray notes;
    notes << QJsonArray{QStringLiteral("la mela"), QStringLiteral("the apple [sound:mela.mp3]")};
    for (int i = 1; i <= 11; ++i)
        notes << QJsonArray{QStringLiteral("frutto %1").arg(i), QStringLiteral("fruit %1").arg(i)};
    const QString apkg = folder + QStringLiteral("/Frutta.apkg");
    const QJsonObject recipe{
        {QStringLiteral("out"), apkg},
        {QStringLiteral("deck"), QStringLiteral("Frutta")},
        {QStringLiteral("notes"), notes},
        {QStringLiteral("cloze"), QJsonArray{QStringLiteral("la {{c1::mela}}")}},
        {QStringLiteral("media"),
         QJsonObject{{QStringLiteral("mela.mp3"), folder + QStringLiteral("/source/mela.mp3")}}}};
    const QString made = makeAnki(recipe, folder);
    QVERIFY2(made.isEmpty(), qPrintable(made));
    const QString out = m_root.filePath(QStringLiteral("anki-package-out"));
    const ToolRun unnamed = runTool({QStringLiteral("import"), apkg, QStringLiteral("--edition"),
                                     QStringLiteral("prlita"), QStringLiteral("--out"), out});
    QCOMPARE(unnamed.exitCode, 1);
    QVERIFY2(unnamed.err.contains(
                 QStringLiteral("does not say which of its columns (Front and Back) is Italian and "
                                "which English")),
             qPrintable(unnamed.err));
    const ToolRun run = runTool({QStringLiteral("import"), apkg, QStringLiteral("--edition"),
                                 QStringLiteral("prlita"), QStringLiteral("--out"), out,
                                 QStringLiteral("--columns"), QStringLiteral("phrase,translation")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(QStringLiteral("Made 2 subjects (12 phrases)")), qPrintable(run.out));
    QVERIFY(run.out.contains(QStringLiteral("1 cloze notes")));
    QCOMPARE(subjectFiles(out),
             (QStringList{QStringLiteral("Frutta_1.ita"), QStringLiteral("Frutta_2.ita")}));
    verifyAllValid(out, QStringLiteral("prlita"), 2);
    // The sound is in the translation's field: it is the apple's, not the translation's, so
    // the phrase is spoken; a sound field of its own would have been taken.
    const auto phrases = InstalledSubject::phrases(out + QStringLiteral("/Frutta_1.ita"), true, nullptr);
    QVERIFY(phrases && phrases->size() == 10);
    QCOMPARE(phrases->front().tTranslation, QStringLiteral("the apple"));

    // The same package with the sound in a field of its own ("Audio").
    QJsonObject withAudio = recipe;
    withAudio[QStringLiteral("fields")] =
        QJsonArray{QStringLiteral("Italiano"), QStringLiteral("English"), QStringLiteral("Audio")};
    withAudio[QStringLiteral("notes")] =
        QJsonArray{QJsonArray{QStringLiteral("la mela"), QStringLiteral("the apple"),
                              QStringLiteral("[sound:mela.mp3]")},
                   QJsonArray{QStringLiteral("la pera"), QStringLiteral("the pear"), QString()}};
    withAudio[QStringLiteral("out")] = folder + QStringLiteral("/Audio.apkg");
    QVERIFY(makeAnki(withAudio, folder).isEmpty());
    const QString audioOut = m_root.filePath(QStringLiteral("anki-audio-out"));
    const ToolRun audio =
        runTool({QStringLiteral("import"), folder + QStringLiteral("/Audio.apkg"),
                 QStringLiteral("--edition"), QStringLiteral("prlita"), QStringLiteral("--out"), audioOut});
    QVERIFY2(audio.exitCode == 0, qPrintable(audio.err));
    QVERIFY2(audio.out.contains(QStringLiteral("Sounds: 1 from the file, 1 spoken by espeak-ng")),
             qPrintable(audio.out));
    verifyAllValid(audioOut, QStringLiteral("prlita"), 1);
    const auto audioPhrases =
        InstalledSubject::phrases(audioOut + QStringLiteral("/Frutta.ita"), true, nullptr);
    QVERIFY(audioPhrases && audioPhrases->size() == 2);
    const WaveInfo sound = readWaveInfo(audioPhrases->front().bsound); // the mp3, decoded
    QCOMPARE(sound.sampleRate, 16000);
    QCOMPARE(sound.channels, 1);
    QVERIFY2(qAbs(sound.durationMs - 600) <= 100, qPrintable(QString::number(sound.durationMs)));
}

// A package of the newest layout (meta, collection.anki21b and media compressed with zstd by
// the zstd program, the protobuf bytes written by the recipe's script) with a sound and a
// picture: the phrases, the deck's last part and the sound are found; the picture is left.
void TestVocabularyImport::newestLayoutPackage()
{
    const QString folder = m_root.filePath(QStringLiteral("anki-newest"));
    QVERIFY(makeOgg(folder + QStringLiteral("/source/gatto.ogg")).isEmpty());
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(folder + QStringLiteral("/source/gatto.png")));
    const QString apkg = folder + QStringLiteral("/Animali.apkg");
    const QJsonObject recipe{
        {QStringLiteral("out"), apkg},
        {QStringLiteral("newestLayout"), true},
        {QStringLiteral("deck"), QStringLiteral("Animali")},
        {QStringLiteral("fields"), QJsonArray{QStringLiteral("Italiano"), QStringLiteral("English")}},
        {QStringLiteral("notes"),
         QJsonArray{QJsonArray{QStringLiteral("il gatto [sound:gatto.ogg]"),
                               QStringLiteral("the cat <img src=\"gatto.png\">")},
                    QJsonArray{QStringLiteral("la citt&agrave; &Amacr;"), QStringLiteral("the town")}}},
        {QStringLiteral("media"),
         QJsonObject{{QStringLiteral("gatto.ogg"), folder + QStringLiteral("/source/gatto.ogg")},
                     {QStringLiteral("gatto.png"), folder + QStringLiteral("/source/gatto.png")}}}};
    const QString made = makeAnki(recipe, folder);
    QVERIFY2(made.isEmpty(), qPrintable(made));
    const QString out = m_root.filePath(QStringLiteral("anki-newest-out"));
    const ToolRun run = runTool({QStringLiteral("import"), apkg, QStringLiteral("--edition"),
                                 QStringLiteral("prlita"), QStringLiteral("--out"), out});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(QStringLiteral("Made 1 subject (2 phrases)")), qPrintable(run.out));
    QVERIFY2(run.out.contains(QStringLiteral("Sounds: 1 from the file, 1 spoken by espeak-ng")),
             qPrintable(run.out));
    verifyAllValid(out, QStringLiteral("prlita"), 1);
    const auto phrases = InstalledSubject::phrases(out + QStringLiteral("/Animali.ita"), true, nullptr);
    QVERIFY(phrases && phrases->size() == 2);
    QCOMPARE(phrases->at(0).tPhrase, QStringLiteral("il gatto"));
    QCOMPARE(phrases->at(0).tTranslation, QStringLiteral("the cat"));
    QCOMPARE(phrases->at(1).tPhrase, QStringLiteral("la città Ā"));
    const WaveInfo sound = readWaveInfo(phrases->at(0).bsound); // the ogg, decompressed and decoded
    QCOMPARE(sound.channels, 1);
    QVERIFY2(qAbs(sound.durationMs - 400) <= 100, qPrintable(QString::number(sound.durationMs)));
}

// Control characters leave imported texts and are refused by check in any subject; HTML
// entities of accented letters are decoded; hidden working folders of imports that were
// killed go at the next import, while one whose import still runs stays.
void TestVocabularyImport::textsCleanedAndStaleFoldersRemoved()
{
    const QString folder = m_root.filePath(QStringLiteral("cleaned"));
    const QString out = folder + QStringLiteral("/out");
    QByteArray text = "#separator:tab\n#html:true\n#columns:Italian\tEnglish\nil gatto\x1b[31m nero\tthe \x07"
                      "black cat";
    text += '\0';
    text += "\nperch&eacute; &Scaron;&frac12;\tw\x7fhy\n";
    text += "uno * due\tone * two\n"; // "*" is a character like any other
    QVERIFY(writeAll(folder + QStringLiteral("/parole.txt"), text));
    // A killed import's folder (its lock names a process that has ended), one without a lock
    // for more than a minute, and one whose import is running (this process holds its lock).
    QProcess ended;
    ended.start(QStringLiteral("true"), {});
    QVERIFY(ended.waitForFinished());
    const qint64 deadPid = ended.processId() ? ended.processId() : 999999;
    QVERIFY(writeAll(
        out + QStringLiteral("/.parlanto-import-killed/lock"),
        QStringLiteral("%1\nparlanto-subject\n%2\n").arg(deadPid).arg(QSysInfo::machineHostName()).toUtf8()));
    QVERIFY(writeAll(out + QStringLiteral("/.parlanto-import-killed/Half.ita"), QByteArray(4096, 'x')));
    QVERIFY(writeAll(out + QStringLiteral("/.parlanto-import-old/Half.ita"), QByteArray(4096, 'x')));
    QVERIFY(QDir().mkpath(out + QStringLiteral("/.parlanto-import-running")));
    QLockFile running(out + QStringLiteral("/.parlanto-import-running/lock"));
    QVERIFY(running.tryLock(0));
    QProcess touch; // an hour ago
    touch.start(QStringLiteral("touch"), {QStringLiteral("-d"), QStringLiteral("1 hour ago"),
                                          out + QStringLiteral("/.parlanto-import-old")});
    QVERIFY(touch.waitForFinished() && touch.exitCode() == 0);
    const ToolRun run =
        runTool({QStringLiteral("import"), folder + QStringLiteral("/parole.txt"),
                 QStringLiteral("--edition"), QStringLiteral("prlita"), QStringLiteral("--out"), out});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(subjectFiles(out),
             (QStringList{QStringLiteral(".parlanto-import-running"), QStringLiteral("parole.ita")}));
    const auto phrases = InstalledSubject::phrases(out + QStringLiteral("/parole.ita"), false, nullptr);
    QVERIFY(phrases && phrases->size() == 3);
    QCOMPARE(phrases->at(0).tPhrase, QStringLiteral("il gatto[31m nero"));
    QCOMPARE(phrases->at(0).tTranslation, QStringLiteral("the black cat"));
    QCOMPARE(phrases->at(1).tPhrase, QStringLiteral("perché Š½"));
    QCOMPARE(phrases->at(1).tTranslation, QStringLiteral("why"));
    QCOMPARE(phrases->at(2).tPhrase, QStringLiteral("uno * due"));
    QCOMPARE(phrases->at(2).tTranslation, QStringLiteral("one * two"));

    // The edition of a Spanish interface says its summary in Spanish.
    QVERIFY(writeAll(folder + QStringLiteral("/hola.txt"), "#columns:Italiano\tEspañol\nciao\thola\n"));
    const ToolRun spanish =
        runTool({QStringLiteral("import"), folder + QStringLiteral("/hola.txt"), QStringLiteral("--edition"),
                 QStringLiteral("prlito"), QStringLiteral("--out"), folder + QStringLiteral("/es")});
    QVERIFY2(spanish.out.startsWith(QStringLiteral("Se creó 1 tema (1 frase) a partir de hola.txt: hola.")),
             qPrintable(spanish.out + spanish.err));

    // A subject written by another program with an escape in a phrase: check refuses it.
    Phrase bad;
    bad.phraseNo = 1;
    bad.tPhrase = QStringLiteral("ciao\x1b");
    bad.tTranslation = QStringLiteral("hello");
    QString error;
    QVERIFY2(InstalledSubject::create(folder + QStringLiteral("/Escape.ita"), QStringLiteral("prlita"), {bad},
                                      false, &error),
             qPrintable(error));
    const ToolRun check = runTool({QStringLiteral("check"), folder + QStringLiteral("/Escape.ita"),
                                   QStringLiteral("--edition"), QStringLiteral("prlita")});
    QCOMPARE(check.exitCode, 1);
    QVERIFY2(check.out.contains(QStringLiteral("phrase 1 holds the control character U+001B")),
             qPrintable(check.out));
}

// Each bad input: its message, nothing left in the output folder, nothing touched outside it
// (the tool's temporary folder included).
void TestVocabularyImport::badInputs_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Latin-1 that says UTF-8")
        << "latin1"
        << "vocabolario.kvtml, line 3: the text is not UTF-8, although the file says it is";
    QTest::newRow("KDE word list in Latin-1 (Debian)") << "debian:apps/kvtml/sv/animals.kvtml"
                                                       << "animals.kvtml, line 112: the text is not UTF-8";
    QTest::newRow("XML error") << "xml"
                               << "rotto.kvtml, line 4: the XML is damaged";
    QTest::newRow("KVTML 1") << "kvtml1"
                             << "is in the older KVTML 1 format";
    QTest::newRow("KVTML 1 (Debian)") << "debian:apps/kvtml/nb/easy.kvtml"
                                      << "is in the older KVTML 1 format";
    QTest::newRow("one language (Debian)") << "debian:apps/kvtml/pl/animals.kvtml"
                                           << "is a word list in one language (pl), not a vocabulary";
    QTest::newRow("one field a note") << "onefield"
                                      << "holds one field a note: a word list";
    QTest::newRow("empty file") << "empty"
                                << "vuoto.kvtml is empty";
    QTest::newRow("zip that is not a package") << "zip"
                                               << "is a zip file but not an Anki package";
    QTest::newRow("package that is not a zip") << "notzip"
                                               << "is not an Anki package (not a zip file at all)";
    QTest::newRow("newest layout, damaged collection") << "anki21b:damaged"
                                                       << "deck.apkg: the collection: it is";
    QTest::newRow("newest layout, frame stating 1 GB")
        << "anki21b:claims"
        << "deck.apkg: the collection: it decompresses to 1024.0 "
           "MB, more than the 64.0 MB taken";
    QTest::newRow("newest layout, frame past the limit stating no size")
        << "anki21b:bomb"
        << "deck.apkg: the collection: it decompresses to 64.1 MB, more than the 64.0 MB taken";
    QTest::newRow("more notes than one import takes") << "toomany"
                                                      << "holds 5001 notes; one import takes at most 5000";
    QTest::newRow("media map name with a path")
        << "mediapath"
        << "the media list: the sound name \"../evil.ogg\" holds a folder";
    QTest::newRow("sound name with a path")
        << "soundpath"
        << "evil.txt, line 3: the sound name \"../../evil.ogg\" holds a folder";
    QTest::newRow("100 MB file")
        << "huge"
        << "grande.kvtml is 100.0 MB; a vocabulary file of this kind may be at most 16.0 MB";
}

void TestVocabularyImport::badInputs()
{
    QFETCH(QString, kind);
    QFETCH(QString, expected);
    static int run = 0;
    const QString folder = m_root.filePath(QStringLiteral("bad%1").arg(++run));
    QVERIFY(QDir().mkpath(folder));
    QString file;
    const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kvtml version=\"2.0\">\n";
    if (kind.startsWith(QLatin1String("debian:"))) {
        file = debianFile(kind.mid(7));
        if (file.isEmpty())
            QSKIP(qPrintable(QStringLiteral("Debian's kdeedu-kvtml-data files are not there: ") +
                             m_fetchProblem));
    } else if (kind == QLatin1String("latin1")) {
        file = folder + QStringLiteral("/vocabolario.kvtml");
        QVERIFY(writeAll(file, head + "<entries><entry id=\"0\"><translation id=\"0\"><text>citt\xe0</text>"
                                      "</translation></entry></entries></kvtml>\n"));
    } else if (kind == QLatin1String("xml")) {
        file = folder + QStringLiteral("/rotto.kvtml");
        QVERIFY(writeAll(file, head + "<entries>\n<entry id=\"0\"></entries>\n</kvtml>\n"));
    } else if (kind == QLatin1String("kvtml1")) {
        file = folder + QStringLiteral("/vecchio.kvtml");
        QVERIFY(writeAll(
            file,
            "<?xml version=\"1.0\"?>\n<kvtml encoding=\"UTF-8\">\n<e><o>cane</o><t>dog</t></e>\n</kvtml>\n"));
    } else if (kind == QLatin1String("onefield")) {
        file = folder + QStringLiteral("/parole.txt");
        QVERIFY(writeAll(file, "#separator:tab\ncane\ngatto\n"));
    } else if (kind == QLatin1String("empty")) {
        file = folder + QStringLiteral("/vuoto.kvtml");
        QVERIFY(writeAll(file, QByteArray()));
    } else if (kind == QLatin1String("zip") || kind == QLatin1String("notzip")) {
        file = folder + QStringLiteral("/deck.apkg");
        if (kind == QLatin1String("notzip")) {
            QVERIFY(writeAll(file, "a text file named like a package\n"));
        } else {
            QProcess python;
            python.start(QStringLiteral("python3"),
                         {QStringLiteral("-c"),
                          QStringLiteral("import zipfile,sys\nwith zipfile.ZipFile(sys.argv[1],'w') as z: "
                                         "z.writestr('readme.txt','hello')"),
                          file});
            QVERIFY(python.waitForFinished(60000) && python.exitCode() == 0);
        }
    } else if (kind == QLatin1String("toomany")) {
        file = folder + QStringLiteral("/molte.txt");
        QByteArray lines = "#columns:Italian\tEnglish\n";
        for (int i = 0; i < 5001; ++i)
            lines += "parola " + QByteArray::number(i) + "\tword\n";
        QVERIFY(writeAll(file, lines));
    } else if (kind.startsWith(QLatin1String("anki21b")) || kind == QLatin1String("mediapath")) {
        file = folder + QStringLiteral("/deck.apkg");
        QJsonObject recipe{
            {QStringLiteral("out"), file},
            {QStringLiteral("fields"), QJsonArray{QStringLiteral("Italian"), QStringLiteral("English")}},
            {QStringLiteral("notes"),
             QJsonArray{QJsonArray{QStringLiteral("il cane [sound:evil.ogg]"), QStringLiteral("the dog")}}}};
        if (kind.startsWith(QLatin1String("anki21b"))) {
            recipe[QStringLiteral("newestLayout")] = true;
            recipe[QStringLiteral("newestCollection")] = kind.section(QLatin1Char(':'), 1);
        } else
            recipe[QStringLiteral("mediaNames")] =
                QJsonObject{{QStringLiteral("0"), QStringLiteral("../evil.ogg")}};
        const QString made = makeAnki(recipe, folder);
        QVERIFY2(made.isEmpty(), qPrintable(made));
    } else if (kind == QLatin1String("soundpath")) {
        file = folder + QStringLiteral("/evil.txt");
        QVERIFY(writeAll(
            file, "#separator:tab\n#columns:Italian\tEnglish\nil cane [sound:../../evil.ogg]\tthe dog\n"));
    } else if (kind == QLatin1String("huge")) {
        file = folder + QStringLiteral("/grande.kvtml");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(head) == head.size());
        QVERIFY(f.resize(100 * 1024 * 1024)); // sparse: the size without the disk
    }
    QVERIFY(!file.isEmpty());
    const QString out = m_root.filePath(QStringLiteral("bad-out%1").arg(run));
    QVERIFY(QDir().mkpath(out));
    const QString temp = m_root.filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(temp));
    const QStringList before = snapshot(m_root.path(), out);
    const ToolRun result = runTool({QStringLiteral("import"), file, QStringLiteral("--edition"),
                                    QStringLiteral("prlita"), QStringLiteral("--out"), out},
                                   temp);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(expected), qPrintable(result.err));
    QVERIFY2(result.err.contains(QFileInfo(file).fileName()), qPrintable(result.err));
    QCOMPARE(subjectFiles(out), QStringList());
    QCOMPARE(snapshot(m_root.path(), out), before);
}

QTEST_MAIN(TestVocabularyImport)
#include "TestVocabularyImport.moc"
