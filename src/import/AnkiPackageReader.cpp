#include "AnkiPackageReader.h"

#include "import/AnkiReviewLog.h"
#include "import/AnkiTextReader.h"
#include "import/ProtobufWire.h"
#include "import/ZstdFrames.h"
#include "platform/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <zip.h>

#include <memory>

namespace {

// The collection is copied out of the zip to be opened as a database; a larger one is
// refused before a byte of it is written.
constexpr qint64 MaxCollectionBytes = 64 * 1024 * 1024;

using Zip = std::shared_ptr<zip_t>;

struct NoteType
{
    QStringList fields;
    bool cloze = false;
};

QString zipErrorText(int code)
{
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&e));
    zip_error_fini(&e);
    return text;
}

// One entry of the zip, whole, at most limit bytes (the size the zip declares is checked
// first, and the bytes read are counted, so a lying header cannot make it more).
std::optional<QByteArray> readEntry(zip_t* zip, zip_int64_t index, qint64 limit, const QString& what,
                                    QString* error)
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip, zip_uint64_t(index), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
        *error = QStringLiteral("%1 cannot be read: %2").arg(what, QString::fromLocal8Bit(zip_strerror(zip)));
        return std::nullopt;
    }
    if (qint64(st.size) > limit) {
        *error = QStringLiteral("%1 is %2, more than the %3 taken")
                     .arg(what, megabytes(qint64(st.size)), megabytes(limit));
        return std::nullopt;
    }
    zip_file_t* file = zip_fopen_index(zip, zip_uint64_t(index), 0);
    if (!file) {
        *error = QStringLiteral("%1 cannot be read: %2").arg(what, QString::fromLocal8Bit(zip_strerror(zip)));
        return std::nullopt;
    }
    QByteArray bytes(qsizetype(st.size), Qt::Uninitialized);
    qint64 done = 0;
    while (done < bytes.size()) {
        const zip_int64_t n = zip_fread(file, bytes.data() + done, zip_uint64_t(bytes.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
    // Closed whether or not the entry was read whole.
    const bool closed = zip_fclose(file) == 0;
    if (done != bytes.size() || !closed) {
        *error = QStringLiteral("%1 is damaged in the package").arg(what);
        return std::nullopt;
    }
    return bytes;
}

// Opens an entry for reading and the file it is copied into; nullptr (both closed) and the
// reason when either cannot be opened.
zip_file_t* openEntryInto(zip_t* zip, zip_int64_t index, QFile& out, const QString& what, QString* error)
{
    zip_file_t* file = zip_fopen_index(zip, zip_uint64_t(index), 0);
    if (file && out.open(QIODevice::WriteOnly))
        return file;
    if (file)
        zip_fclose(file);
    *error = QStringLiteral("%1 cannot be copied out: %2")
                 .arg(what, file ? out.errorString() : QString::fromLocal8Bit(zip_strerror(zip)));
    return nullptr;
}

// Copies an entry to a file a block at a time, at most limit bytes.
bool copyEntry(zip_t* zip, zip_int64_t index, qint64 limit, const QString& target, const QString& what,
               QString* error)
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip, zip_uint64_t(index), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
        *error = QStringLiteral("%1 cannot be read: %2").arg(what, QString::fromLocal8Bit(zip_strerror(zip)));
        return false;
    }
    if (qint64(st.size) > limit) {
        *error = QStringLiteral("%1 is %2, more than the %3 taken")
                     .arg(what, megabytes(qint64(st.size)), megabytes(limit));
        return false;
    }
    QFile out(target);
    zip_file_t* file = openEntryInto(zip, index, out, what, error);
    if (!file)
        return false;
    QByteArray block(256 * 1024, Qt::Uninitialized);
    qint64 done = 0;
    bool ok = true;
    for (;;) {
        const zip_int64_t n = zip_fread(file, block.data(), zip_uint64_t(block.size()));
        if (n < 0 || done + n > qint64(st.size)) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (out.write(block.constData(), n) != n) {
            *error = QStringLiteral("cannot write %1: %2").arg(target, out.errorString());
            zip_fclose(file);
            return false;
        }
        done += n;
    }
    ok = zip_fclose(file) == 0 && ok && done == qint64(st.size) && out.flush();
    if (!ok)
        *error = QStringLiteral("%1 is damaged in the package").arg(what);
    return ok;
}

QString lastPart(const QString& deck)
{
    QString name = deck;
    name.replace(QChar(0x1F), QLatin1String("::")); // the newer schema's separator
    return name.section(QLatin1String("::"), -1).trimmed();
}

