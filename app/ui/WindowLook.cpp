#include "WindowLook.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QRadioButton>
#include <QScreen>
#include <QWidget>

namespace quorbel {

// The window, and each of its check boxes, option buttons, frames and labels
// (and, when `withPictureBoxes`, each child marked with the property
// "pictureBox"), take the button-face colour as background.
void useButtonFace(QWidget *window, bool withPictureBoxes)
{
    const QColor face = QPalette().color(QPalette::Active, QPalette::Button);
    setBackgroundColour(window, face);
    for (QWidget *child : window->findChildren<QWidget *>()) {
        if (qobject_cast<QCheckBox *>(child) || qobject_cast<QRadioButton *>(child)
            || qobject_cast<QGroupBox *>(child) || qobject_cast<QLabel *>(child)
            || (withPictureBoxes && child->property("pictureBox").toBool()))
            setBackgroundColour(child, face);
    }
}

void setBackgroundColour(QWidget *widget, const QColor &colour)
{
    // Only the background roles: children inherit the palette, and text
    // fields, the date picker and the list keep their own field colour.
    // Check boxes and option buttons fill their background with the Button
    // role; labels, frames and windows with Window.
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(widget->backgroundRole(), colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void centreOnScreen(QWidget *window)
{
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The window with its frame (known once the window exists) in the middle.
    const QRect area = screen->availableGeometry();
    const QSize outer = window->frameGeometry().size();
    window->move(area.left() + (area.width() - outer.width()) / 2, area.top() + (area.height() - outer.height()) / 2);
}

void UseSystemColors(QWidget *window)
{
    useButtonFace(window, false);
}

} // namespace quorbel
