// Appends rows to tblscores one at a time, each with its own connection, as an activity
// program records its results. Usage: users_append_rows <Users.dat> <count> <learner name>
#include "users/UsersDatabase.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: users_append_rows <Users.dat> <count> <learner name>\n");
        return 2;
    }
    const QString path = args[1];
    const int count = args[2].toInt();
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        const QDateTime now = QDateTime::currentDateTime();
        ScoreRow row{args[3],
                     QStringLiteral("Memory"),
                     QStringLiteral("Subject %1").arg(i % 7),
                     QString(),
                     double(i),
                     now.toString(QStringLiteral("yyyy-MM-dd")),
                     now.toString(QStringLiteral("HH:mm:ss"))};
        QString error;
        if (!appendScore(path, row, &error)) {
            ++failures;
            std::fprintf(stderr, "row %d: %s\n", i, qPrintable(error));
        }
    }
    std::printf("%d appended, %d failed\n", count - failures, failures);
    return failures == 0 ? 0 : 1;
}
