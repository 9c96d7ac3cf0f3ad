#include "CursorFile.h"

#include "Failure.h"
#include "FilesLog.h"

#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QPixmap>

namespace quorbel {

std::optional<QCursor> loadCursorFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    // Header: reserved 0, type 2 (cursor), count; then 16-byte entries whose
    // words at file offsets 10 and 12 are the hotspot.
    if (bytes.size() < 22)
        return std::nullopt;
    QDataStream header(bytes);
    header.setByteOrder(QDataStream::LittleEndian);
    quint16 reserved = 0, type = 0, count = 0, hotX = 0, hotY = 0;
    header >> reserved >> type >> count;
    if (reserved != 0 || type != 2 || count < 1)
        return std::nullopt;
    header.skipRawData(4);  // the first entry's width, height, colours, reserved byte
    header >> hotX >> hotY;
    QImage image = QImage::fromData(bytes, "ICO");
    if (image.isNull())
        return std::nullopt;
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

QCursor readHandPointer(const QString &path)
{
    const std::optional<QCursor> cursor = loadCursorFile(path);
    if (!cursor)
        throw Failure(QStringLiteral("The pointer file %1 could not be read as a cursor.").arg(path));
    qCInfo(lcQuorbelFiles).noquote() << "hand pointer read:" << path;
    return *cursor;
}

} // namespace quorbel
