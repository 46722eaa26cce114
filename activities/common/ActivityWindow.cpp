#include "ActivityWindow.h"

#include "ActivityResult.h"
#include "ActivitySound.h"
#include "platform/ShownText.h"
#include "platform/Sound.h"
#include "widgets/HelpWindow.h"

#include <QCloseEvent>
#include <QColor>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

namespace {
const ActivityTextTable CommonTexts = {
    {QStringLiteral("English"),
     {{QStringLiteral("leave"),
       QStringLiteral("Leave now? The answers given so far are recorded as your result.")},
      {QStringLiteral("noSound"),
       QStringLiteral("No sound device was found, so the phrases cannot be heard. They are shown instead.")},
      {QStringLiteral("noSoundTip"), QStringLiteral("No sound can be played: no sound device was found.")},
      {QStringLiteral("missed"), QStringLiteral("To practise again:")},
      {QStringLiteral("noneMissed"), QStringLiteral("No phrase was missed.")},
      {QStringLiteral("missedArea"), QStringLiteral("Phrases to practise again")},
      {QStringLiteral("noHelp"), QStringLiteral("The help page cannot be found. It belongs here:")}}},
    {QStringLiteral("Spanish"),
     {{QStringLiteral("leave"),
       QStringLiteral("¿Salir ahora? Las respuestas dadas hasta aquí se guardan como su resultado.")},
      {QStringLiteral("noSound"),
       QStringLiteral(
           "No se encontró ningún dispositivo de sonido, así que las frases no se pueden escuchar. "
           "Se muestran en su lugar.")},
      {QStringLiteral("noSoundTip"),
       QStringLiteral(
           "No se puede reproducir ningún sonido: no se encontró ningún dispositivo de sonido.")},
      {QStringLiteral("missed"), QStringLiteral("Para practicar de nuevo:")},
      {QStringLiteral("noneMissed"), QStringLiteral("No falló ninguna frase.")},
      {QStringLiteral("missedArea"), QStringLiteral("Frases para practicar de nuevo")},
      {QStringLiteral("noHelp"), QStringLiteral("No se encuentra la página de ayuda. Debería estar aquí:")}}},
};
} // namespace

ActivityWindow::ActivityWindow(const ActivityInput& input, const ActivityTextTable& texts,
                               const char* activityName, QWidget* parent)
    : QMainWindow(parent), m_run(input, QString::fromLatin1(activityName)), m_input(m_run.input()),
      m_texts(texts)
{
    setObjectName(QStringLiteral("frm") + QString::fromLatin1(activityName));
    setWindowTitle(tr_("title") + QStringLiteral(" - ") +
                   ShownText::cut(m_input.subject.trimmed(), ShownText::NameLimit));
    // Keyboard first: the focused control is drawn as such from the start, not only after a Tab.
    setAttribute(Qt::WA_KeyboardFocusChange);
    auto* central = new QWidget(this);
    setCentralWidget(central);
    m_layout = new QVBoxLayout(central);
    m_progress = new QLabel(this);
    m_progress->setObjectName(QStringLiteral("lblProgress"));
    m_layout->addWidget(m_progress);
    m_soundProblem = new QLabel(this);
    m_soundProblem->setObjectName(QStringLiteral("lblNoSound"));
    m_soundProblem->setWordWrap(true);
    m_soundProblem->hide();
    m_layout->addWidget(m_soundProblem);
    // F1: the launcher's manual, from the program folder above the activities' own folder.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] {
        HelpWindow::open(HelpWindow::pagePath(QCoreApplication::applicationDirPath() + QStringLiteral("/.."),
                                              m_input.interfaceLanguage),
                         commonText("noHelp"), this);
    });
    // An activity with a handler of its own sets it after this one.
    ActivitySound::setFailureHandler([this](const QString&, bool) { onSoundFailed(); });
}

ActivityWindow::~ActivityWindow()
{
    ActivitySound::setFailureHandler({});
}

void ActivityWindow::setListenButtons(std::vector<QPushButton*> buttons)
{
    m_listenButtons = std::move(buttons);
}

void ActivityWindow::offerListeningOnlyWithSound()
{
    if (Sound::hasOutputDevice())
        return; // a missing file: the next phrase's may play
    for (QPushButton* b : m_listenButtons) {
        b->setEnabled(false);
        b->setToolTip(commonText("noSoundTip"));
    }
}

void ActivityWindow::onSoundFailed()
{
    offerListeningOnlyWithSound();
    if (!m_soundSaid) {
        m_soundSaid = true;
        m_soundProblem->setText(commonText("noSound"));
        m_soundProblem->setAccessibleName(m_soundProblem->text());
        m_soundProblem->show();
    }
    soundUnavailable();
}

QString ActivityWindow::tr_(const char* key) const
{
    return activityText(m_texts, m_input.interfaceLanguage, key);
}

namespace {
class FocusFollowsEnabled : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange) {
            auto* w = static_cast<QWidget*>(watched);
            w->setFocusPolicy(w->isEnabled() ? Qt::StrongFocus : Qt::NoFocus);
        }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

void ActivityWindow::focusOnlyWhenEnabled(QPushButton* button)
{
    button->installEventFilter(new FocusFollowsEnabled(button));
    button->setFocusPolicy(button->isEnabled() ? Qt::StrongFocus : Qt::NoFocus);
}

QPushButton* ActivityWindow::makeButton(const char* objectName, const char* key)
{
    auto* b = new QPushButton(tr_(key), this);
    b->setObjectName(QString::fromLatin1(objectName));
    b->setAutoDefault(true);
    b->setAccessibleName(tr_(key).remove(QLatin1Char('&')));
    focusOnlyWhenEnabled(b);
    return b;
}

