#include "SubjectProblem.h"

#include "app/AppState.h"
#include "app/Dialogs.h"
#include "content/WebPage.h"
#include "subjects/SubjectCheck.h"

void Report_Subject_Problem(const QString& fileName, const QString& verdict, QWidget* parent)
{
    const AppState& s = app();
    const QString kind = verdictKind(verdict);
    if (kind == QLatin1String("VALID"))
        return;
    if (kind == QLatin1String("WRONG_LANGUAGE")) {
        Dialogs::message(parent, {s.captions(103),
                                  fileName + s.captions(5) + QLatin1Char(' ') + s.edition.EditionTitle,
                                  QMessageBox::Warning, QMessageBox::Ok});
        return;
    }
    const QString text = verdict + QStringLiteral("\n\n") + fileName + s.captions(6) +
                         QStringLiteral("\n\n") + s.captions(135);
    if (Dialogs::message(parent, {s.captions(103), text, QMessageBox::NoIcon,
                                  QMessageBox::Yes | QMessageBox::No}) == QMessageBox::Yes)
        OpenWebPage(QStringLiteral("subjects.htm"));
}
