#pragma once

// The picture of a cell range kept as the office drew it: its PDF pages
// (one page a block of whole rows, each page's top left corner one edge
// pixel above and left of the block) and where each block lies in the
// range. Nothing is rasterised until a part of it is asked for, so a sheet
// of any length costs the size of its PDF, and every part can be drawn at
// any resolution: sharp at every zoom and screen scale.
//
// Coordinates: the picture at scale s (device pixels per pixel at 96 dpi)
// is edge(s) + pixels(range width) wide and edge(s) + pixels(range height)
// tall, where pixels() converts 1/100 mm at 96 x s dpi and edge(s) is the
// line of the range's left and top border, drawn just outside its first
// column and row. At scale 1 that is the picture's logical size, the size
// the preview's geometry works with.
//
// The picture travels as one byte string (from the office module to the
// snapshot file, and on the clipboard as kMimeType): a header line, one line
// a block, then the PDFs.

#include <QByteArray>
#include <QImage>
#include <QMimeData>
#include <QRect>
#include <QSize>
#include <QVector>

#include <memory>

namespace quorbel {

class SheetPicture {
public:
    // The clipboard format that carries the whole picture.
    static const QString kMimeType;
    // The first bytes of its byte string.
    static const QByteArray kMagic;
    // Pictures of more pixels than this go on the clipboard at a reduced
    // resolution: 96 MB of pixels, well under the 128 MB that Qt's image
    // reader accepts.
    static constexpr qint64 kClipboardPixels = 24'000'000;

    // What the office prints and what a picture read back may claim. The
    // widest range on one page (2 m), the tallest block of rows on one page
    // (50 cm) and the room around it on its page, which also takes the few
    // hundredths of a millimetre the office's rounding leaves to the last
    // block; at most kMaxBlocks blocks; the byte string at most kMaxBytes
    // long. All in 1/100 mm.
    static constexpr qint32 kMaxWidthHmm = 200'000;
    static constexpr qint32 kMaxBlockHeightHmm = 50'000;
    static constexpr qint32 kPagePaddingHmm = 1'000;
    static constexpr qint32 kMaxBlocks = 100'000;
    static constexpr qint64 kMaxHeightHmm = qint64(kMaxBlocks) * (kMaxBlockHeightHmm + kPagePaddingHmm);
    static constexpr qint64 kMaxBytes = qint64(256) << 20;
    // The page's margin left of and above the block: the edge line (one
    // pixel at 96 dpi is 26.46/100 mm, which the office rounds to its 15
    // twips).
    static constexpr qint32 kEdgeHmm = 26;

    struct Block {
        qint64 top = 0;    // 1/100 mm from the range's top
        qint32 height = 0; // 1/100 mm
        QByteArray pdf;    // one page; the block from one edge below its top left
    };

    SheetPicture(qint32 widthHmm, qint64 heightHmm, QVector<Block> blocks);
    ~SheetPicture();
    SheetPicture(const SheetPicture &) = delete;
    SheetPicture &operator=(const SheetPicture &) = delete;

    // The byte string, and a picture read back from one. fromBytes throws
    // Failure for bytes that are not a whole picture: every size in the
    // header is checked against the bytes there before anything is made,
    // the width and each block's height must lie within what the office
    // prints, the blocks must follow each other from the top and the height
    // must be their sum.
    QByteArray toBytes() const;
    static bool looksLikePicture(const QByteArray &start);
    static std::shared_ptr<SheetPicture> fromBytes(const QByteArray &bytes);

    qint32 widthHmm() const { return m_width; }
    qint64 heightHmm() const { return m_height; }
    const QVector<Block> &blocks() const { return m_blocks; }

    // Size in device pixels at scale (sx, sy); at (1, 1) the logical size.
    // Never overflows: a scale that is not positive counts as 1, and each
    // side is at most kMaxPixels.
    QSize sizeAt(double sx, double sy) const;
    QSize logicalSize() const { return sizeAt(1.0, 1.0); }

    // The part `rect` (device pixels at scale sx x sy) of the picture, opaque
    // RGB32, white where no page draws. Throws Failure when a page cannot be
    // read back or drawn, or when the part is too large to hold
    // (kMaxRenderPixels).
    QImage render(double sx, double sy, const QRect &rect) const;
    // A white opaque RGB32 image of `size`: the paper a part is drawn on.
    // Throws Failure when the image cannot be made.
    static QImage paper(const QSize &size);
    // The most pixels render() draws at once (256 MB).
    static constexpr qint64 kMaxRenderPixels = qint64(64) << 20;

    // The whole picture at `ratio` x 96 dpi, carrying that resolution and
    // the device pixel ratio; reduced (ratio 1, a lower resolution) as far
    // as needed to stay within `maxPixels`.
    QImage image(double ratio, qint64 maxPixels = kClipboardPixels) const;

    // The edge line's width at scale s: one pixel at 96 dpi, s rounded
    // (at most 64).
    static int edge(double s);
    // 1/100 mm in pixels at `dpi`, rounded, within 0 to kMaxPixels.
    static int pixels(qint64 hmm, double dpi);
    // The largest length in pixels: sums of a few stay within an int.
    static constexpr int kMaxPixels = 1 << 29;

private:
    struct Pages;
    qint32 m_width;
    qint64 m_height;
    QVector<Block> m_blocks;
    std::unique_ptr<Pages> m_pages; // read-back pages, a few kept
};

// The clipboard's content for a sheet's picture, for putting the sheet on
// the clipboard when the user asks for it: the picture itself
// (SheetPicture::kMimeType), an image of it for any program that pastes
// pictures (made only when asked for: at the ratio it was made for, reduced
// for very long sheets), and the office's PDF when the range took one page.
// It may carry a plain image instead (offered as an image).
class SheetPictureMimeData : public QMimeData {
    Q_OBJECT
public:
    SheetPictureMimeData(std::shared_ptr<const SheetPicture> picture, double ratio);
    explicit SheetPictureMimeData(const QImage &bitmap);
    const std::shared_ptr<const SheetPicture> &sheetPicture() const { return m_picture; }
    const QImage &bitmap() const { return m_bitmap; }
    QStringList formats() const override;
    bool hasFormat(const QString &mimeType) const override;

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override;

private:
    std::shared_ptr<const SheetPicture> m_picture;
    QImage m_bitmap;
    double m_ratio = 1.0;
};

} // namespace quorbel
