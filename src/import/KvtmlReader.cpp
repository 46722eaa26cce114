#include "KvtmlReader.h"

#include "import/VocabularySource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUrl>
#include <QXmlStreamReader>

namespace {

struct Entry
{
    int line = 0;
    QHash<int, QString> texts;
    QHash<int, QString> sounds;
};

struct Lesson
{
    QString name;
    QList<int> entries;
};

QString xmlError(const QString& path, const QXmlStreamReader& xml)
{
    return QStringLiteral("%1, line %2: the XML is damaged: %3")
        .arg(path)
        .arg(xml.lineNumber())
        .arg(xml.errorString());
}

// The encoding the XML declaration names ("" when it names none: UTF-8 then).
QString declaredEncoding(const QByteArray& bytes)
{
    if (!bytes.startsWith("<?xml"))
        return QString();
    const qsizetype end = bytes.indexOf("?>");
    const QByteArray declaration = bytes.left(end < 0 ? 200 : end);
    const qsizetype at = declaration.indexOf("encoding");
    if (at < 0)
        return QString();
    QByteArray rest = declaration.mid(at + 8).trimmed();
    if (rest.startsWith('='))
        rest = rest.mid(1).trimmed();
    if (rest.isEmpty())
        return QString();
    const char q = rest.at(0);
    const qsizetype close = rest.indexOf(q, 1);
    return QString::fromLatin1(rest.mid(1, close < 0 ? -1 : close - 1));
}

// A sound reference relative to the file: a plain relative path inside the file's folder.
QString soundPath(const QString& reference)
{
    QString path = reference.trimmed();
    if (path.startsWith(QLatin1String("file:")))
        path = QUrl(path).toLocalFile();
    return path;
}

void readLessons(QXmlStreamReader& xml, std::vector<Lesson>& lessons)
{
    // At a <container>: its name, its entries, then its own containers.
    Lesson lesson;
    const size_t index = lessons.size();
    lessons.push_back(lesson);
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("name")) {
            lessons[index].name = xml.readElementText().trimmed();
        } else if (xml.name() == QLatin1String("entry")) {
            bool ok = false;
            const int id = xml.attributes().value(QLatin1String("id")).toInt(&ok);
            if (ok)
                lessons[index].entries << id;
            xml.skipCurrentElement();
        } else if (xml.name() == QLatin1String("container")) {
            readLessons(xml, lessons);
        } else {
            xml.skipCurrentElement();
        }
    }
}

// What the reader gathers from the document before it makes notes of it.
struct Document
{
    QString title;
    QMap<int, QString> identifiers; // id -> name or locale
    QMap<int, Entry> entries;
    std::vector<Lesson> lessons;
};

// The XML reader would stop at the first bad byte with a vague message: a file that says
// it is UTF-8 (or says nothing, which means the same) is checked first.
bool checkUtf8(const QString& path, const QByteArray& bytes, QString* error)
{
    const QString encoding = declaredEncoding(bytes);
    const bool utf16 = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"); // by its byte order mark
    if (utf16 || !(encoding.isEmpty() || encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0))
        return true;
    int line = 0;
    if (decodeUtf8(bytes, &line))
        return true;
    *error = QStringLiteral("%1, line %2: the text is not UTF-8, although the file says it is (open "
                            "it in the program that made it and save it again)")
                 .arg(path)
                 .arg(line);
    return false;
}

// Reads up to the root element and checks it is KVTML 2.
bool readRoot(const QString& path, QXmlStreamReader& xml, QString* error)
{
    if (!xml.readNextStartElement()) {
        *error = xml.hasError() ? xmlError(path, xml) : QStringLiteral("%1 is empty").arg(path);
        return false;
    }
    if (xml.name() != QLatin1String("kvtml")) {
        *error = QStringLiteral("%1 is not a KVTML file (its first element is <%2>)")
                     .arg(path, xml.name().toString());
        return false;
    }
    const QString version = xml.attributes().value(QLatin1String("version")).toString();
    if (!version.startsWith(QLatin1String("2"))) {
        *error = QStringLiteral("%1 is in the older KVTML 1 format; open it in KWordQuiz or Parley and save "
                                "it again, which writes KVTML 2")
                     .arg(path);
        return false;
    }
    return true;
}

void readInformation(QXmlStreamReader& xml, Document& doc)
{
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("title"))
            doc.title = xml.readElementText().trimmed();
        else
            xml.skipCurrentElement();
    }
}

void readIdentifiers(QXmlStreamReader& xml, Document& doc)
{
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("identifier")) {
            xml.skipCurrentElement();
            continue;
        }
        const int id = xml.attributes().value(QLatin1String("id")).toInt();
        QString name;
        QString locale;
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("name"))
                name = xml.readElementText().trimmed();
            else if (xml.name() == QLatin1String("locale"))
                locale = xml.readElementText().trimmed();
            else
                xml.skipCurrentElement();
        }
        // Both are kept: the matching tries each.
        doc.identifiers.insert(id, locale.isEmpty() || locale == name ? name
                                   : name.isEmpty()                   ? locale
                                                                      : name + QLatin1Char('|') + locale);
    }
}

// At an <entry>: the text and sound of each <translation>.
Entry readEntry(QXmlStreamReader& xml)
{
    Entry entry;
    entry.line = int(xml.lineNumber());
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("translation")) {
            xml.skipCurrentElement();
            continue;
        }
        const int language = xml.attributes().value(QLatin1String("id")).toInt();
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("text"))
                entry.texts.insert(language, xml.readElementText().simplified());
            else if (xml.name() == QLatin1String("sound"))
                entry.sounds.insert(language, soundPath(xml.readElementText()));
            else
                xml.skipCurrentElement();
        }
    }
    return entry;
}

