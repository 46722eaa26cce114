#include "UpdateCheck.h"
#include "state/CaptionId.h"

#include "BuildInfo.h"
#include "content/WebPage.h"
#include "platform/Web.h"
#include "state/AppState.h"
#include "widgets/Dialogs.h"

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

std::optional<Answer> readAnswer(const QByteArray& answer)
{
    if (answer.isEmpty())
        return std::nullopt;
    QStringList lines = QString::fromUtf8(answer).split(QLatin1Char('\n'));
    // A last line end closes the last line; it does not open an empty one.
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    QString last = lines.last();
    if (last.endsWith(QLatin1Char('\r')))
        last.chop(1);
    const QStringList fields = last.split(QLatin1Char(','));
    if (fields.size() < 2)
        return std::nullopt;
    return Answer{fields.at(0).trimmed().toUpper(), fields.at(1).trimmed()};
}

bool checkForUpdate(QWidget* parent)
{
    const AppState& s = app();
    const auto body =
        Web::download(requestAddress(s.captions(Caption::WebSite)), AnswerTimeoutMs, MaxAnswerBytes);
    if (!body)
        return false;
    const std::optional<Answer> answer = readAnswer(*body);
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
