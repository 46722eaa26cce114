#pragma once

#include "content/TemplateContent.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// What the main window's message panel shows in turn: the text queued by the start-up or
// a system message, else the next study tip. The panel's timers ask it for the next text
// at the upper turning point and let it queue a message when a text has been shown.
class MessageRotation
{
public:
    // 0 or 1 with equal chance; tests give their own.
    using CoinFlip = std::function<int()>;

    void setMessages(const QList<TemplateContent::LinkedText>& messages) { m_messages = messages; }
    // tipCount = tips.size() + 1, as loaded.
    void setTips(const QStringList& tips) { m_tips = tips; }
    void setCurrentTip(int tip) { CurrentTip = tip; }
    void setCoinFlip(CoinFlip flip) { m_flip = std::move(flip); }

    // The text to show now (the pending one, else the next tip); clears the pending text.
    TemplateContent::LinkedText next();
    // After a text was shown: queue the next system message or nothing (then a tip comes).
    void textShown();

    // Display time in milliseconds: 150 ms a character, at most 59 s.
    static int displayTime(const QString& text);
    // Type size for a text of this length: 20 points for short texts, down to 8 points.
    static int pointSize(const QString& text);

    QString PendingMessage;
    QString PendingLink;
    int CurrentTip = 0;
    int SystemMessageIndex = 0;

private:
    QList<TemplateContent::LinkedText> m_messages;
    QStringList m_tips;
    CoinFlip m_flip;
};
