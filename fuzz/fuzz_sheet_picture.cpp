// The sheet picture on any bytes (as the picture file in the scratch folder
// carries it): reading them gives a picture or throws Failure; a picture
// read gives its size and draws small parts of itself.
//
// What is drawn: the geometry the bytes declare (width, height, the blocks
// and where they lie) with every page replaced by a real page of the
// office's, taken from the seed picture. The pages' PDF is interpreted by
// poppler, not by this program, and the program draws only pages its own
// office made (a picture file of the user's own in a private folder); a
// page whose PDF bytes were changed can make poppler's font engine ask for
// gigabytes, which says nothing about this program's code. Everything this
// program does with the bytes (the header, the sizes, the blocks, the
// arithmetic of sizes and parts, choosing and placing the pages of a part)
// runs on the fuzzed input.
#include "Failure.h"
#include "SheetPicture.h"

#include <QByteArray>
#include <QFile>
#include <QImage>

#include <cstdint>
#include <cstdlib>

using namespace quorbel;

namespace {

// The first page of the seed picture (a real build of ten entries).
const QByteArray &officePage()
{
    static const QByteArray page = [] {
        QFile file(QStringLiteral(QUORBEL_FUZZ_PICTURE_SEED));
        if (!file.open(QIODevice::ReadOnly))
            std::abort();
        const auto seed = SheetPicture::fromBytes(file.readAll());
        if (!seed || seed->blocks().isEmpty())
            std::abort();
        return seed->blocks().first().pdf;
    }();
    return page;
}

void draw(const SheetPicture &picture)
{
    const QSize size1 = picture.logicalSize();
    const QSize size2 = picture.sizeAt(2.0, 2.0);
    if (size1.width() < 0 || size1.height() < 0 || size2.width() < 0 || size2.height() < 0)
        std::abort();
    try {
        const QImage part = picture.render(1.0, 1.0, QRect(0, 0, 64, 48));
        if (part.size() != QSize(64, 48))
            std::abort();
        picture.render(2.0, 2.0, QRect(size2.width() / 2, size2.height() / 2, 32, 32));
        picture.render(1.5, 1.5, QRect(size2.width() - 8, size2.height() - 8, 16, 16));
    } catch (const Failure &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray &page = officePage();
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    std::shared_ptr<SheetPicture> picture;
    try {
        picture = SheetPicture::fromBytes(bytes);
    } catch (const Failure &) {
        return 0;
    }
    if (!picture)
        std::abort();
    // A picture read back writes the same bytes again.
    if (SheetPicture::fromBytes(picture->toBytes())->blocks().size() != picture->blocks().size())
        std::abort();
    QVector<SheetPicture::Block> blocks = picture->blocks();
    for (auto &block : blocks)
        block.pdf = page;
    draw(SheetPicture(picture->widthHmm(), picture->heightHmm(), std::move(blocks)));
    return 0;
}
