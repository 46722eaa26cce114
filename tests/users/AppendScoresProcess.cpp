// Records results into a users database the way an activity program does, one score (with
// one per-phrase row, phrase number n) and one connection at a time, until a stop file
// appears beside the database. Each result the database acknowledged is reported on standard
// output as "ok <n>" (its numberScore).
// Usage: append_scores_process <Users.dat> <learner name>
#include "users/UsersDatabase.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: append_scores_process <Users.dat> <learner name>\n");
        return 2;
    }
    const QString stopFile = args[1] + QStringLiteral(".stop");
    for (int i = 1; !QFileInfo::exists(stopFile); ++i) {
        ScoreRow score;
        score.tName = args[2];
        score.tActivity = QStringLiteral("Flashcards");
        score.tSubject = QStringLiteral("Subject %1").arg(i % 3);
        score.textScore = QStringLiteral("%1/9").arg(i % 10 == 0 ? 9 : i % 10);
        score.numberScore = i;
        score.setWhen(QDateTime::currentDateTime());
        QString error;
        const std::vector<PhraseResultRow> phrase{
            {args[2], {QStringLiteral("Saluti.ita"), i}, score.tActivity, QDateTime::currentSecsSinceEpoch(), Grade::Good}};
        if (!appendScore(args[1], score, phrase, &error)) {
            std::fprintf(stderr, "row %d: %s\n", i, qPrintable(error));
            return 1;
        }
        std::printf("ok %d\n", i);
        std::fflush(stdout);
    }
    return 0;
}
