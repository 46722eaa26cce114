#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// What Speaking needs of two sounds to set them side by side: their samples, where the speech
// starts and ends between the silences, and a coarse measure of how alike they sound. No
// widgets: the window and the tests use it alike.
namespace SpeechAnalysis {

constexpr int SampleRate = 16000; // everything is compared at the recorder's rate

struct Sound
{
    std::vector<float> samples; // mono, SampleRate, -1 to 1
    qint64 durationMs() const { return qint64(samples.size()) * 1000 / SampleRate; }
};

// A PCM WAVE file (8, 16, 24 or 32-bit integers, any channel count and rate) as one channel
// at SampleRate. Anything else is refused with the reason.
std::optional<Sound> decodeWave(const QByteArray& bytes, QString* error);
std::optional<Sound> readWave(const QString& path, QString* error);

// The samples between the leading and trailing silence, [begin, end); empty when the sound
// holds nothing louder than silence.
struct Span
{
    qsizetype begin = 0;
    qsizetype end = 0;
    bool isEmpty() const { return end <= begin; }
    qint64 durationMs() const { return isEmpty() ? 0 : qint64(end - begin) * 1000 / SampleRate; }
};
Span voicedSpan(const Sound& sound);
// The largest absolute sample in the span (0 to 1).
float peak(const Sound& sound, Span span);
// Nothing louder than a quiet room: a muted or missing microphone.
bool isSilent(const Sound& sound);

// Mel-frequency cepstral coefficients 1 to 8 of 25 ms frames every 10 ms, each coefficient's
// mean over the sound taken away (so that a microphone's or a voice's colour counts less).
using Frame = std::array<float, 8>;
std::vector<Frame> mfcc(const float* samples, qsizetype count);
// The mean distance between frames along the cheapest alignment of the two sequences
// (dynamic time warping); 0 for the same sound. The alignment keeps within a band around the
// straight line from start to end (a quarter of the longer sequence either side), so the
// work grows with the length times the band, never with the square of long sounds.
double dtwDistance(const std::vector<Frame>& a, const std::vector<Frame>& b);

// The hint shown beside the two waveforms. Not a score: it only says whether the learner's
// recording has about the model's length and sound.
struct Closeness
{
    enum Verdict
    {
        Close,
        DifferentLength,
        SoundsDifferent,
        NothingHeard,
        TooLong // more speech than MaxComparedMs in either sound: not compared
    };
    Verdict verdict = NothingHeard;
    double lengthRatio = 0; // the attempt's speech length over the model's
    double distance = 0;    // dtwDistance of the two speeches
};
// Chosen from the figures in the README (espeak-ng voices, speeds and other phrases).
constexpr double MaxLengthRatio = 1.35;   // longer than this, or shorter than its inverse
constexpr double MaxCloseDistance = 26.0; // further than this sounds different
// A phrase is said in far less; longer speech (a recording left running over talk, a long
// model) is not compared.
constexpr qint64 MaxComparedMs = 30000;
// Takes milliseconds for phrases and at most a fraction of a second at the bound; the window
// runs it on a worker thread all the same.
Closeness compare(const Sound& model, const Sound& attempt);

} // namespace SpeechAnalysis
