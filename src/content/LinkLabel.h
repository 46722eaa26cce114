#pragma once

#include <QLabel>

// A text that acts as a link: reachable with Tab, underlined under the mouse or with the
// focus, and "clicked" by a mouse click or by Enter or Space. Texts are plain text.
class LinkLabel : public QLabel
{
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text = QString(), QWidget* parent = nullptr);

    // A label without a link shows no underline and ignores clicks.
    void setLink(const QString& link);
    QString link() const { return m_link; }
    void setAlwaysActive(bool active) { m_alwaysActive = active; }

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
    bool active() const { return m_alwaysActive || !m_link.isEmpty(); }
    void setUnderline(bool on);
    QString m_link;
    bool m_alwaysActive = false;
    bool m_pressed = false;
};
