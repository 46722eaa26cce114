#include "MessageRotation.h"

#include <QRandomGenerator>

#include <cmath>

TemplateContent::LinkedText MessageRotation::next()
{
    if (!PendingMessage.isEmpty()) {
        TemplateContent::LinkedText t{PendingMessage, PendingLink};
        PendingMessage.clear();
        PendingLink.clear();
        return t;
    }
    // No tips for this edition: the system messages go on alone.
    if (m_tips.isEmpty())
        return m_messages.isEmpty() ? TemplateContent::LinkedText{} : nextMessage();
    ++CurrentTip;
    if (CurrentTip > m_tips.size() || CurrentTip < 1)
        CurrentTip = 1;
    return {m_tips.at(CurrentTip - 1), QString()};
}

void MessageRotation::textShown()
{
    const int coin = m_flip ? m_flip() : int(QRandomGenerator::global()->bounded(2));
    if (coin == 1 && !m_messages.isEmpty()) {
        const TemplateContent::LinkedText t = nextMessage();
        PendingMessage = t.text;
        PendingLink = t.link;
    } else {
        PendingMessage.clear();
        PendingLink.clear();
    }
}

TemplateContent::LinkedText MessageRotation::nextMessage()
{
    ++SystemMessageIndex;
    if (SystemMessageIndex > m_messages.size() || SystemMessageIndex < 1)
        SystemMessageIndex = 1;
    return m_messages.at(SystemMessageIndex - 1);
}

int MessageRotation::displayTime(const QString& text)
{
    return std::min<qsizetype>(150 * text.size(), 59000);
}

int MessageRotation::pointSize(const QString& text)
{
    const qsizetype l = text.size();
    if (l >= 1 && l <= 20)
        return 20;
    if (l >= 21 && l <= 30)
        return 18;
    if (l >= 31 && l <= 49)
        return 16;
    if (l >= 50 && l <= 60)
        return 15;
    if (l >= 61 && l <= 70)
        return 14;
    if (l >= 71 && l <= 80)
        return 13;
    if (l >= 81 && l <= 100)
        return 12;
    if (l >= 101 && l <= 130)
        return 11;
    if (l >= 131 && l <= 160)
        return 10;
    if (l >= 161 && l <= 215)
        return 9;
    return 8;
}

QColor MessageRotation::panelColour()
{
    return QColor(0xf4, 0xf1, 0xe6);
}

namespace {
double relativeLuminance(const QColor& c)
{
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}
} // namespace

double MessageRotation::contrastRatio(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor MessageRotation::readableOn(const QColor& colour, const QColor& background)
{
    QColor c = colour.toHsl();
    for (int lightness = c.lightness(); lightness > 0 && contrastRatio(c, background) < MinimumContrast;)
        c.setHsl(colour.hslHue(), colour.hslSaturation(), --lightness);
    return c.toRgb();
}

const QList<QColor>& MessageRotation::textColours()
{
    static const QList<QColor> colours = [] {
        const QColor blue(0, 0, 128);
        const QColor classic[] = {Qt::black,
                                  blue,
                                  QColor(0, 128, 0),
                                  QColor(0, 128, 128),
                                  QColor(128, 0, 0),
                                  QColor(128, 0, 128),
                                  QColor(128, 128, 0),
                                  blue, // 7, light grey, is never drawn
                                  QColor(128, 128, 128),
                                  QColor(0, 0, 255),
                                  blue,
                                  blue, // light green and light cyan
                                  QColor(255, 0, 0),
                                  QColor(255, 0, 255),
                                  blue}; // yellow
        QList<QColor> list;
        for (const QColor& c : classic)
            list << readableOn(c, panelColour());
        return list;
    }();
    return colours;
}
