#include "Twips.h"

#include <QWidget>

namespace quorbel {

void placeControls(const QList<TwipsPlacement> &placements)
{
    for (const TwipsPlacement &p : placements)
        p.widget->setGeometry(twipsRect(p.left, p.top, p.width, p.height));
}

} // namespace quorbel
