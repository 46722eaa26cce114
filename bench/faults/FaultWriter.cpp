// Writes the way the program does, one reported step at a time, so that bench/faults.sh can
// kill it anywhere or run it on a full disk. After each write that returned success it
// prints "ok <n>" and flushes: a row reported that way must survive any later fault.
//   fault_writer scores   <Users.dat> <count> <tag>   an activity appending its results
//   fault_writer profiles <Users.dat> <count> <tag>   the launcher saving learners' profiles
//   fault_writer virtual  <file.vita> <count> <tag>   virtual subjects with their phrases
//   fault_writer file     <path> <bytes>              a file replaced atomically
//   fault_writer read     <file.vita> 0 <tag>         the program's read-only reader: prints
//                                                     "subjects <n>", the subjects named tag...
// A failed write prints "error <message>" and ends with status 1.
#include "platform/Files.h"
#include "subjects/SubjectFile.h"
#include "users/UsersDatabase.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

namespace {

int failed(const QString& error)
{
    std::printf("error %s\n", qPrintable(error));
    std::fflush(stdout);
    return 1;
}

void reportOk(int n)
{
    std::printf("ok %d\n", n);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: fault_writer scores|profiles|virtual|file PATH COUNT [TAG]\n");
        return 2;
    }
    const QString mode = args[1];
    const QString path = args[2];
    const int count = args[3].toInt();
    const QString tag = args.value(4);
    QString error;

    if (mode == QLatin1String("scores")) {
        for (int i = 1; i <= count; ++i) {
            ScoreRow score;
            score.tName = tag;
            score.tActivity = QStringLiteral("Flashcards");
            score.tSubject = QStringLiteral("Il caffè");
            score.numberScore = i;
            score.setWhen(QDateTime::currentDateTime());
            if (!appendScore(path, score, &error))
                return failed(error);
            reportOk(i);
        }
    } else if (mode == QLatin1String("profiles")) {
        const UsersDatabase users(path, QString());
        for (int i = 1; i <= count; ++i) {
            const auto key =
                users.addLearner({0, tag, QString::number(i), QStringLiteral("pw"), 1 + i % 40}, &error);
            if (!key)
                return failed(error);
            // The profile window's second kind of save: the learner changes a detail.
            if (!users.updateLearner({*key, tag, QString::number(i), QString(), 2}, &error))
                return failed(error);
            reportOk(i);
        }
    } else if (mode == QLatin1String("virtual")) {
        if (!QFileInfo::exists(path) && !VirtualSubjectFile::createEmpty(path, &error))
            return failed(error);
        for (int i = 1; i <= count; ++i) {
            const auto parent = VirtualSubjectFile::addSubject(path, tag + QString::number(i), &error);
            if (!parent)
                return failed(error);
            std::vector<VirtualPhrase> phrases(3);
            for (size_t k = 0; k < phrases.size(); ++k) {
                phrases[k].tfilename = QStringLiteral("At_the_Cafe.ita");
                phrases[k].phraseNo = qint64(k + 1);
                phrases[k].tPhrase = tag;
                phrases[k].tTranslation = QString::number(i);
            }
            if (!VirtualSubjectFile::addPhrases(path, *parent, phrases, &error))
                return failed(error);
            reportOk(i);
        }
    } else if (mode == QLatin1String("read")) {
        // As the tree reads a virtual subject file at start-up, right after the kill.
        const auto subjects = VirtualSubjectFile::subjects(path, &error);
        if (!subjects)
            return failed(error);
        const auto tagged = std::count_if(subjects->begin(), subjects->end(),
                                          [&](const VirtualSubject& v) { return v.name.startsWith(tag); });
        std::printf("subjects %d\n", int(tagged));
    } else if (mode == QLatin1String("file")) {
        if (!writeFileAtomically(path, QByteArray(count, 'x'), &error))
            return failed(error);
        reportOk(1);
    } else {
        std::fprintf(stderr, "unknown mode %s\n", qPrintable(mode));
        return 2;
    }
    return 0;
}
