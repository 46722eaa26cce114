#include "DictationWindow.h"

#include "ActivitySound.h"
#include "ActivityTexts.h"
#include "platform/ShownText.h"

#include <QCloseEvent>
#include <QColor>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace {
const ActivityTextTable& texts()
{
    static const ActivityTextTable t = {
        {QStringLiteral("English"),
         {{"title", "Dictation"},
          {"progress", "Phrase %1 of %2"},
          {"prompt", "Listen, type the phrase you hear, then press Enter."},
          {"help",
           "What counts as a mistake: a wrong, missing or extra word, and a wrong or missing accent "
           "(marked \"almost\"). Letter case, extra blanks, punctuation and the kind of apostrophe or "
           "quote do not count. A phrase is right when only accents are wrong, or with one mistake in "
           "a phrase of four words or more. F5 plays the phrase again, F6 more slowly; F7 shows it when you "
           "do not know it."},
          {"listen", "&Listen again (F5)"},
          {"slower", "Listen &slowly (F6)"},
          {"slowerMissing", "Slow playback is not available"},
          {"slowerMissingTip", "Slow playback is not available on this computer; F5 plays the phrase at its "
                               "usual speed."},
          {"dontKnow", "I &don't know (F7)"},
          {"shown", "Not yet: here is the phrase."},
          {"phraseWas", "The phrase: %1"},
          {"empty", "Type the phrase you hear first, or press F7 if you do not know it."},
          {"mistakeMissing", "missing word: \"%1\""},
          {"mistakeExtra", "extra word: \"%1\""},
          {"answer", "&Your answer:"},
          {"answerName", "Your answer"},
          {"letters", "Letters:"},
          {"insert", "Insert %1"},
          {"insertCapital", "Insert capital %1"},
          {"check", "C&heck"},
          {"next", "&Next"},
          {"close", "&Close"},
          {"noSound", "The sound cannot be played on this computer, or its file cannot be played. Type each "
                      "phrase from its translation."},
          {"hint", "Translation: %1"},
          {"rowAnswer", "You:"},
          {"rowPhrase", "Phrase:"},
          {"almost", "almost (accent)"},
          {"wrong", "wrong"},
          {"missing", "missing"},
          {"extra", "extra"},
          {"mistake", "%1: \"%2\" for \"%3\""},
          {"good", "Right!"},
          {"hardAccents", "Almost: only accents are wrong. It counts as right."},
          {"hardOne", "One mistake in a long phrase: it counts as right."},
          {"again", "Not yet: look at the marked words."},
          {"translation", "Translation: %1"},
          {"result", "You wrote %1 right."},
          {"feedbackArea", "Answer"},
          {"saveError", "Your result could not be saved:"}}},
        {QStringLiteral("Spanish"),
         {{"title", "Dictado"},
          {"progress", "Frase %1 de %2"},
          {"prompt", "Escuche, escriba la frase que oye y pulse Intro."},
          {"help", "Qué cuenta como error: una palabra mal escrita, que falta o que sobra, y un acento que "
                   "falta o está mal (marcado «casi»). No cuentan las mayúsculas, los espacios de más, la "
                   "puntuación ni el tipo de apóstrofo o de comillas. Una frase es correcta si solo fallan "
                   "los acentos, o con un solo error en una frase de cuatro palabras o más. F5 repite la "
                   "frase; F6, más despacio; F7 la muestra si no la sabe."},
          {"listen", "&Escuchar otra vez (F5)"},
          {"slower", "Escuchar &despacio (F6)"},
          {"slowerMissing", "La reproducción lenta no está disponible"},
          {"slowerMissingTip", "La reproducción lenta no está disponible en este ordenador; F5 reproduce la "
                               "frase a la velocidad normal."},
          {"dontKnow", "&No lo sé (F7)"},
          {"shown", "Todavía no: esta es la frase."},
          {"phraseWas", "La frase: %1"},
          {"empty", "Escriba primero la frase que oye, o pulse F7 si no la sabe."},
          {"mistakeMissing", "falta la palabra «%1»"},
          {"mistakeExtra", "sobra la palabra «%1»"},
          {"answer", "&Su respuesta:"},
          {"answerName", "Su respuesta"},
          {"letters", "Letras:"},
          {"insert", "Insertar %1"},
          {"insertCapital", "Insertar %1 mayúscula"},
          {"check", "C&omprobar"},
          {"next", "&Siguiente"},
          {"close", "&Cerrar"},
          {"noSound", "El sonido no se puede reproducir en este ordenador, o no se puede reproducir su "
                      "archivo. Escriba cada frase a partir de su traducción."},
          {"hint", "Traducción: %1"},
          {"rowAnswer", "Usted:"},
          {"rowPhrase", "Frase:"},
          {"almost", "casi (acento)"},
          {"wrong", "mal"},
          {"missing", "falta"},
          {"extra", "sobra"},
          {"mistake", "%1: «%2» por «%3»"},
          {"good", "¡Correcto!"},
          {"hardAccents", "Casi: solo fallan los acentos. Cuenta como correcta."},
          {"hardOne", "Un error en una frase larga: cuenta como correcta."},
          {"again", "Todavía no: mire las palabras marcadas."},
          {"translation", "Traducción: %1"},
          {"result", "Ha escrito bien %1."},
          {"feedbackArea", "Respuesta"},
          {"saveError", "No se ha podido guardar su resultado:"}}},
    };
    return t;
}

