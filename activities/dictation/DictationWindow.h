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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showPhrase() override;
    void showResult(const QString& result) override;

private:
    void listen();
    void listenSlowly();
    void insertLetter(const QString& letter);
    void check();
    // Reveals the phrase and grades it Again.
    void dontKnow();
    // The verdict, what shows the answer (rich text) and what a screen reader says of it.
    void showAnswered(const QString& verdict, const QString& html, const QString& said);
    void soundFailed();
    void slowerUnavailable();
    // The colour of a mark in the alignment, readable on this window's palette.
    QString colourOf(DictationCheck::Word::Mark mark) const;
    // The answer and the phrase aligned word by word, as rich text.
    QString alignment(const DictationCheck::Result& result) const;

    bool m_soundProblemShown = false;
    QLabel* m_prompt = nullptr;
    QLabel* m_help = nullptr;
    QLabel* m_soundProblem = nullptr;
    QLabel* m_hint = nullptr; // the translation, when the sound cannot be heard
    QLineEdit* m_answer = nullptr;
    QLabel* m_feedback = nullptr;
    QPushButton* m_listen = nullptr;
    QPushButton* m_slower = nullptr;
    QPushButton* m_check = nullptr;
    QPushButton* m_dontKnow = nullptr;
    QPushButton* m_next = nullptr;
    std::vector<QPushButton*> m_letters;
};
