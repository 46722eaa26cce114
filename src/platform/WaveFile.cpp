#include "WaveFile.h"

#include <QtEndian>

namespace {
quint32 u32(const QByteArray& b, qint64 at)
{
    return qFromLittleEndian<quint32>(reinterpret_cast<const uchar*>(b.constData() + at));
}
quint16 u16(const QByteArray& b, qint64 at)
{
    return qFromLittleEndian<quint16>(reinterpret_cast<const uchar*>(b.constData() + at));
}
} // namespace

WaveInfo readWaveInfo(const QByteArray& bytes, qint64 fileSize)
{
    WaveInfo info;
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE") {
        info.error = QStringLiteral("not a WAVE file (no RIFF/WAVE header)");
        return info;
    }
    qint64 pos = 12;
    bool haveFormat = false;
    quint32 byteRate = 0;
    while (pos + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(pos, 4);
        const quint32 size = u32(bytes, pos + 4);
        const qint64 body = pos + 8;
        if (id == "fmt ") {
            if (size < 16 || body + 16 > bytes.size()) {
                info.error = QStringLiteral("damaged WAVE format chunk");
                return info;
            }
            info.formatTag = u16(bytes, body);
            info.channels = u16(bytes, body + 2);
            info.sampleRate = int(u32(bytes, body + 4));
            byteRate = u32(bytes, body + 8);
            info.bitsPerSample = u16(bytes, body + 14);
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat) {
                info.error = QStringLiteral("WAVE data before its format");
                return info;
            }
            // espeak-ng writes 0x7fffffff as the size when it streams; trust the file then.
            const qint64 available = qMax<qint64>(bytes.size(), fileSize) - body;
            info.dataBytes = qMax<qint64>(0, qMin<qint64>(size, available));
            info.dataOffset = body;
            info.declaredDataBytes = size;
            info.dataSizeOffset = pos + 4;
            info.durationMs = byteRate ? info.dataBytes * 1000 / byteRate : 0;
            info.valid = info.channels > 0 && info.sampleRate > 0;
            if (!info.valid)
                info.error = QStringLiteral("WAVE format without channels or sample rate");
            return info;
        }
        pos = body + size + (size & 1);
    }
    info.error = QStringLiteral("WAVE file without data");
    return info;
}

QByteArray waveHeader(int sampleRate, int channels, int bitsPerSample, quint32 dataBytes)
{
    QByteArray h(44, '\0');
    auto put32 = [&h](int at, quint32 v) {
        qToLittleEndian<quint32>(v, reinterpret_cast<uchar*>(h.data() + at));
    };
    auto put16 = [&h](int at, quint16 v) {
        qToLittleEndian<quint16>(v, reinterpret_cast<uchar*>(h.data() + at));
    };
    const int blockAlign = channels * bitsPerSample / 8;
    h.replace(0, 4, "RIFF");
    put32(4, 36 + dataBytes);
    h.replace(8, 8, "WAVEfmt ");
    put32(16, 16);
    put16(20, 1); // PCM
    put16(22, quint16(channels));
    put32(24, quint32(sampleRate));
    put32(28, quint32(sampleRate * blockAlign));
    put16(32, quint16(blockAlign));
    put16(34, quint16(bitsPerSample));
    h.replace(36, 4, "data");
    put32(40, dataBytes);
    return h;
}

QByteArray withTruthfulSizes(const QByteArray& wave)
{
    const WaveInfo info = readWaveInfo(wave);
    if (!info.valid || (info.declaredDataBytes == info.dataBytes && u32(wave, 4) == quint32(wave.size() - 8)))
        return wave;
    QByteArray fixed = wave;
    auto put = [&fixed](qint64 at, quint32 value) {
        qToLittleEndian<quint32>(value, reinterpret_cast<uchar*>(fixed.data() + at));
    };
    put(4, quint32(fixed.size() - 8));
    put(info.dataSizeOffset, quint32(info.dataBytes));
    return fixed;
}
