#include "AnkiTextReader.h"

#include "import/HtmlEntities.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace {

QChar separatorNamed(const QString& value)
{
    const QString v = value.trimmed().toLower();
    static const QHash<QString, QChar> names = {
        {QStringLiteral("tab"), QLatin1Char('\t')},      {QStringLiteral("comma"), QLatin1Char(',')},
        {QStringLiteral("semicolon"), QLatin1Char(';')}, {QStringLiteral("pipe"), QLatin1Char('|')},
        {QStringLiteral("colon"), QLatin1Char(':')},     {QStringLiteral("space"), QLatin1Char(' ')},
    };
    if (names.contains(v))
        return names.value(v);
    return value.size() == 1 ? value.at(0) : QChar();
}

// Fields of one record starting at pos; quotes as Anki writes them ("" inside a quoted
// field is one "), a quoted field may span lines. pos and line move past the record.
QStringList readRecord(const QString& text, qsizetype& pos, int& line, QChar separator)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    bool atFieldStart = true;
    while (pos < text.size()) {
        const QChar c = text.at(pos);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (pos + 1 < text.size() && text.at(pos + 1) == QLatin1Char('"')) {
                    field += c;
                    pos += 2;
                    continue;
                }
                quoted = false;
                ++pos;
                continue;
            }
            if (c == QLatin1Char('\n'))
                ++line;
            field += c;
            ++pos;
            continue;
        }
        if (c == QLatin1Char('"') && atFieldStart) {
            quoted = true;
            atFieldStart = false;
            ++pos;
            continue;
        }
        if (c == separator) {
            fields << field;
            field.clear();
            atFieldStart = true;
            ++pos;
            continue;
        }
        if (c == QLatin1Char('\n')) {
            ++pos;
            ++line;
            break;
        }
        if (c != QLatin1Char('\r'))
            field += c;
        atFieldStart = false;
        ++pos;
    }
    fields << field;
    return fields;
}

} // namespace

