#pragma once

#include <QLocale>
#include <QPageSize>
#include <QSizeF>

namespace quorbel {

// The paper people use where `locale` is: Letter in the United States and
// the countries that print on it (Canada, Mexico, the Philippines, Chile,
// Colombia, Venezuela and Central America), and wherever the locale measures
// in US units; A4 everywhere else.
QPageSize localePaper(const QLocale &locale = QLocale());

// Width x height of `paper` in millimetres, portrait.
QSizeF paperMillimetres(const QPageSize &paper);

} // namespace quorbel
