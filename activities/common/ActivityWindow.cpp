#include "ActivityWindow.h"

#include "ActivityResult.h"
#include "ActivitySound.h"
#include "platform/ShownText.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

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

void ActivityWindow::finishWith(QPushButton* close, int right, int total)
{
    m_progress->clear();
    close->show();
    close->setDefault(true);
    close->setFocus();
    record(right, total);
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