namespace AnkiTextReader {

bool isCloze(const QString& field)
{
    static const QRegularExpression cloze(QStringLiteral("\\{\\{c\\d+::"));
    return cloze.match(field).hasMatch();
}

QString plainText(const QString& field, bool html, QStringList* sounds)
{
    static const QRegularExpression sound(QStringLiteral("\\[sound:([^\\]]*)\\]"));
    QString text = field;
    for (auto it = sound.globalMatch(text); it.hasNext();)
        *sounds << it.next().captured(1);
    text.remove(sound);
    if (!html)
        return text.simplified();
    static const QRegularExpression breaks(QStringLiteral("<\\s*(br|/div|/p|/li|/tr|/h\\d)\\b[^>]*>"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    static const QRegularExpression hidden(QStringLiteral("<(style|script)\\b[^>]*>.*?</\\1\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption |
                                               QRegularExpression::DotMatchesEverythingOption);
    text.remove(hidden);
    text.replace(breaks, QStringLiteral(" "));
    text.remove(tags);
    // Entities last, so that "&lt;b&gt;" stays text.
    static const QRegularExpression entity(
        QStringLiteral("&(#[0-9]+|#[xX][0-9a-fA-F]+|[a-zA-Z][a-zA-Z0-9]*);"));
    QString out;
    qsizetype last = 0;
    for (auto it = entity.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        out += QStringView(text).sliced(last, m.capturedStart() - last);
        const QString name = m.captured(1);
        QString replacement = m.captured(0);
        if (name.startsWith(QLatin1Char('#'))) {
            bool ok = false;
            const uint code =
                (name.size() > 1 && (name.at(1) == QLatin1Char('x') || name.at(1) == QLatin1Char('X')))
                    ? name.mid(2).toUInt(&ok, 16)
                    : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
                const char32_t c = code;
                replacement = QString::fromUcs4(&c, 1);
            }
        } else if (const QString text = htmlEntity(name); !text.isEmpty()) {
            replacement = text;
        }
        out += replacement;
        last = m.capturedEnd();
    }
    out += QStringView(text).sliced(last);
    return out.simplified();
}

namespace {

// What the "#key:value" lines before the first note say.
struct Header
{
    QChar separator;
    bool html = true;
    QString columnsLine;
    std::optional<QString> deck; // the last part of the deck's name, when the header names one
    int deckColumn = 0;          // 1-based, as the header says; 0 for none
    QSet<int> ignoredColumns;
};

// The text of the file: UTF-8 (a byte order mark is dropped), not empty.
std::optional<QString> decodeText(const QString& path, QByteArray bytes, QString* error)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    int badLine = 0;
    auto decoded = decodeUtf8(bytes, &badLine);
    if (!decoded) {
        *error = QStringLiteral("%1, line %2: the text is not UTF-8 (Anki writes its text exports in UTF-8; "
                                "save the file as UTF-8)")
                     .arg(path)
                     .arg(badLine);
        return std::nullopt;
    }
    if (decoded->trimmed().isEmpty()) {
        *error = QStringLiteral("%1 is empty").arg(path);
        return std::nullopt;
    }
    return decoded;
}

void readHeaderLine(const QString& header, Header& h)
{
    const qsizetype colon = header.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return;
    const QString key = header.left(colon).trimmed().toLower();
    const QString value = header.mid(colon + 1);
    bool isNumber = false;
    const int column = value.trimmed().toInt(&isNumber);
    if (key == QLatin1String("separator"))
        h.separator = separatorNamed(value);
    else if (key == QLatin1String("html"))
        h.html = value.trimmed().compare(QLatin1String("false"), Qt::CaseInsensitive) != 0;
    else if (key == QLatin1String("columns"))
        h.columnsLine = value;
    else if (key == QLatin1String("deck"))
        h.deck = value.trimmed().section(QLatin1String("::"), -1).trimmed();
    else if (key == QLatin1String("deck column") && isNumber)
        h.deckColumn = column;
    else if ((key == QLatin1String("notetype column") || key == QLatin1String("tags column") ||
              key == QLatin1String("guid column")) &&
             isNumber)
        h.ignoredColumns << column;
}

// The header lines from pos on, leaving pos and line at the first note.
Header readHeader(const QString& text, qsizetype& pos, int& line)
{
    Header h;
    while (pos < text.size() && text.at(pos) == QLatin1Char('#')) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), pos);
        if (end < 0)
            end = text.size();
        QString header = text.mid(pos + 1, end - pos - 1);
        if (header.endsWith(QLatin1Char('\r')))
            header.chop(1);
        pos = end + 1;
        ++line;
        readHeaderLine(header, h);
    }
    if (h.separator.isNull()) {
        // As Anki guesses: from the first note's line.
        const QString first = text.mid(pos, text.indexOf(QLatin1Char('\n'), pos) - pos);
        h.separator = first.contains(QLatin1Char('\t'))  ? QLatin1Char('\t')
                      : first.contains(QLatin1Char(';')) ? QLatin1Char(';')
                                                         : QLatin1Char(',');
    }
    if (h.deckColumn > 0)
        h.ignoredColumns << h.deckColumn;
    return h;
}

QStringList columnNames(const Header& h)
{
    QStringList columns;
    if (h.columnsLine.isEmpty())
        return columns;
    qsizetype at = 0;
    int ignored = 0;
    const QStringList names = readRecord(h.columnsLine, at, ignored, h.separator);
    for (int i = 0; i < names.size(); ++i) {
        if (!h.ignoredColumns.contains(i + 1))
            columns << names.at(i).trimmed();
    }
    return columns;
}

