#include "BuildInfo.h"
#include "content/UpdateCheck.h"
#include "content/WebPage.h"
#include "state/AppState.h"
#include "widgets/Dialogs.h"

#include <QDir>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

// A small web site on 127.0.0.1 that answers HTTP/1.0 requests from a table of pages.
class TestSite : public QObject
{
public:
    TestSite()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    m_request += socket->readAll();
                    if (!m_request.contains("\r\n\r\n"))
                        return;
                    const QByteArray path = m_request.split(' ').value(1);
                    requested << QString::fromUtf8(path);
                    m_request.clear();
                    if (pages.contains(path))
                        socket->write("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" +
                                      pages.value(path));
                    else
                        socket->write(
                            "HTTP/1.0 404 Not Found\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        m_server.listen(QHostAddress::LocalHost);
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1/site").arg(m_server.serverPort()); }

    QHash<QByteArray, QByteArray> pages;
    QStringList requested;

private:
    QTcpServer m_server;
    QByteArray m_request;
};

class TestUpdateCheck : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void answers_data();
    void answers();
    void addressAndFileName();
    void hugeAnswerKeptToTheScreen();

private:
    QTemporaryDir m_temp;
    TestSite m_site;
};

void TestUpdateCheck::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_temp.isValid());
    resetAppState();
    QStringList captions(150, QStringLiteral("(unused)"));
    captions[18 - 1] = QStringLiteral("Open the download page now?");
    captions[67 - 1] = QStringLiteral("download.htm");
    captions[68 - 1] = QStringLiteral("You can download it later from");
    captions[94 - 1] = m_site.base();
    captions[98 - 1] = QStringLiteral("A new version is available");
    app().captions.setTexts(captions);
    app().tempFolder = m_temp.path() + QLatin1Char('/');
}

void TestUpdateCheck::answers_data()
{
    QTest::addColumn<QByteArray>("answer"); // "" = no file on the server
    QTest::addColumn<bool>("sayYes");
    QTest::addColumn<bool>("quit");
    QTest::addColumn<QString>("shownText"); // "" = nothing shown

    QTest::newRow("yes in small letters quits")
        << QByteArray("  yes  , Version 2 brings <b>new</b> subjects \r\n") << true << true
        << "Version 2 brings <b>new</b> subjects";
    QTest::newRow("yes quits whatever the learner answers")
        << QByteArray("YES,Please update") << false << true << "Please update";
    QTest::newRow("NO continues") << QByteArray("NO,Optional update\n") << true << false << "Optional update";
    QTest::newRow("several lines use the last")
        << QByteArray("YES,old news\nNO,latest news, more fields\n") << false << false << "latest news";
    QTest::newRow("empty last line shows nothing") << QByteArray("YES,text\n\n") << true << false << "";
    QTest::newRow("line without a comma shows nothing") << QByteArray("YES\n") << true << false << "";
    QTest::newRow("missing file shows nothing") << QByteArray() << true << false << "";
}

