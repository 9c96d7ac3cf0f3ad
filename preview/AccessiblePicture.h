#pragma once

namespace quorbel {

// Screen readers hear a picture box (PictureBox) as an image
// (QAccessible::Graphic, "image" over AT-SPI) with the box's accessible name,
// and a description of what it shows: the box's own accessible description
// when it has one, then the size of the picture it holds, or that it holds
// none. Installs the accessible interface factory that says so; a second
// call does nothing.
void installAccessiblePicture();

} // namespace quorbel
