#pragma once

// The one kind of picture the preview shows: either a sheet's picture kept
// as the office's pages (SheetPicture) or an ordinary image (a picture file
// of any format Qt reads). A small value: copies share what they hold.
//
// Both kinds answer their logical size (pixels at 96 dpi; an image's pixels
// over its device pixel ratio) and draw any stretch of themselves at any
// device pixel ratio, so whoever shows one need not know which it is.

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>

namespace quorbel {

class SheetPicture;

class PreviewPicture {
public:
    // No picture.
    PreviewPicture() = default;
    // An ordinary image; a null image is no picture.
    PreviewPicture(const QImage &image); // implicit: an image is a picture
    // A sheet's picture; a null pointer is no picture.
    PreviewPicture(std::shared_ptr<const SheetPicture> sheet); // implicit: so is a sheet's

    // The picture in the file at `path`, which must be the user's own plain
    // file of at most SheetPicture::kMaxBytes (readOwnFile): a SheetPicture's
    // byte string when it starts as one (read whole, its first corner drawn,
    // so a page that cannot be drawn is no picture from the start), else an
    // image in any format Qt reads. An image of 96 dpi times a ratio above 1
    // (a picture made for a screen of that ratio) carries that device pixel
    // ratio (rounded to a quarter), so it shows at its logical size. Throws
    // Failure naming the file for one that is neither, or cannot be read.
    static PreviewPicture fromFile(const QString &path);

    bool isNull() const { return !m_sheet && m_image.isNull(); }
    bool isSheet() const { return bool(m_sheet); }
    // The ordinary image; null for a sheet's picture.
    const QImage &image() const { return m_image; }
    // The sheet's picture; null for an ordinary image.
    const std::shared_ptr<const SheetPicture> &sheet() const { return m_sheet; }

    // Logical pixels; (0, 0) for no picture.
    QSize logicalSize() const;
    // The logical size of an image (its pixels over its device pixel ratio).
    static QSize logicalSize(const QImage &image);

    // The part of the picture from its corner with logical size `source`,
    // stretched to the logical size `destination` and drawn at `ratio`
    // device pixels a logical pixel: the device pixels in `rect` of that
    // drawing (whose device size is destination x ratio, rounded), carrying
    // `ratio`. A sheet's picture is drawn afresh at that resolution (96 dpi
    // x stretch x ratio), so text stays sharp; an image is stretched straight
    // from its own pixels, whole-number enlargements repeating pixels
    // instead of blurring them. A null image for no picture or an empty
    // size. Throws Failure when a page cannot be drawn or the part is too
    // large to hold.
    QImage draw(QSize source, QSize destination, qreal ratio, const QRect &rect) const;
    // The whole of that drawing.
    QImage draw(QSize source, QSize destination, qreal ratio) const;

    // The drawing's device size for `destination` at `ratio`.
    static QSize deviceSize(QSize destination, qreal ratio);

private:
    QImage stretchedImage(QSize source, QSize destination, qreal ratio) const;

    QImage m_image;
    std::shared_ptr<const SheetPicture> m_sheet;
};

} // namespace quorbel
