#include "FileCopy.h"

#include "Failure.h"
#include "FileProcs.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbel {
namespace {

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The process's umask, read without changing it (umask() both reads and
// sets it, which would race with other threads making files). When it
// cannot be read, new files are the user's alone.
mode_t currentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 077;
    const QByteArray text = status.read(64 * 1024);
    const qsizetype at = text.indexOf("\nUmask:");
    if (at < 0)
        return 077;
    const qsizetype end = text.indexOf('\n', at + 1);
    bool ok = false;
    const uint mask = text.mid(at + 7, end < 0 ? -1 : end - at - 7).trimmed().toUInt(&ok, 8);
    return ok ? mode_t(mask & 0777) : mode_t(077);
}

// Six characters a planter cannot guess.
QByteArray randomSuffix()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray suffix(".");
    for (int i = 0; i < 6; ++i)
        suffix += letters[QRandomGenerator::system()->bounded(int(sizeof letters - 1))];
    return suffix;
}

} // namespace

bool nameTaken(const QString &path)
{
    struct stat info {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool sameFile(const QString &a, const QString &b)
{
    struct stat first {};
    struct stat second {};
    return !a.isEmpty() && !b.isEmpty() && ::lstat(QFile::encodeName(a).constData(), &first) == 0
           && ::lstat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev
           && first.st_ino == second.st_ino;
}

StagedCopy::StagedCopy(const QString &source, const QString &target)
    : m_target(target)
{
    const auto fail = [&](const QString &why) {
        discard();
        return Failure(QStringLiteral("Could not copy %1 to %2: %3").arg(source, target, why));
    };
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw fail(in.errorString());

    const QFileInfo info(target);
    m_name = QFile::encodeName(info.fileName());
    if (m_name.isEmpty())
        throw fail(errnoText(EISDIR));
    // The folder as the name gives it (a folder reached through a link is
    // the user's choice); the copy and the rename then stay in that folder.
    m_folder = ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_folder < 0)
        throw fail(errnoText(errno));

    // A new entry of our own: never an existing one, never through a link,
    // under a name nobody can plant first. Long names are shortened so that
    // the suffix fits.
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_tempName = m_name.left(200) + randomSuffix();
        m_fd = ::openat(m_folder, m_tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        0600);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0) {
        const int error = errno;
        m_tempName.clear();
        throw fail(errnoText(error));
    }
    while (!in.atEnd()) {
        const QByteArray block = in.read(1 << 20);
        if (block.isEmpty() && in.error() != QFileDevice::NoError)
            throw fail(in.errorString());
        if (const int error = writeAll(m_fd, block.constData(), block.size()))
            throw fail(errnoText(error));
    }
}

StagedCopy::~StagedCopy()
{
    discard();
}

void StagedCopy::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_tempName.isEmpty())
        ::unlinkat(m_folder, m_tempName.constData(), 0);
    m_tempName.clear();
    if (m_folder >= 0)
        ::close(m_folder);
    m_folder = -1;
}

void StagedCopy::commit(bool replace)
{
    const auto fail = [&](int error) {
        discard();
        return Failure(QStringLiteral("Could not save %1: %2").arg(m_target, errnoText(error)));
    };
    if (m_fd < 0)
        throw fail(EBADF);

    // The entry at the name itself decides, never what a link there leads
    // to: a plain file of the user's own passes its permissions on; a link,
    // another user's file or a new name give the usual ones.
    struct stat old {};
    mode_t mode = 0666 & ~currentUmask();
    if (::fstatat(m_folder, m_name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(old.st_mode))
            throw fail(EISDIR);
        if (S_ISREG(old.st_mode) && old.st_uid == ::geteuid())
            mode = old.st_mode & 0777;
    }
    if (::fchmod(m_fd, mode) != 0 || ::fdatasync(m_fd) != 0)
        throw fail(errno);
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed != 0)
        throw fail(errno);

    // rename() replaces the entry at the name, whatever it is then (a link
    // included), and never follows it. Where the name was free, the copy may
    // only take it: an entry that turned up meanwhile is not replaced
    // unasked. File systems without RENAME_NOREPLACE take a hard link, which
    // does not replace either; only where neither exists is the rename
    // plain.
    int renamed = 0;
    if (replace) {
        renamed = ::renameat(m_folder, m_tempName.constData(), m_folder, m_name.constData());
    } else {
        renamed = ::renameat2(m_folder, m_tempName.constData(), m_folder, m_name.constData(), RENAME_NOREPLACE);
        if (renamed != 0 && (errno == EINVAL || errno == ENOSYS)) {
            renamed = ::linkat(m_folder, m_tempName.constData(), m_folder, m_name.constData(), 0);
            if (renamed == 0)
                ::unlinkat(m_folder, m_tempName.constData(), 0);
            else if (errno == EPERM || errno == EOPNOTSUPP)
                renamed = ::renameat(m_folder, m_tempName.constData(), m_folder, m_name.constData());
        }
    }
    if (renamed != 0)
        throw fail(errno);
    m_tempName.clear();
    ::fsync(m_folder);
    discard();
}

} // namespace quorbel
