#pragma once

#include "ActivityWindow.h"

#include <vector>

class QLabel;
class QPushButton;

// Listening: the learner hears a phrase and picks its translation among the translations
// of the other phrases (keys 1 to 4). At the end the percentage right is recorded.
class ListeningWindow : public ActivityWindow
{
    Q_OBJECT
public:
    static constexpr const char* ActivityName = "Listening";
    static constexpr int MaxChoices = 4;

    explicit ListeningWindow(const ActivityInput& input, QWidget* parent = nullptr);

    int right() const { return m_right; }
    int percentage() const;

    const std::vector<QPushButton*>& choices() const { return m_choices; }
    QLabel* lblFeedback() const { return m_feedback; }
    QPushButton* btnListen() const { return m_listen; }
    QPushButton* btnNext() const { return m_next; }
    QPushButton* btnClose() const { return m_close; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    int rightSoFar() const override { return m_right; }
    // Without sound the phrase is shown, so that the question can still be answered.
    void soundUnavailable() override;
    // The phrases answered: those before the current one, and it once chosen.
    int answersGiven() const override { return m_index + (m_answered ? 1 : 0); }

private:
    void showQuestion();
    void choose(int choice);
    void next();
    void finish();

    int m_right = 0;
    bool m_answered = false;
    QLabel* m_prompt = nullptr;
    QLabel* m_feedback = nullptr;
    QPushButton* m_listen = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_close = nullptr;
    std::vector<QPushButton*> m_choices;
};
