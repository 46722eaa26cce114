// Texts joined into the activity input file (learner, subject title, phrases and their
// translations, whatever they hold) come back out of the activity's reader unchanged, line
// breaks turned into blanks.
#include "ActivityInput.h"
#include "state/AppState.h"
#include "study/ActivityInputFile.h"

#include <cstddef>
#include <cstdint>

namespace {
QString oneLine(QString t)
{
    t.replace(QLatin1String("\r\n"), QLatin1String(" "));
    t.replace(QLatin1Char('\r'), QLatin1Char(' '));
    t.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return t;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The bytes are texts separated by NUL: user, subject, then four per phrase.
    const QStringList texts =
        QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)).split(QChar(0));
    AppState state;
    state.instanceId = 77;
    state.CurrentUser = texts.value(0);
    const QString subject = texts.value(1);
    state.StudyPhraseCount = qBound(1, int((texts.size() - 2 + 3) / 4), AppState::MaxStudyPhrases);
    for (int slot = 1; slot <= state.StudyPhraseCount; ++slot) {
        StudyPhrase& p = state.StudyPhrases[size_t(slot - 1)];
        const int base = 2 + 4 * (slot - 1);
        p.Phrase = texts.value(base);
        p.Translation = texts.value(base + 1);
        p.Translation2 = texts.value(base + 2);
        p.SoundFile = texts.value(base + 3);
    }
    QString error;
    const auto input = ActivityInput::parse(ActivityInputFile::contents(state, subject), &error);
    if (!input || input->user != oneLine(state.CurrentUser) || input->subject != oneLine(subject) ||
        int(input->phrases.size()) != state.StudyPhraseCount)
        __builtin_trap();
    for (int slot = 1; slot <= state.StudyPhraseCount; ++slot) {
        const StudyPhrase& p = state.StudyPhrases[size_t(slot - 1)];
        const ActivityPhrase& a = input->phrases[size_t(slot - 1)];
        if (a.phrase != oneLine(p.Phrase) || a.translation != oneLine(p.Translation) ||
            a.translation2 != oneLine(p.Translation2) || a.soundFile != oneLine(p.SoundFile))
            __builtin_trap();
    }
    return 0;
}
