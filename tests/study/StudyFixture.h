#pragma once

#include "content/WebPage.h"
#include "platform/Database.h"
#include "platform/Sound.h"
#include "state/AppState.h"
#include "study/RandomPhrases.h"
#include "subjects/SubjectFile.h"
#include "support/TestSupport.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

// A program, data and temporary folder of its own for each test, captions "C1".."C359"
// (caption n reads "Cn"), and every message box answered and recorded.
struct StudyFixture
{
    QTemporaryDir dir;
    QList<Dialogs::Request> boxes;
    QMessageBox::StandardButton answer = QMessageBox::No;
    QStringList opened;

    void setUp()
    {
        resetAppState();
        AppState& s = app();
        QStringList captions;
        for (int i = 1; i <= 359; ++i)
            captions << QStringLiteral("C%1").arg(i);
        s.captions.setTexts(captions);
        const QString root = dir.path() + QLatin1Char('/');
        for (const char* sub :
             {"program", "program/Subjects", "program/Activities", "data", "data/MySubjects", "tmp"})
            QDir().mkpath(root + QLatin1String(sub));
        s.programFolder = root + "program/";
        s.installedSubjectsFolder = root + "program/Subjects/";
        s.activitiesFolder = root + "program/Activities/";
        s.dataFolder = root + "data/";
        s.virtualSubjectsFolder = root + "data/MySubjects/";
        s.tempFolder = root + "tmp/";
        s.CurrentUser = QStringLiteral("Zoë \"Zed\" O'Brien*");
        Dialogs::setHandlerForTests([this](const Dialogs::Request& r) {
            if (r.kind == Dialogs::Request::Kind::Message)
                return QMessageBox::Ok; // the program's own notices are not counted here
            boxes << r;
            return r.buttons.testFlag(QMessageBox::Yes) ? answer : QMessageBox::Ok;
        });
        setUrlOpenerForTests([this](const QUrl& url) { opened << url.toString(); });
        Sound::setPlayerForTests([](const QString&, bool) {});
    }

    QString installed(const QString& name) const { return app().installedSubjectsFolder + name; }

    // A subject of the build's edition unless another edition's code is given.
    bool subject(const QString& name, int phrases, const QString& code = QString())
    {
        return TestSupport::writeSubject(installed(name), code.isEmpty() ? TestSupport::ownEdition() : code,
                                         phrases);
    }

    // A virtual subject file with one virtual subject pointing at the given phrases.
    qint64 virtualSubject(const QString& file, const QString& name,
                          const std::vector<std::pair<QString, qint64>>& refs)
    {
        const QString path = app().virtualSubjectsFolder + file;
        QString error;
        if (!QFileInfo::exists(path) && !VirtualSubjectFile::createEmpty(path, &error))
            qFatal("%s", qPrintable(error));
        const auto parent = VirtualSubjectFile::addSubject(path, name, &error);
        std::vector<VirtualPhrase> rows;
        for (const auto& [f, n] : refs) {
            VirtualPhrase p;
            p.tfilename = f;
            p.phraseNo = n;
            p.tPhrase = QStringLiteral("copy %1").arg(n);
            p.tTranslation = QStringLiteral("%1 #%2").arg(f).arg(n);
            rows.push_back(p);
        }
        if (!parent || !VirtualSubjectFile::addPhrases(path, *parent, rows, &error))
            qFatal("%s", qPrintable(error));
        return *parent;
    }

    QByteArray bsound(const QString& file, qint64 number) const
    {
        bool found = false;
        QString error;
        const auto p = InstalledSubject::phrase(installed(file), number, true, &found, &error);
        return p ? p->bsound : QByteArray();
    }

    static bool write(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    static QByteArray readAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};
