#include "CourseTable.h"

#include "TemplateBuilder.h"
#include "platform/Fail.h"
#include "platform/Files.h"
#include "state/Edition.h"

#include <QFile>
#include <QStringDecoder>

namespace CourseTable {

namespace {

constexpr int SubjectFields = 6;
constexpr int SoundField = 5;

QString decode(const QString& rawField)
{
    return TemplateBuilder::splitTsvLine(rawField).value(0);
}

// The data lines of a table: (line number, fields as written, split at the tabs).
std::optional<std::vector<std::pair<int, QStringList>>> readLines(const QString& path, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        fail(error, QStringLiteral("cannot read %1: %2").arg(path, f.errorString()));
        return std::nullopt;
    }
    const QByteArray bytes = f.readAll();
    std::vector<std::pair<int, QStringList>> lines;
    const QList<QByteArray> raw = bytes.split('\n');
    for (int i = 0; i < raw.size(); ++i) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        QString line = utf8(raw.at(i));
        if (utf8.hasError()) {
            fail(error, QStringLiteral("%1, line %2: not UTF-8 text").arg(path).arg(i + 1));
            return std::nullopt;
        }
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (i == 0 && line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        lines.emplace_back(i + 1, line.split(QLatin1Char('\t')));
    }
    return lines;
}

int languageColumn(const QString& language)
{
    const qsizetype index = interfaceLanguages().indexOf(language);
    return index < 0 ? -1 : 1 + 2 * int(index);
}

QString where(const QString& path, int line)
{
    return QStringLiteral("%1, line %2").arg(path).arg(line);
}

} // namespace

const QStringList& interfaceLanguages()
{
    static const QStringList languages{QStringLiteral("English"), QStringLiteral("Spanish")};
    return languages;
}

QString CoursePhrase::translation(const QString& language) const
{
    const int column = languageColumn(language);
    return column < 0 ? QString() : decode(raw.value(column));
}

QString CoursePhrase::note(const QString& language) const
{
    const int column = languageColumn(language);
    return column < 0 ? QString() : decode(raw.value(column + 1));
}

QString CourseVirtualPhrase::name(const QString& language) const
{
    const qsizetype index = interfaceLanguages().indexOf(language);
    return index < 0 ? QString() : decode(raw.value(index));
}

std::optional<std::vector<CoursePhrase>> readSubject(const QString& path, QString* error)
{
    const auto lines = readLines(path, error);
    if (!lines)
        return std::nullopt;
    std::vector<CoursePhrase> phrases;
    for (const auto& [line, fields] : *lines) {
        if (fields.size() < SubjectFields - 1 || fields.size() > SubjectFields) {
            fail(error,
                 QStringLiteral("%1: expected 5 or 6 tab-separated fields (phrase, English translation, "
                                "English note, Spanish translation, Spanish note, sound file), found %2")
                     .arg(where(path, line))
                     .arg(fields.size()));
            return std::nullopt;
        }
        CoursePhrase p;
        p.line = line;
        p.raw = fields;
        while (p.raw.size() < SubjectFields)
            p.raw << QString();
        p.phrase = decode(p.raw.at(0));
        p.sound = decode(p.raw.at(SoundField));
        if (p.phrase.trimmed().isEmpty()) {
            fail(error, QStringLiteral("%1: the phrase is empty").arg(where(path, line)));
            return std::nullopt;
        }
        phrases.push_back(p);
    }
    return phrases;
}

std::optional<QByteArray> phraseTable(const std::vector<CoursePhrase>& phrases, const QString& language,
                                      const QString& comment, QString* error)
{
    const int column = languageColumn(language);
    if (column < 0) {
        fail(error, QStringLiteral("no course columns for the language \"%1\"").arg(language));
        return std::nullopt;
    }
    QString text =
        QStringLiteral("# %1\n# phrase\ttranslation\tsecond translation\tsound file\n").arg(comment);
    for (const CoursePhrase& p : phrases) {
        if (p.translation(language).trimmed().isEmpty()) {
            fail(error,
                 QStringLiteral("line %1: \"%2\" has no %3 translation").arg(p.line).arg(p.phrase, language));
            return std::nullopt;
        }
        text += QStringList{p.raw.at(0), p.raw.at(column), p.raw.at(column + 1), p.raw.at(SoundField)}.join(
                    QLatin1Char('\t')) +
                QLatin1Char('\n');
    }
    return text.toUtf8();
}

std::optional<Titles> readTitles(const QString& path, QString* error)
{
    const auto lines = readLines(path, error);
    if (!lines)
        return std::nullopt;
    Titles titles;
    for (const auto& [line, fields] : *lines) {
        if (fields.size() != interfaceLanguages().size()) {
            fail(error,
                 QStringLiteral("%1: expected the English and the Spanish file name").arg(where(path, line)));
            return std::nullopt;
        }
        QHash<QString, QString> names;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const QString name = decode(fields.at(i));
            // A file name of the program folder: no folders, no wildcard ("*" is one to the
            // code that finds files by pattern), no blanks (the tree makes its blanks from the
            // underscores).
            if (!isSafeFileName(name) || name.contains(QLatin1Char('*')) || name.contains(QLatin1Char(' ')) ||
                name.startsWith(QLatin1Char('.'))) {
                fail(error,
                     QStringLiteral("%1: \"%2\" is not a usable file name").arg(where(path, line), name));
                return std::nullopt;
            }
            names.insert(interfaceLanguages().at(i), name);
        }
        titles.insert(names.value(interfaceLanguages().first()), names);
    }
    return titles;
}

std::optional<std::vector<CourseVirtualPhrase>> readVirtual(const QString& path, QString* error)
{
    const auto lines = readLines(path, error);
    if (!lines)
        return std::nullopt;
    std::vector<CourseVirtualPhrase> phrases;
    for (const auto& [line, fields] : *lines) {
        bool ok = false;
        CourseVirtualPhrase p;
        p.line = line;
        if (fields.size() == 4)
            p.phraseNo = fields.at(3).toInt(&ok);
        if (!ok || p.phraseNo < 1) {
            fail(error, QStringLiteral("%1: expected English name, Spanish name, subject and phrase number")
                            .arg(where(path, line)));
            return std::nullopt;
        }
        p.raw = fields;
        p.subject = decode(fields.at(2));
        phrases.push_back(p);
    }
    return phrases;
}

std::optional<QByteArray> virtualTable(const std::vector<CourseVirtualPhrase>& phrases, const Titles& titles,
                                       const Edition& edition, QString* error)
{
    QString text = QStringLiteral("# virtual subject\tinstalled subject file\tphrase number\n");
    for (const CourseVirtualPhrase& p : phrases) {
        const QString name = p.name(edition.InterfaceLanguage);
        const QString title = titles.value(p.subject).value(edition.InterfaceLanguage);
        if (name.trimmed().isEmpty() || title.isEmpty()) {
            fail(error, QStringLiteral("line %1: no %2 name for the virtual subject or for \"%3\"")
                            .arg(p.line)
                            .arg(edition.InterfaceLanguage, p.subject));
            return std::nullopt;
        }
        text += QStringList{p.raw.at(interfaceLanguages().indexOf(edition.InterfaceLanguage)),
                            title + QLatin1Char('.') + edition.LanguageCode, QString::number(p.phraseNo)}
                    .join(QLatin1Char('\t')) +
                QLatin1Char('\n');
    }
    return text.toUtf8();
}

} // namespace CourseTable
