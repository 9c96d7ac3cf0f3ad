#pragma once

#include <QString>

namespace quorbel {

// The product title: both windows' caption and the settings section.
inline const QString kProductTitle = QStringLiteral("Quorbel");

// Shortens `title` at word boundaries: while it is longer than `maxLength`
// characters, everything from its last space on is cut off. A long title
// without any space is cut hard at `maxLength` characters.
QString shortenTitle(QString title, int maxLength = 40);

// Sets the application title from the product title (shortened to 40
// characters). Message boxes without a title of their own show it.
void SetApplicationTitle();
QString applicationTitle();

} // namespace quorbel
