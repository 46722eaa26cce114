// Hears one phrase of an installed subject through the program's own Listen path with the
// real player, in a process of its own, so that the corpus test can measure its memory:
//   ListenProbe <subjects folder> <subject file> <phrase number>
// Prints each message box ("box: <text>") and what the player was handed
// ("handed: <file bytes> <data bytes claimed> <data bytes held>").
#include "platform/WaveFile.h"
#include "state/AppState.h"
#include "study/HandOverFiles.h"
#include "study/PhraseMenu.h"
#include "study/PhraseSound.h"
#include "support/TestSupport.h"
#include "widgets/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() != 4) {
        QTextStream(stderr) << "usage: ListenProbe <subjects folder> <subject file> <phrase number>\n";
        return 2;
    }
    AppState& state = app();
    state.edition = *findEdition(QStringLiteral("prlita"));
    TestSupport::useNumberedCaptions(state);
    state.installedSubjectsFolder = args.at(1);
    state.tempFolder = QDir::tempPath() + QLatin1Char('/');
    QTextStream out(stdout);
    Dialogs::setHandlerForTests([&out](const Dialogs::Request& r) {
        out << "box: " << QString(r.text).replace(QLatin1Char('\n'), QLatin1Char(' ')) << '\n';
        out.flush();
        return QMessageBox::Ok;
    });
    PhraseMenu::listenTo(args.at(2), args.at(3), QStringLiteral("phrase"), QStringLiteral("Listen_to_Phrase"),
                         nullptr);
    QFile handed(PhraseSound::temporaryFile());
    if (handed.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = handed.readAll();
        const WaveInfo info = readWaveInfo(bytes);
        out << "handed: " << bytes.size() << ' ' << info.declaredDataBytes << ' ' << info.dataBytes << '\n';
    }
    HandOverFiles::removeAll(state);
    return 0;
}
