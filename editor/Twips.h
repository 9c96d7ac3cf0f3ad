#pragma once

#include <QList>
#include <QRect>

#include <cmath>

class QWidget;

namespace quorbel {

// The window is designed in twips: 1440 to the inch, 15 to a pixel at 96
// dots per inch. Fractions of a pixel round to the nearest, halves to even.
constexpr int kTwipsPerPixel = 15;

inline int twipsToPixels(int twips)
{
    return int(std::nearbyint(double(twips) / kTwipsPerPixel));
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

// One control of the design: where it sits inside its container, in twips.
struct TwipsPlacement {
    QWidget *widget;
    int left;
    int top;
    int width;
    int height;
};

// Places each control at its designed rectangle.
void placeControls(const QList<TwipsPlacement> &placements);

} // namespace quorbel
