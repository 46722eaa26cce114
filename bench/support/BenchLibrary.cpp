#include "BenchLibrary.h"

#include "state/AppState.h"
#include "subjects/SubjectFile.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <linux/capability.h>
#include <sys/syscall.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace BenchLibrary {

void measureAsLearner()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, caps) != 0)
        return;
    __u32& effective = caps[CAP_IPC_LOCK / 32].effective;
    const __u32 bit = 1u << (CAP_IPC_LOCK % 32);
    if (!(effective & bit))
        return;
    effective &= ~bit;
    if (syscall(SYS_capset, &header, caps) == 0)
        std::fprintf(stderr, "The capability to lock memory is dropped: the figures are a learner's.\n");
}

void fail(const char* what, const QString& error)
{
    std::fprintf(stderr, "%s: %s\n", what, qPrintable(error));
    std::exit(1);
}

void useNumberedCaptions(int count)
{
    QStringList captions;
    for (int n = 1; n <= count; ++n)
        captions << QStringLiteral("Caption %1").arg(n);
    app().captions.setTexts(captions);
}

void makeTenPhraseSubject(const QString& path)
{
    std::vector<Phrase> phrases(10);
    for (int i = 0; i < 10; ++i) {
        phrases[i].phraseNo = i + 1;
        phrases[i].tPhrase = QStringLiteral("Frase %1").arg(i + 1);
        phrases[i].tTranslation = QStringLiteral("Phrase %1").arg(i + 1);
        phrases[i].bsound = QByteArray(8000, 'x');
    }
    QString error;
    if (!InstalledSubject::create(path, app().edition.ProgramCode, phrases, true, &error))
        fail("cannot make a subject", error);
}

void makeVirtualSubjectFile(const QString& path, int subjects)
{
    QString error;
    if (!VirtualSubjectFile::createEmpty(path, &error))
        fail("cannot make a virtual subject file", error);
    for (int s = 0; s < subjects; ++s)
        if (!VirtualSubjectFile::addSubject(path, QStringLiteral("Virtual subject %1").arg(s), &error))
            fail("cannot add a virtual subject", error);
}

void fillFolder(const QString& folder, const QString& source, const QString& pattern, int count, int width)
{
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        const QString target = folder + pattern.arg(i, width, 10, QLatin1Char('0'));
        if (::link(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) != 0 &&
            !QFile::copy(source, target))
            fail("cannot fill the library", target);
    }
}

} // namespace BenchLibrary
