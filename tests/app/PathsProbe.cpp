// Runs the start-up folder logic for the program folder given on the command line and
// prints the folders it chose, one "name=value" line each; then makes the folder of the
// files handed to activities and claims the single running copy, handing over the file given
// as the second argument. With PROBE_SERVE_MS set, a probe that is the running copy serves
// that long and prints each hand-over it takes ("handed=<files>"). TestPaths runs it as
// another user, since only a real process shows what that user may write and reach.
#include "platform/Files.h"
#include "platform/SingleInstance.h"
#include "state/AppState.h"
#include "state/Paths.h"
#include "study/HandOverFiles.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>
#include <QTimer>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 2) {
        QTextStream(stderr) << "usage: PathsProbe <program folder>\n";
        return 2;
    }
    AppState& state = app();
    QStringList captions;
    for (int n = 1; n <= 11; ++n)
        captions << QString();
    captions[9] = QStringLiteral("Subjects");
    captions[10] = QStringLiteral("MySubjects");
    state.captions.setTexts(captions);
    state.programFolder = args.at(1);

    QString error;
    const bool ok = setPaths(state, &error);
    QTextStream out(stdout);
    out << "ok=" << (ok ? 1 : 0) << '\n'
        << "error=" << error << '\n'
        << "programFolder=" << state.programFolder << '\n'
        << "dataFolder=" << state.dataFolder << '\n'
        << "installedSubjectsFolder=" << state.installedSubjectsFolder << '\n'
        << "learnerSubjectsFolder=" << state.learnerSubjectsFolder << '\n'
        << "virtualSubjectsFolder=" << state.virtualSubjectsFolder << '\n'
        << "activitiesFolder=" << state.activitiesFolder << '\n'
        << "notice=" << (takeTemporaryDataNotice(state) ? 1 : 0) << '\n'
        << "runtimeFolder=" << state.runtimeFolder << '\n';
    if (!ok)
        return 1;
    QString handOverError;
    const bool prepared = HandOverFiles::prepare(state, &handOverError);
    out << "handOverFolder=" << state.handOverFolder << '\n' << "handOverError=" << handOverError << '\n';
    const QString privateFolder = userPrivateFolder(state.runtimeFolder, state.tempFolder, nullptr);
    SingleInstance instance(QStringLiteral("probe"), privateFolder);
    const QStringList files = args.size() > 2 ? QStringList{args.at(2)} : QStringList();
    const SingleInstance::Role role = instance.claim(files);
    out << "socket=" << instance.serverName() << '\n'
        << "role="
        << (role == SingleInstance::Role::Primary     ? "primary"
            : role == SingleInstance::Role::Secondary ? "secondary"
                                                      : "failed")
        << Qt::endl;
    const int serve = qEnvironmentVariableIntValue("PROBE_SERVE_MS");
    if (role == SingleInstance::Role::Primary && serve > 0) {
        QObject::connect(&instance, &SingleInstance::activationRequested, [&out](const QStringList& handed) {
            out << "handed=" << handed.join(QLatin1Char(',')) << Qt::endl;
        });
        QTimer::singleShot(serve, &application, &QCoreApplication::quit);
        application.exec();
    }
    HandOverFiles::removeAll(state);
    return prepared ? 0 : 1;
}
