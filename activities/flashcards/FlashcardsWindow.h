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

protected:
    // K: known, N: not known (after the translation is shown), Escape: close.
    void keyPressEvent(QKeyEvent* event) override;
    void showPhrase() override;
    void showResult(const QString& result) override;

private:
    void reveal();
    void answer(bool known);

    QLabel* m_phrase = nullptr;
    QLabel* m_translation = nullptr;
    QPushButton* m_listen = nullptr;
    QPushButton* m_reveal = nullptr;
    QPushButton* m_knownButton = nullptr;
    QPushButton* m_unknownButton = nullptr;
};
