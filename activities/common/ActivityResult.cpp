#include "ActivityResult.h"

#include "users/UsersDatabase.h"

#include <QDateTime>
#include <QMessageBox>

#include <cmath>

namespace ActivityResult {

int percentage(int right, int total)
{
    return total > 0 ? int(std::lround(100.0 * right / total)) : 0;
}

QString scoreText(int right, int total)
{
    return QStringLiteral("%1/%2 (%3%)").arg(right).arg(total).arg(percentage(right, total));
}

bool record(QWidget* window, const ActivityInput& input, const QString& activity, int right, int total,
            const QString& failureText, QString* error)
{
    ScoreRow score;
    score.tName = input.user;
    score.tActivity = activity;
    score.tSubject = input.subject;
    score.textScore = scoreText(right, total);
    score.numberScore = percentage(right, total);
    score.setWhen(QDateTime::currentDateTime());
    QString why;
    if (appendScore(input.usersDatabase, score, &why))
        return true;
    if (why.isEmpty())
        why = QStringLiteral("unknown error");
    if (error)
        *error = why;
    QMessageBox box(QMessageBox::Warning, window ? window->windowTitle() : activity,
                    failureText + QStringLiteral("\n\n") + *score.textScore + QStringLiteral("\n\n") + why,
                    QMessageBox::Ok, window);
    box.setTextFormat(Qt::PlainText);
    if (!qEnvironmentVariableIsSet("PARLANTO_ACTIVITY_NO_DIALOGS"))
        box.exec();
    return false;
}

} // namespace ActivityResult
