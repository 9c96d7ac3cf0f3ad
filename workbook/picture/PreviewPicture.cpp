#include "PreviewPicture.h"

#include "Failure.h"
#include "FileProcs.h"
#include "SheetPicture.h"

#include <cmath>

namespace quorbel {
namespace {

// The picture in the bytes of the file `name`, or Failure naming it.
PreviewPicture read(const QByteArray &bytes, const QString &name)
{
    // The office's pages of the sheet, drawn where and as large as shown.
    if (SheetPicture::looksLikePicture(bytes)) {
        std::shared_ptr<SheetPicture> sheet = SheetPicture::fromBytes(bytes);
        // Its first page read back and a corner drawn now: a page that
        // cannot be drawn is no picture from the start.
        sheet->render(1.0, 1.0, QRect(0, 0, 1, 1));
        return PreviewPicture(std::shared_ptr<const SheetPicture>(std::move(sheet)));
    }
    QImage image;
    if (!image.loadFromData(bytes))
        throw Failure(QStringLiteral("Could not read the picture %1.").arg(name));
    // A picture made for a screen of a higher pixel ratio says so by its
    // resolution (96 dpi times the ratio): it shows at its logical size.
    const double ratio = image.dotsPerMeterX() / (96.0 / 0.0254);
    if (ratio > 1.05 && ratio < 16.0)
        image.setDevicePixelRatio(std::round(ratio * 4.0) / 4.0);
    return PreviewPicture(image);
}

} // namespace

PreviewPicture::PreviewPicture(const QImage &image) : m_image(image)
{
}

PreviewPicture::PreviewPicture(std::shared_ptr<const SheetPicture> sheet) : m_sheet(std::move(sheet))
{
}

PreviewPicture PreviewPicture::fromFile(const QString &path)
{
    // Whatever goes wrong (damaged bytes, a file that is not the user's own,
    // too little memory) is a Failure that names the file.
    try {
        return read(readOwnFile(path, SheetPicture::kMaxBytes), path);
    } catch (const Failure &) {
        throw;
    } catch (const std::exception &error) {
        throw Failure(QStringLiteral("Could not read the picture %1: %2").arg(path, QString::fromLocal8Bit(error.what())));
    } catch (...) {
        throw Failure(QStringLiteral("Could not read the picture %1.").arg(path));
    }
}

QSize PreviewPicture::logicalSize() const
{
    if (m_sheet)
        return m_sheet->logicalSize();
    return m_image.isNull() ? QSize(0, 0) : logicalSize(m_image);
}

QSize PreviewPicture::logicalSize(const QImage &image)
{
    return image.deviceIndependentSize().toSize();
}

QSize PreviewPicture::deviceSize(QSize destination, qreal ratio)
{
    return QSize(int(std::lround(destination.width() * ratio)), int(std::lround(destination.height() * ratio)));
}

QImage PreviewPicture::draw(QSize source, QSize destination, qreal ratio) const
{
    return draw(source, destination, ratio, QRect(QPoint(0, 0), deviceSize(destination, ratio)));
}

QImage PreviewPicture::draw(QSize source, QSize destination, qreal ratio, const QRect &rect) const
{
    if (isNull() || source.isEmpty() || destination.isEmpty() || !(ratio > 0))
        return {};
    const QRect wanted = rect.intersected(QRect(QPoint(0, 0), deviceSize(destination, ratio)));
    QImage part;
    if (m_sheet) {
        part = m_sheet->render(double(destination.width()) / source.width() * ratio,
                               double(destination.height()) / source.height() * ratio, wanted);
    } else {
        const QImage whole = stretchedImage(source, destination, ratio);
        part = wanted == whole.rect() ? whole : whole.copy(wanted);
    }
    part.setDevicePixelRatio(ratio);
    return part;
}

QImage PreviewPicture::stretchedImage(QSize source, QSize destination, qreal ratio) const
{
    const qreal sourceRatio = m_image.devicePixelRatio();
    const QRect part(0, 0, qRound(source.width() * sourceRatio), qRound(source.height() * sourceRatio));
    const QSize pixels(qRound(destination.width() * ratio), qRound(destination.height() * ratio));
    QImage piece = m_image.copy(part);
    piece.setDevicePixelRatio(1.0);
    if (pixels == part.size())
        return piece;
    const bool wholeEnlargement = pixels.width() % part.width() == 0 && pixels.height() % part.height() == 0
        && pixels.width() / part.width() == pixels.height() / part.height();
    return piece.scaled(pixels, Qt::IgnoreAspectRatio,
                        wholeEnlargement ? Qt::FastTransformation : Qt::SmoothTransformation);
}

} // namespace quorbel
