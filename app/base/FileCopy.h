#pragma once

// Copying a file under another name so that the target is either the old
// file or the whole copy, never a part of one.

#include <QString>

#include <memory>

class QSaveFile;

namespace quorbel {

// True when both names lead to one and the same existing file.
bool sameFile(const QString &a, const QString &b);

// A complete copy of `source` written beside `target`. A file it replaces
// keeps its own permissions, also one without the owner's write permission
// (which is lent for the open); a new file gets the usual ones (the user's
// umask). `target` is untouched until commit() puts the copy in its place in
// one step; a copy never committed leaves nothing behind.
class StagedCopy {
public:
    // Writes the copy. Throws Failure when `source` cannot be read or the
    // copy cannot be written.
    StagedCopy(const QString &source, const QString &target);
    ~StagedCopy();
    StagedCopy(const StagedCopy &) = delete;
    StagedCopy &operator=(const StagedCopy &) = delete;

    // Puts the copy in the target's place. Throws Failure.
    void commit();

private:
    QString m_target;
    std::unique_ptr<QSaveFile> m_file;
};

} // namespace quorbel
