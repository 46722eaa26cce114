#include "SubjectProblem.h"
#include "state/CaptionId.h"

#include "content/WebPage.h"
#include "state/AppState.h"
#include "subjects/SubjectCheck.h"
#include "widgets/Dialogs.h"

#include <QSet>

namespace {
// The files whose problem was reported in this run, with the verdict then.
QSet<QString>& reported()
{
    static QSet<QString> names;
    return names;
}
} // namespace

QString subjectProblemText(const QString& fileName, const QString& verdict)
{
    const Captions& c = app().captions;
    const QString v = verdict.toLower();
    if (v.contains(QLatin1String("the path is too long")))
        return c(Caption::PathTooLong) + QStringLiteral("\n\n") + fileName;
    // The database library's words mean nothing to a learner: they only tell which it is.
    if (v.contains(QLatin1String("malformed")) || v.contains(QLatin1String("corrupt")) ||
        v.contains(QLatin1String("disk i/o")))
        return c(Caption::FileDamaged) + QStringLiteral("\n\n") + fileName;
    if (v.contains(QLatin1String("not a database")) || v.contains(QLatin1String("encrypted")) ||
        v.contains(QLatin1String("no such table")) || v.contains(QLatin1String("no such column")) ||
        v.contains(QLatin1String("not the name of a subject")))
        return c(Caption::NotASubjectFile) + QStringLiteral("\n\n") + fileName;
    return fileName + c(Caption::CouldNotBeRead);
}

void reportSubjectProblem(const QString& fileName, const QString& verdict, QWidget* parent, Repeat repeat)
{
    const AppState& s = app();
    const QString kind = verdictKind(verdict);
    if (kind == QLatin1String("VALID"))
        return;
    if (kind == QLatin1String("WRONG_LANGUAGE")) {
        Dialogs::message(parent, {s.captions(Caption::Subject),
                                  fileName + s.captions(Caption::OfAnotherEdition) + QLatin1Char(' ') +
                                      s.edition.EditionTitle + QLatin1Char('.'),
                                  QMessageBox::Warning, QMessageBox::Ok});
        return;
    }
    const QString text = subjectProblemText(fileName, verdict);
    const QString key = fileName + QLatin1Char('\n') + verdict;
    if (reported().contains(key)) {
        if (repeat == Repeat::Tell)
            Dialogs::message(parent,
                             {s.captions(Caption::Subject), text, QMessageBox::Warning, QMessageBox::Ok});
        return;
    }
    reported().insert(key);
    if (Dialogs::message(parent, {s.captions(Caption::Subject),
                                  text + QStringLiteral("\n\n") + s.captions(Caption::OpenSubjectsPage),
                                  QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No,
                                  QMessageBox::No}) == QMessageBox::Yes)
        OpenWebPage(QStringLiteral("subjects.htm"));
}
