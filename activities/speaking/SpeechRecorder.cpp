#include "SpeechRecorder.h"

#include "Failure.h"
#include "platform/WaveFile.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QMediaDevices>
#include <QtEndian>

#include <cstdlib>

namespace {
constexpr int Channels = 1;
constexpr int Bits = 16;
constexpr int BytesPerSecond = SpeechRecorder::SampleRate * Channels * Bits / 8;
} // namespace

SpeechRecorder::SpeechRecorder(QObject* parent) : QObject(parent)
{
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, &SpeechRecorder::stop);
}

SpeechRecorder::~SpeechRecorder()
{
    cancel(); // never left recording, never a half-written file left behind
}

bool SpeechRecorder::hasInputDevice()
{
    return !QMediaDevices::defaultAudioInput().isNull();
}

bool SpeechRecorder::start(const QString& path, int maxMs, QString* error)
{
    if (isRecording())
        return Failure(error, QStringLiteral("A recording is already running."));
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    if (device.isNull())
        return Failure(error, QStringLiteral("no microphone or other input device was found."));
    QAudioFormat format;
    format.setSampleRate(SampleRate);
    format.setChannelCount(Channels);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
        return Failure(
            error,
            QStringLiteral("the input device \"%1\" cannot record 16 kHz sound.").arg(device.description()));
    if (!open(path, maxMs, error))
        return false;
    m_source = std::make_unique<QAudioSource>(device, format);
    // Small pieces: left to choose, a sound server may deliver every two seconds, so that the
    // start of a short recording comes late and its end is lost when it stops.
    m_source->setBufferSize(BytesPerSecond / 10);
    connect(m_source.get(), &QAudioSource::stateChanged, this, &SpeechRecorder::onSourceStateChanged);
    QIODevice* input = m_source->start();
    if (!input || m_source->error() != QAudio::NoError) {
        cancel();
        return Failure(
            error, QStringLiteral("the input device \"%1\" could not be opened.").arg(device.description()));
    }
    m_input = input;
    connect(input, &QIODevice::readyRead, this, &SpeechRecorder::readAvailable);
    return true;
}

bool SpeechRecorder::startFrom(QIODevice* samples, const QString& path, int maxMs, QString* error)
{
    if (isRecording()) {
        if (error)
            *error = QStringLiteral("A recording is already running.");
        return false;
    }
    if (!open(path, maxMs, error))
        return false;
    m_input = samples;
    connect(samples, &QIODevice::readyRead, this, &SpeechRecorder::readAvailable);
    readAvailable();
    return true;
}

bool SpeechRecorder::open(const QString& path, int maxMs, QString* error)
{
    m_file.setFileName(path);
    m_bytes = 0;
    m_peak = 0;
    m_error.clear();
    m_pending.clear();
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = QStringLiteral("%1 cannot be written: %2").arg(path, m_file.errorString());
        return false;
    }
    const QByteArray header = waveHeader(SampleRate, Channels, Bits, 0);
    if (m_file.write(header) != header.size()) {
        if (error)
            *error = QStringLiteral("%1 cannot be written: %2").arg(path, m_file.errorString());
        m_file.close();
        m_file.remove();
        return false;
    }
    m_maxMs = maxMs;
    m_limit.start(maxMs); // also when the device never delivers anything
    return true;
}

void SpeechRecorder::readAvailable()
{
    if (!m_input || !isRecording() || !m_error.isEmpty())
        return;
    m_pending += m_input->readAll();
    // Whole samples only; an odd byte waits for its other half.
    const qsizetype whole = m_pending.size() & ~qsizetype(1);
    if (whole == 0)
        return;
    const char* p = m_pending.constData();
    for (qsizetype i = 0; i < whole; i += 2)
        m_peak = std::max(m_peak, std::abs(qFromLittleEndian<qint16>(p + i) / 32768.0f));
    if (m_file.write(p, whole) != whole) {
        m_error = QStringLiteral("%1 cannot be written: %2").arg(m_file.fileName(), m_file.errorString());
        QTimer::singleShot(0, this, &SpeechRecorder::stop);
        return;
    }
    m_bytes += whole;
    m_pending.remove(0, whole);
    if (m_bytes == whole) {
        // The first sound: a device may take a second or two to deliver after it opens, and
        // that time is not the learner's; the limit counts from here.
        m_limit.start(m_maxMs);
        emit listening();
    }
}

void SpeechRecorder::onSourceStateChanged()
{
    // The device went away or refused to go on: what was recorded so far is kept.
    if (m_source && m_source->state() == QAudio::StoppedState && m_source->error() != QAudio::NoError &&
        isRecording()) {
        m_deviceError = QStringLiteral("the input device stopped recording.");
        stop();
    }
}

void SpeechRecorder::stop()
{
    end(true);
}

void SpeechRecorder::cancel()
{
    end(false);
}

void SpeechRecorder::end(bool keep)
{
    if (!isRecording())
        return;
    m_limit.stop();
    readAvailable(); // what the device still holds
    if (m_input)
        disconnect(m_input, nullptr, this, nullptr);
    m_input = nullptr;
    if (m_source) {
        disconnect(m_source.get(), nullptr, this, nullptr);
        m_source->stop();
        m_source.reset();
    }
    Result result;
    result.durationMs = m_bytes * 1000 / BytesPerSecond;
    result.peak = m_peak;
    if (keep && m_error.isEmpty()) {
        // The header again, now with the real length; every step checked, so that a full disk
        // is seen rather than leaving a file that claims samples it lacks.
        const QByteArray header = waveHeader(SampleRate, Channels, Bits, quint32(m_bytes));
        if (!m_file.seek(0) || m_file.write(header) != header.size() || !m_file.flush())
            m_error = QStringLiteral("%1 cannot be written: %2").arg(m_file.fileName(), m_file.errorString());
    }
    m_file.close();
    if (!keep || !m_error.isEmpty()) {
        m_file.remove();
    } else {
        result.path = m_file.fileName();
    }
    result.error = m_error.isEmpty() ? m_deviceError : m_error;
    m_deviceError.clear();
    if (keep)
        emit finished(result);
}
