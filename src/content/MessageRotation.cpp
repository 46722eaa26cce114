#include "MessageRotation.h"

#include <QRandomGenerator>

TemplateContent::LinkedText MessageRotation::next()
{
    if (!PendingMessage.isEmpty()) {
        TemplateContent::LinkedText t{PendingMessage, PendingLink};
        PendingMessage.clear();
        PendingLink.clear();
        return t;
    }
    // No tips for this edition: the rotation skips them.
    if (m_tips.isEmpty())
        return {};
    ++CurrentTip;
    if (CurrentTip > m_tips.size() || CurrentTip < 1)
        CurrentTip = 1;
    return {m_tips.at(CurrentTip - 1), QString()};
}

void MessageRotation::textShown()
{
    const int coin = m_flip ? m_flip() : int(QRandomGenerator::global()->bounded(2));
    if (coin == 1 && !m_messages.isEmpty()) {
        ++SystemMessageIndex;
        if (SystemMessageIndex > m_messages.size() || SystemMessageIndex < 1)
            SystemMessageIndex = 1;
        PendingMessage = m_messages.at(SystemMessageIndex - 1).text;
        PendingLink = m_messages.at(SystemMessageIndex - 1).link;
    } else {
        PendingMessage.clear();
        PendingLink.clear();
    }
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
