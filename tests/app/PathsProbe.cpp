// Runs the start-up folder logic for the program folder given on the command line and
// prints the folders it chose, one "name=value" line each. TestPaths runs it as another
// user, since only a real process shows what that user may write.
#include "state/AppState.h"
#include "state/Paths.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

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
        << "notice=" << (takeTemporaryDataNotice(state) ? 1 : 0) << '\n';
    return ok ? 0 : 1;
}
