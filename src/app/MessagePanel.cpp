#include "MessagePanel.h"

#include "content/MessageRotation.h"
#include "widgets/LinkLabel.h"

#include <QEvent>
#include <QLoggingCategory>
#include <QPaintEvent>
#include <QPainter>
#include <QVBoxLayout>

// The frames in which the panel moves, counted for bench/idle_cpu.sh
// (QT_LOGGING_RULES="parlanto.messagepanel.debug=true"): a line every tenth frame with the
// count so far, so that logging adds next to nothing to the CPU it measures. Off by default.
namespace {
Q_LOGGING_CATEGORY(lcMessagePanel, "parlanto.messagepanel", QtInfoMsg)
}

MessagePanel::MessagePanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PicMsg"));
    // The panel fills its own background (paintEvent), so that no frame of a slide paints
    // it before the picture covers it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette panel = palette();
    panel.setColor(QPalette::Window, MessageRotation::panelColour());
    setPalette(panel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(Margin, Margin, Margin, Margin);
    m_label = new LinkLabel(QString(), this);
    m_label->setObjectName(QStringLiteral("lblMsg"));
    layout->addWidget(m_label);
    m_label->installEventFilter(this);
}

MessagePanel::Look MessagePanel::look() const
{
    const QPalette& labelPalette = m_label->palette();
    return {m_label->text(),
            m_label->font(),
            labelPalette.cacheKey(),
            palette().cacheKey(),
            labelPalette.currentColorGroup(),
            size(),
            m_label->geometry(),
            devicePixelRatio()};
}

bool MessagePanel::showsPicture() const
{
    return m_sliding && !m_picture.isNull() && m_pictureLook == look();
}

void MessagePanel::setSliding(bool sliding)
{
    m_sliding = sliding; // at rest the text paints itself again, with the same pixels
}

void MessagePanel::moveTo(const QRect& geometry)
{
    if (geometry.topLeft() != pos() && ++m_frames % 10 == 0)
        qCDebug(lcMessagePanel, "frames: %lld, panel %dx%d", m_frames, geometry.width(), geometry.height());
    setGeometry(geometry);
    if (!m_sliding || showsPicture())
        return;
    // Rendered while no picture stands in, so the panel and its text paint themselves.
    m_picture = QPixmap();
    m_picture = grab();
    m_pictureLook = look();
}

void MessagePanel::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (!showsPicture()) {
        painter.fillRect(event->rect(), palette().brush(backgroundRole())); // the text paints itself
        return;
    }
    painter.drawPixmap(0, 0, m_picture); // clipped to the region to paint
}

bool MessagePanel::eventFilter(QObject* watched, QEvent* event)
{
    // The picture holds the text: the label is not drawn over it again.
    if (watched == m_label && event->type() == QEvent::Paint && showsPicture())
        return true;
    return QWidget::eventFilter(watched, event);
}
