#include "PdfPage.h"

#include "Failure.h"

#include <poppler-document.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <QImage>

#include <algorithm>
#include <cstring>

namespace quorbel {

namespace {

Failure unreadable()
{
    return Failure(QStringLiteral("The picture of the cells could not be read back from LibreOffice's PDF."));
}

} // namespace

PdfPage::PdfPage(const QByteArray &pdf)
    : m_document(poppler::document::load_from_raw_data(pdf.constData(), int(pdf.size())))
{
    if (!m_document || m_document->is_locked() || m_document->pages() < 1)
        throw unreadable();
    m_page.reset(m_document->create_page(0));
    if (!m_page)
        throw unreadable();
}

PdfPage::~PdfPage() = default;

int PdfPage::pageCount() const
{
    return m_document->pages();
}

void PdfPage::drawRows(double dpiX, double dpiY, int left, int top, int width, int height, int skip, int rows,
                       QImage &target, int targetRow) const
{
    poppler::page_renderer renderer;
    renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
    renderer.set_image_format(poppler::image::format_argb32);
    const poppler::image image = renderer.render_page(m_page.get(), dpiX, dpiY, left, top, width, height);
    if (!image.is_valid())
        throw Failure(QStringLiteral("The picture of the cells could not be drawn."));
    const int count = std::min({rows, image.height() - skip, target.height() - targetRow});
    const int columns = std::min(target.width(), image.width());
    for (int row = 0; row < count; ++row) {
        auto *line = reinterpret_cast<QRgb *>(target.scanLine(targetRow + row));
        std::memcpy(line, image.const_data() + qsizetype(row + skip) * image.bytes_per_row(), size_t(columns) * 4);
        // The page's paper is opaque white; RGB32 wants every pixel opaque.
        for (int x = 0; x < columns; ++x)
            line[x] |= 0xff000000u;
    }
}

} // namespace quorbel
