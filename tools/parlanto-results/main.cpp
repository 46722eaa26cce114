// parlanto-results: writes the results recorded in the users database to a CSV file.
//
//   parlanto-results export [--phrases | --memory] [--learner NAME]
//                           [--database Users.dat | --server] [--subjects FOLDER]... FILE
//
// --phrases writes one row per answered phrase, --memory one row per learner and phrase with
// its memory state and next due date; phrase texts are read from the installed subject files
// (in the folders given, or Subjects/ beside the database and in the program folder).
// --server writes the whole class's results (or per-phrase rows) as the class server has them,
// read with the server settings and password the administration window kept for this user.
//   parlanto-results fit [--learner NAME] [--database Users.dat]
//
// fit prints, per learner, the reviews recorded, the memory-model weights in use and how well
// the fitted and the default weights predict the learner's history (mean log loss, and RMSE
// over 20 bins of the predicted chance of recall). A learner not yet fitted is fitted there
// and then for the figures; nothing is written.
// FILE "-" writes to the standard output. Without --database the users database is looked
// for where the program keeps it: beside this tool, in the program folder of a build tree,
// then in the per-user data folder (where an installed copy keeps it).
#include "platform/Files.h"
#include "platform/SecretStore.h"
#include "review/FsrsOptimizer.h"
#include "review/PhraseResults.h"
#include "state/AppState.h"
#include "state/Paths.h"
#include "users/ClassServer.h"
#include "users/PhraseResultsExport.h"
#include "users/ResultsExport.h"
#include "users/UsersDatabase.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// The users database of an installed copy for the user running the tool. Only looked at:
// a tool that reads creates no folder.
QString installedUsersDatabase()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return QString();
    return data + QLatin1Char('/') + app().edition.EditionTitle + QStringLiteral("/Users.dat");
}

QString findUsersDatabase()
{
    const QString here = ProgramFolder();
    QStringList candidates{here + QStringLiteral("Users.dat"), here + QStringLiteral("../program/Users.dat")};
    const QString installed = installedUsersDatabase();
    if (!installed.isEmpty())
        candidates << installed;
    for (const QString& c : candidates) {
        if (QFileInfo(c).isFile())
            return QFileInfo(c).absoluteFilePath();
    }
    return QString();
}

QStringList defaultSubjectFolders(const QString& usersDatabase)
{
    const QString here = ProgramFolder();
    return {QFileInfo(usersDatabase).absolutePath() + QStringLiteral("/Subjects"),
            here + QStringLiteral("Subjects"), here + QStringLiteral("../program/Subjects")};
}

// The program's template beside this tool or in the build tree's program folder.
QString findTemplate()
{
    const QString here = ProgramFolder();
    for (const QString& c :
         {here + QStringLiteral("Parlanto.tpl"), here + QStringLiteral("../program/Parlanto.tpl")}) {
        if (QFileInfo(c).isFile())
            return c;
    }
    return app().templateDatabasePath();
}

// The class's rows, as the server has them, in a users database at path.
bool readClass(const QString& path, QString* error)
{
    const ClassServerSettings settings = ClassServerSettings::load(app().edition.ProgramCode);
    if (!settings.isSet()) {
        *error = QStringLiteral("No class server is set: set one in the administration window.");
        return false;
    }
    PgConnection connection;
    const QString password = SecretStore::load(settings.secretName()).value_or(QString());
    return connection.connect(settings.target(password), error) &&
           ClassSync::mirrorClass(path, findTemplate(), connection, settings.className, error);
}

int fail(const QString& text, int code = 1)
{
    std::fprintf(stderr, "parlanto-results: %s\n", qPrintable(text));
    return code;
}

QString weightsText(const FsrsScheduler::Weights& w)
{
    QStringList parts;
    for (double x : w)
        parts << QString::number(x, 'f', 4);
    return parts.join(QLatin1Char(' '));
}

