#include "UpdateCheck.h"

#include "BuildInfo.h"
#include "app/AppState.h"
#include "app/Dialogs.h"
#include "content/WebPage.h"
#include "platform/Web.h"

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

bool Check_For_Update(QWidget* parent)
{
    const AppState& s = app();
    const auto body = Web::download(requestAddress(s.captions(94)), AnswerTimeoutMs, MaxAnswerBytes);
    if (!body)
        return false;
    const std::optional<Answer> answer = readAnswer(*body);
    if (!answer)
        return false;

    const QString downloadPage = Web::joinUrl(s.captions(94), s.captions(67));
    const QString title = s.captions(98);
    if (Dialogs::askYesNo(parent, answer->text + QStringLiteral("\n\n") + s.captions(18), title))
        openWithDesktop(QUrl(downloadPage));
    else
        Dialogs::inform(parent, s.captions(68) + QLatin1Char(' ') + downloadPage, QMessageBox::NoIcon, title);
    return answer->keyword == QLatin1String("YES");
}

} // namespace UpdateCheck
