#pragma once

#include <QLabel>

// A text that acts as a link: reachable with Tab, underlined under the mouse or with the
// focus, and "clicked" by a mouse click or by Enter or Space. Texts are plain text. The
// accessibility bus sees it as a link with its name while it has a link to follow.
class LinkLabel : public QLabel
{
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text = QString(), QWidget* parent = nullptr);

    // A label without a link shows no underline and ignores clicks.
    void setLink(const QString& link);
    QString link() const { return m_link; }
    void setAlwaysActive(bool active) { m_alwaysActive = active; }
    bool isActive() const { return m_alwaysActive || !m_link.isEmpty(); }
    // Text colours while the mouse button is down on an active label and after release.
    void setPressColours(const QColor& pressed, const QColor& released);

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool active() const { return isActive(); }
    void setUnderline(bool on);
    void setTextColour(const QColor& colour);
    QColor m_pressedColour;
    QColor m_releasedColour;
    QString m_link;
    bool m_alwaysActive = false;
    bool m_pressed = false;
};
