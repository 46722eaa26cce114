#include "FlashcardsWindow.h"

#include "ActivityResult.h"
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
          {"result", "Sabías %1."},
          {"close", "&Cerrar"},
          {"phraseArea", "Frase"},
          {"translationArea", "Traducción"},
          {"saveError", "No se ha podido guardar tu resultado:"}}},
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
    m_close = makeButton("btnClose", "close");
    auto* answers = new QHBoxLayout;
    answers->addWidget(m_knownButton);
    answers->addWidget(m_unknownButton);
    addScrolling(m_phrase, "phraseArea");
    addScrolling(m_translation, "translationArea");
    m_layout->addWidget(m_listen);
    m_layout->addWidget(m_reveal);
    m_layout->addLayout(answers);
    m_layout->addWidget(m_close);
    connect(m_listen, &QPushButton::clicked, this,
            [this] { ActivitySound::play(m_input.phrases.at(m_index).soundFile); });
    connect(m_reveal, &QPushButton::clicked, this, &FlashcardsWindow::reveal);
    connect(m_knownButton, &QPushButton::clicked, this, [this] { answer(true); });
    connect(m_unknownButton, &QPushButton::clicked, this, [this] { answer(false); });
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    resize(520, 360);
    showCard();
}

void FlashcardsWindow::showCard()
{
    const ActivityPhrase& p = m_input.phrases.at(m_index);
    m_progress->setText(tr_("progress").arg(m_index + 1).arg(m_input.phrases.size()));
    m_phrase->setText(ShownText::wrappable(p.phrase, ShownText::PhraseLimit));
    m_translation->clear();
    clearAnnouncement();
    m_knownButton->setEnabled(false);
    m_unknownButton->setEnabled(false);
    m_reveal->setEnabled(true);
    m_reveal->setDefault(true);
    m_reveal->setFocus();
    m_close->hide();
    ActivitySound::play(p.soundFile);
}

void FlashcardsWindow::reveal()
{
    const ActivityPhrase& p = m_input.phrases.at(m_index);
    const QString translation = ShownText::wrappable(p.translation, ShownText::PhraseLimit);
    m_translation->setText(p.translation2.isEmpty()
                               ? translation
                               : translation + QStringLiteral("\n(") +
                                     ShownText::wrappable(p.translation2, ShownText::PhraseLimit) +
                                     QLatin1Char(')'));
    m_reveal->setEnabled(false);
    m_knownButton->setEnabled(true);
    m_unknownButton->setEnabled(true);
    announce(m_translation->text(), m_knownButton);
}

void FlashcardsWindow::answer(bool known)
{
    if (m_finished || m_reveal->isEnabled())
        return;
    if (known)
        ++m_known;
    ++m_marked;
    // The two answers are the scheduler's Good and Again.
    setPhraseGrade(m_index, known ? Good : Again);
    if (m_index + 1 < int(m_input.phrases.size())) {
        ++m_index;
        showCard();
    } else {
        finish();
    }
}

void FlashcardsWindow::finish()
{
    const int n = int(m_input.phrases.size());
    m_phrase->setText(tr_("result").arg(ActivityResult::scoreText(m_known, n)));
    m_translation->clear();
    for (QPushButton* b : {m_listen, m_reveal, m_knownButton, m_unknownButton})
        b->setEnabled(false);
    finishWith(m_close, m_known, n, m_phrase->text());
}

void FlashcardsWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() == Qt::NoModifier && !m_finished && !m_reveal->isEnabled()) {
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
