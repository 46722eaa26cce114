#include "StudyCalendar.h"

#include "platform/Twips.h"
#include "review/PhraseResults.h"
#include "state/AppState.h"
#include "state/CaptionId.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace {

constexpr int Weekdays = 7;
constexpr int Gap = 2;
constexpr int Levels = 4;
constexpr int LargestCell = 14;
constexpr int SmallestCell = 6;

} // namespace

StudyCalendar::StudyCalendar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("calStudyDays"));
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(app().captions(Caption::StudyDays));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void StudyCalendar::setDays(const StudyDays* days, const QDate& first, const QDate& last, const QDate& today,
                            int goal)
{
    m_days = days;
    m_first = first;
    m_last = std::max(first, last);
    m_today = today;
    m_goal = goal;
    updateGeometry();
    // A day the learner moved to stays current while it is shown (the history read later).
    auto shown = [&](const QDate& day) { return day.isValid() && day >= m_first && day <= m_last; };
    setCurrent(shown(m_current) ? m_current : shown(today) ? today : m_last);
    update();
}

QString StudyCalendar::dayText(const QDate& day) const
{
    const Captions& c = app().captions;
    const QString date = app().edition.interfaceLocale().toString(day, c(Caption::StudyDayFormat));
    const int count = m_days ? m_days->count(day) : 0;
    QString text = count == 1 ? c(Caption::StudyDayOnePhrase).arg(date)
                              : c(Caption::StudyDayPhrases).arg(date).arg(count);
    return day == m_today ? c(Caption::StudyToday).arg(text) : text;
}

StudyCalendar::Geometry StudyCalendar::geometry() const
{
    Geometry g;
    g.firstMonday = m_first.isValid() ? m_first.toJulianDay() - (m_first.dayOfWeek() - 1) : 0;
    const qint64 weeks = m_first.isValid() ? (m_last.toJulianDay() - g.firstMonday) / Weekdays + 1 : 53;
    g.cell = std::clamp(int(width() / std::max<qint64>(1, weeks)) - Gap, SmallestCell, LargestCell);
    g.step = g.cell + Gap;
    g.top = fontMetrics().height() + Gap;
    return g;
}

QRect StudyCalendar::cellRect(const Geometry& g, const QDate& day) const
{
    const qint64 offset = day.toJulianDay() - g.firstMonday;
    return QRect(int(offset / Weekdays) * g.step, g.top + int(offset % Weekdays) * g.step, g.cell, g.cell);
}

QDate StudyCalendar::dayAt(const QPoint& point) const
{
    const Geometry g = geometry();
    if (!m_first.isValid() || point.x() < 0 || point.y() < g.top)
        return {};
    const int column = point.x() / g.step, row = (point.y() - g.top) / g.step;
    if (row >= Weekdays)
        return {};
    const QDate day = QDate::fromJulianDay(g.firstMonday + qint64(column) * Weekdays + row);
    return day >= m_first && day <= m_last ? day : QDate();
}

QSize StudyCalendar::sizeHint() const
{
    const qint64 weeks = 54;
    return {int(weeks * (LargestCell + Gap)), fontMetrics().height() + Gap + Weekdays * (LargestCell + Gap)};
}

QSize StudyCalendar::minimumSizeHint() const
{
    return {Twips::toPixels(1440), fontMetrics().height() + Gap + Weekdays * (LargestCell + Gap)};
}

int StudyCalendar::level(int count) const
{
    if (count <= 0)
        return 0;
    // Shades measured against the goal: under half of it, under it, met, twice met.
    const int goal = m_goal > 0 ? m_goal : PhraseResults::DefaultDailyGoal;
    if (count * 2 < goal)
        return 1;
    if (count < goal)
        return 2;
    return count < goal * 2 ? 3 : Levels;
}

void StudyCalendar::paintEvent(QPaintEvent*)
{
    if (!m_first.isValid())
        return;
    QPainter p(this);
    const Geometry g = geometry();
    const QColor empty = palette().color(QPalette::Base);
    const QColor full = palette().color(QPalette::Highlight);
    const QColor ink = palette().color(QPalette::Text);
    QColor shades[Levels + 1];
    for (int i = 0; i <= Levels; ++i) {
        const double t = i == 0 ? 0.0 : 0.25 + 0.75 * i / Levels;
        shades[i] = QColor::fromRgbF(float(empty.redF() + (full.redF() - empty.redF()) * t),
                                     float(empty.greenF() + (full.greenF() - empty.greenF()) * t),
                                     float(empty.blueF() + (full.blueF() - empty.blueF()) * t));
    }
    QColor outline = palette().color(QPalette::Mid);
    const QLocale locale = app().edition.interfaceLocale();
    p.setPen(ink);
    for (QDate day = m_first; day <= m_last; day = day.addDays(1)) {
        const QRect r = cellRect(g, day);
        if (day.day() == 1 || day == m_first) {
            // The month's name above the week of its first day, when there is room for it.
            const QRect label(r.x(), 0, g.step * 5, g.top - Gap);
            if (day.day() == 1 || day.daysInMonth() - day.day() > 14)
                p.drawText(label, Qt::AlignLeft | Qt::AlignBottom,
                           locale.toString(day, QStringLiteral("MMM")));
        }
        p.fillRect(r, shades[level(m_days ? m_days->count(day) : 0)]);
        p.setPen(outline);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        p.setPen(ink);
    }
    if (m_today >= m_first && m_today <= m_last) {
        p.setPen(QPen(ink, 2));
        p.drawRect(cellRect(g, m_today).adjusted(0, 0, -1, -1));
    }
    if (hasFocus() && m_current.isValid()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.drawRect(cellRect(g, m_current).adjusted(-2, -2, 1, 1));
    }
    if (!m_painted) {
        m_painted = true;
        emit firstPainted();
    }
}

void StudyCalendar::setCurrent(const QDate& day)
{
    if (!m_first.isValid())
        return;
    m_current = std::clamp(day, m_first, m_last);
    const QString text = dayText(m_current);
    setAccessibleDescription(text); // said by a screen reader as the day changes
    setToolTip(text);
    update();
}

void StudyCalendar::keyPressEvent(QKeyEvent* event)
{
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Up:
        step = -1;
        break;
    case Qt::Key_Down:
        step = 1;
        break;
    case Qt::Key_Left:
        step = -Weekdays;
        break;
    case Qt::Key_Right:
        step = Weekdays;
        break;
    case Qt::Key_Home:
        setCurrent(m_first);
        return;
    case Qt::Key_End:
        setCurrent(m_last);
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (m_current.isValid())
        setCurrent(m_current.addDays(step));
}

void StudyCalendar::mousePressEvent(QMouseEvent* event)
{
    const QDate day = dayAt(event->position().toPoint());
    if (day.isValid())
        setCurrent(day);
    QWidget::mousePressEvent(event);
}

bool StudyCalendar::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QDate day = dayAt(help->pos());
        if (day.isValid())
            QToolTip::showText(help->globalPos(), dayText(day), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}
