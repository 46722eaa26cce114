// A separate process around the users database, for the tests that need one: "list" opens
// the list of learners as the login does (as another user, or with a file size limit that
// makes every write fail like a full disk) and prints what came of it; "hold" keeps the
// file locked until its standard input closes; "add" adds a learner when told to.
#include "platform/Database.h"
#include "users/UsersDatabase.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

namespace {

int list(const QStringList& args)
{
    if (args.size() > 4 && args.at(4) == QLatin1String("--file-size-limit")) {
        // Writes past the limit fail with EFBIG instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = rlim_t(args.value(5).toLongLong());
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 3;
    }
    const LearnerList list = UsersDatabase(args.at(2), args.at(3)).openLearnerList();
    QTextStream out(stdout);
    out << "outcome=" << int(list.outcome) << '\n'
        << "failure=" << int(list.failure) << '\n'
        << "count=" << list.learners.size() << '\n'
        << "error=" << QString(list.error).replace(QLatin1Char('\n'), QLatin1Char(' ')) << '\n';
    return 0;
}

int hold(const QStringList& args)
{
    QString error;
    auto db = Database::open(args.at(2), Database::TemplatePassword, Database::Mode::ReadWrite, &error);
    if (!db || !db->exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE"), &error) ||
        !db->exec(QStringLiteral("BEGIN EXCLUSIVE"), &error)) {
        QTextStream(stderr) << error << '\n';
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    db->exec(QStringLiteral("COMMIT"));
    return 0;
}

// "add": reads the list as the login does (making the file), says "ready", waits for a line
// on its standard input and then adds a learner, as a second program's profile window does.
int add(const QStringList& args)
{
    const UsersDatabase users(args.at(2), args.at(3));
    const LearnerList list = users.openLearnerList();
    std::printf("count=%lld\nready\n", static_cast<long long>(list.learners.size()));
    std::fflush(stdout);
    std::getchar();
    QString error;
    bool administrator = false;
    const auto key =
        users.addLearner({0, args.at(4), QStringLiteral("Rossi"), {}, 1}, &error, &administrator);
    QTextStream out(stdout);
    out << "key=" << (key ? *key : -1) << '\n'
        << "administrator=" << (administrator ? 1 : 0) << '\n'
        << "error=" << error << '\n';
    return key ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() >= 4 && args.at(1) == QLatin1String("list"))
        return list(args);
    if (args.size() >= 3 && args.at(1) == QLatin1String("hold"))
        return hold(args);
    if (args.size() >= 5 && args.at(1) == QLatin1String("add"))
        return add(args);
    QTextStream(stderr) << "usage: UsersProbe list <users> <template> [--file-size-limit BYTES]\n"
                           "       UsersProbe hold <users>\n"
                           "       UsersProbe add <users> <template> <first name>\n";
    return 2;
}
