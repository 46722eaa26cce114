#include "Speech.h"

#include <QtEndian>

#include <espeak-ng/speak_lib.h>

#include <mutex>

namespace {

// The engine keeps one state for the whole process: one speaker at a time.
std::mutex& engineLock()
{
    static std::mutex lock;
    return lock;
}

// The engine's sample rate once started, or 0 when it cannot be.
int engineRate()
{
    static const int rate =
        espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
    return rate > 0 ? rate : 0;
}

int collectSamples(short* samples, int count, espeak_EVENT* events)
{
    if (samples && count > 0 && events)
        static_cast<QByteArray*>(events->user_data)
            ->append(reinterpret_cast<const char*>(samples), qsizetype(count) * 2);
    return 0; // go on
}

QByteArray waveFile(int sampleRate, const QByteArray& samples)
{
    QByteArray out;
    out.reserve(44 + samples.size());
    auto put32 = [&out](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    };
    auto put16 = [&out](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        out.append(b, 2);
    };
    out.append("RIFF");
    put32(36 + quint32(samples.size()));
    out.append("WAVEfmt ");
    put32(16);
    put16(1); // PCM
    put16(1); // mono
    put32(quint32(sampleRate));
    put32(quint32(sampleRate) * 2);
    put16(2);
    put16(16);
    out.append("data");
    put32(quint32(samples.size()));
    out.append(samples);
    return out;
}

} // namespace

namespace Speech {

std::optional<QByteArray> speak(const QString& voice, const QString& text, QString* error)
{
    auto all = speakAll(voice, {text}, error);
    if (!all)
        return std::nullopt;
    return all->front();
}

std::optional<std::vector<QByteArray>> speakAll(const QString& voice, const QStringList& texts,
                                                QString* error)
{
    const std::lock_guard<std::mutex> guard(engineLock());
    const int rate = engineRate();
    if (rate == 0) {
        *error = QStringLiteral("espeak-ng cannot be started (is espeak-ng-data installed?)");
        return std::nullopt;
    }
    espeak_SetSynthCallback(collectSamples);
    if (espeak_SetVoiceByName(voice.toUtf8().constData()) != EE_OK) {
        *error = QStringLiteral("espeak-ng has no voice \"%1\"").arg(voice);
        return std::nullopt;
    }
    std::vector<QByteArray> sounds;
    sounds.reserve(size_t(texts.size()));
    for (const QString& text : texts) {
        const QByteArray utf8 = text.toUtf8();
        QByteArray samples;
        if (espeak_Synth(utf8.constData(), size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0,
                         espeakCHARS_UTF8 | espeakENDPAUSE, nullptr, &samples) != EE_OK ||
            espeak_Synchronize() != EE_OK || samples.isEmpty()) {
            *error = QStringLiteral("espeak-ng could not speak \"%1\" with voice %2").arg(text, voice);
            return std::nullopt;
        }
        sounds.push_back(waveFile(rate, samples));
    }
    return sounds;
}

} // namespace Speech