// What the package's "meta" entry says (a protobuf message whose field 1 is the layout's
// version): 0 when there is none, as in packages of the older layouts.
constexpr quint64 NewestLayout = 3;
std::optional<quint64> layoutVersion(zip_t* zip, const QString& path, QString* error)
{
    const zip_int64_t index = zip_name_locate(zip, "meta", 0);
    if (index < 0)
        return 0;
    const auto bytes =
        readEntry(zip, index, 64 * 1024, QStringLiteral("%1: the package's version").arg(path), error);
    if (!bytes)
        return std::nullopt;
    quint64 version = 0;
    ProtobufWire wire(*bytes);
    while (wire.next()) {
        if (wire.field() == 1 && wire.type() == ProtobufWire::Type::Varint)
            version = wire.number();
    }
    if (wire.failed()) {
        *error = QStringLiteral("%1: the package's version (meta) is damaged").arg(path);
        return std::nullopt;
    }
    if (version > NewestLayout) {
        *error = QStringLiteral("%1 is in a package layout newer than this program knows (version %2): in "
                                "Anki, export the deck again with \"Support older Anki versions\" ticked")
                     .arg(path)
                     .arg(version);
        return std::nullopt;
    }
    return version;
}

// The newest layout's media list: a zstd-compressed protobuf message whose field 1 repeats
// one entry per file (field 1 its name, 2 its size, 3 its SHA-1, 255 its zip entry's name when
// that is not its place in the list).
bool readNewestMediaList(zip_t* zip, zip_int64_t mediaIndex, const QString& path,
                         QHash<QString, zip_int64_t>* media, QString* error)
{
    const QString what = QStringLiteral("%1: the media list").arg(path);
    const auto compressed = readEntry(zip, mediaIndex, VocabularyLimits::MaxTextBytes, what, error);
    if (!compressed)
        return false;
    const auto bytes = ZstdFrames::decompress(*compressed, VocabularyLimits::MaxTextBytes, error);
    if (!bytes) {
        *error = QStringLiteral("%1: %2").arg(what, *error);
        return false;
    }
    ProtobufWire list(*bytes);
    for (quint64 position = 0; list.next();) {
        if (list.field() != 1 || list.type() != ProtobufWire::Type::Bytes)
            continue;
        QString name;
        QByteArray entryName = QByteArray::number(position++);
        ProtobufWire entry(list.bytes());
        while (entry.next()) {
            if (entry.field() == 1 && entry.type() == ProtobufWire::Type::Bytes)
                name = QString::fromUtf8(entry.bytes());
            else if (entry.field() == 255 && entry.type() == ProtobufWire::Type::Varint)
                entryName = QByteArray::number(entry.number());
        }
        if (entry.failed()) {
            *error = QStringLiteral("%1 is damaged").arg(what);
            return false;
        }
        if (const QString problem = mediaNameProblem(name); !problem.isEmpty()) {
            *error = QStringLiteral("%1: %2").arg(what, problem);
            return false;
        }
        if (const zip_int64_t index = zip_name_locate(zip, entryName.constData(), 0); index >= 0)
            media->insert(name, index);
    }
    if (list.failed()) {
        *error = QStringLiteral("%1 is damaged").arg(what);
        return false;
    }
    return true;
}

// The older layouts' media list: JSON, the zip's numbered entries to the names the notes use.
bool readJsonMediaList(zip_t* zip, zip_int64_t mediaIndex, const QString& path,
                       QHash<QString, zip_int64_t>* media, QString* error)
{
    const auto bytes = readEntry(zip, mediaIndex, VocabularyLimits::MaxTextBytes,
                                 QStringLiteral("%1: the media list").arg(path), error);
    if (!bytes)
        return false;
    QJsonParseError parseError;
    const QJsonDocument json = QJsonDocument::fromJson(*bytes, &parseError);
    if (!bytes->trimmed().isEmpty() && !json.isObject()) {
        *error = QStringLiteral("%1: the media list is not the JSON map of an Anki package (%2)")
                     .arg(path, parseError.errorString());
        return false;
    }
    const QJsonObject map = json.object();
    for (auto it = map.begin(); it != map.end(); ++it) {
        const QString name = it.value().toString();
        if (const QString problem = mediaNameProblem(name); !problem.isEmpty()) {
            *error = QStringLiteral("%1: the media list: %2").arg(path, problem);
            return false;
        }
        const zip_int64_t index = zip_name_locate(zip, it.key().toUtf8().constData(), 0);
        if (index >= 0)
            media->insert(name, index);
    }
    return true;
}

