#include "PictureBox.h"

#include "Failure.h"
#include "SheetPicture.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPalette>

#include <cmath>
#include <cstring>

namespace quorbel {

PictureBox::PictureBox(int border, QWidget *parent)
    : QFrame(parent), m_border(border), m_background(palette().color(QPalette::Button))
{
    if (border <= 0) {
        setFrameStyle(QFrame::NoFrame);
    } else if (border == 1) {
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setLineWidth(1);
    } else {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(border);
    }
    setMidLineWidth(0);
}

QWidget *PictureBox::client()
{
    if (!m_client) {
        // The client shows whatever lies under it; the box paints the background.
        m_client = new QWidget(this);
        m_client->setGeometry(contentsRect());
    }
    return m_client;
}

void PictureBox::setPicture(const QImage &picture)
{
    m_sheet.reset();
    dropSheetDrawing();
    m_picture = picture;
    m_drawing = picture;
    if (m_autoSize) {
        const QSize size = picture.isNull() ? QSize(0, 0) : logicalSize(picture);
        resize(size + QSize(2 * frameWidth(), 2 * frameWidth()));
    }
    update();
}

void PictureBox::clearPicture()
{
    m_sheet.reset();
    dropSheetDrawing();
    m_picture = QImage();
    m_drawing = QImage();
    update();
}

void PictureBox::setDrawing(const QImage &drawing)
{
    dropSheetDrawing();
    m_drawing = drawing;
    update();
}

QSize PictureBox::pictureSize() const
{
    if (m_sheet)
        return m_sheet->logicalSize();
    return m_picture.isNull() ? QSize(0, 0) : logicalSize(m_picture);
}

QSize PictureBox::logicalSize(const QImage &picture)
{
    return picture.deviceIndependentSize().toSize();
}

void PictureBox::setStretchedDrawing(const QImage &source, QSize sourceSize, QSize destination)
{
    if (source.isNull() || sourceSize.isEmpty() || destination.isEmpty()) {
        setDrawing(QImage());
        return;
    }
    const qreal sourceRatio = source.devicePixelRatio();
    const QRect part(0, 0, qRound(sourceSize.width() * sourceRatio), qRound(sourceSize.height() * sourceRatio));
    const qreal ratio = devicePixelRatioF();
    const QSize pixels(qRound(destination.width() * ratio), qRound(destination.height() * ratio));
    QImage piece = source.copy(part);
    piece.setDevicePixelRatio(1.0);
    const bool wholeEnlargement = pixels.width() % part.width() == 0 && pixels.height() % part.height() == 0
        && pixels.width() / part.width() == pixels.height() / part.height();
    QImage drawing = pixels == part.size()
        ? piece
        : piece.scaled(pixels, Qt::IgnoreAspectRatio,
                       wholeEnlargement ? Qt::FastTransformation : Qt::SmoothTransformation);
    drawing.setDevicePixelRatio(ratio);
    setDrawing(drawing);
}

void PictureBox::dropSheetDrawing()
{
    m_failureSignalled = false;
    m_sheetDrawing.reset();
    m_bands.clear();
    m_sheetSize = QSize();
}

void PictureBox::setSheetPicture(std::shared_ptr<const SheetPicture> sheet)
{
    if (!sheet) {
        clearPicture();
        return;
    }
    const QSize natural = sheet->logicalSize();
    m_picture = QImage();
    m_drawing = QImage();
    m_sheet = sheet;
    setSheetDrawing(std::move(sheet), natural, natural);
    if (m_autoSize)
        resize(natural + QSize(2 * frameWidth(), 2 * frameWidth()));
}

void PictureBox::setSheetDrawing(std::shared_ptr<const SheetPicture> sheet, QSize sourceSize, QSize destination)
{
    m_drawing = QImage();
    dropSheetDrawing();
    if (sheet && !sourceSize.isEmpty() && !destination.isEmpty()) {
        m_sheetDrawing = std::move(sheet);
        m_scaleX = double(destination.width()) / sourceSize.width();
        m_scaleY = double(destination.height()) / sourceSize.height();
        m_sheetSize = destination;
    }
    update();
}

QSize PictureBox::sheetDeviceSize() const
{
    const qreal ratio = devicePixelRatioF();
    return QSize(int(std::lround(m_sheetSize.width() * ratio)), int(std::lround(m_sheetSize.height() * ratio)));
}

const QImage &PictureBox::band(double sx, double sy, int index, QSize device) const
{
    for (auto it = m_bands.begin(); it != m_bands.end(); ++it) {
        if (it->sx == sx && it->sy == sy && it->index == index) {
            m_bands.splice(m_bands.begin(), m_bands, it);
            return m_bands.front().pixels;
        }
    }
    const int top = index * kBandRows;
    const QRect rect(0, top, device.width(), std::min(kBandRows, device.height() - top));
    QImage pixels;
    bool failed = false;
    try {
        pixels = m_sheetDrawing->render(sx, sy, rect);
    } catch (...) {
        // Whatever failed (a page that cannot be drawn, too little memory),
        // nothing escapes a paint event: the part stays white (when even
        // that can be made) and the owner hears of it once the painting is
        // over.
        failed = true;
        pixels = QImage(rect.size(), QImage::Format_RGB32);
        if (!pixels.isNull())
            pixels.fill(Qt::white);
    }
    if (failed && !m_failureSignalled) {
        m_failureSignalled = true;
        QMetaObject::invokeMethod(const_cast<PictureBox *>(this), &PictureBox::sheetDrawingFailed, Qt::QueuedConnection);
    }
    pixels.setDevicePixelRatio(devicePixelRatioF());
    m_bands.push_front(Band {sx, sy, index, std::move(pixels)});
    while (m_bands.size() > kKeptBands)
        m_bands.pop_back();
    return m_bands.front().pixels;
}

QImage PictureBox::sheetDrawingPart(const QRect &rect) const
{
    if (!m_sheetDrawing)
        return {};
    const qreal ratio = devicePixelRatioF();
    const QSize device = sheetDeviceSize();
    const QRect wanted = QRect(int(std::floor(rect.left() * ratio)), int(std::floor(rect.top() * ratio)),
                               int(std::ceil(rect.width() * ratio)), int(std::ceil(rect.height() * ratio)))
                             .intersected(QRect(QPoint(0, 0), device));
    QImage part = SheetPicture::paper(wanted.size());
    if (wanted.isEmpty())
        return part;
    const double sx = m_scaleX * ratio;
    const double sy = m_scaleY * ratio;
    for (int index = wanted.top() / kBandRows; index <= wanted.bottom() / kBandRows; ++index) {
        const QImage &pixels = band(sx, sy, index, device);
        const int top = index * kBandRows;
        for (int y = std::max(top, wanted.top()); y <= std::min(top + pixels.height() - 1, wanted.bottom()); ++y)
            std::memcpy(part.scanLine(y - wanted.top()), pixels.constScanLine(y - top) + qsizetype(wanted.left()) * 4,
                        size_t(wanted.width()) * 4);
    }
    part.setDevicePixelRatio(ratio);
    return part;
}

void PictureBox::setBackgroundColour(const QColor &colour)
{
    m_background = colour;
    update();
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    // Only what is to be painted: a long sheet's box is far taller than the
    // viewport that shows a part of it.
    const QRect exposed = event->rect().intersected(area);
    painter.fillRect(exposed, m_background);
    if (m_sheetDrawing && !exposed.isEmpty()) {
        // The bands of device rows that the exposed part needs, each drawn
        // at the box's device pixel ratio on whole device pixels.
        const qreal ratio = devicePixelRatioF();
        const QSize device = sheetDeviceSize();
        const int first = std::max(0, int(std::floor((exposed.top() - area.top()) * ratio)));
        const int last = std::min(device.height() - 1, int(std::ceil((exposed.bottom() + 1 - area.top()) * ratio)) - 1);
        painter.save();
        painter.setClipRect(exposed);
        for (int index = first / kBandRows; last >= first && index <= last / kBandRows; ++index) {
            painter.drawImage(QPointF(area.left(), area.top() + index * kBandRows / ratio),
                              band(m_scaleX * ratio, m_scaleY * ratio, index, device));
        }
        painter.restore();
    } else if (!m_drawing.isNull()) {
        painter.save();
        painter.setClipRect(area);
        painter.drawImage(area.topLeft(), m_drawing);
        painter.restore();
    }
    drawFrame(&painter);
}

void PictureBox::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    if (m_client)
        m_client->setGeometry(contentsRect());
}

} // namespace quorbel
