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

void PictureBox::setPicture(const PreviewPicture &picture)
{
    m_picture = picture;
    const QSize natural = picture.logicalSize();
    if (picture.isSheet()) {
        setDrawing(picture, natural, natural);
    } else {
        // An image is its own drawing at natural size, painted at its own
        // device pixel ratio.
        m_drawing = Drawing {picture, natural, natural, picture.image(), {}, false};
        update();
    }
    if (m_autoSize)
        resize(natural + QSize(2 * frameWidth(), 2 * frameWidth()));
}

void PictureBox::clearPicture()
{
    m_picture = PreviewPicture();
    m_drawing = Drawing();
    update();
}

void PictureBox::setDrawing(const PreviewPicture &picture, QSize sourceSize, QSize destination)
{
    m_drawing = Drawing();
    if (!picture.isNull() && !sourceSize.isEmpty() && !destination.isEmpty()) {
        m_drawing.picture = picture;
        m_drawing.source = sourceSize;
        m_drawing.size = destination;
        if (!picture.isSheet())
            m_drawing.whole = picture.draw(sourceSize, destination, devicePixelRatioF());
    }
    update();
}

const QImage &PictureBox::band(qreal ratio, int index, QSize device) const
{
    auto &bands = m_drawing.bands;
    for (auto it = bands.begin(); it != bands.end(); ++it) {
        if (it->ratio == ratio && it->index == index) {
            bands.splice(bands.begin(), bands, it);
            return bands.front().pixels;
        }
    }
    const int top = index * kBandRows;
    const QRect rect(0, top, device.width(), std::min(kBandRows, device.height() - top));
    QImage pixels;
    bool failed = false;
    try {
        pixels = m_drawing.picture.draw(m_drawing.source, m_drawing.size, ratio, rect);
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
    if (failed && !m_drawing.failureSignalled) {
        m_drawing.failureSignalled = true;
        QMetaObject::invokeMethod(const_cast<PictureBox *>(this), &PictureBox::sheetDrawingFailed, Qt::QueuedConnection);
    }
    pixels.setDevicePixelRatio(ratio);
    bands.push_front(Band {ratio, index, std::move(pixels)});
    while (bands.size() > kKeptBands)
        bands.pop_back();
    return bands.front().pixels;
}

QImage PictureBox::sheetDrawingPart(const QRect &rect) const
{
    if (!drawsSheet())
        return {};
    const qreal ratio = devicePixelRatioF();
    const QSize device = PreviewPicture::deviceSize(m_drawing.size, ratio);
    const QRect wanted = QRect(int(std::floor(rect.left() * ratio)), int(std::floor(rect.top() * ratio)),
                               int(std::ceil(rect.width() * ratio)), int(std::ceil(rect.height() * ratio)))
                             .intersected(QRect(QPoint(0, 0), device));
    QImage part = SheetPicture::paper(wanted.size());
    if (wanted.isEmpty())
        return part;
    for (int index = wanted.top() / kBandRows; index <= wanted.bottom() / kBandRows; ++index) {
        const QImage &pixels = band(ratio, index, device);
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
    if (drawsSheet() && !exposed.isEmpty()) {
        // The bands of device rows that the exposed part needs, each drawn
        // at the box's device pixel ratio on whole device pixels.
        const qreal ratio = devicePixelRatioF();
        const QSize device = PreviewPicture::deviceSize(m_drawing.size, ratio);
        const int first = std::max(0, int(std::floor((exposed.top() - area.top()) * ratio)));
        const int last = std::min(device.height() - 1, int(std::ceil((exposed.bottom() + 1 - area.top()) * ratio)) - 1);
        painter.save();
        painter.setClipRect(exposed);
        for (int index = first / kBandRows; last >= first && index <= last / kBandRows; ++index)
            painter.drawImage(QPointF(area.left(), area.top() + index * kBandRows / ratio), band(ratio, index, device));
        painter.restore();
    } else if (!m_drawing.whole.isNull()) {
        painter.save();
        painter.setClipRect(area);
        painter.drawImage(area.topLeft(), m_drawing.whole);
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
