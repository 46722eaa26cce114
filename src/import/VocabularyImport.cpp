#include "VocabularyImport.h"

#include "import/AnkiPackageReader.h"
#include "import/AnkiTextReader.h"
#include "import/KvtmlReader.h"
#include "platform/Files.h"
#include "platform/SoundConversion.h"
#include "platform/Speech.h"
#include "platform/WaveFile.h"
#include "subjects/SubjectFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <memory>

namespace {

// A subject is studied whole and a study set holds at most ten phrases.
constexpr int MaxPhrases = 10;
// Long enough for any title, short enough for every file system.
constexpr int MaxBaseLength = 80;

struct Language
{
    const char* name;
    const char* voice;
    QStringList aliases; // lower case: names in several languages, ISO 639-1 and -2 codes
};

const std::vector<Language>& languages()
{
    static const std::vector<Language> all = {
        {"Italian", "it", {"italian", "italiano", "italienisch", "italien", "italienne", "it", "ita"}},
        {"Spanish",
         "es",
         {"spanish", "español", "espanol", "castellano", "spanisch", "espagnol", "spagnolo", "es", "spa"}},
        {"French",
         "fr",
         {"french", "français", "francais", "française", "französisch", "francés", "frances", "francese",
          "fr", "fra", "fre"}},
        {"German",
         "de",
         {"german", "deutsch", "alemán", "aleman", "allemand", "tedesco", "de", "deu", "ger"}},
        {"English", "en", {"english", "inglés", "ingles", "englisch", "anglais", "inglese", "en", "eng"}},
    };
    return all;
}

QString languageOfWord(const QString& word, bool codes)
{
    const QString w = word.trimmed().toLower();
    for (const Language& l : languages()) {
        for (const QString& alias : l.aliases) {
            if (alias == w && (codes || alias.size() > 3))
                return QString::fromLatin1(l.name);
        }
    }
    return QString();
}

enum Role
{
    Skip,
    PhraseColumn,
    TranslationColumn,
    Translation2Column
};

// The languages of the file's columns for a message: "French and English".
QString columnLanguages(const VocabularySource& source)
{
    QStringList names;
    for (const QString& column : source.columns) {
        const QString language = VocabularyImport::languageOf(column);
        const QString shown = !language.isEmpty() ? language
                              : column.isEmpty()  ? QStringLiteral("(unnamed)")
                                                  : column.section(QLatin1Char('|'), 0, 0);
        if (!names.contains(shown))
            names << shown;
    }
    if (names.size() > 1)
        return names.mid(0, names.size() - 1).join(QLatin1String(", ")) + QStringLiteral(" and ") +
               names.last();
    return names.value(0);
}

std::optional<std::vector<Role>> columnRoles(const VocabularySource& source,
                                             const VocabularyImport::Options& o, QString* error)
{
    std::vector<Role> roles(size_t(source.columns.size()), Skip);
    if (!o.columns.isEmpty()) {
        int phrase = 0;
        int translation = 0;
        for (qsizetype i = 0; i < o.columns.size(); ++i) {
            const QString c = o.columns.at(i).trimmed().toLower();
            Role role = Skip;
            if (c == QLatin1String("phrase"))
                role = PhraseColumn, ++phrase;
            else if (c == QLatin1String("translation"))
                role = TranslationColumn, ++translation;
            else if (c == QLatin1String("translation2"))
                role = Translation2Column;
            else if (c != QLatin1String("skip") && c != QLatin1String("-")) {
                *error = QStringLiteral("--columns: \"%1\" is not phrase, translation, translation2 or skip")
                             .arg(o.columns.at(i));
                return std::nullopt;
            }
            if (i < qsizetype(roles.size()))
                roles[size_t(i)] = role;
        }
        if (phrase != 1 || translation != 1) {
            *error = QStringLiteral("--columns names the phrase column and the translation column once each "
                                    "(for example --columns phrase,translation)");
            return std::nullopt;
        }
        if (std::find(roles.begin(), roles.end(), PhraseColumn) == roles.end() ||
            std::find(roles.begin(), roles.end(), TranslationColumn) == roles.end()) {
            *error = QStringLiteral("--columns names more columns than %1 has (%2)")
                         .arg(source.file)
                         .arg(source.columns.size());
            return std::nullopt;
        }
        return roles;
    }
    int phrase = -1;
    int translation = -1;
    bool anyLanguage = false;
    for (int i = 0; i < source.columns.size(); ++i) {
        const QString language = VocabularyImport::languageOf(source.columns.at(i));
        anyLanguage = anyLanguage || !language.isEmpty();
        if (language == o.studiedLanguage && phrase < 0)
            phrase = i;
        else if (language == o.learnerLanguage && translation < 0)
            translation = i;
    }
    if (phrase >= 0 && translation >= 0) {
        roles[size_t(phrase)] = PhraseColumn;
        roles[size_t(translation)] = TranslationColumn;
        return roles;
    }
    if (anyLanguage) {
        *error =
            QStringLiteral("%1 holds %2; edition %3 studies %4 for %5 speakers. Import it for an edition "
                           "of those languages (--edition CODE), or say which column is which with "
                           "--columns phrase,translation")
                .arg(source.file, columnLanguages(source), o.programCode, o.studiedLanguage,
                     o.learnerLanguage);
    } else {
        const bool named = std::any_of(source.columns.cbegin(), source.columns.cend(),
                                       [](const QString& c) { return !c.trimmed().isEmpty(); });
        const QString columns = named ? QStringLiteral("its columns (%1)").arg(columnLanguages(source))
                                      : QStringLiteral("its %1 unnamed columns").arg(source.columns.size());
        *error = QStringLiteral("%1 does not say which of %2 is %3 and which %4: say it with --columns, for "
                                "example --columns phrase,translation")
                     .arg(source.file, columns, o.studiedLanguage, o.learnerLanguage);
    }
    return std::nullopt;
}

// A title made a file name the subject tree shows as that title again: blanks become "_".
QString fileBase(const QString& title)
{
    QString base = title.simplified();
    static const QRegularExpression unsafe(QStringLiteral("[/\\\\*?:\"<>|\\x00-\\x1f]"));
    base.remove(unsafe);
    base.replace(QLatin1Char(' '), QLatin1Char('_'));
    while (base.startsWith(QLatin1Char('.')) || base.startsWith(QLatin1Char('~')) ||
           base.startsWith(QLatin1Char('-')))
        base.remove(0, 1);
    base = base.left(MaxBaseLength);
    if (base.isEmpty() || !isSafeFileName(base))
        base = QStringLiteral("Imported");
    return base;
}

struct PlannedSubject
{
    QString title;
    QString fileName;
    std::vector<const VocabularyNote*> notes;
};

// Puts the written files in place together: files already there are moved aside first, and
// everything is put back as it was when one rename fails.
bool moveIntoPlace(const QString& tempFolder, const QDir& out, const QStringList& names, QString* error)
{
    QStringList placed;
    QStringList setAside;
    auto undo = [&] {
        for (const QString& name : placed)
            QFile::remove(out.filePath(name));
        for (const QString& name : setAside)
            QFile::rename(tempFolder + QStringLiteral("/old-") + name, out.filePath(name));
    };
    for (const QString& name : names) {
        const QString target = out.filePath(name);
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) {
            if (!QFile::rename(target, tempFolder + QStringLiteral("/old-") + name)) {
                *error = QStringLiteral("cannot replace %1").arg(target);
                undo();
                return false;
            }
            setAside << name;
        }
        if (!QFile::rename(tempFolder + QLatin1Char('/') + name, target)) {
            *error = QStringLiteral("cannot create %1").arg(target);
            undo();
            return false;
        }
        placed << name;
    }
    return true;
}