// One note from its fields as read; false with the message when it names a sound that is no
// plain name. *cloze tells a cloze note, which is left out.
bool makeNote(const Header& h, const QStringList& raw, VocabularyNote& note, bool* cloze, QString* problem)
{
    *cloze = false;
    for (int i = 0; i < raw.size(); ++i) {
        if (i + 1 == h.deckColumn)
            note.lesson = raw.at(i).trimmed().section(QLatin1String("::"), -1).trimmed();
        if (h.ignoredColumns.contains(i + 1))
            continue;
        *cloze = *cloze || isCloze(raw.at(i));
        QStringList sounds;
        note.fields << plainText(raw.at(i), h.html, &sounds);
        for (const QString& sound : sounds) {
            if (*problem = mediaNameProblem(sound); !problem->isEmpty())
                return false;
        }
        note.sounds << sounds.value(0);
    }
    return true;
}

// The notes from pos on; the most fields a note has in *mostFields.
bool readNotes(const QString& path, const QString& text, qsizetype pos, int line, const Header& h,
               VocabularySource& source, int* mostFields, QString* error)
{
    while (pos < text.size()) {
        const int noteLine = line;
        const QStringList raw = readRecord(text, pos, line, h.separator);
        if (raw.size() == 1 && raw.first().trimmed().isEmpty())
            continue;
        VocabularyNote note;
        note.where = QStringLiteral("line %1").arg(noteLine);
        bool cloze = false;
        QString problem;
        if (!makeNote(h, raw, note, &cloze, &problem)) {
            *error = QStringLiteral("%1, line %2: %3").arg(path).arg(noteLine).arg(problem);
            return false;
        }
        if (cloze) {
            ++source.skipped[QStringLiteral("cloze notes (fill in the blank), which are not phrases")];
            continue;
        }
        *mostFields = std::max(*mostFields, int(note.fields.size()));
        source.notes.push_back(note);
    }
    return true;
}

// Sounds by plain name, beside the file or in its collection.media or media folder.
auto soundReader(const QString& path)
{
    const QDir folder = QFileInfo(path).absoluteDir();
    return [folder](const QString& name, QString* error) -> std::optional<QByteArray> {
        if (const QString problem = mediaNameProblem(name); !problem.isEmpty()) {
            *error = problem;
            return std::nullopt;
        }
        for (const QString& sub : {QStringLiteral("collection.media"), QStringLiteral("media"), QString()}) {
            const QString full = folder.filePath(sub.isEmpty() ? name : sub + QLatin1Char('/') + name);
            if (!QFileInfo(full).isFile())
                continue;
            return readVocabularyFile(full, VocabularyLimits::MaxSoundBytes, error);
        }
        *error = QStringLiteral("the sound %1 is not in %2 (nor in its collection.media or media folder)")
                     .arg(name, folder.path());
        return std::nullopt;
    };
}

} // namespace

std::optional<VocabularySource> read(const QString& path, QString* error)
{
    auto contents = readVocabularyFile(path, VocabularyLimits::MaxTextBytes, error);
    if (!contents)
        return std::nullopt;
    const auto decoded = decodeText(path, std::move(*contents), error);
    if (!decoded)
        return std::nullopt;
    const QString& text = *decoded;

    qsizetype pos = 0;
    int line = 1;
    const Header header = readHeader(text, pos, line);
    VocabularySource source;
    source.file = path;
    source.format = QStringLiteral("anki-text");
    source.title = header.deck.value_or(QFileInfo(path).completeBaseName());
    source.columns = columnNames(header);
    int mostFields = 0;
    if (!readNotes(path, text, pos, line, header, source, &mostFields, error))
        return std::nullopt;
    if (source.columns.isEmpty()) {
        for (int i = 0; i < mostFields; ++i)
            source.columns << QString();
    }
    if (source.notes.empty() && source.skipped.empty()) {
        *error = QStringLiteral("%1 holds no notes").arg(path);
        return std::nullopt;
    }
    if (mostFields == 1 || source.columns.size() == 1) {
        *error = QStringLiteral("%1 holds one field a note: a word list, not a vocabulary with translations; "
                                "there is nothing to study it against")
                     .arg(path);
        return std::nullopt;
    }
    source.readSound = soundReader(path);
    return source;
}

} // namespace AnkiTextReader
