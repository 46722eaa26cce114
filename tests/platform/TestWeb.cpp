#include "platform/Web.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A minimal HTTP/1.0 server on 127.0.0.1, run by the test's own event loop (the download
// lets events run while it waits).
class TinyServer : public QObject
{
public:
    enum class Mode
    {
        Answer,
        Silent,
        Endless,
        DeclaredHuge
    };

    Mode mode = Mode::Answer;
    QByteArray status = "200 OK";
    QByteArray body;
    QByteArray redirectTo; // "GET /moved" is answered with a redirect there
    QByteArray lastRequest;
    qint64 sent = 0;

    bool start(const QHostAddress& host = QHostAddress::LocalHost)
    {
        connect(&m_server, &QTcpServer::newConnection, this, &TinyServer::accept);
        return m_server.listen(host, 0);
    }
    QString url(const QString& path) const
    {
        return QStringLiteral("http://%1:%2/%3")
            .arg(m_server.serverAddress().toString())
            .arg(m_server.serverPort())
            .arg(path);
    }

private:
    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onRequest(socket); });
            connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { feed(socket); });
        }
    }
    void onRequest(QTcpSocket* socket)
    {
        lastRequest += socket->readAll();
        if (!lastRequest.contains("\r\n\r\n") || socket->property("answered").toBool())
            return;
        socket->setProperty("answered", true);
        switch (mode) {
        case Mode::Silent:
            return; // accepts, reads, never answers
        case Mode::Answer:
            if (!redirectTo.isEmpty() && lastRequest.startsWith("GET /moved ")) {
                lastRequest.clear();
                socket->setProperty("answered", false);
                socket->write("HTTP/1.0 302 Found\r\nLocation: " + redirectTo +
                              "\r\nContent-Length: 0\r\n\r\n");
                socket->disconnectFromHost();
                return;
            }
            socket->write("HTTP/1.0 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
                          QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
            return;
        case Mode::DeclaredHuge:
            socket->write("HTTP/1.0 200 OK\r\nContent-Length: 10000000000\r\n\r\n");
            feed(socket);
            return;
        case Mode::Endless:
            socket->write("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n");
            feed(socket);
            return;
        }
    }
    // Keeps sending while the client reads, up to far more than any cap.
    void feed(QTcpSocket* socket)
    {
        if (mode != Mode::Endless && mode != Mode::DeclaredHuge)
            return;
        if (socket->state() != QAbstractSocket::ConnectedState || sent > (qint64(256) << 20))
            return;
        while (socket->bytesToWrite() < (1 << 20)) {
            socket->write(QByteArray(256 * 1024, 'z'));
            sent += 256 * 1024;
        }
    }

    QTcpServer m_server;
};

} // namespace

class TestWeb : public QObject
{
    Q_OBJECT
private slots:
    void joinUrl_data();
    void joinUrl();
    void downloads();
    void failures_data();
    void failures();
    void serverDown();
    void notWebAddresses_data();
    void notWebAddresses();
    void redirects_data();
    void redirects();

private:
    QTemporaryDir m_dir;
};

void TestWeb::joinUrl_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("joined");
    const QString site = QStringLiteral("https://www.example.com/parlanto");
    const QString page = site + QStringLiteral("/offline.htm");
    QTest::newRow("neither") << site << "offline.htm" << page;
    QTest::newRow("base ends with /") << site + "/"
                                      << "offline.htm" << page;
    QTest::newRow("page starts with /") << site << "/offline.htm" << page;
    QTest::newRow("both") << site + "/"
                          << "/offline.htm" << page;
    QTest::newRow("doubled") << site + "//"
                             << "//offline.htm" << page;
    QTest::newRow("deeper page") << site << "/updates/prlita.txt" << site + "/updates/prlita.txt";
    QTest::newRow("empty page") << site << "" << site + "/";
}