// The interface's text: Spanish for a Spanish interface, English otherwise.
QString says(const QString& language, const char* english, const char* spanish)
{
    return QString::fromUtf8(language == QLatin1String("Spanish") ? spanish : english);
}

const QString WorkFolderPattern = QStringLiteral(".parlanto-import-");
const QString LockName = QStringLiteral("lock");

// The hidden folders of imports that were stopped before they ended (killed, or the machine
// switched off): their lock is no longer held by a running process. A folder without a lock
// (made a moment ago by an import that is about to lock it) is left for a minute.
void removeStaleImportFolders(const QDir& out)
{
    const QDateTime minuteAgo = QDateTime::currentDateTime().addSecs(-60);
    const QFileInfoList folders = out.entryInfoList({WorkFolderPattern + QLatin1Char('*')},
                                                    QDir::Dirs | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& folder : folders) {
        const QString lockPath = QDir(folder.absoluteFilePath()).filePath(LockName);
        bool stale = false;
        if (QFileInfo::exists(lockPath)) {
            QLockFile lock(lockPath);
            lock.setStaleLockTime(0); // stale only when its process has gone
            stale = lock.tryLock(0);
            if (stale)
                lock.unlock();
        } else {
            stale = folder.lastModified() < minuteAgo;
        }
        if (stale)
            QDir(folder.absoluteFilePath()).removeRecursively();
    }
}

