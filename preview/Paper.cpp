#include "Paper.h"

#include <algorithm>

namespace quorbel {

QPageSize localePaper(const QLocale &locale)
{
    static constexpr QLocale::Territory kLetter[] = {
        QLocale::UnitedStates, QLocale::Canada,     QLocale::Mexico,   QLocale::PuertoRico, QLocale::Philippines,
        QLocale::Chile,        QLocale::Colombia,   QLocale::Venezuela, QLocale::CostaRica, QLocale::Guatemala,
        QLocale::Panama,       QLocale::ElSalvador, QLocale::Nicaragua, QLocale::Belize,
    };
    const bool letter = locale.measurementSystem() == QLocale::ImperialUSSystem
        || std::find(std::begin(kLetter), std::end(kLetter), locale.territory()) != std::end(kLetter);
    return QPageSize(letter ? QPageSize::Letter : QPageSize::A4);
}

QSizeF paperMillimetres(const QPageSize &paper)
{
    const QSizeF size = paper.size(QPageSize::Millimeter);
    return size.width() <= size.height() ? size : size.transposed();
}

} // namespace quorbel
