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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Without sound the phrase is shown, so that the question can still be answered.
    void soundUnavailable() override;
    void showPhrase() override;
    void showResult(const QString& result) override;

private:
    void choose(int choice);
    // Marks an answered choice: the chosen one, right or wrong, and the right one.
    void mark(QPushButton* button, Mark how, bool chosen);

    QLabel* m_prompt = nullptr;
    QLabel* m_feedback = nullptr;
    QPushButton* m_listen = nullptr;
    QPushButton* m_next = nullptr;
    std::vector<QPushButton*> m_choices;
};
