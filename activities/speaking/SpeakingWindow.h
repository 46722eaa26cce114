#pragma once

#include "ActivityWindow.h"
#include "SpeechAnalysis.h"
#include "SpeechRecorder.h"

#include <QTimer>

#include <optional>

class QLabel;
class QPushButton;
class WaveformView;

// Speaking: each phrase is shown with its translation and its model sound is heard; the
// learner records themselves (V, again to stop), hears the model and then the recording, sees
// both waveforms and a coarse hint, and grades themselves: 1 Again, 2 Hard, 3 Good, 4 Easy.
// Hard, Good and Easy count as right in the score. The recordings live in the activity's
// working folder (the launch's private hand-over folder) and are deleted when it ends.
class SpeakingWindow : public ActivityWindow
{
    Q_OBJECT
public:
    static constexpr const char* ActivityName = "Speaking";
    static constexpr int ExtraRecordingMs = 2000; // beyond twice the model's length
    static constexpr int PauseBetweenSoundsMs = 400;

    explicit SpeakingWindow(const ActivityInput& input, QWidget* parent = nullptr);
    ~SpeakingWindow() override;

    // Where this session's recordings go; empty when nothing may be recorded here.
    QString recordingFolder() const { return m_folder; }
    // The recording of the current phrase, once there is one.
    QString recordingPath() const { return m_recording; }
    bool isRecording() const { return m_recorder.isRecording(); }
    const SpeechRecorder& recorder() const { return m_recorder; }
    // The longest recording of the current phrase, in milliseconds.
    int recordingLimitMs() const;
    // The hint's figures once the comparison (on a worker thread) has finished.
    const std::optional<SpeechAnalysis::Closeness>& closeness() const { return m_closeness; }

protected:
    // V records or stops, Shift+V hears the recording, M the model, 1 to 4 grade, Escape closes.
    void keyPressEvent(QKeyEvent* event) override;
    void leaving() override;
    void showPhrase() override;
    void showResult(const QString& result) override;

private:
    void toggleRecording();
    void onRecorded(const SpeechRecorder::Result& result);
    void showCloseness(const SpeechAnalysis::Closeness& closeness);
    void playModel();
    void playRecording();
    void playBoth();
    void grade(Grade grade);
    // Says once, in the window, why nothing is or was recorded.
    void sayOnce(const QString& text);
    // Says in the same place what holds for this phrase only (a silent recording); taken back
    // with the next phrase or a word for the whole session.
    void sayForPhrase(const QString& text);
    void takeBackPhraseNotice();
    void deleteRecordings();

    const QString m_folder;
    const bool m_canHear; // a sound device to play on
    SpeechRecorder m_recorder;
    QTimer m_nextSound;
    std::optional<SpeechAnalysis::Sound> m_modelSound;
    std::optional<SpeechAnalysis::Closeness> m_closeness;
    int m_comparison = 0; // counts the comparisons started: only the newest is shown
    qint64 m_modelMs = 0;
    QString m_recording;
    QStringList m_recordings; // every file this session wrote
    bool m_noticeGiven = false;
    bool m_phraseNotice = false;
    QLabel* m_phrase = nullptr;
    QLabel* m_translation = nullptr;
    QLabel* m_notice = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_hint = nullptr;
    WaveformView* m_waves = nullptr;
    QPushButton* m_model = nullptr;
    QPushButton* m_record = nullptr;
    QPushButton* m_replay = nullptr;
    std::vector<QPushButton*> m_grades;
};