const char* keyOf(DictationCheck::Word::Mark mark)
{
    switch (mark) {
    case DictationCheck::Word::Almost:
        return "almost";
    case DictationCheck::Word::Wrong:
        return "wrong";
    case DictationCheck::Word::Missing:
        return "missing";
    case DictationCheck::Word::Extra:
        return "extra";
    case DictationCheck::Word::Right:
        break;
    }
    return "";
}

constexpr int WordLimit = 60;       // a word in the alignment, cut after that
constexpr int ChunkCharacters = 48; // the width of one block of aligned words
} // namespace

DictationWindow::DictationWindow(const ActivityInput& input, QWidget* parent)
    : ActivityWindow(input, texts(), ActivityName, parent)
{
    m_prompt = new QLabel(tr_("prompt"), this);
    m_prompt->setObjectName(QStringLiteral("lblPrompt"));
    m_prompt->setWordWrap(true);
    m_help = new QLabel(tr_("help"), this);
    m_help->setObjectName(QStringLiteral("lblHelp"));
    m_help->setWordWrap(true);
    QFont small = m_help->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    m_help->setFont(small);
    m_soundProblem = new QLabel(tr_("noSound"), this);
    m_soundProblem->setObjectName(QStringLiteral("lblSoundProblem"));
    m_soundProblem->setWordWrap(true);
    showAsWarning(m_soundProblem);
    m_soundProblem->hide();
    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("lblHint"));
    m_hint->setTextFormat(Qt::PlainText);
    m_hint->setWordWrap(true);
    m_hint->hide();
    for (QLabel* l : {m_prompt, m_help, m_soundProblem})
        l->setTextFormat(Qt::PlainText);
    m_layout->addWidget(m_prompt);
    m_layout->addWidget(m_help);
    m_layout->addWidget(m_soundProblem);
    m_layout->addWidget(m_hint);

    m_listen = makeButton("btnListen", "listen");
    m_slower = makeButton("btnSlower", "slower");
    auto* sound = new QHBoxLayout;
    sound->addWidget(m_listen);
    sound->addWidget(m_slower);
    m_layout->addLayout(sound);

    auto* answerLabel = new QLabel(tr_("answer"), this);
    m_answer = new QLineEdit(this);
    m_answer->setObjectName(QStringLiteral("txtAnswer"));
    m_answer->setAccessibleName(tr_("answerName"));
    QFont big = m_answer->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    m_answer->setFont(big);
    answerLabel->setBuddy(m_answer);
    m_layout->addWidget(answerLabel);
    m_layout->addWidget(m_answer);

    const QStringList letters = specialLetters(m_input.studiedLanguage);
    if (!letters.isEmpty()) {
        auto* grid = new QGridLayout;
        grid->addWidget(new QLabel(tr_("letters"), this), 0, 0);
        constexpr int PerRow = 12;
        for (int i = 0; i < letters.size(); ++i) {
            const QString letter = letters.at(i);
            auto* b = new QPushButton(letter, this);
            b->setObjectName(QStringLiteral("btnLetter_%1").arg(i));
            b->setAutoDefault(true); // Enter inserts too when the letter has the focus
            const bool capital = letter.at(0).isUpper();
            b->setAccessibleName(
                tr_(capital ? "insertCapital" : "insert").arg(capital ? letter.toLower() : letter));
            b->setToolTip(b->accessibleName());
            b->setMinimumWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("MM")) + 8);
            b->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
            connect(b, &QPushButton::clicked, this, [this, letter] { insertLetter(letter); });
            grid->addWidget(b, i / PerRow, 1 + i % PerRow);
            m_letters.push_back(b);
        }
        grid->setColumnStretch(PerRow + 1, 1);
        m_layout->addLayout(grid);
    }

    m_check = makeButton("btnCheck", "check");
    m_dontKnow = makeButton("btnDontKnow", "dontKnow");
    auto* answering = new QHBoxLayout;
    answering->addWidget(m_check);
    answering->addWidget(m_dontKnow);
    m_layout->addLayout(answering);
    m_feedback = new QLabel(this);
    m_feedback->setObjectName(QStringLiteral("lblFeedback"));
    m_feedback->setTextFormat(Qt::RichText);
    m_feedback->setWordWrap(true);
    m_feedback->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    addScrolling(m_feedback, "feedbackArea");
    m_next = makeButton("btnNext", "next");
    m_layout->addWidget(m_next);

    connect(m_listen, &QPushButton::clicked, this, &DictationWindow::listen);
    connect(m_slower, &QPushButton::clicked, this, &DictationWindow::listenSlowly);
    connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this,
            &DictationWindow::listen);
    connect(new QShortcut(QKeySequence(Qt::Key_F6), this), &QShortcut::activated, this,
            &DictationWindow::listenSlowly);
    connect(m_check, &QPushButton::clicked, this, &DictationWindow::check);
    connect(m_dontKnow, &QPushButton::clicked, this, &DictationWindow::dontKnow);
    connect(new QShortcut(QKeySequence(Qt::Key_F7), this), &QShortcut::activated, this,
            &DictationWindow::dontKnow);
    connect(m_next, &QPushButton::clicked, this, &DictationWindow::goOn);
    ActivitySound::setFailureHandler([this](const QString&, bool slower) {
        if (slower)
            slowerUnavailable();
        else
            soundFailed();
    });
    resize(640, 560);
    setListenButtons({m_listen, m_slower});
    start();
}

