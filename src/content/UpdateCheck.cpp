#include "UpdateCheck.h"
#include "state/CaptionId.h"

#include "BuildInfo.h"
#include "content/WebPage.h"
#include "platform/Web.h"
#include "state/AppState.h"
#include "widgets/Dialogs.h"

#include <QFile>
#include <QTextStream>
#include <QUrl>

namespace {
// The answer is a line or two; anything bigger is not an answer file.
constexpr qint64 MaxAnswerBytes = 64 * 1024;
constexpr int AnswerTimeoutMs = 15000;
} // namespace

namespace UpdateCheck {

QString requestAddress(const QString& site)
{
    return Web::joinUrl(site, QStringLiteral("updates/Ver_%1_%2_%3.txt")
                                  .arg(BuildInfo::VersionMajor)
                                  .arg(BuildInfo::VersionMinor)
                                  .arg(BuildInfo::VersionRevision));
}

QString answerFile(const QString& tempFolder, const QDateTime& now)
{
    return tempFolder + QLatin1Char('~') + now.toString(QStringLiteral("MMddyyyyhhmmss")) +
           QStringLiteral(".tmp");
}

std::optional<Answer> readAnswer(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    QTextStream in(&f);
    in.setEncoding(QStringConverter::Utf8);
    QString last;
    bool any = false;
    while (!in.atEnd()) {
        last = in.readLine();
        any = true;
    }
    if (!any)
        return std::nullopt;
    const QStringList fields = last.split(QLatin1Char(','));
    if (fields.size() < 2)
        return std::nullopt;
    return Answer{fields.at(0).trimmed().toUpper(), fields.at(1).trimmed()};
}

bool checkForUpdate(QWidget* parent, const QDateTime& now)
{
    const AppState& s = app();
    const QString file = answerFile(s.tempFolder, now);
    if (!Web::DownloadFile(requestAddress(s.captions(Caption::WebSite)), file, AnswerTimeoutMs,
                           MaxAnswerBytes))
        return false;
    const std::optional<Answer> answer = readAnswer(file);
    QFile::remove(file);
    if (!answer)
        return false;

    const QString downloadPage =
        Web::joinUrl(s.captions(Caption::WebSite), s.captions(Caption::DownloadPage));
    const QString title = s.captions(Caption::NewVersionAvailable);
    if (Dialogs::askYesNo(
            parent, answer->text + QStringLiteral("\n\n") + s.captions(Caption::OpenDownloadPage), title))
        openWithDesktop(QUrl(downloadPage));
    else
        Dialogs::inform(parent, s.captions(Caption::DownloadLaterFrom) + QLatin1Char(' ') + downloadPage,
                        QMessageBox::NoIcon, title);
    return answer->keyword == QLatin1String("YES");
}

} // namespace UpdateCheck
