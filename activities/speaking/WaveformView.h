#pragma once

#include "SpeechAnalysis.h"

#include <QString>
#include <QWidget>

#include <optional>

// The model's speech above, the learner's below, silences trimmed, on one time axis, so that
// length and rhythm can be seen side by side. Each is drawn from its samples as the loudest
// sample of every pixel column.
class WaveformView : public QWidget
{
    Q_OBJECT
public:
    explicit WaveformView(QWidget* parent = nullptr);

    // The labels drawn beside each row, in the learner's language.
    void setLabels(const QString& model, const QString& attempt);
    // Sounds as they are: the view trims them. No attempt: only the model's row is drawn.
    void setSounds(const std::optional<SpeechAnalysis::Sound>& model,
                   const std::optional<SpeechAnalysis::Sound>& attempt);
    // The length the common axis shows, in milliseconds.
    qint64 axisMs() const;

    QSize sizeHint() const override { return {480, 140}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Row
    {
        std::vector<float> speech; // trimmed samples
    };
    static Row trimmed(const std::optional<SpeechAnalysis::Sound>& sound);

    Row m_model;
    Row m_attempt;
    QString m_modelLabel;
    QString m_attemptLabel;
};
