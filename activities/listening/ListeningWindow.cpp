#include "ListeningWindow.h"

#include "ActivitySound.h"
#include "ActivityTexts.h"
#include "platform/ShownText.h"

#include <QCloseEvent>
#include <QColor>
#include <QKeyEvent>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QRandomGenerator>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const ActivityTextTable& texts()
{
    static const ActivityTextTable t = {
        {QStringLiteral("English"),
         {{"title", "Listening"},
          {"progress", "Phrase %1 of %2"},
          {"prompt", "Listen, then choose what the phrase means."},
          {"listen", "&Listen again"},
          {"right", "Right!"},
          {"markChosenRight", "Your choice: right"},
          {"markChosenWrong", "Your choice: wrong"},
          {"markRight", "The right answer"},
          {"wrong", "Not quite. The phrase was \"%1\": %2"},
          {"next", "&Next"},
          {"result", "You understood %1."},
          {"close", "&Close"},
          {"feedbackArea", "Answer"},
          {"saveError", "Your result could not be saved:"}}},
        {QStringLiteral("Spanish"),
         {{"title", "Escuchar"},
          {"progress", "Frase %1 de %2"},
          {"prompt", "Escuche y elija lo que significa la frase."},
          {"listen", "&Escuchar otra vez"},
          {"right", "¡Correcto!"},
          {"markChosenRight", "Su elección: correcta"},
          {"markChosenWrong", "Su elección: incorrecta"},
          {"markRight", "La respuesta correcta"},
          {"wrong", "No exactamente. La frase era «%1»: %2"},
          {"next", "&Siguiente"},
          {"result", "Ha entendido %1."},
          {"close", "&Cerrar"},
          {"feedbackArea", "Respuesta"},
          {"saveError", "No se ha podido guardar su resultado:"}}},
    };
    return t;
}
} // namespace

ListeningWindow::ListeningWindow(const ActivityInput& input, QWidget* parent)
    : ActivityWindow(input, texts(), ActivityName, parent)
{
    m_prompt = new QLabel(tr_("prompt"), this);
    m_prompt->setObjectName(QStringLiteral("lblPrompt"));
    m_feedback = new QLabel(this);
    m_feedback->setObjectName(QStringLiteral("lblFeedback"));
    m_feedback->setTextFormat(Qt::PlainText);
    m_feedback->setWordWrap(true);
    m_listen = makeButton("btnListen", "listen");
    m_layout->addWidget(m_prompt);
    m_layout->addWidget(m_listen);
    for (int i = 0; i < MaxChoices; ++i) {
        auto* b = new QPushButton(this);
        b->setObjectName(QStringLiteral("btnChoice_%1").arg(i));
        b->setAutoDefault(true); // Enter chooses the focused answer
        focusOnlyWhenEnabled(b);
        connect(b, &QPushButton::clicked, this, [this, i] { choose(i); });
        m_layout->addWidget(b);
        m_choices.push_back(b);
    }
    addScrolling(m_feedback, "feedbackArea");
    m_next = makeButton("btnNext", "next");
    m_layout->addWidget(m_next);
    connect(m_listen, &QPushButton::clicked, this, [this] { ActivitySound::play(m_run.phrase().soundFile); });
    connect(m_next, &QPushButton::clicked, this, &ListeningWindow::goOn);
    resize(520, 400);
    setListenButtons({m_listen});
    start();
}

