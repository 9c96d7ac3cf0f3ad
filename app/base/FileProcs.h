#pragma once

#include <QByteArray>
#include <QString>

namespace quorbel {

// True when `path` names a file whose last-modified time can be read.
// Folders and empty paths are false. Never fails.
bool FileExists(const QString &path);

// Removes one file and never fails: processes pending window events, tries
// the ordinary delete and, when that fails, the forced delete.
void DeleteFileQuietly(const QString &path);

// Deletes a file even when it is read-only (and when its folder is one of the
// user's own that is not writable). Throws Failure when it cannot.
void ForceDeleteFile(const QString &path);

// Writes `bytes` from the first byte of the file on, creating the file when
// it does not exist; the file is not truncated first. Throws Failure.
void WriteBytesToFile(const QByteArray &bytes, const QString &path);

// Makes `path` with mode 0700, after any folder missing above it, each with
// mode 0700 as well. A folder that exists already is left as it is. False,
// with errno set, when a folder cannot be made.
bool makeFolders(const QString &path);

// Writes all `size` bytes at `data` to the open file `fd`, again where a
// signal cut a write short. Returns 0, or the error that stopped it (EIO for
// a write that wrote nothing).
int writeAll(int fd, const char *data, qsizetype size);

// The bytes of `path` when it is the user's own regular file (never through
// a link) of at most `maxBytes` bytes. Throws Failure otherwise.
QByteArray readOwnFile(const QString &path, qint64 maxBytes);

// The folder that holds the program file.
QString programFolder();

} // namespace quorbel
