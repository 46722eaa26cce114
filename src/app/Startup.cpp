#include "Startup.h"
#include "state/CaptionId.h"

#include "app/MainWindow.h"
#include "app/SplashWindow.h"
#include "app/WindowFlow.h"
#include "content/FileLists.h"
#include "content/PublishedSettings.h"
#include "content/TemplateContent.h"
#include "content/UpdateCheck.h"
#include "platform/Clock.h"
#include "platform/EndSignals.h"
#include "platform/Files.h"
#include "platform/SingleInstance.h"
#include "platform/Web.h"
#include "review/ImportedHistory.h"
#include "state/AppState.h"
#include "state/Paths.h"
#include "study/ActivityPanel.h"
#include "study/HandOverFiles.h"
#include "import/ImportWindow.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectProblem.h"
#include "subjects/SubjectTree.h"
#include "import/VocabularyImport.h"
#include "users/UsersBackup.h"
#include "widgets/Dialogs.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QScreen>
#include <QTranslator>

namespace {
std::optional<QSize>& screenOverride()
{
    static std::optional<QSize> size;
    return size;
}
} // namespace

namespace Startup {

void setScreenSizeForTests(std::optional<QSize> size)
{
    screenOverride() = size;
}

QSize screenSize()
{
    if (screenOverride())
        return *screenOverride();
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QSize();
    // The windows are laid out in device-independent pixels: a screen of 1280 x 800 pixels
    // shown at twice the size holds what a screen of 640 x 400 holds.
    return screen->size();
}

bool installQtTranslations(QCoreApplication& application, const QString& interfaceLanguage)
{
    if (interfaceLanguage != QLatin1String("Spanish"))
        return true;
    // Owned by the application, so it lives as long as the texts are used.
    auto* translator = new QTranslator(&application);
    if (!translator->load(QLocale(QLocale::Spanish), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

bool checkResolution(const QSize& screenPixels, QWidget* parent)
{
    if (qint64(screenPixels.width()) * screenPixels.height() >= 460000)
        return true;
    const Captions& c = app().captions;
    const auto answer = Dialogs::message(
        parent, {QString(), c(Caption::ScreenTooSmall) + QStringLiteral("\n\n") + c(Caption::ContinueAnyway),
                 QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No});
    return answer != QMessageBox::No;
}

QString addOpenedFile(const QString& path, QWidget* parent)
{
    const AppState& s = app();
    const Captions& c = s.captions;
    if (VocabularyImport::isVocabularyFile(path)) // made into subjects of the learner's own
        return ImportWindow::importFile(path, parent, &ImportedHistory::keepForLoggedInLearner).value(0);
    const SubjectImport import = checkSubjectImport(s, path);
    const QString name = QFileInfo(path).fileName();
    switch (import.kind) {
    case SubjectImport::Refused:
        reportSubjectProblem(name, import.verdict, parent);
        return QString();
    case SubjectImport::WrongName:
        Dialogs::inform(parent, c(Caption::FileCannotBeAdded) + QStringLiteral("\n\n") + path +
                                    QStringLiteral("\n\n") + c(Caption::SubjectFileEndings) +
                                    QStringLiteral(" .%1 / .v%1").arg(s.edition.LanguageCode));
        return QString();
    case SubjectImport::InstalledSubjectFile:
    case SubjectImport::VirtualSubjectFile:
        break;
    }
    if (import.sameFile)
        return name;
    if (import.exists &&
        !Dialogs::askYesNo(parent,
                           c(Caption::SameSubjectExists) + QStringLiteral("\n\n") + import.target +
                               QStringLiteral("\n\n") + c(Caption::ReplaceWithOpened),
                           QString(), QMessageBox::Question))
        return QString();
    QString error;
    if (!copySubjectImport(path, import, import.exists, &error)) {
        Dialogs::reportError(QStringLiteral("addOpenedFile"), error, parent);
        return QString();
    }
    return name;
}

bool start(WindowFlow& flow, const QString& openedFile)
{
    MainWindow& window = flow.mainWindow();
    AppState& s = app();
    if (s.programFolder.isEmpty())
        s.programFolder = ProgramFolder();

    QString error;
    if (!TemplateContent::loadCaptions(s.templateDatabasePath(), s.edition.InterfaceLanguage, &s.captions,
                                       &error))
        Dialogs::reportError(QStringLiteral("Get_Captions"), error);
    if (!setPaths(s, &error)) {
        Dialogs::reportError(QStringLiteral("Set_Paths"), error);
        if (s.dataFolder.isEmpty())
            return false; // no folder of its own: nothing may be written anywhere else
    }
    // One copy per learner's users database: a second start hands its file to the copy
    // that runs and ends before it shows anything.
    // Its socket lives in the learner's private folder of the program's running files.
    QString folderError;
    const QString privateFolder = userPrivateFolder(s.runtimeFolder, s.tempFolder, &folderError);
    if (privateFolder.isEmpty())
        qWarning("No private folder for the running program's files: %s", qPrintable(folderError));
    auto* instance =
        new SingleInstance(s.editionKey() + QLatin1Char('\n') + s.dataFolder, privateFolder, &flow);
    QStringList handed;
    if (!openedFile.isEmpty())
        handed << openedFile;
    switch (instance->claim(handed, &error)) {
    case SingleInstance::Role::Secondary:
        return false;
    case SingleInstance::Role::Failed:
        qWarning("Another running copy cannot be found: %s", qPrintable(error));
        break;
    case SingleInstance::Role::Primary:
        QObject::connect(instance, &SingleInstance::activationRequested, &flow, &WindowFlow::bringToFront);
        break;
    }
    if (takeTemporaryDataNotice(s))
        Dialogs::inform(nullptr, s.captions(Caption::NoDataFolder) + QLatin1Char('\n') + s.dataFolder);
    // Early, so that what ended launchers left is cleared before anything is studied.
    if (!HandOverFiles::prepare(s, &error))
        Dialogs::reportError(QStringLiteral("Set_Paths"), error);
    PublishedSettings::publishFolders(s);
    window.setActivityFiles(FileLists::activityPrograms(s.activitiesFolder));

    // Before the splash, so that a question about the file is never hidden behind it.
    const QString added = openedFile.isEmpty() ? QString() : addOpenedFile(openedFile);

    QPointer<SplashWindow> splash = new SplashWindow();
    splash->show();
    window.loadSettings();
    // A copy of the learners and results once a day, before anything can change them. A
    // file that cannot be copied (damaged) is the login window's to report.
    if (QString backupError; !UsersBackup::forApp().takeDailyCopy(Clock::now(), &backupError))
        qWarning("The daily backup of the users database failed: %s", qPrintable(backupError));
    flow.startSending();
    flow.createLoginWindow();
    // Long enough for the splash to be seen; the window keeps repainting meanwhile.
    Pause(1);

    window.subjectTree()->createFolders();
    window.subjectTree()->loadSubjects();
    window.subjectTree()->loadVirtualSubjects();
    window.subjectTree()->selectFile(added);
    window.loadMenuLinks();
    window.loadSystemMessages();
    window.loadTips();
    window.activityPanel()->loadActivities();

    // Closed early by a key press, the splash is already gone.
    if (splash) {
        splash->close();
        delete splash.data(); // now, so that it leaves the accessibility tree at once
    }
    if (window.hasEnded())
        return false;
    flow.showLoginWindow();

    if (!checkResolution(screenSize()))
        return false;

    const QDateTime today = Clock::now();
    if (PublishedSettings::updateCheckEnabled(s.editionKey()) &&
        PublishedSettings::updateCheckDue(s.editionKey(), today.date(), &Web::IsConnected) &&
        UpdateCheck::checkForUpdate(nullptr)) {
        window.endProgram();
        return false;
    }
    return !window.hasEnded();
}

int run(QApplication& application, const QString& openedFile)
{
    app().programFolder = ProgramFolder();
    // Without them the standard buttons stay in English, which the learner still understands.
    installQtTranslations(application, app().edition.InterfaceLanguage);
    MainWindow window;
    WindowFlow flow(window);
    // Ended by a signal (a logout, a kill), the program leaves the way a close does.
    EndSignals::install([&window](int) { window.endProgram(); });
    const int code = start(flow, openedFile) ? application.exec() : 0;
    EndSignals::install({});
    // Whichever way the program ends, the files handed to activities go with it.
    HandOverFiles::removeAll(app());
    return code;
}

} // namespace Startup