// Decompresses an entry of the newest layout into a file, a block at a time, at most limit
// bytes (the frame's stated size checked first).
bool decompressEntry(zip_t* zip, zip_int64_t index, qint64 limit, const QString& target, const QString& what,
                     QString* error)
{
    QFile out(target);
    zip_file_t* file = openEntryInto(zip, index, out, what, error);
    if (!file)
        return false;
    const ZstdFrames::Reader read = [file, &what](char* buffer, qint64 size, QString* error) -> qint64 {
        const zip_int64_t n = zip_fread(file, buffer, zip_uint64_t(size));
        if (n < 0)
            *error = QStringLiteral("%1 is damaged in the package").arg(what);
        return qint64(n);
    };
    QString problem;
    const bool ok = ZstdFrames::decompressStream(read, out, limit, &problem) && out.flush();
    const bool closed = zip_fclose(file) == 0;
    if (!ok || !closed) {
        *error =
            problem.startsWith(what)
                ? problem
                : QStringLiteral("%1: %2").arg(what, problem.isEmpty() ? QStringLiteral("damaged") : problem);
        return false;
    }
    return true;
}

// The collection written into the file target as the SQLite database it is, whichever layout
// the package has: copied out of the older layouts, decompressed out of the newest.
bool writeCollection(zip_t* zip, const QString& path, const QString& target, bool* newest, QString* error)
{
    const auto version = layoutVersion(zip, path, error);
    if (!version)
        return false;
    const QString what = QStringLiteral("%1: the collection").arg(path);
    // The newest layout also holds a "collection.anki2" that only tells older versions to
    // update: the compressed collection comes first.
    if (const zip_int64_t index = zip_name_locate(zip, "collection.anki21b", 0); index >= 0) {
        *newest = true;
        return decompressEntry(zip, index, MaxCollectionBytes, target, what, error);
    }
    if (*version == NewestLayout) {
        *error = QStringLiteral("%1 is an Anki package of the newest layout without its collection "
                                "(collection.anki21b)")
                     .arg(path);
        return false;
    }
    *newest = false;
    zip_int64_t collection = zip_name_locate(zip, "collection.anki21", 0);
    if (collection < 0)
        collection = zip_name_locate(zip, "collection.anki2", 0);
    if (collection < 0) {
        *error = QStringLiteral("%1 is a zip file but not an Anki package (it holds no collection.anki2, "
                                "collection.anki21 or collection.anki21b)")
                     .arg(path);
        return false;
    }
    return copyEntry(zip, collection, MaxCollectionBytes, target, what, error);
}

std::optional<Zip> openPackage(const QString& path, QString* error)
{
    if (const QString problem = vocabularySizeProblem(path, VocabularyLimits::MaxPackageBytes);
        !problem.isEmpty()) {
        *error = problem;
        return std::nullopt;
    }
    int code = 0;
    zip_t* opened = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!opened) {
        *error = code == ZIP_ER_NOZIP
                     ? QStringLiteral("%1 is not an Anki package (not a zip file at all)").arg(path)
                     : QStringLiteral("%1 is a damaged zip file: %2").arg(path, zipErrorText(code));
        return std::nullopt;
    }
    return Zip(opened, zip_discard);
}

// The notes of a collection as its rows hold them.
struct NoteRow
{
    qint64 id;
    qint64 type;
    QStringList fields;
    qint64 deck;
};

// What the collection says of its notes, before they are made a vocabulary's notes.
struct Collection
{
    QHash<qint64, NoteType> noteTypes;
    QHash<qint64, QString> decks; // the last part of each deck's name
    std::vector<NoteRow> rows;
    qint64 mainType = 0; // the note type most notes have
    int deckCount = 0;   // how many decks the notes are in
};

QString collectionError(const QString& path, const QString& what, const Database& db)
{
    return QStringLiteral("%1: the collection cannot be read (%2): %3").arg(path, what, db.lastError());
}

// The media list: the zip's entries to the names the notes use (none when the package has no list).
bool readMediaList(zip_t* zip, bool newest, const QString& path, QHash<QString, zip_int64_t>* media,
                   QString* error)
{
    const zip_int64_t mediaIndex = zip_name_locate(zip, "media", 0);
    if (mediaIndex < 0)
        return true;
    return newest ? readNewestMediaList(zip, mediaIndex, path, media, error)
                  : readJsonMediaList(zip, mediaIndex, path, media, error);
}