QWidget* ActivityWindow::addScrolling(QLabel* label, const char* nameKey)
{
    return addScrolling(label, tr_(nameKey));
}

QWidget* ActivityWindow::addScrolling(QLabel* label, const QString& name)
{
    auto* area = new QScrollArea(this);
    area->setAccessibleName(name);
    label->setAccessibleDescription(name);
    area->setWidget(label);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_layout->addWidget(area, 1);
    return area;
}

QColor ActivityWindow::markColour(Mark mark) const
{
    // Dark on a light background, light on a dark one (a dark or high-contrast desktop).
    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    switch (mark) {
    case Mark::Warning:
    case Mark::Wrong:
        return QColor(dark ? 0xff8a80 : 0xb00000);
    case Mark::Right:
        return QColor(dark ? 0x7ee787 : 0x006b00);
    case Mark::Almost:
        return QColor(dark ? 0xffb74d : 0x8a3a00);
    case Mark::Missing:
        return QColor(dark ? 0x82b1ff : 0x0050b0);
    case Mark::Extra:
        break;
    }
    return QColor(dark ? 0xe1a6ff : 0x7000a0);
}

void ActivityWindow::showAsWarning(QLabel* label) const
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, markColour(Mark::Warning));
    label->setPalette(p);
}

QString ActivityWindow::shownTranslations(const ActivityPhrase& phrase, const QString& between)
{
    const QString first = ShownText::wrappable(phrase.translation, ShownText::PhraseLimit);
    if (phrase.translation2.isEmpty())
        return first;
    return first + between + QLatin1Char('(') +
           ShownText::wrappable(phrase.translation2, ShownText::PhraseLimit) + QLatin1Char(')');
}

void ActivityWindow::start()
{
    m_missed = new QLabel(this);
    m_missed->setObjectName(QStringLiteral("lblMissed"));
    m_missed->setTextFormat(Qt::PlainText);
    m_missed->setWordWrap(true);
    m_missed->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_missedArea = addScrolling(m_missed, commonText("missedArea"));
    m_missedArea->hide();
    m_close = makeButton("btnClose", "close");
    m_layout->addWidget(m_close);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    m_close->hide(); // Escape leaves early; the button comes with the result
    m_progress->setText(tr_("progress").arg(1).arg(m_run.size()));
    showPhrase();
}

void ActivityWindow::goOn()
{
    if (m_run.ended() || !m_run.currentGraded())
        return;
    if (!m_run.next()) {
        finish();
        return;
    }
    clearAnnouncement();
    m_progress->setText(tr_("progress").arg(m_run.index() + 1).arg(m_run.size()));
    showPhrase();
}

void ActivityWindow::finish()
{
    const QString result = tr_("result").arg(ActivityResult::scoreText(m_run.right(), m_run.size()));
    m_progress->clear();
    showResult(result);
    // What to practise again: the phrases of this run graded Again.
    QStringList missed;
    for (int i : m_run.missed()) {
        const ActivityPhrase& p = m_input.phrases.at(size_t(i));
        missed << QStringLiteral("\u2022 ") + ShownText::wrappable(p.phrase, ShownText::PhraseLimit) +
                      QStringLiteral(" \u2014 ") +
                      ShownText::wrappable(p.translation, ShownText::PhraseLimit);
    }
    m_missed->setText(missed.isEmpty()
                          ? commonText("noneMissed")
                          : commonText("missed") + QLatin1Char('\n') + missed.join(QLatin1Char('\n')));
    m_missedArea->show();
    m_close->show();
    m_close->setDefault(true);
    announce(result, m_close);
    record();
}

void ActivityWindow::announce(const QString& text, QWidget* target)
{
    if (!target)
        target = focusWidget() ? focusWidget() : this;
    if (m_announcedOn != target)
        clearAnnouncement();
    m_announcedOn = target;
    // Setting the description tells the accessibility bus of the change.
    target->setAccessibleDescription(text);
    target->setFocus();
}

void ActivityWindow::clearAnnouncement()
{
    if (m_announcedOn)
        m_announcedOn->setAccessibleDescription(QString());
    m_announcedOn = nullptr;
}

void ActivityWindow::record()
{
    ActivitySound::stop();
    m_run.end(this, tr_("saveError"), &m_saveError);
}

QString ActivityWindow::commonText(const char* key) const
{
    return activityText(CommonTexts, m_input.interfaceLanguage, key);
}

void ActivityWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void ActivityWindow::closeEvent(QCloseEvent* event)
{
    if (!m_left) {
        if (!confirmLeave()) {
            event->ignore();
            return;
        }
        m_left = true;
        leaving();
        record();
    }
    QMainWindow::closeEvent(event);
}

void ActivityWindow::closeWithoutAsking()
{
    m_withoutAsking = true;
    // Inside the question, Qt ignores a second close: the answer lets the first one go on.
    if (m_question)
        m_question->reject();
    else
        close();
}

bool ActivityWindow::confirmLeave()
{
    if (m_withoutAsking || m_run.ended() || m_run.answered() == 0 ||
        qEnvironmentVariableIsSet("PARLANTO_ACTIVITY_NO_DIALOGS"))
        return true;
    QMessageBox box(QMessageBox::Question, windowTitle(), commonText("leave"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    m_question = &box;
    return box.exec() == QMessageBox::Yes || m_withoutAsking;
}
