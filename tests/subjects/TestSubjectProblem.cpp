// The learner's messages for subjects that cannot be used, answered from the test.
#include "support/TestSupport.h"

#include "content/WebPage.h"
#include "platform/Web.h"
#include "state/AppState.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectProblem.h"
#include "widgets/Dialogs.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestSubjectProblem : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<Dialogs::Request> m_requests;
    QMessageBox::StandardButton m_answer = QMessageBox::No;
    QList<QUrl> m_opened;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
        Dialogs::setHandlerForTests([this](const Dialogs::Request& r) {
            m_requests << r;
            return m_answer;
        });
        setUrlOpenerForTests([this](const QUrl& url) { m_opened << url; });
    }

    void cleanupTestCase()
    {
        Dialogs::setHandlerForTests({});
        setUrlOpenerForTests({});
        Web::setConnectedForTests(std::nullopt);
    }

    void init()
    {
        resetAppState();
        QStringList rows;
        for (int n = 1; n <= 700; ++n)
            rows << QStringLiteral("C%1").arg(n);
        rows[93] = QStringLiteral("https://www.example.com/parlanto");
        rows[94] = QStringLiteral("offline.htm");
        app().captions.setTexts(rows);
        app().installedSubjectsFolder = m_dir.path() + QLatin1Char('/');
        app().programFolder = m_dir.path() + QStringLiteral("/program/");
        m_requests.clear();
        m_opened.clear();
        Web::setConnectedForTests(true);
    }

    void messages_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QString>("opened");

        const int ok = QMessageBox::Ok;
        const int yesNo = QMessageBox::Yes | QMessageBox::No;
        const QString page = QStringLiteral("https://www.example.com/parlanto/subjects.htm");
        QTest::newRow("another edition")
            << "saludos.ita"
            << "WRONG_LANGUAGE*prlspa" << ok << "saludos.itaC5 " + app().edition.EditionTitle + "."
            << int(QMessageBox::Warning) << ok << "";
        QTest::newRow("error, answered No")
            << "rotto.ita"
            << "rotto.ita cannot be opened: file is encrypted or is not a database" << int(QMessageBox::No)
            << "C361\n\nrotto.ita\n\nC135" << int(QMessageBox::Warning) << yesNo << "";
        QTest::newRow("error, answered Yes")
            << "l'ora è.ita"
            << "no such table: tblProperties" << int(QMessageBox::Yes) << "C361\n\nl'ora è.ita\n\nC135"
            << int(QMessageBox::Warning) << yesNo << page;
        QTest::newRow("description containing a star")
            << "x.ita"
            << "bad * thing" << int(QMessageBox::No) << "x.itaC6\n\nC135" << int(QMessageBox::Warning)
            << yesNo << "";
        QTest::newRow("damaged") << "dañado.ita"
                                 << "database disk image is malformed" << int(QMessageBox::No)
                                 << "C360\n\ndañado.ita\n\nC135" << int(QMessageBox::Warning) << yesNo << "";
    }
    void messages()
    {
        QFETCH(QString, file);
        QFETCH(QString, verdict);
        QFETCH(int, answer);
        QFETCH(QString, text);
        QFETCH(int, icon);
        QFETCH(int, buttons);
        QFETCH(QString, opened);
        m_answer = QMessageBox::StandardButton(answer);

        reportSubjectProblem(file, verdict);

        QCOMPARE(m_requests.size(), 1);
        QCOMPARE(m_requests[0].title, QStringLiteral("C103"));
        QCOMPARE(m_requests[0].text, text);
        QCOMPARE(int(m_requests[0].icon), icon);
        QCOMPARE(int(m_requests[0].buttons), buttons);
        if (buttons != QMessageBox::Ok)
            QCOMPARE(int(m_requests[0].defaultButton), int(QMessageBox::No));
        if (opened.isEmpty())
            QVERIFY(m_opened.isEmpty());
        else
            QCOMPARE(m_opened, QList<QUrl>({QUrl(opened)}));
    }

    // The question once per file in a run; then the plain words only, or nothing from the
    // editor's tree.
    void askedOncePerFile()
    {
        reportSubjectProblem("una vez.ita", "database disk image is malformed");
        reportSubjectProblem("una vez.ita", "database disk image is malformed");
        reportSubjectProblem("una vez.ita", "database disk image is malformed", nullptr, Repeat::Quiet);
        QCOMPARE(m_requests.size(), 2);
        QCOMPARE(m_requests[1].text, QStringLiteral("C360\n\nuna vez.ita"));
        QCOMPARE(int(m_requests[1].buttons), int(QMessageBox::Ok));
        QCOMPARE(int(m_requests[1].icon), int(QMessageBox::Warning));
    }

    // No browser or file manager: the learner is told, with the address or folder to copy.
    void desktopThatCannotOpenIsSaid()
    {
        setUrlOpenerForTests({});
        const QString address = webPageAddress("subjects.htm");
        const bool opened = openWithDesktop(QUrl(address));
        const bool folderOpened = openWithDesktop(QUrl::fromLocalFile(m_dir.path()));
        setUrlOpenerForTests([this](const QUrl& url) { m_opened << url; });
        if (opened || folderOpened)
            QSKIP("this desktop has a program that opens addresses and folders");
        QCOMPARE(m_requests.size(), 2);
        QCOMPARE(m_requests[0].text, "C364\n\n" + address);
        // A folder: "no file manager" where the desktop names none for folders, else "not opened".
        QVERIFY2(m_requests[1].text == "C552\n\n" + m_dir.path() ||
                     m_requests[1].text == "C365\n\n" + m_dir.path(),
                 qPrintable(m_requests[1].text));
        QVERIFY(!address.contains('\n') && !address.contains(' '));
    }

    void offlineYesOpensTheLocalPage()
    {
        Web::setConnectedForTests(false);
        m_answer = QMessageBox::Yes;
        reportSubjectProblem("x.ita", "damaged");
        QCOMPARE(m_opened, QList<QUrl>({QUrl::fromLocalFile(app().programFolder + "offline.htm")}));
    }

    void validSubjectShowsNothing()
    {
        reportSubjectProblem("x.ita", "VALID");
        QVERIFY(m_requests.isEmpty());
    }

    // A subject of another edition copied into the folder, and a file that is no database,
    // from the check to the message the learner reads.
    void checkedFilesReachTheLearner()
    {
        QVERIFY(
            TestSupport::writeSubject(app().installedSubjectsFolder + "saludos básicos.ita", "prlspa", 2));
        TestSupport::writeGarbage(app().installedSubjectsFolder + "roto.ita");
        m_answer = QMessageBox::No;

        reportSubjectProblem("saludos básicos.ita", checkSubject("saludos básicos.ita"));
        reportSubjectProblem("roto.ita", checkSubject("roto.ita"));

        QCOMPARE(m_requests.size(), 2);
        QCOMPARE(m_requests[0].text, "saludos básicos.itaC5 " + app().edition.EditionTitle + ".");
        QCOMPARE(int(m_requests[1].buttons), int(QMessageBox::Yes | QMessageBox::No));
        QCOMPARE(m_requests[1].text, QStringLiteral("C361\n\nroto.ita\n\nC135"));
    }

    // The engine opens files at paths of at most 504 bytes: a subject at that length is read,
    // one a byte longer is refused with the plain reason, not as damaged or unreadable.
    void pathTooLongSaidPlainly()
    {
        auto folderFor = [this](int pathBytes) {
            QString folder = m_dir.path() + QLatin1Char('/');
            int left = pathBytes - int(folder.size()) - int(qstrlen("/x.ita"));
            for (; left > 200; left -= 200)
                folder += QString(199, QLatin1Char('a')) + QLatin1Char('/');
            folder += QString(left, QLatin1Char('b'));
            return folder;
        };
        for (const int bytes : {504, 505}) {
            const QString folder = folderFor(bytes);
            QVERIFY(QDir().mkpath(folder));
            QCOMPARE((folder + "/x.ita").toUtf8().size(), bytes);
            // Made at a short path (the engine could not make it there) and moved.
            const QString made = m_dir.filePath("made.ita");
            QVERIFY(TestSupport::writeSubject(made, app().edition.ProgramCode, 2));
            QVERIFY(QFile::rename(made, folder + "/x.ita"));
            app().installedSubjectsFolder = folder + QLatin1Char('/');
            reportSubjectProblem("x.ita", checkSubject("x.ita"));
        }
        QCOMPARE(m_requests.size(), 1);
        QCOMPARE(m_requests[0].text, QStringLiteral("C370\n\nx.ita\n\nC135"));
    }
};

QTEST_MAIN(TestSubjectProblem)
#include "TestSubjectProblem.moc"
