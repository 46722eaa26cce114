#include "PhraseSound.h"

#include "platform/Files.h"
#include "state/AppState.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectFile.h"

namespace PhraseSound {

QString temporaryFile()
{
    return app().tempFolder + QStringLiteral("~selectedphrase.wav");
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
    // The whole file is replaced, so a longer earlier sound leaves nothing behind.
    if (!writeFileAtomically(temporaryFile(), phrase->bsound, error))
        return Outcome::Failed;
    return Outcome::Extracted;
}

} // namespace PhraseSound
