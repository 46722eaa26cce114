#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Sounds brought by other programs (mp3, ogg, flac, WAVE of any sample format) turned into
// the WAVE form phrase sounds have: 16-bit PCM, one channel, the source's sample rate.
// Decoded in memory by libsndfile (mp3 through mpg123, ogg through libvorbis/libopus),
// so no file is written and no other program runs.
namespace SoundConversion {

// The longest sound accepted, in seconds: a phrase, not a lesson recording.
constexpr int MaxSeconds = 60;

// The WAVE file, or nothing with the reason (unknown or damaged format, too long).
std::optional<QByteArray> toPhraseWave(const QByteArray& bytes, QString* error);

} // namespace SoundConversion
