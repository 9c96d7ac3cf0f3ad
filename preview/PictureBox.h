#pragma once

#include <QColor>
#include <QFrame>
#include <QImage>

#include <list>
#include <memory>

namespace quorbel {

class SheetPicture;

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
    // True while the box holds a picture, a bitmap or a sheet's.
    bool hasPicture() const { return !m_picture.isNull() || m_sheet; }
    // The logical size of the picture held, either kind; (0, 0) without one.
    QSize pictureSize() const;
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

    // A sheet's picture kept as the office's pages: the box's picture, and its
    // drawing at natural size. The drawing is rasterised only where the box
    // shows it, in bands at the box's device pixel ratio, a few kept.
    const std::shared_ptr<const SheetPicture> &sheetPicture() const { return m_sheet; }
    void setSheetPicture(std::shared_ptr<const SheetPicture> sheet);
    // The drawing becomes `sheet` with its logical size `sourceSize`
    // stretched to the logical size `destination`: drawn afresh at that
    // size (96 dpi times the stretch and the device pixel ratio), so that
    // text stays sharp at every zoom.
    void setSheetDrawing(std::shared_ptr<const SheetPicture> sheet, QSize sourceSize, QSize destination);
    // True while the drawing is a sheet's picture.
    bool drawsSheet() const { return bool(m_sheetDrawing); }
    // The drawing's device pixels in `rect` (logical pixels of the drawing
    // area), as paintEvent draws them; a null image without a sheet drawing.
    // Throws Failure for a part too large to hold.
    QImage sheetDrawingPart(const QRect &rect) const;

    // The logical size of a picture (its pixels over its device pixel ratio).
    static QSize logicalSize(const QImage &picture);

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
        double sx;
        double sy;
        int index;
        QImage pixels;
    };
    static constexpr int kBandRows = 512;
    static constexpr size_t kKeptBands = 6;
    const QImage &band(double sx, double sy, int index, QSize device) const;
    QSize sheetDeviceSize() const;
    void dropSheetDrawing();

    int m_border;
    QWidget *m_client = nullptr;
    bool m_autoSize = false;
    QImage m_picture;
    QImage m_drawing;
    std::shared_ptr<const SheetPicture> m_sheet;
    std::shared_ptr<const SheetPicture> m_sheetDrawing;
    double m_scaleX = 1.0; // drawing pixels per picture pixel
    double m_scaleY = 1.0;
    QSize m_sheetSize;     // the drawing's logical size
    mutable std::list<Band> m_bands; // most recently drawn first
    mutable bool m_failureSignalled = false;
    QColor m_background;
};

} // namespace quorbel
