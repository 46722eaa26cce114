#include "FlashcardsWindow.h"

#include "ActivitySound.h"
#include "ActivityTexts.h"
#include "platform/ShownText.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMap>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
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
          {"result", "You knew %1 of %2 phrases."},
          {"close", "&Close"},
          {"saveError", "Your result could not be saved:"}}},
        {QStringLiteral("Spanish"),
         {{"title", "Tarjetas"},
          {"progress", "Tarjeta %1 de %2"},
          {"listen", "&Escuchar otra vez"},
          {"reveal", "&Mostrar la traducción"},
          {"known", "La &sabía"},
          {"unknown", "&No la sabía"},
          {"result", "Sabías %1 de %2 frases."},
          {"close", "&Cerrar"},
          {"saveError", "No se ha podido guardar tu resultado:"}}},
    };
    return t;
}
} // namespace

QString FlashcardsWindow::tr_(const char* key) const
{
    return activityText(texts(), m_input.interfaceLanguage, key);
}

FlashcardsWindow::FlashcardsWindow(const ActivityInput& input, QWidget* parent)
    : QWidget(parent), m_input(input)
{
    setObjectName(QStringLiteral("frmFlashcards"));
    setWindowTitle(tr_("title") + QStringLiteral(" - ") +
                   ShownText::cut(m_input.subject.trimmed(), ShownText::NameLimit));
    auto* layout = new QVBoxLayout(this);
    m_progress = new QLabel(this);
    m_progress->setObjectName(QStringLiteral("lblProgress"));
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
    auto makeButton = [this](const char* name, const char* key) {
        auto* b = new QPushButton(tr_(key), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAccessibleName(QString(tr_(key)).remove(QLatin1Char('&')));
        return b;
    };
    m_listen = makeButton("btnListen", "listen");
    m_reveal = makeButton("btnReveal", "reveal");
    m_knownButton = makeButton("btnKnown", "known");
    m_unknownButton = makeButton("btnUnknown", "unknown");
    m_close = makeButton("btnClose", "close");
    auto* answers = new QHBoxLayout;
    answers->addWidget(m_knownButton);
    answers->addWidget(m_unknownButton);
    layout->addWidget(m_progress);
    // A long phrase scrolls inside its own area; the buttons stay in reach.
    for (QLabel* l : {m_phrase, m_translation}) {
        auto* area = new QScrollArea(this);
        area->setWidget(l);
        area->setWidgetResizable(true);
        area->setFrameShape(QFrame::NoFrame);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        layout->addWidget(area, 1);
    }
    layout->addWidget(m_listen);
    layout->addWidget(m_reveal);
    layout->addLayout(answers);
    layout->addWidget(m_close);
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
    m_knownButton->setFocus();
}

void FlashcardsWindow::answer(bool known)
{
    if (m_finished || m_reveal->isEnabled())
        return;
    if (known)
        ++m_known;
    if (m_index + 1 < int(m_input.phrases.size())) {
        ++m_index;
        showCard();
    } else {
        finish();
    }
}

void FlashcardsWindow::finish()
{
    m_finished = true;
    ActivitySound::stop();
    const int n = int(m_input.phrases.size());
    m_progress->clear();
    m_phrase->setText(tr_("result").arg(m_known).arg(n));
    m_translation->clear();
    for (QPushButton* b : {m_listen, m_reveal, m_knownButton, m_unknownButton})
        b->setEnabled(false);
    m_close->show();
    m_close->setDefault(true);
    m_close->setFocus();
    ActivityScore score;
    score.user = m_input.user;
    score.activity = QString::fromLatin1(ActivityName);
    score.subject = m_input.subject;
    score.textScore = QStringLiteral("%1/%2").arg(m_known).arg(n);
    score.numberScore = m_known;
    if (!appendScore(m_input.usersDatabase, score, &m_saveError)) {
        if (m_saveError.isEmpty())
            m_saveError = QStringLiteral("unknown error");
        QMessageBox box(QMessageBox::Warning, windowTitle(),
                        tr_("saveError") + QStringLiteral("\n\n") + m_saveError, QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        if (!qEnvironmentVariableIsSet("PARLANTO_ACTIVITY_NO_DIALOGS"))
            box.exec();
    }
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
    QWidget::keyPressEvent(event);
}
