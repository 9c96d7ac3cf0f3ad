#pragma once

// The look of the program's windows: their colours and their place on the
// screen here; the optional skin (WindowSkin.h), the hand pointer file
// (CursorFile.h) and the pointer over the buttons (PointerFeedback.h) in
// files of their own, included here for the windows that use them all.

#include "CursorFile.h"
#include "PointerFeedback.h"
#include "WindowSkin.h"

class QColor;
class QWidget;

namespace quorbel {

// Gives the window, and each of its check boxes, radio buttons, frames
// (group boxes) and labels, the system button-face colour as background.
void UseSystemColors(QWidget *window);

// The same, and with `withPictureBoxes` also each child marked with the
// property "pictureBox" (the skinned main window).
void useButtonFace(QWidget *window, bool withPictureBoxes);

// Gives `widget` a background of its own in `colour`. Only the background
// (Window) role changes: the field colour (Base) that text fields, date
// pickers and lists inside it draw with stays as it was.
void setBackgroundColour(QWidget *widget, const QColor &colour);

// Moves a top-level window, with its frame, to the middle of its screen.
void centreOnScreen(QWidget *window);

} // namespace quorbel
