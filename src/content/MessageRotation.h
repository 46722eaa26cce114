#pragma once

#include "content/TemplateContent.h"

#include <QColor>
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

    // The text to show now (the pending one, else the next tip, else the next system message
    // when the edition has no tips); clears the pending text. Empty when there is nothing.
    TemplateContent::LinkedText next();
    // After a text was shown: queue the next system message or nothing (then a tip comes).
    void textShown();

    // Display time in milliseconds: 150 ms a character, at most 59 s.
    static int displayTime(const QString& text);
    // Type size for a text of this length: 20 points for short texts, down to 8 points.
    static int pointSize(const QString& text);
    static constexpr int LargestPointSize = 20;

    // The panel's background and the colours a text may take, indexed by a draw of 0 to 14:
    // the classic console colours without white, light green, light cyan and yellow (drawn
    // as blue instead), each darkened where needed, keeping its hue, to stay readable.
    static QColor panelColour();
    static const QList<QColor>& textColours();
    // The contrast ratio of two colours (1 to 21) from their relative luminance.
    static double contrastRatio(const QColor& a, const QColor& b);
    static constexpr double MinimumContrast = 4.5;
    // The colour itself when it reaches MinimumContrast on the background, else the same hue
    // and saturation made darker until it does.
    static QColor readableOn(const QColor& colour, const QColor& background);

    QString PendingMessage;
    QString PendingLink;
    int CurrentTip = 0;
    int SystemMessageIndex = 0;

private:
    TemplateContent::LinkedText nextMessage();
    QList<TemplateContent::LinkedText> m_messages;
    QStringList m_tips;
    CoinFlip m_flip;
};
