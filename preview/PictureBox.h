#pragma once

#include <QColor>
#include <QFrame>
#include <QImage>

namespace quorbel {

// A picture box: a border of a fixed width around a drawing area. It holds a
// picture (the image assigned to it) and a persistent drawing (what it shows
// inside the border, starting at the drawing area's top-left corner and
// clipped to it). Assigning a picture replaces the drawing with it; with
// auto-size on, the box then takes the picture's size plus its border.
// Child widgets go into client(), whose origin is the drawing area's corner.
//
// Sizes are logical pixels. A picture may carry a device pixel ratio above 1
// (more pixels than its logical size); the box sizes itself to the logical
// size. Drawings are painted at their own device pixel ratio, so a drawing
// made at the screen's ratio is shown pixel for pixel.
class PictureBox : public QFrame {
    Q_OBJECT
public:
    // border: 0 (none), 1 (a plain line) or more (a sunken panel).
    explicit PictureBox(int border, QWidget *parent = nullptr);

    int border() const { return m_border; }
    // Created on first use, so a box without children gets its own mouse.
    QWidget *client();

    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool on) { m_autoSize = on; }

    const QImage &picture() const { return m_picture; }
    void setPicture(const QImage &picture);
    // Removes the picture and clears the drawing to the background colour.
    void clearPicture();

    const QImage &drawing() const { return m_drawing; }
    void setDrawing(const QImage &drawing);
    // The part of `source` from its corner with logical size `sourceSize`,
    // stretched to the logical size `destination`, becomes the drawing. It is
    // made at this box's device pixel ratio, straight from the source's own
    // pixels, so nothing is scaled twice; whole-number enlargements repeat
    // pixels instead of blurring them.
    void setStretchedDrawing(const QImage &source, QSize sourceSize, QSize destination);

    // The logical size of a picture (its pixels over its device pixel ratio).
    static QSize logicalSize(const QImage &picture);

    QColor backgroundColour() const { return m_background; }
    void setBackgroundColour(const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    int m_border;
    QWidget *m_client = nullptr;
    bool m_autoSize = false;
    QImage m_picture;
    QImage m_drawing;
    QColor m_background;
};

} // namespace quorbel
