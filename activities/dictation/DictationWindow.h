#pragma once

#include "ActivityWindow.h"
#include "DictationCheck.h"

#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

// Dictation: the learner hears each phrase and types it in the studied language; Enter
// checks it word by word (DictationCheck) and shows the answer and the phrase aligned, with
// every mistake marked by colour and by name, and the translation. A phrase is right when
// graded Good or Hard; the number right of the phrases asked is recorded, with each phrase's
// grade. Closed early (Escape), the phrases checked so far are recorded.
class DictationWindow : public ActivityWindow
{
    Q_OBJECT
public:
    static constexpr const char* ActivityName = "Dictation";
    static constexpr double SlowerRate = 0.7;

    explicit DictationWindow(const ActivityInput& input, QWidget* parent = nullptr);
    ~DictationWindow() override;

    // The special letters offered for a studied language (its English name, as the input
    // file gives it): lower case, then capitals.
    static QStringList specialLetters(const QString& studiedLanguage);

    int right() const { return m_right; }
    int checked() const { return m_checked; }
    const DictationCheck::Result& lastResult() const { return m_result; }

    QLineEdit* txtAnswer() const { return m_answer; }
    QLabel* lblFeedback() const { return m_feedback; }
    QLabel* lblSoundProblem() const { return m_soundProblem; }
    QLabel* lblHelp() const { return m_help; }
    QPushButton* btnListen() const { return m_listen; }
    QPushButton* btnSlower() const { return m_slower; }
    QPushButton* btnCheck() const { return m_check; }
    QPushButton* btnNext() const { return m_next; }
    QPushButton* btnClose() const { return m_close; }
    const std::vector<QPushButton*>& letterButtons() const { return m_letters; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    int rightSoFar() const override { return m_right; }
    int answersGiven() const override { return m_checked; }

private:
    void showPhrase();
    void listen();
    void listenSlowly();
    void insertLetter(const QString& letter);
    void check();
    void next();
    void finish();
    void soundFailed();
    // The answer and the phrase aligned word by word, as rich text.
    QString alignment(const DictationCheck::Result& result) const;

    int m_right = 0;
    int m_checked = 0;
    bool m_answered = false;
    bool m_soundProblemShown = false;
    DictationCheck::Result m_result;
    QLabel* m_prompt = nullptr;
    QLabel* m_help = nullptr;
    QLabel* m_soundProblem = nullptr;
    QLabel* m_hint = nullptr; // the translation, when the sound cannot be heard
    QLineEdit* m_answer = nullptr;
    QLabel* m_feedback = nullptr;
    QPushButton* m_listen = nullptr;
    QPushButton* m_slower = nullptr;
    QPushButton* m_check = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_close = nullptr;
    std::vector<QPushButton*> m_letters;
};
