// One machine of a class: records results with their per-phrase rows into its own users
// database, one row and one connection at a time as activities do, while the launcher's sender
// sends them to the class server in the background; then sends until nothing is left,
// through any outage of the server. Exits 0 once the server committed every row.
// Usage: class_machine_process <Users.dat> <port> <class> <role> <password> <machine> <results>
// Machine m's result i has the subject "m<m>-<i>" and three phrases "m<m>.ita" 3i+1 .. 3i+3.
#include "review/PhraseResults.h"
#include "users/ClassServer.h"
#include "users/ResultsSender.h"
#include "users/UsersDatabase.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() != 8) {
        std::fprintf(stderr,
                     "usage: class_machine_process <Users.dat> <port> <class> <role> <password> <machine> "
                     "<results>\n");
        return 2;
    }
    const QString users = args[1];
    ClassServerSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = args[2].toInt();
    settings.database = QStringLiteral("school");
    settings.className = args[3];
    settings.role = args[4];
    const QString password = args[5];
    const int machine = args[6].toInt(), results = args[7].toInt();
    const QString learner = QStringLiteral("Learner %1").arg(machine);

    ResultsSender sender;
    sender.start(users, settings, password, 200);
    for (int i = 0; i < results; ++i) {
        ScoreRow score;
        score.tName = learner;
        score.tActivity = QStringLiteral("Flashcards");
        score.tSubject = QStringLiteral("m%1-%2").arg(machine).arg(i);
        score.numberScore = i;
        score.setWhen(QDateTime::currentDateTime());
        std::vector<PhraseResultRow> phrases;
        for (int k = 1; k <= 3; ++k)
            phrases.push_back({learner,
                               {QStringLiteral("m%1.ita").arg(machine), 3 * i + k},
                               QStringLiteral("Flashcards"),
                               1700000000 + i,
                               Grade((i + k) % 4 + 1)});
        QString error;
        if (!appendScore(users, score, phrases, &error)) {
            std::fprintf(stderr, "result %d: %s\n", i, qPrintable(error));
            return 1;
        }
    }
    sender.stop();
    // Whatever the background sender had not sent yet.
    const QDeadlineTimer deadline(150000);
    QString error;
    for (;;) {
        PgConnection connection;
        if (ClassSync::prepareIdentities(users, &error) &&
            connection.connect(settings.target(password), &error) &&
            ClassSync::sendPending(users, connection, settings.className, &error))
            break;
        if (deadline.hasExpired()) {
            std::fprintf(stderr, "machine %d: not everything sent: %s\n", machine, qPrintable(error));
            return 1;
        }
        QThread::msleep(100);
    }
    const auto unsent = ClassSync::unsentScores(users, &error);
    return unsent && *unsent == 0 ? 0 : 1;
}
