#pragma once

// One page of a PDF the office printed, read back and drawn with poppler:
// the one place where the program opens the office's pages and rasterises
// them, for the office module (which checks each page it exports) and for
// the sheet picture (which draws parts of them).

#include <QByteArray>

#include <memory>

class QImage;

namespace poppler {
class document;
class page;
} // namespace poppler

namespace quorbel {

class PdfPage {
public:
    // Reads the first page of `pdf`. Throws Failure when the bytes are no
    // readable, unlocked PDF with a page.
    explicit PdfPage(const QByteArray &pdf);
    ~PdfPage();
    PdfPage(const PdfPage &) = delete;
    PdfPage &operator=(const PdfPage &) = delete;

    // How many pages the PDF holds (at least 1).
    int pageCount() const;

    // Draws the page at dpiX x dpiY dots per inch, anti-aliased: the device
    // pixels from (left, top) on, `width` x `height` of them. Rows `skip` to
    // skip + rows - 1 of that drawing go, opaque, into `target` (RGB32) from
    // its row `targetRow` on, as many columns as both have; rows the drawing
    // or the target lack are left as they are. Throws Failure when the page
    // cannot be drawn.
    void drawRows(double dpiX, double dpiY, int left, int top, int width, int height, int skip, int rows,
                  QImage &target, int targetRow) const;

private:
    std::unique_ptr<poppler::document> m_document;
    std::unique_ptr<poppler::page> m_page;
};

} // namespace quorbel
