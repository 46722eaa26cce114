#include "PhraseResultsExport.h"

#include "platform/Files.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectTitle.h"
#include "users/ResultsExport.h"

#include <QDate>
#include <QDateTime>
#include <QFileInfo>

namespace PhraseResultsExport {

namespace {

QString line(const QStringList& fields)
{
    QStringList quoted;
    for (const QString& f : fields)
        quoted << ResultsExport::field(f);
    return quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

QByteArray withMark(const QString& text)
{
    return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
}

QString dayText(qint64 julianDay)
{
    return QDate::fromJulianDay(julianDay).toString(Qt::ISODate);
}

QString number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

bool writeOut(const std::optional<QByteArray>& bytes, const QString& file, QString* error)
{
    return bytes && writeFileAtomically(file, *bytes, error);
}

} // namespace

QString PhraseTexts::text(const PhraseIdentity& phrase)
{
    auto it = m_files.find(phrase.subjectFile);
    if (it == m_files.end()) {
        QHash<qint64, QString> texts;
        // Only a plain file name is looked up: the name comes from the database.
        if (!phrase.subjectFile.contains(QLatin1Char('/')) && phrase.subjectFile != QLatin1String("..")) {
            for (const QString& folder : m_folders) {
                const QString path = folder + QLatin1Char('/') + phrase.subjectFile;
                if (!QFileInfo(path).isFile())
                    continue;
                QString ignored;
                if (const auto phrases = InstalledSubject::phrases(path, false, &ignored)) {
                    for (const Phrase& p : *phrases)
                        texts.insert(p.phraseNo, p.tPhrase);
                }
                break;
            }
        }
        it = m_files.insert(phrase.subjectFile, texts);
    }
    return it->value(phrase.phraseNo);
}

QByteArray phrasesCsv(const std::vector<PhraseResultRow>& rows, PhraseTexts& texts)
{
    QString out = line({QStringLiteral("Learner"), QStringLiteral("Subject"), QStringLiteral("Subject file"),
                        QStringLiteral("Phrase number"), QStringLiteral("Phrase"), QStringLiteral("Activity"),
                        QStringLiteral("Time"), QStringLiteral("Grade"), QStringLiteral("Grade name")});
    for (const PhraseResultRow& r : rows)
        out += line({r.learner, properTitle(r.phrase.subjectFile).trimmed(), r.phrase.subjectFile,
                     QString::number(r.phrase.phraseNo), texts.text(r.phrase), r.activity,
                     PhraseResults::utcText(r.utcSeconds), QString::number(Grades::stored(r.grade)),
                     Grades::name(r.grade)});
    return withMark(out);
}

QByteArray memoryCsv(const std::vector<LearnerMemory>& learners, qint64 today, PhraseTexts& texts)
{
    QString out = line({QStringLiteral("Learner"), QStringLiteral("Subject"), QStringLiteral("Subject file"),
                        QStringLiteral("Phrase number"), QStringLiteral("Phrase"), QStringLiteral("Reviews"),
                        QStringLiteral("Lapses"), QStringLiteral("Stability"), QStringLiteral("Difficulty"),
                        QStringLiteral("Last review"), QStringLiteral("Retrievability today"),
                        QStringLiteral("Next due"), QStringLiteral("Desired retention")});
    for (const LearnerMemory& l : learners) {
        for (const PhraseMemoryItem& item : l.memory.items())
            out += line({l.learner, properTitle(item.phrase.subjectFile).trimmed(), item.phrase.subjectFile,
                         QString::number(item.phrase.phraseNo), texts.text(item.phrase),
                         QString::number(item.reviews), QString::number(item.lapses),
                         number(item.state.stability, 2), number(item.state.difficulty, 2),
                         dayText(item.lastDay), number(l.memory.retrievabilityOn(item, today), 3),
                         dayText(item.dueDay), number(l.memory.scheduler().desiredRetention(), 2)});
    }
    return withMark(out);
}

std::optional<QByteArray> phrasesBytes(const QString& usersDatabase, const QString& learner,
                                       const QStringList& subjectFolders, QString* error, qsizetype* count)
{
    const auto rows = PhraseResults::rows(usersDatabase, learner, error);
    if (!rows)
        return std::nullopt;
    PhraseTexts texts(subjectFolders);
    if (count)
        *count = qsizetype(rows->size());
    return phrasesCsv(*rows, texts);
}

std::optional<QByteArray> memoryBytes(const QString& usersDatabase, const QString& learner,
                                      const QStringList& subjectFolders, QString* error, qsizetype* count)
{
    QStringList names{learner};
    if (learner.isEmpty()) {
        const auto all = PhraseResults::learners(usersDatabase, error);
        if (!all)
            return std::nullopt;
        names = *all;
    }
    std::vector<LearnerMemory> memories;
    qsizetype phrases = 0;
    for (const QString& name : names) {
        const auto histories = PhraseResults::historiesOf(usersDatabase, name, error);
        const auto retention = PhraseResults::desiredRetention(usersDatabase, name, error);
        if (!histories || !retention)
            return std::nullopt;
        memories.push_back({name, PhraseMemory(*histories, FsrsScheduler(*retention))});
        phrases += qsizetype(memories.back().memory.items().size());
    }
    PhraseTexts texts(subjectFolders);
    if (count)
        *count = phrases;
    return memoryCsv(memories, PhraseMemory::today(), texts);
}

bool exportPhrases(const QString& usersDatabase, const QString& learner, const QStringList& subjectFolders,
                   const QString& file, QString* error, qsizetype* count)
{
    return writeOut(phrasesBytes(usersDatabase, learner, subjectFolders, error, count), file, error);
}

bool exportMemory(const QString& usersDatabase, const QString& learner, const QStringList& subjectFolders,
                  const QString& file, QString* error, qsizetype* count)
{
    return writeOut(memoryBytes(usersDatabase, learner, subjectFolders, error, count), file, error);
}

} // namespace PhraseResultsExport
