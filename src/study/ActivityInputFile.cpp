#include "ActivityInputFile.h"

#include "content/ContentLevel.h"
#include "platform/Files.h"
#include "review/PhraseIdsFile.h"
#include "state/AppState.h"
#include "study/HandOverFiles.h"

#include <QFile>
#include <QStringList>

namespace {

// A text is one line of the file: a line break inside it would shift every later line.
QString oneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + oneLine(text) + QLatin1Char('"');
}

} // namespace

namespace ActivityInputFile {

QByteArray contents(const AppState& state, const QString& subjectTitle)
{
    const int count = qBound(0, state.StudyPhraseCount, AppState::MaxStudyPhrases);
    QStringList lines;
    lines << QString::number(state.instanceId) << oneLine(state.edition.ProgramCode)
          << oneLine(state.edition.EditionTitle) << oneLine(state.edition.InterfaceLanguage)
          << oneLine(state.edition.StudiedLanguage) << oneLine(state.CurrentUser) << oneLine(subjectTitle)
          << QString::number(count) << oneLine(state.usersDatabasePath());
    for (int i = 0; i < 5; ++i)
        lines << QStringLiteral("EMPTY");
    lines << QString::number(FullContentLevel);
    for (int slot = 1; slot <= count; ++slot) {
        const StudyPhrase& p = state.StudyPhrases[size_t(slot - 1)];
        lines << quoted(p.Phrase) << quoted(p.Translation) << quoted(p.Translation2) << quoted(p.SoundFile);
    }
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

} // namespace ActivityInputFile

namespace {

// Written whole beside its name (a bare name in the hand-over folder) and renamed into place:
// an activity never reads half a file. No flush to disk: the file lives only as long as the
// activity needs it.
bool writeInPlace(const AppState& state, const QString& name, const QByteArray& bytes, QString* error)
{
    const QString partial = name + QStringLiteral(".part");
    QString why;
    if (!HandOverFiles::writeFile(state, partial, bytes, &why) ||
        !HandOverFiles::renameFile(state, partial, name, &why)) {
        if (error)
            *error =
                QStringLiteral("The file %1 could not be written: %2").arg(state.handOverFolder + name, why);
        HandOverFiles::removeFile(state, partial);
        return false;
    }
    return true;
}

} // namespace

namespace ActivityInputFile {

QByteArray phraseIds(const AppState& state)
{
    const int count = qBound(0, state.StudyPhraseCount, AppState::MaxStudyPhrases);
    std::vector<PhraseIdentity> entries;
    for (int slot = 1; slot <= count; ++slot)
        entries.push_back({state.StudyPhrases[size_t(slot - 1)].SubjectFile,
                           state.StudyPhrases[size_t(slot - 1)].phraseNo});
    return PhraseIdsFile::contents(entries);
}

} // namespace ActivityInputFile

bool writeActivityFile(const AppState& state, const QString& subjectTitle, QString* error)
{
    // The phrase ids first: an activity that finds the input file finds them beside it.
    const QString name = state.activityInputFileName();
    return writeInPlace(state, PhraseIdsFile::pathFor(name), ActivityInputFile::phraseIds(state), error) &&
           writeInPlace(state, name, ActivityInputFile::contents(state, subjectTitle), error);
}