// A hidden working folder of one import in its output folder (on its disk, so that the
// subjects are renamed into place, and never listed), locked while the import runs and
// removed when it ends in any way; a killed import's folder is removed by the next one.
class WorkFolder
{
public:
    explicit WorkFolder(const QDir& out) : m_dir(out.filePath(WorkFolderPattern + QStringLiteral("XXXXXX")))
    {
        if (!m_dir.isValid())
            return;
        m_lock = std::make_unique<QLockFile>(m_dir.filePath(LockName));
        m_lock->setStaleLockTime(0);
        if (!m_lock->tryLock(0))
            m_lock.reset();
    }
    ~WorkFolder()
    {
        m_lock.reset(); // unlocked before the folder goes
    }
    bool isValid() const { return m_dir.isValid() && m_lock; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    QString errorString() const
    {
        return m_dir.isValid() ? QStringLiteral("cannot lock it") : m_dir.errorString();
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace

VocabularyImport::Options VocabularyImport::optionsFor(const QString& programCode,
                                                       const QString& languageCode,
                                                       const QString& studiedLanguage,
                                                       const QString& learnerLanguage)
{
    Options o;
    o.programCode = programCode;
    o.languageCode = languageCode;
    o.studiedLanguage = studiedLanguage;
    o.learnerLanguage = learnerLanguage;
    return o;
}

QString VocabularyImport::languageOf(const QString& name)
{
    for (const QString& part : name.split(QLatin1Char('|'))) {
        const QString p = part.trimmed();
        if (QString l = languageOfWord(p, true); !l.isEmpty())
            return l;
        // A locale: "fr_FR", "pt-BR", "de_DE.UTF-8".
        static const QRegularExpression locale(QStringLiteral("^([A-Za-z]{2,3})([_\\-.@].*)?$"));
        if (const auto m = locale.match(p); m.hasMatch()) {
            if (QString l = languageOfWord(m.captured(1), true); !l.isEmpty())
                return l;
        }
        // A field name: "Italian word", "English (meaning)".
        static const QRegularExpression words(QStringLiteral("[^\\w]+"));
        for (const QString& word : p.split(words, Qt::SkipEmptyParts)) {
            if (QString l = languageOfWord(word, false); !l.isEmpty())
                return l;
        }
    }
    return QString();
}

QString VocabularyImport::voiceOf(const QString& language)
{
    for (const Language& l : languages()) {
        if (language == QLatin1String(l.name))
            return QString::fromLatin1(l.voice);
    }
    return QStringLiteral("en");
}

bool VocabularyImport::isVocabularyFile(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("kvtml") || suffix == QLatin1String("apkg") ||
           suffix == QLatin1String("txt") || suffix == QLatin1String("csv") || suffix == QLatin1String("tsv");
}

std::optional<VocabularySource> VocabularyImport::read(const QString& path, const QString& scratchFolder,
                                                       QString* error)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    QByteArray start;
    QFile f(path);
    if (f.open(QIODevice::ReadOnly))
        start = f.read(64);
    f.close();
    if (suffix == QLatin1String("apkg") || start.startsWith("PK\x03\x04") || start.startsWith("PK\x05\x06"))
        return AnkiPackageReader::read(path, scratchFolder, error);
    if (suffix == QLatin1String("kvtml") || start.trimmed().startsWith("<?xml") ||
        start.trimmed().startsWith("<kvtml"))
        return KvtmlReader::read(path, error);
    return AnkiTextReader::read(path, error);
}

namespace {

struct Planning
{
    std::vector<Role> roles;
    int phraseColumn = -1;
    int translationColumn = -1;
    int translation2Column = -1;
    std::vector<PlannedSubject> subjects;
    std::map<QString, int> skipped;
};

using Lessons = std::vector<std::pair<QString, std::vector<const VocabularyNote*>>>;

// One import takes at most MaxNotes notes.
bool checkNoteCount(const VocabularySource& source, const QString& language, QString* error)
{
    if (source.notes.size() <= size_t(VocabularyImport::MaxNotes))
        return true;
    *error = says(language,
                  "%1 holds %2 notes; one import takes at most %3. Split the file into smaller files "
                  "and import them one by one.",
                  "%1 contiene %2 notas; una importación toma como máximo %3. Divida el archivo en archivos "
                  "más pequeños e impórtelos uno por uno.")
                 .arg(source.file)
                 .arg(source.notes.size())
                 .arg(VocabularyImport::MaxNotes);
    return false;
}

// The notes that make phrases, grouped by lesson in the order lessons first appear; the
// others are counted in plan.skipped.
Lessons notesByLesson(const VocabularySource& source, Planning& plan)
{
    Lessons lessons;
    for (const VocabularyNote& note : source.notes) {
        const QString phrase = withoutControlCharacters(note.fields.value(plan.phraseColumn)).trimmed();
        const QString translation =
            withoutControlCharacters(note.fields.value(plan.translationColumn)).trimmed();
        if (phrase.isEmpty() || translation.isEmpty()) {
            ++plan.skipped[QStringLiteral("notes without the phrase or its translation")];
            continue;
        }
        auto it = std::find_if(lessons.begin(), lessons.end(),
                               [&](const auto& l) { return l.first == note.lesson; });
        if (it == lessons.end())
            it = lessons.insert(lessons.end(), {note.lesson, {}});
        it->second.push_back(&note);
    }
    return lessons;
}

QString noPhraseText(const VocabularySource& source, const Planning& plan, const QString& language)
{
    QStringList why;
    for (const auto& [reason, count] : plan.skipped)
        why << QStringLiteral("%1 %2").arg(count).arg(reason);
    return says(language, "%1 holds no note that makes a phrase%2",
                "%1 no contiene ninguna nota que forme una frase%2")
        .arg(source.file,
             why.isEmpty()
                 ? QString()
                 : says(language, " (left out: %1)", " (omitidas: %1)").arg(why.join(QLatin1String(", "))));
}

// The subjects of each lesson, at most MaxPhrases notes each: titles and file names, each
// file name once.
std::vector<PlannedSubject> subjectsOf(const Lessons& lessons, const VocabularySource& source,
                                       const VocabularyImport::Options& o)
{
    std::vector<PlannedSubject> subjects;
    QSet<QString> names;
    const QString ownTitle =
        withoutControlCharacters(o.title.trimmed().isEmpty() ? source.title : o.title).simplified();
    for (const auto& [lesson, notes] : lessons) {
        QString title = lesson.isEmpty() ? ownTitle : withoutControlCharacters(lesson).simplified();
        if (!o.titlePrefix.trimmed().isEmpty())
            title = withoutControlCharacters(o.titlePrefix).simplified() + QLatin1Char(' ') + title;
        const int parts = int((notes.size() + MaxPhrases - 1) / MaxPhrases);
        for (int part = 0; part < parts; ++part) {
            PlannedSubject s;
            s.title = parts > 1 ? QStringLiteral("%1 %2").arg(title).arg(part + 1) : title;
            const QString base = fileBase(s.title);
            QString name = base + QLatin1Char('.') + o.languageCode;
            for (int n = 2; names.contains(name.toLower()); ++n)
                name = QStringLiteral("%1_(%2).%3").arg(base).arg(n).arg(o.languageCode);
            names << name.toLower();
            s.fileName = name;
            const auto first = notes.begin() + part * MaxPhrases;
            const auto last =
                notes.begin() + std::min<qsizetype>(qsizetype(notes.size()), (part + 1) * MaxPhrases);
            s.notes.assign(first, last);
            subjects.push_back(s);
        }
    }
    return subjects;
}

// The columns' roles, the notes that make phrases and the subjects they make, named.
std::optional<Planning> planImport(const VocabularySource& source, const VocabularyImport::Options& o,
                                   QString* error)
{
    const QString& language = o.learnerLanguage;
    auto roles = columnRoles(source, o, error);
    if (!roles)
        return std::nullopt;
    Planning plan;
    plan.roles = std::move(*roles);
    const auto column = [&](Role role) {
        const auto at = std::find(plan.roles.begin(), plan.roles.end(), role);
        return at == plan.roles.end() ? -1 : int(at - plan.roles.begin());
    };
    plan.phraseColumn = column(PhraseColumn);
    plan.translationColumn = column(TranslationColumn);
    plan.translation2Column = column(Translation2Column);
    plan.skipped = source.skipped;
    if (!checkNoteCount(source, language, error))
        return std::nullopt;
    const Lessons lessons = notesByLesson(source, plan);
    if (lessons.empty()) {
        *error = noPhraseText(source, plan, language);
        return std::nullopt;
    }
    plan.subjects = subjectsOf(lessons, source, o);
    if (plan.subjects.size() > size_t(VocabularyImport::MaxSubjects)) {
        *error = says(language,
                      "%1 would make %2 subjects; one import makes at most %3. Split the file into "
                      "smaller files and import them one by one.",
                      "%1 daría %2 temas; una importación crea como máximo %3. Divida el archivo en archivos "
                      "más pequeños e impórtelos uno por uno.")
                     .arg(source.file)
                     .arg(plan.subjects.size())
                     .arg(VocabularyImport::MaxSubjects);
        return std::nullopt;
    }
    return plan;
}

QStringList existingNames(const Planning& plan, const QDir& out)
{
    QStringList existing;
    for (const PlannedSubject& s : plan.subjects) {
        const QFileInfo target(out.filePath(s.fileName));
        if (target.exists() || target.isSymLink())
            existing << s.fileName;
    }
    return existing;
}

// The phrases of one subject, with the file's own sounds where it brings them.
std::vector<Phrase> phrasesOf(const PlannedSubject& s, const Planning& plan, const VocabularySource& source,
                              VocabularyImport::Result* result)
{
    std::vector<Phrase> phrases;
    for (const VocabularyNote* note : s.notes) {
        Phrase p;
        p.phraseNo = qint64(phrases.size()) + 1;
        p.tPhrase = withoutControlCharacters(note->fields.value(plan.phraseColumn)).trimmed();
        p.tTranslation = withoutControlCharacters(note->fields.value(plan.translationColumn)).trimmed();
        p.tTranslation2 = withoutControlCharacters(note->fields.value(plan.translation2Column)).trimmed();
        // The phrase's own sound, or one in a column that is neither translation (an "Audio" field).
        QString sound = plan.phraseColumn >= 0 ? note->sounds.value(plan.phraseColumn) : QString();
        for (int i = 0; sound.isEmpty() && i < note->sounds.size(); ++i) {
            if (i >= int(plan.roles.size()) || plan.roles[size_t(i)] == Skip)
                sound = note->sounds.at(i);
        }
        if (!sound.isEmpty() && source.readSound) {
            QString problem;
            if (auto bytes = source.readSound(sound, &problem)) {
                if (auto wave = SoundConversion::toPhraseWave(*bytes, &problem))
                    p.bsound = std::move(*wave);
            }
            if (p.bsound.isEmpty())
                ++result->soundProblems[QStringLiteral("%1, %2: %3").arg(source.file, note->where, problem)];
            else
                ++result->ownSounds;
        }
        phrases.push_back(std::move(p));
    }
    return phrases;
}

} // namespace

std::optional<VocabularySource> VocabularyImport::readFor(const QString& path, const QString& outFolder,
                                                          QString* error)
{
    const QDir out(outFolder);
    if (!QDir().mkpath(outFolder)) {
        *error = QStringLiteral("cannot make the folder %1").arg(outFolder);
        return std::nullopt;
    }
    removeStaleImportFolders(out);
    const WorkFolder work(out);
    if (!work.isValid()) {
        *error = QStringLiteral("cannot write in %1: %2").arg(out.path(), work.errorString());
        return std::nullopt;
    }
    return read(path, work.path(), error);
}

std::optional<QStringList> VocabularyImport::existingSubjects(const VocabularySource& source,
                                                              const Options& o, QString* error)
{
    const auto plan = planImport(source, o, error);
    if (!plan)
        return std::nullopt;
    return existingNames(*plan, QDir(o.outFolder));
}

std::optional<QStringList> VocabularyImport::matchedColumns(const VocabularySource& source, const Options& o)
{
    Options matching = o;
    matching.columns.clear();
    QString ignored;
    const auto roles = columnRoles(source, matching, &ignored);
    if (!roles)
        return std::nullopt;
    QStringList words;
    for (const Role role : *roles)
        words << (role == PhraseColumn        ? QStringLiteral("phrase")
                  : role == TranslationColumn ? QStringLiteral("translation")
                                              : QStringLiteral("skip"));
    return words;
}

QString VocabularyImport::cancelledText(const QString& language)
{
    return says(language, "The import was cancelled: nothing was imported.",
                "Se canceló la importación: no se importó nada.");
}

std::optional<VocabularyImport::Result> VocabularyImport::run(const QString& path, const Options& o,
                                                              QString* error)
{
    // A folder made for an import that fails goes again (once its hidden folder has gone).
    struct MadeFolder
    {
        QString path;
        bool keep = false;
        ~MadeFolder()
        {
            if (!path.isEmpty() && !keep)
                QDir().rmdir(path);
        }
    } madeFolder;
    if (!QDir(o.outFolder).exists())
        madeFolder.path = QDir(o.outFolder).absolutePath();
    if (o.progress && !o.progress(Progress{})) {
        *error = cancelledText(o.learnerLanguage);
        return std::nullopt;
    }
    const auto source = readFor(path, o.outFolder, error);
    if (!source)
        return std::nullopt;
    auto result = run(*source, o, error);
    madeFolder.keep = result.has_value();
    return result;
}

namespace {

using PhraseOfNote = QHash<qint64, std::pair<QString, qint64>>; // note id -> (subject file, phrase)

// Files of the import already in the output folder are replaced only when the caller agrees.
bool mayReplaceExisting(const Planning& plan, const QDir& out, const VocabularyImport::Options& o,
                        QString* error)
{
    const QStringList existing = existingNames(plan, out);
    if (existing.isEmpty() || (o.replaceExisting && o.replaceExisting(existing)))
        return true;
    const QString& language = o.learnerLanguage;
    *error = says(language, "%1 in %2 already %3; nothing was imported", "%1 ya %3 en %2; no se importó nada")
                 .arg(existing.join(QLatin1String(", ")), out.path(),
                      existing.size() == 1 ? says(language, "exists", "existe")
                                           : says(language, "exist", "existen"));
    return false;
}

// Phrases without a sound of their own are spoken by espeak-ng, all of a subject at once.
bool speakMissing(const QString& voice, std::vector<Phrase>& phrases, VocabularyImport::Result& result,
                  QString* error)
{
    QStringList toSpeak;
    std::vector<size_t> spokenAt;
    for (size_t i = 0; i < phrases.size(); ++i) {
        if (phrases[i].bsound.isEmpty()) {
            toSpeak << phrases[i].tPhrase;
            spokenAt.push_back(i);
        }
    }
    if (toSpeak.isEmpty())
        return true;
    const auto spoken = Speech::speakAll(voice, toSpeak, error);
    if (!spoken)
        return false;
    for (size_t i = 0; i < spokenAt.size(); ++i)
        phrases[spokenAt[i]].bsound = (*spoken)[i];
    result.spokenSounds += int(toSpeak.size());
    return true;
}

// Writes one subject into the hidden folder and checks it as the program checks it before a
// learner studies it.
bool writeSubject(const PlannedSubject& s, std::vector<Phrase>& phrases, const WorkFolder& temp,
                  const QString& programCode, const QString& sourceFile, QString* error)
{
    const QString written = temp.filePath(s.fileName);
    if (!InstalledSubject::create(written, programCode, phrases, false, error))
        return false;
    if (const QString verdict = checkSubjectFileAndTexts(written, programCode);
        verdict != QLatin1String("VALID")) {
        *error = QStringLiteral("%1: the subject made from %2 fails the check: %3")
                     .arg(s.fileName, sourceFile, verdict);
        return false;
    }
    return true;
}

// The package's review log as the learner's rows: each answer to a note made into a phrase.
void addReviews(const VocabularySource& source, const PhraseOfNote& phraseOfNote,
                VocabularyImport::Result& result)
{
    result.reviewsLeftOut = source.reviewsLeftOut;
    for (const VocabularyReview& r : source.reviews) {
        const auto it = phraseOfNote.constFind(r.noteId);
        if (it == phraseOfNote.constEnd()) {
            ++result.reviewsLeftOut[QStringLiteral("reviews of notes not made into phrases")];
            continue;
        }
        // The review's moment, to the second below it.
        const qint64 seconds =
            r.utcMilliseconds >= 0 ? r.utcMilliseconds / 1000 : (r.utcMilliseconds - 999) / 1000;
        result.reviews.push_back({it->first, it->second, seconds, r.grade});
    }
}

} // namespace

std::optional<VocabularyImport::Result> VocabularyImport::run(const VocabularySource& source,
                                                              const Options& o, QString* error)
{
    const QDir out(o.outFolder);
    if (!QDir().mkpath(o.outFolder)) {
        *error = QStringLiteral("cannot make the folder %1").arg(o.outFolder);
        return std::nullopt;
    }
    const auto plan = planImport(source, o, error);
    if (!plan)
        return std::nullopt;
    Progress progress;
    progress.stage = Progress::Writing;
    progress.total = int(plan->subjects.size());
    progress.notes = int(source.notes.size());
    const auto cancelled = [&] {
        if (!o.progress || o.progress(progress))
            return false;
        *error = cancelledText(o.learnerLanguage);
        return true;
    };
    if (cancelled() || !mayReplaceExisting(*plan, out, o, error))
        return std::nullopt;
    removeStaleImportFolders(out);
    const WorkFolder temp(out);
    if (!temp.isValid()) {
        *error = QStringLiteral("cannot write in %1: %2").arg(out.path(), temp.errorString());
        return std::nullopt;
    }

    Result result;
    result.file = source.file;
    result.language = o.learnerLanguage;
    result.skipped = plan->skipped;
    const QString voice = voiceOf(o.studiedLanguage);
    PhraseOfNote phraseOfNote;
    for (const PlannedSubject& s : plan->subjects) {
        std::vector<Phrase> phrases = phrasesOf(s, *plan, source, &result);
        for (size_t i = 0; i < s.notes.size(); ++i) {
            if (s.notes[i]->noteId != 0)
                phraseOfNote.insert(s.notes[i]->noteId, {s.fileName, qint64(i) + 1});
        }
        if (!speakMissing(voice, phrases, result, error) ||
            !writeSubject(s, phrases, temp, o.programCode, source.file, error))
            return std::nullopt;
        result.subjects << s.fileName;
        result.titles << s.title;
        result.phrases += int(phrases.size());
        ++progress.done;
        progress.spoken = result.spokenSounds;
        if (cancelled())
            return std::nullopt;
    }
    if (!moveIntoPlace(temp.path(), out, result.subjects, error))
        return std::nullopt;
    if (!o.learner.isEmpty())
        addReviews(source, phraseOfNote, result);
    return result;
}

namespace {
// The reasons the readers give for notes left out, in Spanish.
QString reasonIn(const QString& language, const QString& reason)
{
    if (language != QLatin1String("Spanish"))
        return reason;
    static const std::map<QString, QString> spanish = {
        {QStringLiteral("cloze notes (fill in the blank), which are not phrases"),
         QStringLiteral("notas de huecos (rellenar el espacio), que no son frases")},
        {QStringLiteral("notes without the phrase or its translation"),
         QStringLiteral("notas sin la frase o su traducción")},
        {QStringLiteral("notes of a note type with other fields"),
         QStringLiteral("notas de un tipo de nota con otros campos")},
    };
    const auto found = spanish.find(reason);
    return found == spanish.end() ? reason : found->second;
}
} // namespace

QString VocabularyImport::Result::summary() const
{
    const QString& l = language;
    const auto count = [&](qsizetype n, const char* one, const char* many, const char* unoEs,
                           const char* variosEs) {
        return QStringLiteral("%1 %2").arg(n).arg(says(l, n == 1 ? one : many, n == 1 ? unoEs : variosEs));
    };
    // Many titles are named by the first and the last: the tree shows them all.
    const QString named = titles.size() <= 6 ? titles.join(QLatin1String(", "))
                                             : QStringLiteral("%1 … %2").arg(titles.first(), titles.last());
    QString text =
        says(l, "Made %1 (%2) from %3: %4.",
             subjects.size() == 1 ? "Se creó %1 (%2) a partir de %3: %4."
                                  : "Se crearon %1 (%2) a partir de %3: %4.")
            .arg(count(subjects.size(), "subject", "subjects", "tema", "temas"),
                 count(phrases, "phrase", "phrases", "frase", "frases"), QFileInfo(file).fileName(), named);
    text += says(l, " Sounds: %1 from the file, %2 spoken by espeak-ng.",
                 " Sonidos: %1 del archivo, %2 pronunciados por espeak-ng.")
                .arg(ownSounds)
                .arg(spokenSounds);
    if (!skipped.empty()) {
        QStringList why;
        for (const auto& [reason, n] : skipped)
            why << QStringLiteral("%1 %2").arg(n).arg(reasonIn(l, reason));
        text += says(l, " Left out: %1.", " Omitidas: %1.").arg(why.join(QLatin1String("; ")));
    }
    if (!reviews.empty() || !reviewsLeftOut.empty()) {
        text += says(l, " Review log: %1 taken along", " Registro de repasos: %1 incluidas")
                    .arg(count(qsizetype(reviews.size()), "answer", "answers", "respuesta", "respuestas"));
        QStringList why;
        for (const auto& [reason, n] : reviewsLeftOut)
            why << QStringLiteral("%1 %2").arg(n).arg(reason);
        text += why.isEmpty()
                    ? QStringLiteral(".")
                    : says(l, "; left out: %1.", "; omitidas: %1.").arg(why.join(QLatin1String("; ")));
    }
    if (!soundProblems.empty()) {
        const bool one = soundProblems.size() == 1;
        text += says(l,
                     one ? " %1 could not be used and was spoken instead (%2)."
                         : " %1 could not be used and were spoken instead (first: %2).",
                     one ? " %1 no se pudo usar y se pronunció en su lugar (%2)."
                         : " %1 no se pudieron usar y se pronunciaron en su lugar (el primero: %2).")
                    .arg(count(qsizetype(soundProblems.size()), "sound", "sounds", "sonido", "sonidos"),
                         soundProblems.begin()->first);
    }
    return text;
}