DictationWindow::~DictationWindow()
{
    ActivitySound::setFailureHandler({});
}

QStringList DictationWindow::specialLetters(const QString& studiedLanguage)
{
    static const QMap<QString, QString> lower = {
        {QStringLiteral("Italian"), QStringLiteral("àèéìòù")},
        {QStringLiteral("Spanish"), QStringLiteral("áéíóúüñ")},
        {QStringLiteral("French"), QStringLiteral("àâæçéèêëîïôœùûüÿ")},
        {QStringLiteral("German"), QStringLiteral("äöüß")},
        {QStringLiteral("English"), QString()},
    };
    const QString small = lower.value(studiedLanguage);
    QStringList letters;
    for (QChar c : small)
        letters << QString(c);
    for (QChar c : small)
        if (c.toUpper() != c) // ß has no capital of its own on keyboards
            letters << QString(c.toUpper());
    return letters;
}

void DictationWindow::showPhrase()
{
    const ActivityPhrase& p = m_run.phrase();
    m_answer->clear();
    m_answer->setReadOnly(false);
    m_answer->setEnabled(true);
    for (QPushButton* b : m_letters)
        b->setEnabled(true);
    m_check->setEnabled(true);
    m_dontKnow->setEnabled(true);
    m_feedback->clear();
    m_feedback->setAccessibleDescription(QString());
    m_hint->setText(tr_("hint").arg(ShownText::wrappable(p.translation, ShownText::PhraseLimit)));
    m_hint->setVisible(m_soundProblemShown);
    m_next->setEnabled(false);
    m_answer->setFocus();
    listen();
}

