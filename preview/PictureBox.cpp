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
        const QSize size = picture.isNull() ? QSize(0, 0) : picture.size();
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