void TestUpdateCheck::answers()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, sayYes);
    QFETCH(bool, quit);
    QFETCH(QString, shownText);

    const QByteArray path = QStringLiteral("/site/updates/Ver_%1_%2_%3.txt")
                                .arg(BuildInfo::VersionMajor)
                                .arg(BuildInfo::VersionMinor)
                                .arg(BuildInfo::VersionRevision)
                                .toUtf8();
    m_site.pages.clear();
    m_site.requested.clear();
    if (!answer.isEmpty())
        m_site.pages.insert(path, answer);

    QList<Dialogs::Request> boxes;
    Dialogs::setHandlerForTests([&](const Dialogs::Request& r) {
        boxes << r;
        return r.buttons.testFlag(QMessageBox::Yes) ? (sayYes ? QMessageBox::Yes : QMessageBox::No)
                                                    : QMessageBox::Ok;
    });
    QList<QUrl> opened;
    setUrlOpenerForTests([&](const QUrl& url) { opened << url; });

    // Another user plants a link to a file of the learner's where the answer used to be
    // written (the shared temporary folder, named by the time): the answer is never written.
    QTemporaryDir learner;
    const QString learnerFile = learner.filePath(QStringLiteral("private.txt"));
    {
        QFile mine(learnerFile);
        QVERIFY(mine.open(QIODevice::WriteOnly) && mine.write("mine") == 4);
    }
    const QString planted = m_temp.filePath(QStringLiteral("~03042026050607.tmp"));
    QVERIFY(QFile::link(learnerFile, planted));
    QCOMPARE(UpdateCheck::checkForUpdate(nullptr), quit);
    QFile mine(learnerFile);
    QVERIFY(mine.open(QIODevice::ReadOnly));
    QCOMPARE(mine.readAll(), QByteArray("mine"));
    QVERIFY(QFile::remove(planted));
    // The network layer may repeat a request when the server closes early; every one asks for this version.
    QVERIFY(!m_site.requested.isEmpty());
    for (const QString& requested : std::as_const(m_site.requested))
        QCOMPARE(requested, QString::fromUtf8(path));
    // The answer file never remains.
    QVERIFY(QDir(m_temp.path()).entryList(QDir::Files).isEmpty());

    const QString downloadPage = m_site.base() + QStringLiteral("/download.htm");
    if (shownText.isEmpty()) {
        QVERIFY(boxes.isEmpty());
        QVERIFY(opened.isEmpty());
    } else {
        QVERIFY(!boxes.isEmpty());
        QCOMPARE(boxes[0].text, shownText + QStringLiteral("\n\nOpen the download page now?"));
        QCOMPARE(boxes[0].title, QStringLiteral("A new version is available"));
        QCOMPARE(boxes[0].icon, QMessageBox::NoIcon);
        if (sayYes) {
            QCOMPARE(boxes.size(), 1);
            QCOMPARE(opened, QList<QUrl>{QUrl(downloadPage)});
        } else {
            QCOMPARE(boxes.size(), 2);
            QCOMPARE(boxes[1].text, QStringLiteral("You can download it later from ") + downloadPage);
            QCOMPARE(boxes[1].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            QVERIFY(opened.isEmpty());
        }
    }
    Dialogs::setHandlerForTests(nullptr);
    setUrlOpenerForTests(nullptr);
}

// A line of 60 KB without a blank: the box shows it cut, with break chances, so that it
// keeps within the screen.
void TestUpdateCheck::hugeAnswerKeptToTheScreen()
{
    const QByteArray path = QStringLiteral("/site/updates/Ver_%1_%2_%3.txt")
                                .arg(BuildInfo::VersionMajor)
                                .arg(BuildInfo::VersionMinor)
                                .arg(BuildInfo::VersionRevision)
                                .toUtf8();
    m_site.pages.clear();
    m_site.pages.insert(path, "NO," + QByteArray(60000, 'x'));
    QList<Dialogs::Request> boxes;
    Dialogs::setHandlerForTests([&](const Dialogs::Request& r) {
        boxes << r;
        return QMessageBox::No;
    });
    setUrlOpenerForTests([](const QUrl&) {});
    QVERIFY(!UpdateCheck::checkForUpdate(nullptr));
    Dialogs::setHandlerForTests(nullptr);
    setUrlOpenerForTests(nullptr);
    QVERIFY(!boxes.isEmpty());
    const QString& text = boxes[0].text;
    // The line is cut; the question after it stays.
    QVERIFY(text.size() < 1100);
    QVERIFY2(text.endsWith(QChar(0x2026) + QStringLiteral("\n\nOpen the download page now?")),
             qPrintable(text));
    for (const QString& word : text.split(QChar(0x200B)))
        QVERIFY(word.size() <= 100);
}

void TestUpdateCheck::addressAndFileName()
{
    QCOMPARE(UpdateCheck::requestAddress(QStringLiteral("https://www.example.com/parlanto")),
             QStringLiteral("https://www.example.com/parlanto/updates/Ver_%1_%2_%3.txt")
                 .arg(BuildInfo::VersionMajor)
                 .arg(BuildInfo::VersionMinor)
                 .arg(BuildInfo::VersionRevision));
}

QTEST_MAIN(TestUpdateCheck)
#include "TestUpdateCheck.moc"