// Note types and decks: JSON in the col row, or (collections of newer versions) tables of their own.
bool readNoteTypes(Database& db, Collection& c)
{
    Statement col = db.prepare(QStringLiteral("SELECT models, decks FROM col"));
    if (!col.isValid() || col.step() != Statement::Step::Row)
        return false;
    const QJsonObject models = QJsonDocument::fromJson(col.text(0).toUtf8()).object();
    for (auto it = models.begin(); it != models.end(); ++it) {
        const QJsonObject model = it.value().toObject();
        NoteType type;
        type.cloze = model.value(QLatin1String("type")).toInt() == 1;
        for (const auto field : model.value(QLatin1String("flds")).toArray())
            type.fields << field.toObject().value(QLatin1String("name")).toString();
        c.noteTypes.insert(it.key().toLongLong(), type);
    }
    const QJsonObject deckMap = QJsonDocument::fromJson(col.text(1).toUtf8()).object();
    for (auto it = deckMap.begin(); it != deckMap.end(); ++it)
        c.decks.insert(it.key().toLongLong(),
                       lastPart(it.value().toObject().value(QLatin1String("name")).toString()));
    col = Statement();
    if (c.noteTypes.isEmpty()) {
        Statement fields = db.prepare(QStringLiteral("SELECT ntid, name FROM fields ORDER BY ntid, ord"));
        while (fields.isValid() && fields.step() == Statement::Step::Row)
            c.noteTypes[fields.integer(0)].fields << fields.text(1);
        Statement deckRows = db.prepare(QStringLiteral("SELECT id, name FROM decks"));
        while (deckRows.isValid() && deckRows.step() == Statement::Step::Row)
            c.decks.insert(deckRows.integer(0), lastPart(deckRows.text(1)));
    }
    return true;
}

// The notes' rows, each with the deck of its first card; the main type and the decks used.
bool readNoteRows(Database& db, const QString& path, Collection& c, QString* error)
{
    Statement notes = db.prepare(
        QStringLiteral("SELECT n.id, n.mid, n.flds, (SELECT c.did FROM cards c WHERE c.nid = n.id ORDER BY "
                       "c.ord LIMIT 1) FROM notes n ORDER BY n.id"));
    if (!notes.isValid()) {
        *error = collectionError(path, QStringLiteral("notes"), db);
        return false;
    }
    QHash<qint64, int> typeCount;
    Statement::Step step;
    while ((step = notes.step()) == Statement::Step::Row) {
        c.rows.push_back(
            {notes.integer(0), notes.integer(1), notes.text(2).split(QChar(0x1F)), notes.integer(3)});
        ++typeCount[c.rows.back().type];
    }
    if (step == Statement::Step::Error) {
        *error = collectionError(path, QStringLiteral("notes"), db);
        return false;
    }
    if (c.rows.empty()) {
        *error = QStringLiteral("%1 holds no notes").arg(path);
        return false;
    }
    // The fields are named by the note type most notes have; notes of another type are
    // taken when their fields have the same names, in whatever order.
    c.mainType = c.rows.front().type;
    for (auto it = typeCount.cbegin(); it != typeCount.cend(); ++it) {
        if (it.value() > typeCount.value(c.mainType) && !c.noteTypes.value(it.key()).cloze)
            c.mainType = it.key();
    }
    QSet<qint64> used;
    for (const NoteRow& r : c.rows)
        used << r.deck;
    c.deckCount = int(used.size());
    return true;
}

// A note of another type than the main one, its fields put in the main type's order; nothing
// when its fields have other names.
std::optional<QStringList> fieldsInOrder(const NoteRow& r, const NoteType& type, const QStringList& columns)
{
    QStringList ordered;
    for (const QString& name : columns) {
        const qsizetype at = type.fields.indexOf(name);
        if (at < 0 || at >= r.fields.size())
            return std::nullopt;
        ordered << r.fields.at(at);
    }
    return ordered;
}

// The rows as the vocabulary's notes: cloze notes and notes of other fields are counted as
// skipped; false with the message when a note names a sound that is no plain name.
bool addNotes(const Collection& c, const QString& path, VocabularySource& source, QString* error)
{
    for (const NoteRow& r : c.rows) {
        const NoteType type = c.noteTypes.value(r.type);
        const QString where = QStringLiteral("note %1").arg(r.id);
        bool cloze = type.cloze;
        for (const QString& f : r.fields)
            cloze = cloze || AnkiTextReader::isCloze(f);
        if (cloze) {
            ++source.skipped[QStringLiteral("cloze notes (fill in the blank), which are not phrases")];
            continue;
        }
        const auto fields = r.type == c.mainType ? r.fields : fieldsInOrder(r, type, source.columns);
        if (!fields) {
            ++source.skipped[QStringLiteral("notes of a note type with other fields")];
            continue;
        }
        VocabularyNote note;
        note.where = where;
        note.noteId = r.id;
        if (c.deckCount > 1)
            note.lesson = c.decks.value(r.deck);
        for (const QString& field : *fields) {
            QStringList sounds;
            note.fields << AnkiTextReader::plainText(field, true, &sounds);
            for (const QString& sound : sounds) {
                if (const QString problem = mediaNameProblem(sound); !problem.isEmpty()) {
                    *error = QStringLiteral("%1, %2: %3").arg(path, where, problem);
                    return false;
                }
            }
            note.sounds << sounds.value(0);
        }
        source.notes.push_back(note);
    }
    return true;
}

