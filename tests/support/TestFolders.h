#pragma once

// Folders for tests: the kinds a TEMP or XDG_RUNTIME_DIR may name, for tests
// of which ones the program trusts ("nobody's" folders are given to the user
// nobody, 65534, which needs root; callers skip them otherwise), and the
// emptying of a test's scratch folder.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

namespace quorbel::test {

// True when making a folder of `kind` needs root.
inline bool plantingNeedsRoot(const QString &kind)
{
    return kind.contains(QLatin1String("nobody's"));
}

// Makes a folder of `kind` in the folder `where` and returns the path that
// names it (empty when it could not be made): "own 0700", "own 0755",
// "own 0777", "own 1777" (the user's own, with that mode), "nobody's 0700",
// "nobody's 0755", "nobody's 1777" (given to nobody), "own 0700 in
// nobody's" (below a folder of nobody's), "link to own 0700" (a link to such
// a folder), "missing" (a path where nothing is).
inline QString plantFolder(const QString &where, const QString &kind)
{
    const QString path = QDir(where).filePath(QStringLiteral("planted"));
    if (kind == QLatin1String("missing"))
        return path;
    if (kind == QLatin1String("link to own 0700")) {
        const QString target = plantFolder(QDir(where).filePath(QStringLiteral("target")), QStringLiteral("own 0700"));
        return !target.isEmpty() && QFile::link(target, path) ? path : QString();
    }
    if (kind == QLatin1String("own 0700 in nobody's")) {
        const QString above = plantFolder(where, QStringLiteral("nobody's 0755"));
        return above.isEmpty() ? QString() : plantFolder(above, QStringLiteral("own 0700"));
    }
    const QByteArray native = QFile::encodeName(path);
    const mode_t mode = mode_t(kind.section(QLatin1Char(' '), 1, 1).toUInt(nullptr, 8));
    if (!QDir().mkpath(path) || ::chmod(native.constData(), mode) != 0)
        return {};
    if (kind.startsWith(QLatin1String("nobody's")) && ::lchown(native.constData(), 65534, 65534) != 0)
        return {};
    return path;
}

// Removes everything in the folder `path` and keeps the folder itself (a
// scratch folder that TEMP names must be there to be used).
inline void emptyFolder(const QString &path)
{
    const QDir folder(path);
    const auto entries = folder.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.filePath()).removeRecursively();
        else
            QFile::remove(entry.filePath());
    }
}

} // namespace quorbel::test
