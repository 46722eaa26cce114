#include "SubjectProblem.h"
#include "state/CaptionId.h"

#include "content/WebPage.h"
#include "state/AppState.h"
#include "subjects/SubjectCheck.h"
#include "widgets/Dialogs.h"

void reportSubjectProblem(const QString& fileName, const QString& verdict, QWidget* parent)
{
    const AppState& s = app();
    const QString kind = verdictKind(verdict);
    if (kind == QLatin1String("VALID"))
        return;
    if (kind == QLatin1String("WRONG_LANGUAGE")) {
        Dialogs::message(parent, {s.captions(Caption::Subject),
                                  fileName + s.captions(Caption::OfAnotherEdition) + QLatin1Char(' ') +
                                      s.edition.EditionTitle,
                                  QMessageBox::Warning, QMessageBox::Ok});
        return;
    }
    const QString text = verdict + QStringLiteral("\n\n") + fileName + s.captions(Caption::CouldNotBeRead) +
                         QStringLiteral("\n\n") + s.captions(Caption::OpenSubjectsPage);
    if (Dialogs::message(parent, {s.captions(Caption::Subject), text, QMessageBox::NoIcon,
                                  QMessageBox::Yes | QMessageBox::No}) == QMessageBox::Yes)
        OpenWebPage(QStringLiteral("subjects.htm"));
}