void DictationWindow::listen()
{
    if (!m_run.ended())
        ActivitySound::play(m_run.phrase().soundFile);
}

void DictationWindow::listenSlowly()
{
    if (m_run.ended() || !m_slower->isEnabled())
        return;
    if (!ActivitySound::playAt(m_run.phrase().soundFile, SlowerRate))
        slowerUnavailable();
}

void DictationWindow::slowerUnavailable()
{
    if (!m_slower->isEnabled())
        return;
    // Said on the button itself, which stays in its place, out of the way; the usual replay
    // (F5) goes on working.
    m_slower->setText(tr_("slowerMissing"));
    m_slower->setAccessibleName(tr_("slowerMissing"));
    m_slower->setToolTip(tr_("slowerMissingTip"));
    m_slower->setEnabled(false);
    if (!m_run.currentGraded() && !m_run.ended())
        m_answer->setFocus();
}

void DictationWindow::soundFailed()
{
    offerListeningOnlyWithSound();
    if (m_soundProblemShown || m_run.ended())
        return;
    m_soundProblemShown = true;
    m_soundProblem->show();
    m_hint->setVisible(!m_run.currentGraded());
}

void DictationWindow::insertLetter(const QString& letter)
{
    if (m_run.currentGraded() || m_run.ended())
        return;
    m_answer->insert(letter);
    m_answer->setFocus();
}

void DictationWindow::check()
{
    if (m_run.currentGraded() || m_run.ended())
        return;
    const ActivityPhrase& p = m_run.phrase();
    if (DictationCheck::words(m_answer->text()).isEmpty()) {
        // Nothing typed is no answer: said, and nothing graded.
        m_feedback->setText(tr_("empty").toHtmlEscaped());
        announce(tr_("empty"), m_answer);
        return;
    }
    const DictationCheck::Result result = DictationCheck::compare(m_answer->text(), p.phrase);
    m_run.grade(result.grade);

    const char* verdict = result.grade == Grade::Good    ? "good"
                          : result.grade == Grade::Again ? "again"
                          : result.mistakes == 0         ? "hardAccents"
                                                         : "hardOne";
    // What a screen reader says: the verdict and each mistake in words.
    QStringList said{tr_(verdict)};
    for (const DictationCheck::Word& w : result.words) {
        if (w.mark == DictationCheck::Word::Right || said.size() >= 50)
            continue;
        const QString answered = ShownText::cut(w.answered, WordLimit);
        const QString expected = ShownText::cut(w.expected, WordLimit);
        if (w.mark == DictationCheck::Word::Missing)
            said << tr_("mistakeMissing").arg(expected);
        else if (w.mark == DictationCheck::Word::Extra)
            said << tr_("mistakeExtra").arg(answered);
        else
            said << tr_("mistake").arg(tr_(keyOf(w.mark)), answered, expected);
    }
    showAnswered(tr_(verdict), alignment(result), said.join(QLatin1Char('\n')));
}

void DictationWindow::dontKnow()
{
    if (m_run.currentGraded() || m_run.ended())
        return;
    m_run.grade(Grade::Again);
    const QString phrase =
        tr_("phraseWas").arg(ShownText::wrappable(m_run.phrase().phrase, ShownText::PhraseLimit));
    showAnswered(tr_("shown"), QStringLiteral("<p>%1</p>").arg(phrase.toHtmlEscaped()),
                 tr_("shown") + QLatin1Char('\n') + phrase);
}

void DictationWindow::showAnswered(const QString& verdict, const QString& html, const QString& said)
{
    const QString translation = shownTranslations(m_run.phrase(), QStringLiteral(" "));
    m_feedback->setText(
        QStringLiteral("<p><b>%1</b></p>%2<p>%3</p>")
            .arg(verdict.toHtmlEscaped(), html, tr_("translation").arg(translation).toHtmlEscaped()));
    m_feedback->setAccessibleDescription(said);
    m_hint->hide();
    m_answer->setReadOnly(true);
    for (QPushButton* b : m_letters)
        b->setEnabled(false);
    m_check->setEnabled(false);
    m_dontKnow->setEnabled(false);
    m_next->setEnabled(true);
    m_next->setDefault(true);
    announce(said, m_next);
}

