#pragma once

#include <QFont>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QWidget>

class LinkLabel;

// The main window's message panel (PicMsg): a panel of its own colour holding the message
// (lblMsg). While it slides, each frame only moves it: the panel and its text are rendered
// once into a picture when the message changes, and the picture is painted in their place,
// so that no frame lays out or draws the text again. At rest the text paints itself as any
// label does; both look the same to the pixel. The picture is kept while the panel rests, so
// that the next slide, which starts with the same message, renders nothing.
class MessagePanel : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Margin = 2; // pixels between the panel's edge and its text

    explicit MessagePanel(QWidget* parent = nullptr);

    LinkLabel* label() const { return m_label; }
    // Sliding: moves show the rendered picture. Not sliding: the panel paints itself (the
    // picture is kept for the next slide while nothing changes).
    void setSliding(bool sliding);
    bool isSliding() const { return m_sliding; }
    // Places the panel; while sliding, renders the picture first when it is missing or
    // no longer shows the panel as it is.
    void moveTo(const QRect& geometry);
    // Whether the rendered picture stands in for the panel now.
    bool showsPicture() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the picture depends on: any change makes the panel paint itself until the next
    // move renders it again.
    // Asked up to three times a frame (the move, the panel's and the label's paint), so
    // each part is read once: the label's colour group stands for its enabled and active
    // state, which its palette() works out anyway.
    struct Look
    {
        QString text;
        QFont font;
        qint64 palette = 0;
        qint64 panelPalette = 0;
        int colourGroup = 0;
        QSize size;
        QRect labelGeometry;
        qreal ratio = 1;
        bool operator==(const Look&) const = default;
    };
    Look look() const;

    LinkLabel* m_label = nullptr;
    bool m_sliding = false;
    QPixmap m_picture;
    Look m_pictureLook;
    qint64 m_frames = 0; // moves so far, for the frame log
};
