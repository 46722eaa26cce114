#include "InstalledSubjects.h"

#include "platform/NaturalOrder.h"

#include "subjects/SubjectCheck.h"

#include "platform/Files.h"
#include "state/AppState.h"
#include "subjects/SubjectFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

QStringList installedSubjectNames(const AppState& state)
{
    QStringList names = installedSubjectFiles(state.installedSubjectsFolder, state.edition.LanguageCode);
    if (!state.learnerSubjectsFolder.isEmpty() &&
        state.learnerSubjectsFolder != state.installedSubjectsFolder) {
        // A set: thousands of subjects must not cost a search of the list per name.
        const QSet<QString> shipped(names.cbegin(), names.cend());
        for (const QString& name :
             installedSubjectFiles(state.learnerSubjectsFolder, state.edition.LanguageCode)) {
            if (!shipped.contains(name))
                names << name;
        }
        NaturalOrder::sort(names);
    }
    return names;
}

QString installedSubjectPath(const AppState& state, const QString& fileName)
{
    // A name read from a file must stay a plain name inside the folders.
    if (installedSubjectPath(state.installedSubjectsFolder, fileName).isEmpty())
        return QString();
    if (!state.learnerSubjectsFolder.isEmpty() &&
        state.learnerSubjectsFolder != state.installedSubjectsFolder) {
        const QString mine = state.learnerSubjectsFolder + fileName;
        if (QFileInfo(mine).isFile())
            return mine;
    }
    return state.installedSubjectsFolder + fileName;
}

SubjectImport checkSubjectImport(const AppState& state, const QString& path)
{
    SubjectImport import;
    const QFileInfo info(path);
    const QString name = info.fileName();
    const QString suffix = info.suffix();
    const QString code = state.edition.LanguageCode;
    QString error;
    if (!info.isFile()) {
        import.verdict = QStringLiteral("%1: no such file").arg(path);
        return import;
    }
    // No subject comes near this; a bigger file is not read at all.
    if (info.size() > MaxSubjectFileBytes) {
        import.verdict = QStringLiteral("%1 is %2 MB, larger than any subject file can be (at most %3 MB).")
                             .arg(path)
                             .arg(info.size() >> 20)
                             .arg(MaxSubjectFileBytes >> 20);
        return import;
    }
    if (const auto subjects = VirtualSubjectFile::subjects(path, &error);
        subjects && !InstalledSubject::programCode(path, &error)) {
        import.kind = suffix.compare(QStringLiteral("v") + code, Qt::CaseInsensitive) == 0
                          ? SubjectImport::VirtualSubjectFile
                          : SubjectImport::WrongName;
        import.target = state.virtualSubjectsFolder + name;
    } else {
        import.verdict = checkSubjectFileAndTexts(path, state.edition.ProgramCode);
        if (import.verdict != QLatin1String("VALID"))
            return import;
        import.kind = suffix.compare(code, Qt::CaseInsensitive) == 0 ? SubjectImport::InstalledSubjectFile
                                                                     : SubjectImport::WrongName;
        import.target = (state.learnerSubjectsFolder.isEmpty() ? state.installedSubjectsFolder
                                                               : state.learnerSubjectsFolder) +
                        name;
    }
    const QFileInfo target(import.target);
    import.exists = target.exists() || target.isSymLink();
    import.sameFile = import.exists && target.canonicalFilePath() == info.canonicalFilePath();
    return import;
}

bool copySubjectImport(const QString& path, const SubjectImport& import, bool replace, QString* error)
{
    if (import.sameFile)
        return true;
    if (QFileInfo::exists(import.target) && !replace) {
        if (error)
            *error = QStringLiteral("%1 already exists").arg(import.target);
        return false;
    }
    const QString folder = QFileInfo(import.target).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("The folder %1 cannot be created.").arg(folder);
        return false;
    }
    // A stream: the file is never held in memory whole.
    return copyFileAtomically(path, import.target, error);
}