void TestWeb::joinUrl()
{
    QFETCH(QString, base);
    QFETCH(QString, page);
    QFETCH(QString, joined);
    QCOMPARE(Web::joinUrl(base, page), joined);
}

void TestWeb::downloads()
{
    TinyServer server;
    server.body = QByteArray("version 1.2.3\r\nsecond line\r\n\0binary", 36);
    QVERIFY(server.start());
    const auto body = Web::download(server.url(QStringLiteral("updates/prlita.txt")), 5000);
    QVERIFY(server.lastRequest.startsWith("GET /updates/prlita.txt HTTP/1.1"));
    QCOMPARE(body, std::optional<QByteArray>(server.body));
}

void TestWeb::failures_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<int>("timeoutMs");
    QTest::newRow("not found") << int(TinyServer::Mode::Answer) << QByteArray("404 Not Found") << 5000;
    QTest::newRow("server error") << int(TinyServer::Mode::Answer) << QByteArray("500 Oops") << 5000;
    QTest::newRow("never answers") << int(TinyServer::Mode::Silent) << QByteArray() << 700;
    QTest::newRow("endless body") << int(TinyServer::Mode::Endless) << QByteArray() << 20000;
    QTest::newRow("declares a huge body") << int(TinyServer::Mode::DeclaredHuge) << QByteArray() << 20000;
}

void TestWeb::failures()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, status);
    QFETCH(int, timeoutMs);
    TinyServer server;
    server.mode = TinyServer::Mode(mode);
    server.status = status;
    server.body = "<html>error page</html>";
    QVERIFY(server.start());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!Web::download(server.url(QStringLiteral("page")), timeoutMs, 64 * 1024));
    // Bounded: a generous guard against a hang, not a measure of speed.
    QVERIFY(clock.elapsed() < timeoutMs + 30000);
    if (server.mode == TinyServer::Mode::Endless)
        QVERIFY(server.sent > 64 * 1024); // the cap was really reached
}

void TestWeb::serverDown()
{
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    } // closed again: the connection is refused
    QVERIFY(!Web::download(QStringLiteral("http://127.0.0.1:%1/x").arg(port), 5000));
}

void TestWeb::redirects_data()
{
    QTest::addColumn<bool>("sameHost");
    QTest::newRow("within the address's host") << true;
    QTest::newRow("to another host") << false;
}

// The address is the only one the learner trusts: a redirect is followed only to it.
void TestWeb::redirects()
{
    QFETCH(bool, sameHost);
    TinyServer trusted;
    trusted.body = "from the trusted host";
    QVERIFY(trusted.start());
    TinyServer other; // another host of the loopback network
    other.body = "from another host";
    if (!other.start(QHostAddress(QStringLiteral("127.0.0.2"))))
        QSKIP("127.0.0.2 is not available here");
    trusted.redirectTo = (sameHost ? trusted : other).url(QStringLiteral("final")).toUtf8();
    const auto body = Web::download(trusted.url(QStringLiteral("moved")), 5000);
    QCOMPARE(bool(body), sameHost);
    if (sameHost) {
        QVERIFY(trusted.lastRequest.startsWith("GET /final "));
        QCOMPARE(*body, trusted.body);
    }
    QVERIFY(other.lastRequest.isEmpty());
}

void TestWeb::notWebAddresses_data()
{
    QTest::addColumn<QString>("url");
    const QString local = m_dir.filePath(QStringLiteral("local.txt"));
    QFile f(local);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("local secret");
    QTest::newRow("local file") << QStringLiteral("file://") + local;
    QTest::newRow("bare path") << local;
    QTest::newRow("empty") << QString();
    QTest::newRow("no host") << QStringLiteral("http:///x");
}

void TestWeb::notWebAddresses()
{
    QFETCH(QString, url);
    QVERIFY(!Web::download(url, 2000));
}

QTEST_GUILESS_MAIN(TestWeb)
#include "TestWeb.moc"