QString DictationWindow::colourOf(DictationCheck::Word::Mark mark) const
{
    // Marks are told apart by their names too, never by colour alone.
    switch (mark) {
    case DictationCheck::Word::Almost:
        return markColour(Mark::Almost).name();
    case DictationCheck::Word::Wrong:
        return markColour(Mark::Wrong).name();
    case DictationCheck::Word::Missing:
        return markColour(Mark::Missing).name();
    case DictationCheck::Word::Extra:
        return markColour(Mark::Extra).name();
    case DictationCheck::Word::Right:
        break;
    }
    return QString();
}

QString DictationWindow::alignment(const DictationCheck::Result& result) const
{
    // Blocks of a few words: the answer above the phrase, the name of each mistake below.
    QString html;
    QString rows[3];
    int width = 0;
    int shown = 0;
    auto flush = [&] {
        if (rows[0].isEmpty())
            return;
        html += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">"
                               "<tr><td>%1</td>%2</tr><tr><td>%3</td>%4</tr><tr><td></td>%5</tr></table>")
                    .arg(tr_("rowAnswer").toHtmlEscaped(), rows[0], tr_("rowPhrase").toHtmlEscaped(), rows[1],
                         rows[2]);
        for (QString& r : rows)
            r.clear();
        width = 0;
    };
    for (const DictationCheck::Word& w : result.words) {
        if (shown > ShownText::PhraseLimit) {
            rows[0] += QStringLiteral("<td>…</td>");
            break;
        }
        const QString answered = ShownText::cut(w.answered, WordLimit);
        const QString expected = ShownText::cut(w.expected, WordLimit);
        const QString mark = tr_(keyOf(w.mark));
        const int cell = int(std::max({answered.size(), expected.size(), mark.size()})) + 1;
        if (width > 0 && width + cell > ChunkCharacters)
            flush();
        width += cell;
        shown += cell;
        const QString colour = colourOf(w.mark);
        auto td = [&](const QString& text, bool bold) {
            const QString t = text.isEmpty() ? QStringLiteral("—") : text.toHtmlEscaped();
            if (colour.isEmpty())
                return QStringLiteral("<td>%1</td>").arg(t);
            return QStringLiteral("<td style=\"color:%1\">%2%3%4</td>")
                .arg(colour, bold ? QStringLiteral("<b>") : QString(), t,
                     bold ? QStringLiteral("</b>") : QString());
        };
        rows[0] +=
            td(answered, w.mark == DictationCheck::Word::Extra || w.mark == DictationCheck::Word::Wrong ||
                             w.mark == DictationCheck::Word::Almost);
        rows[1] +=
            td(expected, w.mark == DictationCheck::Word::Missing || w.mark == DictationCheck::Word::Wrong ||
                             w.mark == DictationCheck::Word::Almost);
        rows[2] +=
            w.mark == DictationCheck::Word::Right
                ? QStringLiteral("<td></td>")
                : QStringLiteral("<td style=\"color:%1\"><i>%2</i></td>").arg(colour, mark.toHtmlEscaped());
    }
    flush();
    return html;
}

void DictationWindow::showResult(const QString& result)
{
    m_prompt->clear();
    m_hint->hide();
    m_feedback->setText(result.toHtmlEscaped());
    m_feedback->setAccessibleDescription(QString());
    m_answer->setEnabled(false);
    for (QPushButton* b : {m_listen, m_slower, m_check, m_dontKnow, m_next})
        b->setEnabled(false);
}

void DictationWindow::keyPressEvent(QKeyEvent* event)
{
    // The answer line passes Enter on: it checks, and once checked goes on.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !m_run.ended()) {
        m_run.currentGraded() ? goOn() : check();
        return;
    }
    ActivityWindow::keyPressEvent(event);
}
