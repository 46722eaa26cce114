#include "SpeechAnalysis.h"

#include "Failure.h"
#include "platform/WaveFile.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace SpeechAnalysis {

namespace {

constexpr int FrameSamples = 160;           // 10 ms, for finding the silences
constexpr double SilenceFloor = 0.006;      // about -44 dBFS: louder frames may be speech
constexpr double SpeechBelowLoudest = 0.03; // -30 dB under the loudest frame is silence
constexpr int MfccWindow = 400;             // 25 ms
constexpr int MfccHop = 160;                // 10 ms
constexpr int FftSize = 512;
constexpr int MelBands = 26;

double sampleAt(const char* p, int bytes)
{
    switch (bytes) {
    case 1:
        return (double(quint8(*p)) - 128.0) / 128.0;
    case 2:
        return qFromLittleEndian<qint16>(p) / 32768.0;
    case 3: {
        const qint32 v = qint32(quint8(p[0])) | (qint32(quint8(p[1])) << 8) | (qint32(qint8(p[2])) << 16);
        return v / 8388608.0;
    }
    default:
        return qFromLittleEndian<qint32>(p) / 2147483648.0;
    }
}

std::vector<double> frameLevels(const Sound& sound)
{
    std::vector<double> levels;
    const auto& s = sound.samples;
    for (size_t at = 0; at < s.size(); at += FrameSamples) {
        const size_t end = std::min(s.size(), at + FrameSamples);
        double sum = 0;
        for (size_t i = at; i < end; ++i)
            sum += double(s[i]) * s[i];
        levels.push_back(std::sqrt(sum / double(end - at)));
    }
    return levels;
}

void fft(std::vector<std::complex<double>>& a)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2 * std::numbers::pi / double(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (size_t k = 0; k < len / 2; ++k) {
                const auto u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

double hzToMel(double hz)
{
    return 2595.0 * std::log10(1.0 + hz / 700.0);
}
double melToHz(double mel)
{
    return 700.0 * (std::pow(10.0, mel / 2595.0) - 1.0);
}

// Triangular filters over the FFT bins, 20 Hz to half the sample rate.
const std::vector<std::vector<double>>& melFilters()
{
    static const std::vector<std::vector<double>> filters = [] {
        std::vector<double> edges;
        const double low = hzToMel(20), high = hzToMel(SampleRate / 2.0);
        for (int i = 0; i < MelBands + 2; ++i)
            edges.push_back(melToHz(low + (high - low) * i / (MelBands + 1)) * FftSize / SampleRate);
        std::vector<std::vector<double>> f(MelBands, std::vector<double>(FftSize / 2 + 1, 0.0));
        for (int m = 0; m < MelBands; ++m)
            for (int k = 0; k <= FftSize / 2; ++k) {
                if (k > edges[m] && k <= edges[m + 1])
                    f[m][k] = (k - edges[m]) / (edges[m + 1] - edges[m]);
                else if (k > edges[m + 1] && k < edges[m + 2])
                    f[m][k] = (edges[m + 2] - k) / (edges[m + 2] - edges[m + 1]);
            }
        return f;
    }();
    return filters;
}

} // namespace

std::optional<Sound> decodeWave(const QByteArray& bytes, QString* error)
{
    const WaveInfo info = readWaveInfo(bytes);
    if (!info.valid)
        return Failure(error, info.error);
    const int width = info.bitsPerSample / 8;
    if (info.formatTag != 1 || info.bitsPerSample % 8 != 0 || width < 1 || width > 4)
        return Failure(error, QStringLiteral("only PCM WAVE files of 8 to 32 bits can be compared"));
    const int block = width * info.channels;
    const qint64 frames = info.dataBytes / block;
    const char* data = bytes.constData() + info.dataOffset;
    // Mixed to one channel, then brought to SampleRate by linear interpolation: enough for
    // speech, whose sounds that matter here lie well under 8 kHz.
    std::vector<float> mono(static_cast<size_t>(frames));
    for (qint64 f = 0; f < frames; ++f) {
        double sum = 0;
        for (int c = 0; c < info.channels; ++c)
            sum += sampleAt(data + f * block + c * width, width);
        mono[size_t(f)] = float(sum / info.channels);
    }
    Sound sound;
    if (info.sampleRate == SampleRate) {
        sound.samples = std::move(mono);
        return sound;
    }
    const double step = double(info.sampleRate) / SampleRate;
    const qint64 count = qint64(double(frames) / step);
    sound.samples.resize(size_t(std::max<qint64>(0, count)));
    for (qint64 i = 0; i < count; ++i) {
        const double at = i * step;
        const size_t k = size_t(at);
        const double t = at - double(k);
        const float next = k + 1 < mono.size() ? mono[k + 1] : mono[k];
        sound.samples[size_t(i)] = float(mono[k] * (1 - t) + next * t);
    }
    return sound;
}

std::optional<Sound> readWave(const QString& path, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1 cannot be read: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    QString why;
    auto sound = decodeWave(f.readAll(), &why);
    if (!sound && error)
        *error = QStringLiteral("%1: %2").arg(path, why);
    return sound;
}

Span voicedSpan(const Sound& sound)
{
    const std::vector<double> levels = frameLevels(sound);
    const double loudest = levels.empty() ? 0 : *std::max_element(levels.begin(), levels.end());
    if (loudest < SilenceFloor)
        return {};
    const double threshold = std::max(SilenceFloor, loudest * SpeechBelowLoudest);
    const auto first = std::find_if(levels.begin(), levels.end(), [&](double l) { return l >= threshold; });
    const auto last = std::find_if(levels.rbegin(), levels.rend(), [&](double l) { return l >= threshold; });
    Span span;
    span.begin = qsizetype(first - levels.begin()) * FrameSamples;
    span.end =
        std::min<qsizetype>(qsizetype(sound.samples.size()), qsizetype(levels.rend() - last) * FrameSamples);
    return span;
}

float peak(const Sound& sound, Span span)
{
    float p = 0;
    for (qsizetype i = span.begin; i < span.end && i < qsizetype(sound.samples.size()); ++i)
        p = std::max(p, std::abs(sound.samples[size_t(i)]));
    return p;
}

bool isSilent(const Sound& sound)
{
    return voicedSpan(sound).isEmpty();
}

std::vector<Frame> mfcc(const float* samples, qsizetype count)
{
    std::vector<Frame> frames;
    if (count < MfccWindow)
        return frames;
    static const std::vector<double> hamming = [] {
        std::vector<double> w(MfccWindow);
        for (int i = 0; i < MfccWindow; ++i)
            w[size_t(i)] = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * i / (MfccWindow - 1));
        return w;
    }();
    const auto& filters = melFilters();
    std::vector<std::complex<double>> buffer(FftSize);
    std::array<double, MelBands> logMel{};
    for (qsizetype at = 0; at + MfccWindow <= count; at += MfccHop) {
        std::fill(buffer.begin(), buffer.end(), 0.0);
        for (int i = 0; i < MfccWindow; ++i) {
            const double previous = at + i > 0 ? samples[at + i - 1] : 0.0;
            buffer[size_t(i)] = (samples[at + i] - 0.97 * previous) * hamming[size_t(i)]; // pre-emphasis
        }
        fft(buffer);
        for (int m = 0; m < MelBands; ++m) {
            double energy = 0;
            for (int k = 0; k <= FftSize / 2; ++k)
                if (filters[size_t(m)][size_t(k)] > 0)
                    energy += filters[size_t(m)][size_t(k)] * std::norm(buffer[size_t(k)]);
            logMel[size_t(m)] = std::log(energy + 1e-10);
        }
        Frame frame{};
        for (size_t c = 0; c < frame.size(); ++c) { // DCT-II, coefficient 0 (loudness) left out
            double sum = 0;
            for (int m = 0; m < MelBands; ++m)
                sum += logMel[size_t(m)] * std::cos(std::numbers::pi * double(c + 1) * (m + 0.5) / MelBands);
            frame[c] = float(sum);
        }
        frames.push_back(frame);
    }
    Frame mean{};
    for (const Frame& f : frames)
        for (size_t c = 0; c < mean.size(); ++c)
            mean[c] += f[c] / float(frames.size());
    for (Frame& f : frames)
        for (size_t c = 0; c < mean.size(); ++c)
            f[c] -= mean[c];
    return frames;
}

double dtwDistance(const std::vector<Frame>& a, const std::vector<Frame>& b)
{
    if (a.empty() || b.empty())
        return std::numeric_limits<double>::infinity();
    auto distance = [](const Frame& x, const Frame& y) {
        double sum = 0;
        for (size_t c = 0; c < x.size(); ++c)
            sum += double(x[c] - y[c]) * (x[c] - y[c]);
        return std::sqrt(sum);
    };
    // Symmetric steps (a diagonal step counts twice), so that the sum over any path is
    // divided by the same n + m: the result is a mean distance per frame.
    const size_t n = a.size(), m = b.size();
    const double inf = std::numeric_limits<double>::infinity();
    // Row i keeps to the columns the line from (0, 0) to (n, m) crosses in it, widened by
    // `band` either side; the bands of neighbouring rows overlap, so a path from start to end
    // always exists. Both ends only grow from row to row.
    const size_t band = std::max(n, m) / 4 + 1;
    auto lineAt = [n, m](size_t i) { return (i * m) / n; }; // the column at the start of row i
    std::vector<double> previous(m + 1, inf), row(m + 1, inf);
    previous[0] = 0;
    size_t previousTo = 0; // the last column of the row before that was set
    for (size_t i = 1; i <= n; ++i) {
        const size_t start = lineAt(i - 1);
        const size_t from = start > band ? start - band : 1;
        const size_t to = std::min(m, lineAt(i) + 1 + band);
        // Columns the row before did not reach hold older rows' figures: out of reach.
        for (size_t j = previousTo + 1; j <= to; ++j)
            previous[j] = inf;
        row[from - 1] = inf;
        for (size_t j = from; j <= to; ++j) {
            const double d = distance(a[i - 1], b[j - 1]);
            row[j] = std::min({previous[j] + d, row[j - 1] + d, previous[j - 1] + 2 * d});
        }
        std::swap(previous, row);
        previousTo = to;
    }
    return previous[m] / double(n + m);
}

Closeness compare(const Sound& model, const Sound& attempt)
{
    Closeness c;
    const Span ms = voicedSpan(model), as = voicedSpan(attempt);
    if (as.isEmpty() || ms.isEmpty())
        return c; // NothingHeard
    c.lengthRatio = double(as.end - as.begin) / double(ms.end - ms.begin);
    if (as.durationMs() > MaxComparedMs || ms.durationMs() > MaxComparedMs) {
        c.verdict = Closeness::TooLong;
        return c;
    }
    c.distance = dtwDistance(mfcc(model.samples.data() + ms.begin, ms.end - ms.begin),
                             mfcc(attempt.samples.data() + as.begin, as.end - as.begin));
    if (c.distance > MaxCloseDistance)
        c.verdict = Closeness::SoundsDifferent;
    else if (c.lengthRatio > MaxLengthRatio || c.lengthRatio < 1.0 / MaxLengthRatio)
        c.verdict = Closeness::DifferentLength;
    else
        c.verdict = Closeness::Close;
    return c;
}

} // namespace SpeechAnalysis
