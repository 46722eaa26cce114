#pragma once

#include <QByteArray>
#include <QString>

// What the RIFF header of a WAVE file says: that bytes are a WAVE file, how long they play,
// and where their samples start (for the few readers that look at the samples).
struct WaveInfo
{
    bool valid = false;
    QString error;
    int formatTag = 0; // 1 = PCM
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    qint64 dataBytes = 0;         // as far as the file really holds
    qint64 dataOffset = 0;        // where the samples start in the file
    qint64 declaredDataBytes = 0; // what the data chunk's header claims
    qint64 dataSizeOffset = -1;   // where that claim is stored
    qint64 durationMs = 0;
};

// bytes holds the file or at least its start; fileSize, when given, is the whole file's
// size, so that the length of a long sound is known from its first bytes.
WaveInfo readWaveInfo(const QByteArray& bytes, qint64 fileSize = -1);

// The 44-byte header of a PCM WAVE file (RIFF, "fmt " of 16 bytes, "data") for dataBytes of
// samples. A file written while its length is unknown gets a header for 0 bytes first and
// this one, with the real length, written over it at the end.
QByteArray waveHeader(int sampleRate, int channels, int bitsPerSample, quint32 dataBytes);
// The whole WAVE file with its RIFF and data sizes cut down to what it really holds: a
// player that trusts a header claiming gigabytes would reserve them. Other bytes unchanged.
QByteArray withTruthfulSizes(const QByteArray& wave);