void ListeningWindow::showPhrase()
{
    const ActivityPhrase& p = m_run.phrase();
    // The right translation and up to three different ones of the other phrases.
    QStringList others;
    for (const ActivityPhrase& o : m_input.phrases) {
        if (o.translation != p.translation && !others.contains(o.translation))
            others << o.translation;
    }
    std::shuffle(others.begin(), others.end(), *QRandomGenerator::global());
    QStringList options{p.translation};
    options << others.mid(0, MaxChoices - 1);
    std::shuffle(options.begin(), options.end(), *QRandomGenerator::global());
    for (int i = 0; i < MaxChoices; ++i) {
        QPushButton* b = m_choices[i];
        const bool used = i < options.size();
        b->setVisible(used);
        b->setEnabled(used);
        const QString text = used ? options.at(i) : QString();
        b->setProperty("translation", text);
        // A button cannot wrap: its text is cut to a length that fits the window.
        const QString shown = ShownText::cut(text, ShownText::ButtonLimit);
        b->setText(QStringLiteral("&%1  ").arg(i + 1) +
                   QString(shown).replace(QLatin1Char('&'), QLatin1String("&&")));
        b->setAccessibleName(shown);
        b->setAccessibleDescription(QString());
        b->setProperty("verdict", QVariant());
        b->setStyleSheet(QString());
    }
    m_feedback->clear();
    m_next->setEnabled(false);
    m_choices.front()->setFocus();
    ActivitySound::play(p.soundFile);
}

void ListeningWindow::choose(int choice)
{
    if (choice < 0 || choice >= MaxChoices || !m_choices[size_t(choice)]->isVisible())
        return;
    const ActivityPhrase& p = m_run.phrase();
    QPushButton* chosen = m_choices[size_t(choice)];
    const bool right = chosen->property("translation").toString() == p.translation;
    if (!m_run.grade(right ? Grade::Good : Grade::Again))
        return;
    // The choice and, when it was wrong, the right one are marked on the buttons themselves:
    // by colour, by a sign in their text and in words for a screen reader.
    for (QPushButton* b : m_choices) {
        const bool isRight = b->property("translation").toString() == p.translation;
        if (b == chosen || (isRight && b->isVisible()))
            mark(b, isRight ? Mark::Right : Mark::Wrong, b == chosen);
    }
    m_feedback->setText(right
                            ? tr_("right")
                            : tr_("wrong").arg(ShownText::wrappable(p.phrase, ShownText::PhraseLimit),
                                               ShownText::wrappable(p.translation, ShownText::PhraseLimit)));
    for (QPushButton* b : m_choices)
        b->setEnabled(false);
    m_next->setEnabled(true);
    m_next->setDefault(true);
    announce(m_feedback->text(), m_next);
}

void ListeningWindow::keyPressEvent(QKeyEvent* event)
{
    const int k = event->key();
    if (k >= Qt::Key_1 && k < Qt::Key_1 + MaxChoices) {
        choose(k - Qt::Key_1);
        return;
    }
    if ((k == Qt::Key_Return || k == Qt::Key_Enter) && m_run.currentGraded() && !m_run.ended()) {
        goOn();
        return;
    }
    ActivityWindow::keyPressEvent(event);
}

void ListeningWindow::soundUnavailable()
{
    if (!m_run.ended())
        m_prompt->setText(ShownText::wrappable(m_run.phrase().phrase, ShownText::PhraseLimit));
}

void ListeningWindow::mark(QPushButton* button, Mark how, bool chosen)
{
    const bool right = how == Mark::Right;
    button->setProperty("verdict", right ? QStringLiteral("right") : QStringLiteral("wrong"));
    const QString words = tr_(right ? (chosen ? "markChosenRight" : "markRight") : "markChosenWrong");
    button->setAccessibleDescription(words);
    button->setToolTip(words);
    button->setText((right ? QStringLiteral("\u2713 ") : QStringLiteral("\u2717 ")) + button->text());
    // Also while disabled (every choice is, once answered), in a colour that reads on this palette.
    button->setStyleSheet(
        QStringLiteral("QPushButton, QPushButton:disabled { color: %1; border: 2px solid %1; "
                       "border-radius: 3px; padding: 4px; font-weight: bold; }")
            .arg(markColour(how).name()));
}

void ListeningWindow::showResult(const QString& result)
{
    m_prompt->clear();
    for (QPushButton* b : m_choices)
        b->hide();
    m_feedback->setText(result);
    m_listen->setEnabled(false);
    m_next->setEnabled(false);
}
