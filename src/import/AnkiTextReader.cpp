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

std::optional<VocabularySource> read(const QString& path, QString* error)
{
    auto contents = readVocabularyFile(path, VocabularyLimits::MaxTextBytes, error);
    if (!contents)
        return std::nullopt;
    QByteArray bytes = std::move(*contents);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    int badLine = 0;
    const auto decoded = decodeUtf8(bytes, &badLine);
    if (!decoded) {
        *error = QStringLiteral("%1, line %2: the text is not UTF-8 (Anki writes its text exports in UTF-8; "
                                "save the file as UTF-8)")
                     .arg(path)
                     .arg(badLine);
        return std::nullopt;
    }
    const QString& text = *decoded;
    if (text.trimmed().isEmpty()) {
        *error = QStringLiteral("%1 is empty").arg(path);
        return std::nullopt;
    }

    VocabularySource source;
    source.file = path;
    source.format = QStringLiteral("anki-text");
    source.title = QFileInfo(path).completeBaseName();
    QChar separator;
    bool html = true;
    QString columnsLine;
    int deckColumn = 0; // 1-based, as the header says; 0 for none
    QSet<int> ignoredColumns;
    qsizetype pos = 0;
    int line = 1;
    // The header: "#key:value" lines before the first note.
    while (pos < text.size() && text.at(pos) == QLatin1Char('#')) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), pos);
        if (end < 0)
            end = text.size();
        QString header = text.mid(pos + 1, end - pos - 1);
        if (header.endsWith(QLatin1Char('\r')))
            header.chop(1);
        pos = end + 1;
        ++line;
        const qsizetype colon = header.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QString key = header.left(colon).trimmed().toLower();
        const QString value = header.mid(colon + 1);
        bool isNumber = false;
        const int column = value.trimmed().toInt(&isNumber);
        if (key == QLatin1String("separator"))
            separator = separatorNamed(value);
        else if (key == QLatin1String("html"))
            html = value.trimmed().compare(QLatin1String("false"), Qt::CaseInsensitive) != 0;
        else if (key == QLatin1String("columns"))
            columnsLine = value;
        else if (key == QLatin1String("deck"))
            source.title = value.trimmed().section(QLatin1String("::"), -1).trimmed();
        else if (key == QLatin1String("deck column") && isNumber)
            deckColumn = column;
        else if ((key == QLatin1String("notetype column") || key == QLatin1String("tags column") ||
                  key == QLatin1String("guid column")) &&
                 isNumber)
            ignoredColumns << column;
    }
    if (separator.isNull()) {
        // As Anki guesses: from the first note's line.
        const QString first = text.mid(pos, text.indexOf(QLatin1Char('\n'), pos) - pos);
        separator = first.contains(QLatin1Char('\t'))  ? QLatin1Char('\t')
                    : first.contains(QLatin1Char(';')) ? QLatin1Char(';')
                                                       : QLatin1Char(',');
    }
    if (deckColumn > 0)
        ignoredColumns << deckColumn;
    auto keep = [&](int column) { return !ignoredColumns.contains(column); };

    if (!columnsLine.isEmpty()) {
        qsizetype at = 0;
        int ignored = 0;
        const QStringList names = readRecord(columnsLine, at, ignored, separator);
        for (int i = 0; i < names.size(); ++i) {
            if (keep(i + 1))
                source.columns << names.at(i).trimmed();
        }
    }

    int mostFields = 0;
    while (pos < text.size()) {
        const int noteLine = line;
        const QStringList raw = readRecord(text, pos, line, separator);
        if (raw.size() == 1 && raw.first().trimmed().isEmpty())
            continue;
        VocabularyNote note;
        note.where = QStringLiteral("line %1").arg(noteLine);
        bool cloze = false;
        for (int i = 0; i < raw.size(); ++i) {
            if (i + 1 == deckColumn)
                note.lesson = raw.at(i).trimmed().section(QLatin1String("::"), -1).trimmed();
            if (!keep(i + 1))
                continue;
            cloze = cloze || isCloze(raw.at(i));
            QStringList sounds;
            note.fields << plainText(raw.at(i), html, &sounds);
            for (const QString& sound : sounds) {
                if (const QString problem = mediaNameProblem(sound); !problem.isEmpty()) {
                    *error = QStringLiteral("%1, line %2: %3").arg(path).arg(noteLine).arg(problem);
                    return std::nullopt;
                }
            }
            note.sounds << sounds.value(0);
        }
        if (cloze) {
            ++source.skipped[QStringLiteral("cloze notes (fill in the blank), which are not phrases")];
            continue;
        }
        mostFields = std::max(mostFields, int(note.fields.size()));
        source.notes.push_back(note);
    }
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

    const QFileInfo info(path);
    const QDir folder = info.absoluteDir();
    source.readSound = [folder](const QString& name, QString* error) -> std::optional<QByteArray> {
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
    return source;
}

} // namespace AnkiTextReader