// The fit command: a block of lines per learner on the standard output.
int printFits(const QString& usersDatabase, const QString& only)
{
    QString error;
    auto learners = PhraseResults::learners(usersDatabase, &error);
    if (!learners)
        return fail(error);
    if (!only.isEmpty()) {
        if (!learners->contains(only))
            return fail(QStringLiteral("%1 has no answered phrases in %2.").arg(only, usersDatabase));
        *learners = QStringList{only};
    }
    for (const QString& name : *learners) {
        const auto histories = PhraseResults::historiesOf(usersDatabase, name, &error);
        std::optional<PhraseResults::FittedParameters> stored;
        if (!histories || !PhraseResults::fittedParameters(usersDatabase, name, &stored, &error))
            return fail(error);
        const FsrsOptimizer optimizer(*histories);
        std::optional<FsrsScheduler::Weights> fitted = stored ? stored->weights : std::nullopt;
        QString origin = QStringLiteral("not fitted yet");
        if (stored)
            origin = QStringLiteral("fitted %1 on %2 reviews%3")
                         .arg(PhraseResults::utcText(stored->utcSeconds))
                         .arg(stored->reviews)
                         .arg(stored->weights ? QString() : QStringLiteral(", no better than the defaults"));
        if (!fitted) {
            const FsrsOptimizer::Result now = optimizer.fit();
            if (now.fitted) {
                fitted = now.weights;
                origin += QStringLiteral("; fitted now, not kept");
            } else if (now.heldOut > 0) {
                origin += QStringLiteral("; fitted now to the older reviews, no better on the newest %1: log "
                                         "loss %2 against %3 of the defaults")
                              .arg(now.heldOut)
                              .arg(now.fittedLoss, 0, 'f', 4)
                              .arg(now.defaultLoss, 0, 'f', 4);
            }
        }
        std::printf("%s\n  reviews: %d (%d predicted: those on a later day than the one before)\n",
                    qPrintable(name), optimizer.reviewCount(), optimizer.predictedCount());
        const bool inUse = stored && stored->weights;
        std::printf("  in use: %s weights (%s)\n  %s\n", inUse ? "fitted" : "default", qPrintable(origin),
                    qPrintable(weightsText(inUse ? *stored->weights : FsrsScheduler::DefaultWeights)));
        const auto line = [&](const char* what, const FsrsScheduler::Weights& w) {
            const FsrsOptimizer::Metrics m = optimizer.evaluate(w);
            std::printf("  %-8s log loss %.4f  RMSE (bins) %.4f\n", what, m.logLoss, m.rmseBins);
        };
        if (fitted && !inUse)
            std::printf("  fitted now: %s\n", qPrintable(weightsText(*fitted)));
        if (fitted)
            line("fitted:", *fitted);
        else
            std::printf("  fitted:  none\n");
        line("default:", FsrsScheduler::DefaultWeights);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    const QString installed = installedUsersDatabase();
    parser.setApplicationDescription(
        QStringLiteral(
            "Writes the learners' results to a CSV file (UTF-8, RFC 4180, ISO 8601 dates).\n\n"
            "Without --database it reads the users database an installed copy keeps for this user:\n"
            "  %1\nA copy run from its build tree or from a folder it may write keeps its "
            "users database\nin its program folder, which is looked at first.")
            .arg(installed.isEmpty()
                     ? QStringLiteral("~/.local/share/%1/Users.dat").arg(app().edition.EditionTitle)
                     : installed));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("export"),
                                 QStringLiteral("The command: export, or fit (the memory model of each "
                                                "learner, printed)."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The CSV file to write, - for the "
                                                                        "standard output."));
    const QCommandLineOption learner(
        QStringLiteral("learner"), QStringLiteral("Only the results of this learner (first and last name)."),
        QStringLiteral("NAME"));
    const QCommandLineOption database(QStringLiteral("database"),
                                      QStringLiteral("The users database to read (Users.dat)."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption phrases(QStringLiteral("phrases"),
                                     QStringLiteral("One row per answered phrase instead of per result."));
    const QCommandLineOption memory(
        QStringLiteral("memory"),
        QStringLiteral("One row per learner and phrase: its memory state and next due "
                       "date."));
    const QCommandLineOption subjects(
        QStringLiteral("subjects"),
        QStringLiteral("A folder of installed subject files to read phrase texts "
                       "from (may be repeated)."),
        QStringLiteral("FOLDER"));
    parser.addOption(learner);
    parser.addOption(database);
    parser.addOption(phrases);
    parser.addOption(memory);
    const QCommandLineOption server(
        QStringLiteral("server"), QStringLiteral("The whole class's results, read from the class server set "
                                                 "in the administration window."));
    parser.addOption(subjects);
    parser.addOption(server);
    // A mistake on the command line exits with 2, as a wrong command does.
    if (!parser.parse(application.arguments()))
        return fail(parser.errorText(), 2);
    parser.process(application); // --help and --help-all: the arguments are known to be right

    const QStringList args = parser.positionalArguments();
    const bool fit = args.size() == 1 && args[0] == QLatin1String("fit");
    if (!fit && (args.size() != 2 || args[0] != QLatin1String("export")))
        return fail(QStringLiteral("usage: parlanto-results export [--phrases | --memory] [--learner NAME] "
                                   "[--database FILE | --server] FILE\n       parlanto-results fit [--learner NAME] "
                                   "[--database FILE]"),
                    2);
    if (parser.isSet(server) && parser.isSet(database))
        return fail(QStringLiteral("--server and --database cannot be given together."), 2);
    QString error;
    QTemporaryDir classFolder;
    QString usersDatabase;
    if (parser.isSet(server)) {
        if (!classFolder.isValid())
            return fail(QStringLiteral("No temporary folder for the class's results: ") +
                        classFolder.errorString());
        usersDatabase = classFolder.filePath(QStringLiteral("Users.dat"));
        if (!readClass(usersDatabase, &error))
            return fail(QStringLiteral("The class's results cannot be read from the server: ") + error);
    } else {
        usersDatabase = parser.isSet(database) ? parser.value(database) : findUsersDatabase();
    }
    if (usersDatabase.isEmpty())
        return fail(QStringLiteral("No users database was found; name one with --database."));
    if (fit)
        return printFits(usersDatabase, parser.value(learner));

    qsizetype count = 0;
    if (parser.isSet(phrases) && parser.isSet(memory))
        return fail(QStringLiteral("--phrases and --memory cannot be given together."), 2);
    if (parser.isSet(phrases) || parser.isSet(memory)) {
        const QStringList folders = parser.isSet(subjects) ? parser.values(subjects)
                                    : parser.isSet(server) ? defaultSubjectFolders(findUsersDatabase())
                                                           : defaultSubjectFolders(usersDatabase);
        const auto bytes = parser.isSet(phrases)
                               ? PhraseResultsExport::phrasesBytes(usersDatabase, parser.value(learner),
                                                                   folders, &error, &count)
                               : PhraseResultsExport::memoryBytes(usersDatabase, parser.value(learner),
                                                                  folders, &error, &count);
        if (!bytes)
            return fail(error);
        if (args[1] == QLatin1String("-"))
            return std::fwrite(bytes->constData(), 1, size_t(bytes->size()), stdout) == size_t(bytes->size())
                       ? 0
                       : 1;
        if (!writeFileAtomically(args[1], *bytes, &error))
            return fail(error);
        std::fprintf(stdout, "%lld %s written to %s\n", static_cast<long long>(count),
                     parser.isSet(phrases) ? "phrase results" : "phrases", qPrintable(args[1]));
        return 0;
    }
    if (args[1] == QLatin1String("-")) {
        ResultsFilter filter;
        filter.learner = parser.value(learner);
        const auto entries = ResultsHistory::load(usersDatabase, filter, &error);
        if (!entries)
            return fail(error);
        const QByteArray bytes = ResultsExport::csv(*entries);
        return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size()) ? 0
                                                                                                       : 1;
    }
    if (!ResultsExport::exportResults(usersDatabase, parser.value(learner), args[1], &error, &count))
        return fail(error);
    std::fprintf(stdout, "%lld results written to %s\n", static_cast<long long>(count), qPrintable(args[1]));
    return 0;
}
