#include "ActivityResult.h"

#include "users/UsersDatabase.h"

#include <QDateTime>
#include <QMessageBox>

#include <cmath>
#include <cstdio>

namespace ActivityResult {

int percentage(int right, int total)
{
    return total > 0 ? int(std::lround(100.0 * right / total)) : 0;
}

QString scoreText(int right, int total)
{
    return QStringLiteral("%1/%2 (%3%)").arg(right).arg(total).arg(percentage(right, total));
}

std::vector<PhraseResultRow> phraseRows(const ActivityInput& input, const QString& activity,
                                        const std::vector<std::optional<Grade>>& grades, qint64 utcSeconds)
{
    std::vector<PhraseResultRow> rows;
    if (input.path.isEmpty() || grades.empty())
        return rows;
    QString why;
    const auto ids = PhraseIdsFile::readBeside(input.path, &why);
    if (!ids || ids->size() != input.phrases.size()) {
        // The score is still recorded: the phrases are an extra the launcher may not give.
        if (!why.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(why));
        return rows;
    }
    for (size_t i = 0; i < ids->size() && i < grades.size(); ++i) {
        if (ids->at(i).isValid() && grades[i])
            rows.push_back({input.user, ids->at(i), activity, utcSeconds, *grades[i]});
    }
    return rows;
}

bool record(QWidget* window, const ActivityInput& input, const QString& activity, int right, int total,
            const QString& failureText, QString* error, const std::vector<std::optional<Grade>>& grades)
{
    ScoreRow score;
    score.tName = input.user;
    score.tActivity = activity;
    score.tSubject = input.subject;
    score.textScore = scoreText(right, total);
    score.numberScore = percentage(right, total);
    const QDateTime now = QDateTime::currentDateTime();
    score.setWhen(now);
    QString why;
    if (appendScore(input.usersDatabase, score, phraseRows(input, activity, grades, now.toSecsSinceEpoch()),
                    &why))
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
