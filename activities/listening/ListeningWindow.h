#pragma once

#include "ActivityInput.h"

#include <QMainWindow>

#include <vector>

class QLabel;
class QPushButton;

// Listening: the learner hears a phrase and picks its translation among the translations
// of the other phrases (keys 1 to 4). At the end the percentage right is recorded.
class ListeningWindow : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr const char* ActivityName = "Listening";
    static constexpr int MaxChoices = 4;

    explicit ListeningWindow(const ActivityInput& input, QWidget* parent = nullptr);

    int current() const { return m_index; }
    int right() const { return m_right; }
    bool finished() const { return m_finished; }
    int percentage() const;
    QString saveError() const { return m_saveError; }

    const std::vector<QPushButton*>& choices() const { return m_choices; }
    QLabel* lblFeedback() const { return m_feedback; }
    QPushButton* btnListen() const { return m_listen; }
    QPushButton* btnNext() const { return m_next; }
    QPushButton* btnClose() const { return m_close; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString tr_(const char* key) const;
    void showQuestion();
    void choose(int choice);
    void next();
    void finish();

    ActivityInput m_input;
    int m_index = 0;
    int m_right = 0;
    bool m_answered = false;
    bool m_finished = false;
    QString m_saveError;
    QLabel* m_progress = nullptr;
    QLabel* m_prompt = nullptr;
    QLabel* m_feedback = nullptr;
    QPushButton* m_listen = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_close = nullptr;
    std::vector<QPushButton*> m_choices;
};
