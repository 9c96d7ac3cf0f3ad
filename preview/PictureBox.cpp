#include "PictureBox.h"

#include <QPainter>
#include <QPalette>

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
    m_picture = QImage();
    m_drawing = QImage();
    update();
}

void PictureBox::setDrawing(const QImage &drawing)
{
    m_drawing = drawing;
    update();
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

void PictureBox::setBackgroundColour(const QColor &colour)
{
    m_background = colour;
    update();
}

void PictureBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.fillRect(area, m_background);
    if (!m_drawing.isNull()) {
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
