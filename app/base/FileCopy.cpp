#include "FileCopy.h"

#include "Failure.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace quorbel {

bool sameFile(const QString &a, const QString &b)
{
    const QString first = QFileInfo(a).canonicalFilePath();
    return !first.isEmpty() && first == QFileInfo(b).canonicalFilePath();
}

StagedCopy::StagedCopy(const QString &source, const QString &target)
    : m_target(target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Could not copy %1 to %2: %3").arg(source, target, in.errorString()));
    m_file = std::make_unique<QSaveFile>(target);
    // QSaveFile will not replace a file without write permission; the user
    // has agreed to replace it, so its owner's write permission is lent for
    // the open (the copy replaces the file itself, not its content).
    const QFileDevice::Permissions old = QFile::permissions(target);
    const bool lent = QFile::exists(target) && !(old & QFileDevice::WriteOwner)
                      && QFile::setPermissions(target, old | QFileDevice::WriteOwner);
    const bool opened = m_file->open(QIODevice::WriteOnly);
    if (lent) {
        QFile::setPermissions(target, old);
        // The copy took the permissions the file had while it was lent.
        if (opened)
            m_file->setPermissions(old);
    }
    if (!opened)
        throw Failure(QStringLiteral("Could not copy %1 to %2: %3").arg(source, target, m_file->errorString()));
    while (!in.atEnd()) {
        const QByteArray block = in.read(1 << 20);
        if (block.isEmpty() && in.error() != QFileDevice::NoError)
            throw Failure(QStringLiteral("Could not copy %1 to %2: %3").arg(source, target, in.errorString()));
        if (m_file->write(block) != block.size())
            throw Failure(QStringLiteral("Could not copy %1 to %2: %3").arg(source, target, m_file->errorString()));
    }
}

StagedCopy::~StagedCopy() = default;

void StagedCopy::commit()
{
    if (!m_file->commit())
        throw Failure(QStringLiteral("Could not save %1: %2").arg(m_target, m_file->errorString()));
}

} // namespace quorbel
