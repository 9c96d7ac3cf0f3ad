// The sheet picture on any bytes (the picture file in the scratch folder and
// the clipboard carry it): reading either gives a picture or throws Failure;
// a picture read gives its size and draws a small part of itself.
#include "Failure.h"
#include "SheetPicture.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <cstdlib>

using namespace quorbel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    std::shared_ptr<SheetPicture> picture;
    try {
        picture = SheetPicture::fromBytes(bytes);
    } catch (const Failure &) {
        return 0;
    }
    if (!picture)
        std::abort();
    const QSize size1 = picture->logicalSize();
    const QSize size2 = picture->sizeAt(2.0, 2.0);
    if (size1.width() < 0 || size1.height() < 0 || size2.width() < 0 || size2.height() < 0)
        std::abort();
    try {
        const QImage part = picture->render(1.0, 1.0, QRect(0, 0, 64, 48));
        if (part.size() != QSize(64, 48))
            std::abort();
        picture->render(2.0, 2.0, QRect(size2.width() / 2, size2.height() / 2, 32, 32));
    } catch (const Failure &) {
    }
    return 0;
}
