#include "VocabularyImport.h"

#include "platform/Files.h"
#include "platform/SoundConversion.h"
#include "platform/Speech.h"
#include "platform/WaveFile.h"
#include "subjects/AnkiPackageReader.h"
#include "subjects/AnkiTextReader.h"
#include "subjects/KvtmlReader.h"
#include "subjects/SubjectFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

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

QString plural(qsizetype count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

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

// The hidden folders of imports that were killed before they ended (a day old: an import
// running beside this one is never that old).
void removeStaleImportFolders(const QDir& out)
{
    const QDateTime dayAgo = QDateTime::currentDateTime().addDays(-1);
    const QFileInfoList folders = out.entryInfoList({QStringLiteral(".parlanto-import-*")},
                                                    QDir::Dirs | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& folder : folders) {
        if (folder.lastModified() < dayAgo)
            QDir(folder.absoluteFilePath()).removeRecursively();
    }
}

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

std::optional<VocabularyImport::Result> VocabularyImport::run(const QString& path, const Options& o,
                                                              QString* error)
{
    // Everything the import writes goes into a hidden folder of the output folder (on its
    // disk, so that the subjects are renamed into place, and never listed), removed at the end.
    const QDir out(o.outFolder);
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
    if (!out.exists())
        madeFolder.path = out.absolutePath();
    if (!QDir().mkpath(o.outFolder)) {
        *error = QStringLiteral("cannot make the folder %1").arg(o.outFolder);
        return std::nullopt;
    }
    removeStaleImportFolders(out);
    QTemporaryDir temp(out.filePath(QStringLiteral(".parlanto-import-XXXXXX")));
    if (!temp.isValid()) {
        *error = QStringLiteral("cannot write in %1: %2").arg(out.path(), temp.errorString());
        return std::nullopt;
    }
    auto source = read(path, temp.path(), error);
    if (!source)
        return std::nullopt;
    const auto roles = columnRoles(*source, o, error);
    if (!roles)
        return std::nullopt;
    const auto column = [&](Role role) {
        return int(std::find(roles->begin(), roles->end(), role) - roles->begin());
    };
    const int phraseColumn = column(PhraseColumn);
    const int translationColumn = column(TranslationColumn);
    const int translation2Column = column(Translation2Column);

    Result result;
    result.file = path;
    result.skipped = source->skipped;
    // The notes that make phrases, grouped by lesson in the order lessons first appear.
    std::vector<std::pair<QString, std::vector<const VocabularyNote*>>> lessons;
    for (const VocabularyNote& note : source->notes) {
        const QString phrase = note.fields.value(phraseColumn);
        const QString translation = note.fields.value(translationColumn);
        const QString translation2 = note.fields.value(translation2Column);
        if (phrase.isEmpty() || translation.isEmpty()) {
            ++result.skipped[QStringLiteral("notes without the phrase or its translation")];
            continue;
        }
        // The program's tree keeps "*" as its separator, so no phrase text may hold one.
        if (phrase.contains(QLatin1Char('*')) || translation.contains(QLatin1Char('*')) ||
            translation2.contains(QLatin1Char('*'))) {
            ++result.skipped[QStringLiteral("notes holding \"*\", which phrase texts cannot hold")];
            continue;
        }
        auto it = std::find_if(lessons.begin(), lessons.end(),
                               [&](const auto& l) { return l.first == note.lesson; });
        if (it == lessons.end())
            it = lessons.insert(lessons.end(), {note.lesson, {}});
        it->second.push_back(&note);
    }
    if (lessons.empty()) {
        QStringList why;
        for (const auto& [reason, count] : result.skipped)
            why << QStringLiteral("%1 %2").arg(count).arg(reason);
        *error = QStringLiteral("%1 holds no note that makes a phrase%2")
                     .arg(path, why.isEmpty()
                                    ? QString()
                                    : QStringLiteral(" (left out: %1)").arg(why.join(QLatin1String(", "))));
        return std::nullopt;
    }

    // Titles and file names, each file name once.
    std::vector<PlannedSubject> planned;
    QSet<QString> names;
    for (const auto& [lesson, notes] : lessons) {
        QString title = lesson.isEmpty() ? source->title : lesson;
        if (!o.titlePrefix.trimmed().isEmpty())
            title = o.titlePrefix.trimmed() + QLatin1Char(' ') + title;
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
            planned.push_back(s);
        }
    }

    QStringList existing;
    for (const PlannedSubject& s : planned) {
        const QFileInfo target(out.filePath(s.fileName));
        if (target.exists() || target.isSymLink())
            existing << s.fileName;
    }
    if (!existing.isEmpty() && !(o.replaceExisting && o.replaceExisting(existing))) {
        *error = QStringLiteral("%1 in %2 already %3; nothing was imported")
                     .arg(existing.join(QLatin1String(", ")), out.path(),
                          QLatin1String(existing.size() == 1 ? "exists" : "exist"));
        return std::nullopt;
    }

    const QString voice = voiceOf(o.studiedLanguage);
    QHash<qint64, std::pair<QString, qint64>> phraseOfNote; // note id -> (subject file, phrase)
    for (const PlannedSubject& s : planned) {
        std::vector<Phrase> phrases;
        QStringList toSpeak;
        std::vector<size_t> spokenAt;
        for (const VocabularyNote* note : s.notes) {
            Phrase p;
            p.pkPhraseNo = qint64(phrases.size()) + 1;
            p.tPhrase = note->fields.value(phraseColumn);
            p.tTranslation = note->fields.value(translationColumn);
            p.tTranslation2 = note->fields.value(translation2Column);
            if (note->noteId != 0)
                phraseOfNote.insert(note->noteId, {s.fileName, p.pkPhraseNo});
            // The phrase's own sound, or one in a column that is neither translation (an
            // "Audio" field).
            QString sound = note->sounds.value(phraseColumn);
            for (int i = 0; sound.isEmpty() && i < note->sounds.size(); ++i) {
                if (i < int(roles->size()) && (*roles)[size_t(i)] == Skip)
                    sound = note->sounds.at(i);
                else if (i >= int(roles->size()))
                    sound = note->sounds.at(i);
            }
            if (!sound.isEmpty()) {
                QString problem;
                auto bytes = source->readSound(sound, &problem);
                if (bytes) {
                    auto wave = SoundConversion::toPhraseWave(*bytes, &problem);
                    if (wave)
                        p.bsound = std::move(*wave);
                }
                if (p.bsound.isEmpty())
                    ++result.soundProblems[QStringLiteral("%1, %2: %3")
                                               .arg(source->file, note->where, problem)];
                else
                    ++result.ownSounds;
            }
            if (p.bsound.isEmpty()) {
                toSpeak << p.tPhrase;
                spokenAt.push_back(phrases.size());
            }
            phrases.push_back(std::move(p));
        }
        if (!toSpeak.isEmpty()) {
            const auto spoken = Speech::speakAll(voice, toSpeak, error);
            if (!spoken)
                return std::nullopt;
            for (size_t i = 0; i < spokenAt.size(); ++i)
                phrases[spokenAt[i]].bsound = (*spoken)[i];
            result.spokenSounds += int(toSpeak.size());
        }
        const QString written = temp.filePath(s.fileName);
        if (!InstalledSubject::create(written, o.programCode, phrases, false, error))
            return std::nullopt;
        // As the program checks it before a learner studies it.
        if (const QString verdict = checkSubjectFile(written, o.programCode);
            verdict != QLatin1String("VALID")) {
            *error = QStringLiteral("%1: the subject made from %2 fails the check: %3")
                         .arg(s.fileName, path, verdict);
            return std::nullopt;
        }
        result.subjects << s.fileName;
        result.titles << s.title;
        result.phrases += int(phrases.size());
    }
    if (!moveIntoPlace(temp.path(), out, result.subjects, error))
        return std::nullopt;
    if (!o.learner.isEmpty()) {
        result.reviewsLeftOut = source->reviewsLeftOut;
        for (const VocabularyReview& r : source->reviews) {
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
    madeFolder.keep = true;
    return result;
}

QString VocabularyImport::Result::summary() const
{
    // Many titles are named by the first and the last: the tree shows them all.
    const QString named = titles.size() <= 6 ? titles.join(QLatin1String(", "))
                                             : QStringLiteral("%1 … %2").arg(titles.first(), titles.last());
    QString text = QStringLiteral("Made %1 (%2) from %3: %4.")
                       .arg(plural(subjects.size(), "subject", "subjects"),
                            plural(phrases, "phrase", "phrases"), QFileInfo(file).fileName(), named);
    text +=
        QStringLiteral(" Sounds: %1 from the file, %2 spoken by espeak-ng.").arg(ownSounds).arg(spokenSounds);
    if (!skipped.empty()) {
        QStringList why;
        for (const auto& [reason, count] : skipped)
            why << QStringLiteral("%1 %2").arg(count).arg(reason);
        text += QStringLiteral(" Left out: %1.").arg(why.join(QLatin1String("; ")));
    }
    if (!reviews.empty() || !reviewsLeftOut.empty()) {
        text += QStringLiteral(" Review log: %1 taken along")
                    .arg(plural(qsizetype(reviews.size()), "answer", "answers"));
        QStringList why;
        for (const auto& [reason, count] : reviewsLeftOut)
            why << QStringLiteral("%1 %2").arg(count).arg(reason);
        text += why.isEmpty() ? QStringLiteral(".")
                              : QStringLiteral("; left out: %1.").arg(why.join(QLatin1String("; ")));
    }
    if (!soundProblems.empty()) {
        text +=
            QStringLiteral(" %1 could not be used and %2 spoken instead (first: %3).")
                .arg(plural(qsizetype(soundProblems.size()), "sound", "sounds"),
                     QLatin1String(soundProblems.size() == 1 ? "was" : "were"), soundProblems.begin()->first);
    }
    return text;
}