// Sounds by the names the notes use, read from the package's entries.
auto soundReader(const Zip& zip, const QHash<QString, zip_int64_t>& media)
{
    return [zip, media](const QString& name, QString* error) -> std::optional<QByteArray> {
        if (!media.contains(name)) {
            *error = QStringLiteral("the sound %1 is not in the package").arg(name);
            return std::nullopt;
        }
        const QString what = QStringLiteral("the sound %1").arg(name);
        auto bytes = readEntry(zip.get(), media.value(name), VocabularyLimits::MaxSoundBytes, what, error);
        // The newest layout compresses each media file with zstd.
        if (bytes && ZstdFrames::startsFrame(*bytes)) {
            bytes = ZstdFrames::decompress(*bytes, VocabularyLimits::MaxSoundBytes, error);
            if (!bytes)
                *error = QStringLiteral("%1: %2").arg(what, *error);
        }
        return bytes;
    };
}

} // namespace

namespace AnkiPackageReader {

QString collectionDatabase(const QString& path, const QString& scratchFolder, QString* error)
{
    const auto zip = openPackage(path, error);
    if (!zip)
        return QString();
    const QString target = QDir(scratchFolder).filePath(QStringLiteral("collection.db"));
    bool newest = false;
    if (!writeCollection(zip->get(), path, target, &newest, error)) {
        QFile::remove(target);
        return QString();
    }
    return target;
}

std::optional<VocabularySource> read(const QString& path, const QString& scratchFolder, QString* error)
{
    const auto opened = openPackage(path, error);
    if (!opened)
        return std::nullopt;
    const Zip zip = *opened;

    // The collection, written out to be opened as the SQLite database it is.
    const QString collectionPath = QDir(scratchFolder).filePath(QStringLiteral("collection.db"));
    struct Removal
    {
        QString path;
        ~Removal() { QFile::remove(path); }
    } removal{collectionPath};
    bool newest = false;
    if (!writeCollection(zip.get(), path, collectionPath, &newest, error))
        return std::nullopt;
    QHash<QString, zip_int64_t> media;
    if (!readMediaList(zip.get(), newest, path, &media, error))
        return std::nullopt;

    auto db = Database::open(collectionPath, QString(), Database::Mode::ReadOnly, error);
    if (!db) {
        *error = QStringLiteral("%1: the collection is not a database: %2").arg(path, *error);
        return std::nullopt;
    }
    Collection collection;
    if (!readNoteTypes(*db, collection)) {
        *error = collectionError(path, QStringLiteral("col"), *db);
        return std::nullopt;
    }
    if (!readNoteRows(*db, path, collection, error))
        return std::nullopt;

    VocabularySource source;
    source.file = path;
    source.format = newest ? QStringLiteral("anki-package-newest") : QStringLiteral("anki-package");
    source.title = QFileInfo(path).completeBaseName();
    source.columns = collection.noteTypes.value(collection.mainType).fields;
    const qint64 firstDeck = collection.rows.front().deck;
    if (collection.deckCount == 1 && collection.decks.contains(firstDeck) &&
        collection.decks.value(firstDeck) != QLatin1String("Default"))
        source.title = collection.decks.value(firstDeck);
    if (!addNotes(collection, path, source, error))
        return std::nullopt;
    if (source.columns.size() == 1) {
        *error = QStringLiteral("%1 holds one field a note: a word list, not a vocabulary with translations; "
                                "there is nothing to study it against")
                     .arg(path);
        return std::nullopt;
    }

    // The review log comes along; a log that cannot be read costs only the history.
    if (QString logError; !AnkiReviewLog::read(*db, source, &logError))
        source.reviewsLeftOut[QStringLiteral("a review log that cannot be read (%1)").arg(logError)] = 1;
    source.readSound = soundReader(zip, media);
    return source;
}

} // namespace AnkiPackageReader
