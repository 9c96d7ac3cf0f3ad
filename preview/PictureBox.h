#pragma once

#include "PreviewPicture.h"

#include <QColor>
#include <QFrame>
#include <QImage>

#include <list>
#include <memory>

namespace quorbel {

class SheetPicture;

// A picture box: a border of a fixed width around a drawing area. It holds a
// picture (a PreviewPicture: a sheet's pages or an ordinary image) and a
// persistent drawing (what it shows inside the border, starting at the
// drawing area's top-left corner and clipped to it). Assigning a picture
// replaces the drawing with it; with auto-size on, the box then takes the
// picture's size plus its border.
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

    // The picture held, either kind (PreviewPicture), and views of it: the
    // ordinary image (null for a sheet's picture), the sheet's picture (null
    // for an image), whether there is one and its logical size ((0, 0)
    // without one).
    const PreviewPicture &heldPicture() const { return m_picture; }
    const QImage &picture() const { return m_picture.image(); }
    const std::shared_ptr<const SheetPicture> &sheetPicture() const { return m_picture.sheet(); }
    bool hasPicture() const { return !m_picture.isNull(); }
    QSize pictureSize() const { return m_picture.logicalSize(); }
    // Holds `picture`; its drawing becomes the picture at natural size (an
    // image as it is, at its own device pixel ratio). No picture clears it.
    void setPicture(const PreviewPicture &picture);
    // Removes the picture and clears the drawing to the background colour.
    void clearPicture();

    // The drawing becomes the part of `picture` from its corner with logical
    // size `sourceSize`, stretched to the logical size `destination`, at
    // this box's device pixel ratio (PreviewPicture::draw). An image's
    // drawing is made at once; a sheet's is drawn only where the box shows
    // it, in bands, a few kept, so that a sheet of any length costs what the
    // box shows.
    void setDrawing(const PreviewPicture &picture, QSize sourceSize, QSize destination);
    // An image's drawing, whole; a null image for a sheet's drawing or none.
    const QImage &drawing() const { return m_drawing.whole; }
    // True while the box draws a picture, either kind.
    bool hasDrawing() const { return !m_drawing.picture.isNull(); }
    // True while the drawing is a sheet's picture.
    bool drawsSheet() const { return m_drawing.picture.isSheet(); }
    // The drawing's device pixels in `rect` (logical pixels of the drawing
    // area), as paintEvent draws them; a null image without a sheet drawing.
    // Throws Failure for a part too large to hold.
    QImage sheetDrawingPart(const QRect &rect) const;

    QColor backgroundColour() const { return m_background; }
    void setBackgroundColour(const QColor &colour);

signals:
    // A part of the sheet's picture could not be drawn (a page that cannot
    // be read, too little memory): that part shows white, and this signal
    // follows from the event loop, once for each drawing that fails.
    void sheetDrawingFailed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Band {
        qreal ratio;
        int index;
        QImage pixels;
    };
    // What the box draws: one picture, stretched from `source` to `size`
    // (logical pixels).
    struct Drawing {
        PreviewPicture picture;
        QSize source;
        QSize size;
        QImage whole;                  // an image's drawing, made at once
        mutable std::list<Band> bands; // a sheet's, most recently drawn first
        mutable bool failureSignalled = false;
    };
    static constexpr int kBandRows = 512;
    static constexpr size_t kKeptBands = 6;
    const QImage &band(qreal ratio, int index, QSize device) const;

    int m_border;
    QWidget *m_client = nullptr;
    bool m_autoSize = false;
    PreviewPicture m_picture;
    Drawing m_drawing;
    QColor m_background;
};

} // namespace quorbel
