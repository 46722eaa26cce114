#include "TestSupport.h"

#include "platform/Database.h"

#include "state/AppState.h"

#include <QDir>

#include <QFile>
#include <QtEndian>

#include <QStandardPaths>

#include <cmath>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace TestSupport {

QByteArray makeWave(int seed, int milliseconds)
{
    const int rate = 8000;
    const int samples = rate * milliseconds / 1000;
    QByteArray data(samples * 2, Qt::Uninitialized);
    for (int i = 0; i < samples; ++i) {
        const qint16 v = qint16(8000 * std::sin(double(i) * (seed + 1) * 0.05));
        qToLittleEndian<qint16>(v, data.data() + 2 * i);
    }
    QByteArray out("RIFF");
    auto put32 = [&](quint32 v) {
        char b[4];
        qToLittleEndian<quint32>(v, b);
        out.append(b, 4);
    };
    auto put16 = [&](quint16 v) {
        char b[2];
        qToLittleEndian<quint16>(v, b);
        out.append(b, 2);
    };
    put32(36 + quint32(data.size()));
    out.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(1);
    put32(rate);
    put32(rate * 2);
    put16(2);
    put16(16);
    out.append("data");
    put32(quint32(data.size()));
    out.append(data);
    return out;
}

QString ownEdition()
{
    return buildEdition().ProgramCode;
}

QString otherEdition(int n)
{
    QStringList others{QStringLiteral("prlspa"), QStringLiteral("prlfre"), QStringLiteral("prlger"),
                       QStringLiteral("prleng")};
    others.removeAll(ownEdition());
    return others.at(n);
}

QString subjectFile(const QString& base)
{
    return base + QLatin1Char('.') + buildEdition().LanguageCode;
}

QString virtualFile(const QString& base)
{
    return base + QStringLiteral(".v") + buildEdition().LanguageCode;
}

bool writeSubject(const QString& path, const QString& programCode, int phraseCount, QString* error)
{
    std::vector<Phrase> phrases;
    for (int i = 1; i <= phraseCount; ++i) {
        Phrase p;
        p.phraseNo = i;
        p.tPhrase = QStringLiteral("Frase %1").arg(i);
        p.tTranslation = QStringLiteral("Phrase %1").arg(i);
        p.tTranslation2 = QStringLiteral("Literal %1").arg(i);
        p.bsound = makeWave(i);
        phrases.push_back(p);
    }
    return InstalledSubject::create(path, programCode, phrases, true, error);
}

void writeGarbage(const QString& path, int bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) {
        QByteArray b(bytes, 'x');
        for (int i = 0; i < bytes; ++i)
            b[i] = char((i * 31 + 7) & 0xff);
        f.write(b);
    }
}

QString captionText(int n)
{
    return QStringLiteral("caption %1").arg(n);
}

void useNumberedCaptions(AppState& state)
{
    QStringList captions;
    for (int i = 1; i <= 700; ++i)
        captions << captionText(i);
    state.captions.setTexts(captions);
}

bool useFoldersUnder(AppState& state, const QString& root)
{
    const QString base = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    state.programFolder = base + QStringLiteral("program/");
    state.dataFolder = base + QStringLiteral("data/");
    state.tempFolder = base + QStringLiteral("temp/");
    state.handOverFolder.clear(); // made again below the new temporary folder when needed
    state.installedSubjectsFolder = state.programFolder + QStringLiteral("Subjects/");
    state.learnerSubjectsFolder = state.dataFolder + QStringLiteral("Subjects/");
    state.virtualSubjectsFolder = state.dataFolder + QStringLiteral("MySubjects/");
    state.activitiesFolder = state.programFolder + QStringLiteral("Activities/");
    for (const QString& f : {state.programFolder, state.dataFolder, state.tempFolder}) {
        if (!QDir().mkpath(f))
            return false;
    }
    return true;
}

namespace {
constexpr uint Nobody = 65534;
}

QStringList unprivilegedCommand(bool* available)
{
    if (available)
        *available = true;
    if (geteuid() != 0)
        return {};
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (!setpriv.isEmpty())
        return {setpriv, QStringLiteral("--reuid=%1").arg(Nobody), QStringLiteral("--regid=%1").arg(Nobody),
                QStringLiteral("--clear-groups")};
    const QString runuser = QStandardPaths::findExecutable(QStringLiteral("runuser"));
    if (!runuser.isEmpty())
        return {runuser, QStringLiteral("-m"), QStringLiteral("-u"), QStringLiteral("nobody"),
                QStringLiteral("--")};
    if (available)
        *available = false;
    return {};
}

bool giveToUnprivilegedUser(const QString& path)
{
    return geteuid() != 0 || ::chown(QFile::encodeName(path).constData(), Nobody, Nobody) == 0;
}

bool killVirtualSubjectWrite(const QString& path, char fill)
{
    const pid_t child = ::fork();
    if (child == 0) {
        auto db = Database::open(path, Database::SubjectPassword, Database::Mode::ReadWrite, nullptr);
        // A cache of one page spills the changed pages into the file before the commit.
        if (db && db->exec(QStringLiteral("PRAGMA cache_size = 1")) && db->beginTransaction()) {
            for (int i = 0; i < 200; ++i)
                db->exec(QStringLiteral("INSERT INTO tblParents (tParentName) VALUES ('%1%2')")
                             .arg(QString(400, QLatin1Char(fill)))
                             .arg(i));
            ::kill(::getpid(), SIGKILL);
        }
        ::_exit(1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFSIGNALED(status) &&
           WTERMSIG(status) == SIGKILL;
}

} // namespace TestSupport
