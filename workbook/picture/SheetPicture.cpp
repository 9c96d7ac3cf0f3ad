#include "SheetPicture.h"

#include "Failure.h"
#include "PdfPage.h"

#include <QBuffer>
#include <QList>

#include <algorithm>
#include <array>
#include <vector>
#include <cmath>
#include <cstring>
#include <limits>
#include <list>

namespace quorbel {

const QString SheetPicture::kMimeType = QStringLiteral("application/x-quorbel-sheet-picture");
const QByteArray SheetPicture::kMagic = QByteArrayLiteral("QUORBEL SHEET PICTURE 1\n");

namespace {

constexpr double kDpi = 96.0;
// Pages read back and kept for the next drawing: a viewport seldom spans
// more than two blocks.
constexpr int kKeptPages = 4;
// Rows drawn beyond each end of a slice and thrown away.
constexpr int kSliceMargin = 16;

} // namespace

struct SheetPicture::Pages {
    struct Kept {
        int block;
        std::unique_ptr<PdfPage> page;
    };
    std::list<Kept> kept; // most recently used first
};

SheetPicture::SheetPicture(qint32 widthHmm, qint64 heightHmm, QVector<Block> blocks)
    : m_width(widthHmm), m_height(heightHmm), m_blocks(std::move(blocks)), m_pages(std::make_unique<Pages>())
{
}

SheetPicture::~SheetPicture() = default;

int SheetPicture::edge(double s)
{
    if (!(s > 0))
        return 1;
    return int(std::clamp(std::lround(std::min(s, 64.0)), 1L, 64L));
}

int SheetPicture::pixels(qint64 hmm, double dpi)
{
    const double value = double(hmm) * dpi / 2540.0;
    if (!(value > 0))
        return 0;
    return value >= kMaxPixels ? kMaxPixels : int(std::lround(value));
}

QSize SheetPicture::sizeAt(double sx, double sy) const
{
    if (!(sx > 0))
        sx = 1.0;
    if (!(sy > 0))
        sy = 1.0;
    return QSize(std::min(kMaxPixels, edge(sx) + pixels(m_width, kDpi * sx)),
                 std::min(kMaxPixels, edge(sy) + pixels(m_height, kDpi * sy)));
}

// --- The byte string -----------------------------------------------------------

QByteArray SheetPicture::toBytes() const
{
    QByteArray bytes = kMagic;
    bytes += QByteArray::number(m_width) + ' ' + QByteArray::number(m_height) + ' '
        + QByteArray::number(m_blocks.size()) + '\n';
    for (const Block &block : m_blocks)
        bytes += QByteArray::number(block.top) + ' ' + QByteArray::number(block.height) + ' '
            + QByteArray::number(block.pdf.size()) + '\n';
    for (const Block &block : m_blocks)
        bytes += block.pdf;
    return bytes;
}

bool SheetPicture::looksLikePicture(const QByteArray &start)
{
    return start.startsWith(kMagic);
}

std::shared_ptr<SheetPicture> SheetPicture::fromBytes(const QByteArray &bytes)
{
    const auto broken = [] { return Failure(QStringLiteral("The picture of the sheet is incomplete or damaged.")); };
    if (!looksLikePicture(bytes) || bytes.size() > kMaxBytes)
        throw broken();
    qsizetype at = kMagic.size();
    // One header line: three whole numbers from 0 to `limit`, digits only.
    const auto line = [&](qint64 limit) {
        const qsizetype end = bytes.indexOf('\n', at);
        if (end < 0 || end - at > 64)
            throw broken();
        const QList<QByteArray> fields = bytes.mid(at, end - at).split(' ');
        at = end + 1;
        if (fields.size() != 3)
            throw broken();
        std::array<qint64, 3> numbers {};
        for (int i = 0; i < 3; ++i) {
            const QByteArray &field = fields[i];
            if (field.isEmpty() || field.size() > 18)
                throw broken();
            for (const char c : field) {
                if (c < '0' || c > '9')
                    throw broken();
            }
            numbers[size_t(i)] = field.toLongLong();
            if (numbers[size_t(i)] > limit)
                throw broken();
        }
        return numbers;
    };
    const std::array<qint64, 3> head = line(kMaxHeightHmm);
    const qint64 width = head[0];
    const qint64 height = head[1];
    const qint64 count = head[2];
    if (width <= 0 || width > kMaxWidthHmm || height <= 0 || height > kMaxHeightHmm || count <= 0 || count > kMaxBlocks)
        throw broken();
    // Each block's line takes six bytes at least: a count the bytes cannot
    // hold is refused before any line is read.
    if (count > (bytes.size() - at) / 6)
        throw broken();

    struct Place {
        qint64 top;
        qint64 height;
        qint64 size;
    };
    std::vector<Place> places;
    places.reserve(size_t(count));
    qint64 expectedTop = 0;
    qint64 pdfBytes = 0;
    for (qint64 i = 0; i < count; ++i) {
        const std::array<qint64, 3> fields = line(kMaxHeightHmm);
        if (fields[0] != expectedTop || fields[1] <= 0 || fields[1] > kMaxBlockHeightHmm + kPagePaddingHmm
            || fields[2] <= 0 || fields[2] > kMaxBytes)
            throw broken();
        expectedTop += fields[1];
        pdfBytes += fields[2];
        // The pages must be there, every byte of them and nothing more.
        if (expectedTop > height || pdfBytes > bytes.size() - at)
            throw broken();
        places.push_back(Place {fields[0], fields[1], fields[2]});
    }
    if (expectedTop != height || pdfBytes != bytes.size() - at)
        throw broken();

    QVector<Block> blocks;
    blocks.reserve(qsizetype(places.size()));
    for (const Place &place : places) {
        blocks.append(Block {place.top, qint32(place.height), bytes.mid(at, qsizetype(place.size))});
        at += qsizetype(place.size);
    }
    return std::make_shared<SheetPicture>(qint32(width), height, std::move(blocks));
}

// --- Drawing -------------------------------------------------------------------

QImage SheetPicture::paper(const QSize &size)
{
    if (size.isEmpty())
        return QImage(size.expandedTo(QSize(0, 0)), QImage::Format_RGB32);
    if (qint64(size.width()) * size.height() > kMaxRenderPixels)
        throw Failure(QStringLiteral("The picture of the cells is too large to draw."));
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        throw Failure(QStringLiteral("There is not enough memory to draw the picture of the cells."));
    image.fill(Qt::white);
    return image;
}

QImage SheetPicture::render(double sx, double sy, const QRect &rect) const
{
    QImage result = paper(rect.size());
    if (rect.isEmpty())
        return result;
    if (!(sx > 0) || !(sy > 0) || sx > 64 || sy > 64 || rect.left() < 0 || rect.top() < 0)
        throw Failure(QStringLiteral("The picture of the cells could not be drawn."));
    const double dpiX = kDpi * sx;
    const double dpiY = kDpi * sy;
    const int edgeY = edge(sy);
    const int first = rect.top();
    const int end = rect.bottom() + 1;

    for (int i = 0; i < m_blocks.size(); ++i) {
        // The block's page starts at its top; its rows are drawn from one
        // edge below that (the block above drew the line between them),
        // the first block's from the picture's top, with its edge line.
        // Every length here is at most kMaxPixels (2^29), so these sums
        // stay within an int.
        const int origin = pixels(m_blocks[i].top, dpiY);
        const int from = i == 0 ? 0 : origin + edgeY;
        const int to = i + 1 < m_blocks.size() ? pixels(m_blocks[i + 1].top, dpiY) + edgeY
                                               : std::numeric_limits<int>::max();
        const int a = std::max(first, from);
        const int b = std::min(end, to);
        if (a >= b)
            continue;

        // The block's page, read back once and kept for a few drawings.
        auto &kept = m_pages->kept;
        auto found = std::find_if(kept.begin(), kept.end(), [i](const Pages::Kept &k) { return k.block == i; });
        if (found == kept.end()) {
            kept.push_front(Pages::Kept {i, std::make_unique<PdfPage>(m_blocks[i].pdf)});
            while (int(kept.size()) > kKeptPages)
                kept.pop_back();
        } else if (found != kept.begin()) {
            kept.splice(kept.begin(), kept, found);
        }
        const PdfPage &page = *kept.front().page;

        // A few rows more on either side: a line drawn at the very edge of a
        // slice is fitted to the pixels differently than inside one, and
        // would show as a doubled line where two drawings meet.
        const int sliceTop = std::max(0, a - origin - kSliceMargin);
        const int skip = a - origin - sliceTop;
        page.drawRows(dpiX, dpiY, rect.left(), sliceTop, rect.width(), b - a + skip + kSliceMargin, skip, b - a, result,
                      a - first);
    }
    return result;
}

QImage SheetPicture::image(double ratio, qint64 maxPixels) const
{
    double scale = ratio > 0 ? ratio : 1.0;
    const QSize logical = logicalSize();
    const double logicalPixels = double(logical.width()) * double(logical.height());
    if (logicalPixels * scale * scale > double(maxPixels))
        scale = std::sqrt(double(maxPixels) / logicalPixels);
    const QSize size = sizeAt(scale, scale);
    QImage picture = render(scale, scale, QRect(QPoint(0, 0), size));
    picture.setDotsPerMeterX(int(std::lround(kDpi * scale / 0.0254)));
    picture.setDotsPerMeterY(int(std::lround(kDpi * scale / 0.0254)));
    // A picture at a screen's higher ratio shows at its logical size; a
    // reduced one is a plain picture of a lower resolution.
    picture.setDevicePixelRatio(scale >= 1.0 ? scale : 1.0);
    return picture;
}

// --- On the clipboard ------------------------------------------------------------

namespace {

const QString kImageFormat = QStringLiteral("application/x-qt-image");
const QString kPng = QStringLiteral("image/png");
const QString kPdf = QStringLiteral("application/pdf");

// An image offered as an image, or as PNG bytes to whoever asks for bytes.
QVariant offeredImage(const QImage &image, const QString &mimeType, QMetaType type)
{
    if (mimeType == kImageFormat && type.id() != QMetaType::QByteArray)
        return image;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

} // namespace

SheetPictureMimeData::SheetPictureMimeData(std::shared_ptr<const SheetPicture> picture, double ratio)
    : m_picture(std::move(picture)), m_ratio(ratio)
{
}

SheetPictureMimeData::SheetPictureMimeData(const QImage &bitmap) : m_bitmap(bitmap)
{
}

QStringList SheetPictureMimeData::formats() const
{
    if (!m_picture)
        return m_bitmap.isNull() ? QStringList() : QStringList {kImageFormat, kPng};
    QStringList list {SheetPicture::kMimeType, kImageFormat, kPng};
    if (m_picture->blocks().size() == 1)
        list.append(kPdf);
    return list;
}

bool SheetPictureMimeData::hasFormat(const QString &mimeType) const
{
    return formats().contains(mimeType);
}

QVariant SheetPictureMimeData::retrieveData(const QString &mimeType, QMetaType type) const
{
    if (!m_picture) {
        if (m_bitmap.isNull() || (mimeType != kImageFormat && mimeType != kPng))
            return {};
        return offeredImage(m_bitmap, mimeType, type);
    }
    try {
        if (mimeType == SheetPicture::kMimeType)
            return m_picture->toBytes();
        if (mimeType == kPdf && m_picture->blocks().size() == 1)
            return m_picture->blocks().first().pdf;
        if (mimeType == kImageFormat || mimeType == kPng)
            return offeredImage(m_picture->image(m_ratio), mimeType, type);
    } catch (const Failure &) {
        // A picture that cannot be drawn is not offered.
    } catch (const std::exception &) {
        // Nor one too large for the memory there is.
    }
    return {};
}

} // namespace quorbel