void readEntries(QXmlStreamReader& xml, Document& doc)
{
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("entry")) {
            xml.skipCurrentElement();
            continue;
        }
        const int id = xml.attributes().value(QLatin1String("id")).toInt();
        doc.entries.insert(id, readEntry(xml));
    }
}

// The sections below the root element, each by its own reader; others are skipped.
void readSections(QXmlStreamReader& xml, Document& doc)
{
    while (xml.readNextStartElement()) {
        const auto section = xml.name();
        if (section == QLatin1String("information")) {
            readInformation(xml, doc);
        } else if (section == QLatin1String("identifiers")) {
            readIdentifiers(xml, doc);
        } else if (section == QLatin1String("entries")) {
            readEntries(xml, doc);
        } else if (section == QLatin1String("lessons")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("container"))
                    readLessons(xml, doc.lessons);
                else
                    xml.skipCurrentElement();
            }
        } else {
            xml.skipCurrentElement();
        }
    }
}

// A vocabulary needs two languages and at least one entry.
bool checkContents(const QString& path, const Document& doc, QString* error)
{
    if (doc.identifiers.size() < 2) {
        *error = QStringLiteral("%1 is a word list in one language (%2), not a vocabulary with "
                                "translations: there is nothing to study it against")
                     .arg(path,
                          doc.identifiers.isEmpty() ? QStringLiteral("none named") : doc.identifiers.first());
        return false;
    }
    if (doc.entries.isEmpty()) {
        *error = QStringLiteral("%1 holds no entries").arg(path);
        return false;
    }
    return true;
}

// The entries as notes, lesson by lesson, then those of no lesson. Lessons name the subjects
// when there is more than one with entries; a single lesson ("Default Lesson" of KWordQuiz)
// says nothing the file's title does not.
std::vector<VocabularyNote> notesOf(const Document& doc)
{
    int lessonsWithEntries = 0;
    for (const Lesson& l : doc.lessons)
        lessonsWithEntries += l.entries.isEmpty() ? 0 : 1;
    QHash<int, QString> lessonOf;
    QList<int> order;
    if (lessonsWithEntries > 1) {
        for (const Lesson& l : doc.lessons) {
            for (int id : l.entries) {
                if (doc.entries.contains(id) && !lessonOf.contains(id)) {
                    lessonOf.insert(id, l.name);
                    order << id;
                }
            }
        }
    }
    for (auto it = doc.entries.cbegin(); it != doc.entries.cend(); ++it) {
        if (!lessonOf.contains(it.key()))
            order << it.key();
    }
    const QList<int> languages = doc.identifiers.keys();
    std::vector<VocabularyNote> notes;
    for (int id : order) {
        const Entry& e = doc.entries.value(id);
        VocabularyNote note;
        note.where = QStringLiteral("line %1").arg(e.line);
        note.lesson = lessonOf.value(id);
        for (int language : languages) {
            note.fields << e.texts.value(language);
            note.sounds << e.sounds.value(language);
        }
        notes.push_back(note);
    }
    return notes;
}

// Sounds relative to the file and inside its folder: a sound of the file, not any file of the disk.
auto soundReader(const QString& path)
{
    const QDir folder = QFileInfo(path).absoluteDir();
    return [folder](const QString& name, QString* error) -> std::optional<QByteArray> {
        const QString clean = QDir::cleanPath(name);
        if (QDir::isAbsolutePath(clean) || clean.startsWith(QLatin1String("../")) ||
            clean == QLatin1String("..")) {
            *error = QStringLiteral("the sound \"%1\" is outside the file's folder; only sounds beside the "
                                    "file or in its subfolders are taken")
                         .arg(name);
            return std::nullopt;
        }
        const QString full = folder.filePath(clean);
        return readVocabularyFile(full, VocabularyLimits::MaxSoundBytes, error);
    };
}

} // namespace

namespace KvtmlReader {

std::optional<VocabularySource> read(const QString& path, QString* error)
{
    auto contents = readVocabularyFile(path, VocabularyLimits::MaxTextBytes, error);
    if (!contents)
        return std::nullopt;
    const QByteArray bytes = std::move(*contents);
    if (bytes.trimmed().isEmpty()) {
        *error = QStringLiteral("%1 is empty").arg(path);
        return std::nullopt;
    }
    if (!checkUtf8(path, bytes, error))
        return std::nullopt;

    QXmlStreamReader xml(bytes);
    if (!readRoot(path, xml, error))
        return std::nullopt;
    Document doc;
    readSections(xml, doc);
    if (xml.hasError()) {
        *error = xmlError(path, xml);
        return std::nullopt;
    }
    if (!checkContents(path, doc, error))
        return std::nullopt;

    VocabularySource source;
    source.file = path;
    source.format = QStringLiteral("kvtml");
    for (const QString& column : std::as_const(doc.identifiers))
        source.columns << column;
    source.title = doc.title;
    if (source.title.isEmpty() || source.title.endsWith(QLatin1String(".kvtml"), Qt::CaseInsensitive))
        source.title = QFileInfo(path).completeBaseName();
    source.notes = notesOf(doc);
    source.readSound = soundReader(path);
    return source;
}

} // namespace KvtmlReader
