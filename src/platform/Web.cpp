#include "Web.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkInformation>
#include <QNetworkReply>
#include <QTimer>
#include <QUrl>

namespace {
std::optional<bool>& connectedOverride()
{
    static std::optional<bool> value;
    return value;
}
} // namespace

namespace Web {

void setConnectedForTests(std::optional<bool> connected)
{
    connectedOverride() = connected;
}

bool IsConnected()
{
    if (connectedOverride())
        return *connectedOverride();
    static bool tried = false;
    static bool loaded = false;
    if (!tried) {
        tried = true;
        loaded = QNetworkInformation::loadDefaultBackend() &&
                 QNetworkInformation::instance()->supports(QNetworkInformation::Feature::Reachability);
    }
    if (!loaded)
        return true;
    return QNetworkInformation::instance()->reachability() != QNetworkInformation::Reachability::Disconnected;
}

QString joinUrl(const QString& base, const QString& page)
{
    QString b = base;
    while (b.endsWith(QLatin1Char('/')))
        b.chop(1);
    QString p = page;
    while (p.startsWith(QLatin1Char('/')))
        p.remove(0, 1);
    return b + QLatin1Char('/') + p;
}

std::optional<QByteArray> download(const QString& url, int timeoutMs, qint64 maxBytes)
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
    // Only web addresses: an address read from a file must not reach local files.
    const QUrl address(url);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        address.host().isEmpty() || timeoutMs <= 0 || maxBytes < 0)
        return std::nullopt;

    QNetworkAccessManager manager;
    QNetworkRequest request(address);
    // Redirects are followed only on the address's own scheme, host and port: the address
    // is the only one the learner trusts.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setTransferTimeout(timeoutMs);
    QNetworkReply* reply = manager.get(request);
    const int defaultPort = scheme == QLatin1String("https") ? 443 : 80;
    QObject::connect(reply, &QNetworkReply::redirected, reply,
                     [reply, address, defaultPort](const QUrl& target) {
                         const QUrl next = address.resolved(target);
                         if (next.scheme().compare(address.scheme(), Qt::CaseInsensitive) == 0 &&
                             next.host().compare(address.host(), Qt::CaseInsensitive) == 0 &&
                             next.port(defaultPort) == address.port(defaultPort))
                             emit reply->redirectAllowed();
                         else
                             reply->abort();
                     });

    QByteArray body;
    bool tooLarge = false;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    // A declared length over the cap ends the download before any body arrives.
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maxBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
        body += reply->readAll();
        if (body.size() > maxBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs);
    loop.exec();
    body += reply->readAll();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool ok = !tooLarge && reply->error() == QNetworkReply::NoError &&
                    (status == 0 || (status >= 200 && status < 300)) && body.size() <= maxBytes;
    reply->deleteLater();
    if (!ok)
        return std::nullopt;
    return body;
}

} // namespace Web
