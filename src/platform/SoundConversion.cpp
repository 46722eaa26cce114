#include "SoundConversion.h"

#include "platform/WaveFile.h"

#include <QtEndian>

#include <sndfile.h>

#include <cstring>
#include <vector>

namespace {

// libsndfile reads the bytes through these callbacks instead of a file.
struct MemoryFile
{
    const QByteArray* bytes = nullptr;
    sf_count_t position = 0;
};

sf_count_t memoryLength(void* user)
{
    return static_cast<MemoryFile*>(user)->bytes->size();
}

sf_count_t memorySeek(sf_count_t offset, int whence, void* user)
{
    auto* f = static_cast<MemoryFile*>(user);
    sf_count_t base = 0;
    if (whence == SEEK_CUR)
        base = f->position;
    else if (whence == SEEK_END)
        base = f->bytes->size();
    const sf_count_t target = base + offset;
    if (target < 0 || target > f->bytes->size())
        return -1;
    f->position = target;
    return f->position;
}

sf_count_t memoryRead(void* data, sf_count_t count, void* user)
{
    auto* f = static_cast<MemoryFile*>(user);
    const sf_count_t n = std::min<sf_count_t>(count, f->bytes->size() - f->position);
    if (n <= 0)
        return 0;
    std::memcpy(data, f->bytes->constData() + f->position, size_t(n));
    f->position += n;
    return n;
}

sf_count_t memoryWrite(const void*, sf_count_t, void*)
{
    return 0; // read only
}

sf_count_t memoryTell(void* user)
{
    return static_cast<MemoryFile*>(user)->position;
}

void appendLe16(QByteArray& out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void appendLe32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

QByteArray waveHeader(int sampleRate, quint32 dataBytes)
{
    QByteArray h;
    h.reserve(44);
    h.append("RIFF");
    appendLe32(h, 36 + dataBytes);
    h.append("WAVEfmt ");
    appendLe32(h, 16);
    appendLe16(h, 1); // PCM
    appendLe16(h, 1); // mono
    appendLe32(h, quint32(sampleRate));
    appendLe32(h, quint32(sampleRate) * 2);
    appendLe16(h, 2);
    appendLe16(h, 16);
    h.append("data");
    appendLe32(h, dataBytes);
    return h;
}

} // namespace

namespace SoundConversion {

std::optional<QByteArray> toPhraseWave(const QByteArray& bytes, QString* error)
{
    // A PCM WAVE file in the phrase form already is kept byte for byte.
    const WaveInfo wave = readWaveInfo(bytes);
    if (wave.valid && wave.formatTag == 1 && wave.channels == 1 && wave.bitsPerSample == 16 &&
        wave.durationMs <= MaxSeconds * 1000)
        return bytes;

    MemoryFile file{&bytes, 0};
    SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
    SF_INFO info{};
    SNDFILE* sound = sf_open_virtual(&io, SFM_READ, &info, &file);
    if (!sound) {
        *error = QStringLiteral("not a sound this program can read (%1)")
                     .arg(QString::fromLocal8Bit(sf_strerror(nullptr)));
        return std::nullopt;
    }
    if (info.channels <= 0 || info.samplerate <= 0) {
        sf_close(sound);
        *error = QStringLiteral("a sound without channels or sample rate");
        return std::nullopt;
    }
    // mp3 files do not always know their length before they are decoded: the limit is
    // checked while reading as well.
    const sf_count_t maxFrames = sf_count_t(info.samplerate) * MaxSeconds;
    if (info.frames > maxFrames) {
        sf_close(sound);
        *error = QStringLiteral("the sound is longer than %1 seconds").arg(MaxSeconds);
        return std::nullopt;
    }
    QByteArray samples;
    std::vector<short> block(size_t(4096) * size_t(info.channels));
    sf_count_t total = 0;
    for (;;) {
        const sf_count_t frames = sf_readf_short(sound, block.data(), 4096);
        if (frames <= 0)
            break;
        total += frames;
        if (total > maxFrames) {
            sf_close(sound);
            *error = QStringLiteral("the sound is longer than %1 seconds").arg(MaxSeconds);
            return std::nullopt;
        }
        for (sf_count_t i = 0; i < frames; ++i) {
            // One channel: the average of the source's.
            int sum = 0;
            for (int c = 0; c < info.channels; ++c)
                sum += block[size_t(i) * size_t(info.channels) + size_t(c)];
            char b[2];
            qToLittleEndian(qint16(sum / info.channels), b);
            samples.append(b, 2);
        }
    }
    const int failure = sf_error(sound);
    sf_close(sound);
    if (failure != SF_ERR_NO_ERROR || total == 0) {
        *error = total == 0 ? QStringLiteral("the sound holds no samples")
                            : QStringLiteral("the sound is damaged (%1)")
                                  .arg(QString::fromLocal8Bit(sf_error_number(failure)));
        return std::nullopt;
    }
    return waveHeader(info.samplerate, quint32(samples.size())) + samples;
}

} // namespace SoundConversion
