#pragma once

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class QAudioSource;
class QIODevice;

// Records the learner's voice from the default input device into a WAVE file of its own:
// 16 kHz, one channel, 16 bits. The 44-byte header is written first for an empty sound and
// again with the real length when the recording ends. No widgets: the window starts and stops
// it, tests feed it from any device.
class SpeechRecorder : public QObject
{
    Q_OBJECT
public:
    static constexpr int SampleRate = 16000;

    struct Result
    {
        QString path;  // the file, complete; empty when the recording failed
        QString error; // why it failed, or why the device stopped early
        qint64 durationMs = 0;
        float peak = 0; // the largest sample, 0 to 1
    };

    explicit SpeechRecorder(QObject* parent = nullptr);
    ~SpeechRecorder() override;

    // Whether any input device is known at all (no audio server, no microphone: none).
    static bool hasInputDevice();

    // Records from the default input device into path for at most maxMs; false with the reason
    // when nothing can be recorded (no device, the device refused, the file cannot be written).
    bool start(const QString& path, int maxMs, QString* error);
    // The same from a device that delivers the samples (16 kHz mono 16-bit little-endian):
    // what is there is read at once, the rest as it comes.
    bool startFrom(QIODevice* samples, const QString& path, int maxMs, QString* error);
    // Ends the recording: the file is completed and finished() is emitted. Nothing when idle.
    void stop();
    // Ends the recording and deletes its file, without finished().
    void cancel();
    bool isRecording() const { return m_file.isOpen(); }
    qint64 bytesRecorded() const { return m_bytes; }

signals:
    // The device delivers: the learner may speak now.
    void listening();
    void finished(const SpeechRecorder::Result& result);

private:
    bool open(const QString& path, int maxMs, QString* error);
    void readAvailable();
    void onSourceStateChanged();
    void end(bool keep);

    std::unique_ptr<QAudioSource> m_source;
    QPointer<QIODevice> m_input;
    QFile m_file;
    QTimer m_limit;
    qint64 m_bytes = 0;
    int m_maxMs = 0;
    float m_peak = 0;
    QByteArray m_pending;
    QString m_error;       // a write failed: the file is dropped
    QString m_deviceError; // the device stopped early: what was recorded is kept
};
