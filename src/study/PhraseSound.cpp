#include "PhraseSound.h"

#include "platform/Files.h"
#include "platform/WaveFile.h"
#include "state/AppState.h"
#include "study/HandOverFiles.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectFile.h"

namespace PhraseSound {

namespace {
QString fileName()
{
    return QStringLiteral("~phrase.wav");
}
} // namespace

QString temporaryFile()
{
    return app().handOverFolder + fileName();
}

Outcome extract(const QString& subjectFileName, const QString& phraseNumber, QString* error)
{
    // A tag naming "../x" or a folder must not lead outside the installed subjects folder.
    const QString path = installedSubjectPath(subjectFileName);
    if (path.isEmpty() || !FileExists(path))
        return Outcome::NoSubjectFile;

    bool ok = false;
    const qint64 number = phraseNumber.trimmed().toLongLong(&ok);
    if (!ok) {
        if (error)
            *error = QStringLiteral("\"%1\" is not a phrase number").arg(phraseNumber);
        return Outcome::Failed;
    }
    bool found = false;
    const std::optional<Phrase> phrase = InstalledSubject::phrase(path, number, true, &found, error);
    if (!phrase)
        return Outcome::Failed;
    if (!found) {
        if (error)
            *error = QStringLiteral("phrase %1 is not in %2").arg(number).arg(subjectFileName);
        return Outcome::Failed;
    }
    // Never in the shared temporary folder, where another user could plant a link at the
    // name: in this launcher's private folder, as a new file (a sound still playing keeps
    // the old one until it ends).
    AppState& state = app();
    if (state.handOverFolder.isEmpty() && !HandOverFiles::prepare(state, error))
        return Outcome::Failed;
    QString why;
    if (!HandOverFiles::writeFile(state, fileName(), withTruthfulSizes(phrase->bsound), &why)) {
        if (error)
            *error = QStringLiteral("The file %1 could not be written: %2").arg(temporaryFile(), why);
        return Outcome::Failed;
    }
    return Outcome::Extracted;
}

} // namespace PhraseSound
