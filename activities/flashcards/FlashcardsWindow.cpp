#include "FlashcardsWindow.h"

#include "ActivitySound.h"
#include "ActivityTexts.h"
#include "platform/ShownText.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// The few texts of the activity, in the learner's language.
const ActivityTextTable& texts()
{
    static const ActivityTextTable t = {
        {QStringLiteral("English"),
         {{"title", "Flashcards"},
          {"progress", "Card %1 of %2"},
          {"listen", "&Listen again"},
          {"reveal", "&Show the translation"},
          {"known", "I &knew it"},
          {"unknown", "I did &not know it"},
          {"result", "You knew %1."},
          {"close", "&Close"},
          {"phraseArea", "Phrase"},
          {"translationArea", "Translation"},
          {"saveError", "Your result could not be saved:"}}},
        {QStringLiteral("Spanish"),
         {{"title", "Tarjetas"},
          {"progress", "Tarjeta %1 de %2"},
          {"listen", "&Escuchar otra vez"},
          {"reveal", "&Mostrar la traducción"},
          {"known", "La &sabía"},
          {"unknown", "&No la sabía"},
          {"result", "Sabía %1."},
          {"close", "&Cerrar"},
          {"phraseArea", "Frase"},
          {"translationArea", "Traducción"},
          {"saveError", "No se ha podido guardar su resultado:"}}},
    };
    return t;
}
} // namespace

FlashcardsWindow::FlashcardsWindow(const ActivityInput& input, QWidget* parent)
    : ActivityWindow(input, texts(), ActivityName, parent)
{
    m_phrase = new QLabel(this);
    m_phrase->setObjectName(QStringLiteral("lblPhrase"));
    m_translation = new QLabel(this);
    m_translation->setObjectName(QStringLiteral("lblTranslation"));
    for (QLabel* l : {m_phrase, m_translation}) {
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignCenter);
    }
    QFont big = m_phrase->font();
    big.setPointSize(big.pointSize() + 8);
    m_phrase->setFont(big);
    m_listen = makeButton("btnListen", "listen");
    m_reveal = makeButton("btnReveal", "reveal");
    m_knownButton = makeButton("btnKnown", "known");
    m_unknownButton = makeButton("btnUnknown", "unknown");
    auto* answers = new QHBoxLayout;
    answers->addWidget(m_knownButton);
    answers->addWidget(m_unknownButton);
    addScrolling(m_phrase, "phraseArea");
    addScrolling(m_translation, "translationArea");
    m_layout->addWidget(m_listen);
    m_layout->addWidget(m_reveal);
    m_layout->addLayout(answers);
    connect(m_listen, &QPushButton::clicked, this, [this] { ActivitySound::play(m_run.phrase().soundFile); });
    connect(m_reveal, &QPushButton::clicked, this, &FlashcardsWindow::reveal);
    connect(m_knownButton, &QPushButton::clicked, this, [this] { answer(true); });
    connect(m_unknownButton, &QPushButton::clicked, this, [this] { answer(false); });
    resize(520, 360);
    setListenButtons({m_listen});
    start();
}

void FlashcardsWindow::showPhrase()
{
    const ActivityPhrase& p = m_run.phrase();
    m_phrase->setText(ShownText::wrappable(p.phrase, ShownText::PhraseLimit));
    m_translation->clear();
    m_knownButton->setEnabled(false);
    m_unknownButton->setEnabled(false);
    m_reveal->setEnabled(true);
    m_reveal->setDefault(true);
    m_reveal->setFocus();
    ActivitySound::play(p.soundFile);
}

void FlashcardsWindow::reveal()
{
    const ActivityPhrase& p = m_run.phrase();
    m_translation->setText(shownTranslations(p, QStringLiteral("\n")));
    m_reveal->setEnabled(false);
    m_knownButton->setEnabled(true);
    m_unknownButton->setEnabled(true);
    announce(m_translation->text(), m_knownButton);
}

void FlashcardsWindow::answer(bool known)
{
    // The two answers are the scheduler's Good and Again.
    if (!m_reveal->isEnabled() && m_run.grade(known ? Grade::Good : Grade::Again))
        goOn();
}

void FlashcardsWindow::showResult(const QString& result)
{
    m_phrase->setText(result);
    m_translation->clear();
    for (QPushButton* b : {m_listen, m_reveal, m_knownButton, m_unknownButton})
        b->setEnabled(false);
}

void FlashcardsWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() == Qt::NoModifier && !m_run.ended() && !m_reveal->isEnabled()) {
        if (event->key() == Qt::Key_K) {
            answer(true);
            return;
        }
        if (event->key() == Qt::Key_N) {
            answer(false);
            return;
        }
    }
    ActivityWindow::keyPressEvent(event);
}
