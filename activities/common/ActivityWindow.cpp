#include "ActivityWindow.h"

#include "ActivityResult.h"
#include "ActivitySound.h"
#include "platform/ShownText.h"
#include "widgets/HelpWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const ActivityTextTable CommonTexts = {
    {QStringLiteral("English"),
     {{QStringLiteral("leave"),
       QStringLiteral("Leave now? The answers given so far are recorded as your result.")},
      {QStringLiteral("noSound"),
       QStringLiteral("No sound device was found, so the phrases cannot be heard. They are shown instead.")},
      {QStringLiteral("noHelp"), QStringLiteral("The help page cannot be found. It belongs here:")}}},
    {QStringLiteral("Spanish"),
     {{QStringLiteral("leave"),
       QStringLiteral("¿Salir ahora? Las respuestas dadas hasta aquí se guardan como tu resultado.")},
      {QStringLiteral("noSound"),
       QStringLiteral(
           "No se encontró ningún dispositivo de sonido, así que las frases no se pueden escuchar. "
           "Se muestran en su lugar.")},
      {QStringLiteral("noHelp"), QStringLiteral("No se encuentra la página de ayuda. Debería estar aquí:")}}},
};
} // namespace

ActivityWindow::ActivityWindow(const ActivityInput& input, const ActivityTextTable& texts,
                               const char* activityName, QWidget* parent)
    : QMainWindow(parent), m_input(input), m_activityName(activityName), m_texts(texts)
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
    ActivitySound::setFailureHandler([this](const QString&) { onSoundFailed(); });
}

ActivityWindow::~ActivityWindow()
{
    ActivitySound::setFailureHandler({});
}

void ActivityWindow::onSoundFailed()
{
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

void ActivityWindow::addScrolling(QLabel* label, const char* nameKey)
{
    auto* area = new QScrollArea(this);
    area->setAccessibleName(tr_(nameKey));
    label->setAccessibleDescription(tr_(nameKey));
    area->setWidget(label);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_layout->addWidget(area, 1);
}

void ActivityWindow::finishWith(QPushButton* close, int right, int total, const QString& result)
{
    m_progress->clear();
    close->show();
    close->setDefault(true);
    announce(result, close);
    record(right, total);
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

void ActivityWindow::setPhraseGrade(int index, int grade)
{
    if (index < 0 || index >= int(m_input.phrases.size()) || grade < NotGraded || grade > Easy)
        return;
    m_grades.resize(m_input.phrases.size(), NotGraded);
    m_grades[size_t(index)] = grade;
}

bool ActivityWindow::record(int right, int total)
{
    m_finished = true;
    ActivitySound::stop();
    return ActivityResult::record(this, m_input, QString::fromLatin1(m_activityName), right, total,
                                  tr_("saveError"), &m_saveError, m_grades);
}

QString ActivityWindow::commonText(const char* key) const
{
    return activityText(CommonTexts, m_input.interfaceLanguage, key);
}

int ActivityWindow::answersGiven() const
{
    return int(std::count_if(m_grades.begin(), m_grades.end(), [](int g) { return g != NotGraded; }));
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
        if (!m_finished && answersGiven() > 0)
            record(rightSoFar(), answersGiven());
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
    if (m_withoutAsking || m_finished || answersGiven() == 0 ||
        qEnvironmentVariableIsSet("PARLANTO_ACTIVITY_NO_DIALOGS"))
        return true;
    QMessageBox box(QMessageBox::Question, windowTitle(), commonText("leave"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    m_question = &box;
    return box.exec() == QMessageBox::Yes || m_withoutAsking;
}
