#pragma once

#include "ActivityWindow.h"

class QLabel;
class QPushButton;

// Flashcards: each phrase is shown and heard, the learner reveals its translations and
// says whether it was known. At the end the number known out of N is recorded; closed
// earlier (Escape), the cards marked so far are, and nothing when none was marked.
class FlashcardsWindow : public ActivityWindow
{
    Q_OBJECT
public:
    static constexpr const char* ActivityName = "Flashcards";

    explicit FlashcardsWindow(const ActivityInput& input, QWidget* parent = nullptr);

    int known() const { return m_known; }
    int marked() const { return m_marked; }

    QLabel* lblPhrase() const { return m_phrase; }
    QLabel* lblTranslation() const { return m_translation; }
    QPushButton* btnListen() const { return m_listen; }
    QPushButton* btnReveal() const { return m_reveal; }
    QPushButton* btnKnown() const { return m_knownButton; }
    QPushButton* btnUnknown() const { return m_unknownButton; }
    QPushButton* btnClose() const { return m_close; }

protected:
    // K: known, N: not known (after the translation is shown), Escape: close.
    void keyPressEvent(QKeyEvent* event) override;
    int rightSoFar() const override { return m_known; }
    int answersGiven() const override { return m_marked; }

private:
    void showCard();
    void reveal();
    void answer(bool known);
    void finish();

    int m_known = 0;
    int m_marked = 0;
    QLabel* m_phrase = nullptr;
    QLabel* m_translation = nullptr;
    QPushButton* m_listen = nullptr;
    QPushButton* m_reveal = nullptr;
    QPushButton* m_knownButton = nullptr;
    QPushButton* m_unknownButton = nullptr;
    QPushButton* m_close = nullptr;
};
