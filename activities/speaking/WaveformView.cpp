#include "WaveformView.h"

#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>

WaveformView::WaveformView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("wavSpeech"));
    setMinimumHeight(100);
    setFocusPolicy(Qt::NoFocus); // a picture: the hint line below says what it shows in words
}

void WaveformView::setLabels(const QString& model, const QString& attempt)
{
    m_modelLabel = model;
    m_attemptLabel = attempt;
    update();
}

WaveformView::Row WaveformView::trimmed(const std::optional<SpeechAnalysis::Sound>& sound)
{
    Row row;
    if (!sound)
        return row;
    const SpeechAnalysis::Span span = SpeechAnalysis::voicedSpan(*sound);
    row.speech.assign(sound->samples.begin() + span.begin, sound->samples.begin() + span.end);
    return row;
}

void WaveformView::setSounds(const std::optional<SpeechAnalysis::Sound>& model,
                             const std::optional<SpeechAnalysis::Sound>& attempt)
{
    m_model = trimmed(model);
    m_attempt = trimmed(attempt);
    update();
}

qint64 WaveformView::axisMs() const
{
    return qint64(std::max(m_model.speech.size(), m_attempt.speech.size())) * 1000 /
           SpeechAnalysis::SampleRate;
}

void WaveformView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    const QFontMetrics metrics(font());
    const int labelWidth =
        std::max(metrics.horizontalAdvance(m_modelLabel), metrics.horizontalAdvance(m_attemptLabel)) + 12;
    const int width = std::max(1, this->width() - labelWidth - 4);
    const qsizetype axis = qsizetype(std::max(m_model.speech.size(), m_attempt.speech.size()));
    const int rowHeight = height() / 2;
    const Row* rows[2] = {&m_model, &m_attempt};
    const QString labels[2] = {m_modelLabel, m_attemptLabel};
    const QColor inks[2] = {palette().color(QPalette::Highlight), QColor(0xc6, 0x28, 0x28)};
    for (int r = 0; r < 2; ++r) {
        const QRect area(labelWidth, r * rowHeight + 2, width, rowHeight - 4);
        p.setPen(palette().color(QPalette::Text));
        p.drawText(QRect(4, area.top(), labelWidth - 8, area.height()), Qt::AlignVCenter | Qt::AlignLeft,
                   labels[r]);
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(area.left(), area.center().y(), area.right(), area.center().y());
        const std::vector<float>& s = rows[r]->speech;
        if (s.empty() || axis == 0)
            continue;
        p.setPen(inks[r]);
        // Each row at its own scale: a quiet microphone still shows the rhythm.
        float top = 0;
        for (float v : s)
            top = std::max(top, std::abs(v));
        const double perPixel = double(axis) / width;
        const int columns = int(std::ceil(double(s.size()) / perPixel));
        for (int x = 0; x < columns && x < width; ++x) {
            const size_t from = size_t(x * perPixel), to = std::min(s.size(), size_t((x + 1) * perPixel) + 1);
            float loudest = 0;
            for (size_t i = from; i < to; ++i)
                loudest = std::max(loudest, std::abs(s[i]));
            const int half = std::max(1, int(loudest / std::max(top, 1e-6f) * area.height() / 2));
            p.drawLine(area.left() + x, area.center().y() - half, area.left() + x, area.center().y() + half);
        }
    }
}
