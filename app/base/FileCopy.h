#pragma once

// Copying a file under another name so that the target is either the old
// entry or the whole copy, never a part of one, and never written through a
// link: the name itself is replaced, whatever it led to stays as it was.

#include <QByteArray>
#include <QString>

namespace quorbel {

// True when `path` names an entry that saving to it would replace: a file, a
// symbolic link (also one that leads nowhere or to a folder) or anything else
// but a folder. A link at the name is looked at itself, never followed.
bool nameTaken(const QString &path);

// True when both names are one and the same entry. A link at either name is
// that link, not what it leads to.
bool sameFile(const QString &a, const QString &b);

// A complete copy of `source` written to a new file beside `target`: made
// with O_EXCL and O_NOFOLLOW under an unpredictable name, readable by the
// user alone until it is complete. `target` is untouched until commit() puts
// the copy in its place in one step (a rename, which replaces the entry at
// the name and never follows a link there); a copy never committed leaves
// nothing behind. The folder is the one `target` named when the copy was
// made, whatever its path names by the time of the commit.
class StagedCopy {
public:
    // Writes the copy. Throws Failure when `source` cannot be read or the
    // copy cannot be written.
    StagedCopy(const QString &source, const QString &target);
    ~StagedCopy();
    StagedCopy(const StagedCopy &) = delete;
    StagedCopy &operator=(const StagedCopy &) = delete;

    // Puts the copy in the target's place and gives it its final
    // permissions: those of the plain file of the user's own it replaces, or
    // the usual ones for a new file (the user's umask) in every other case.
    // With `replace` false the target's name must still be free: an entry
    // that appeared there since it was found free is kept and the commit
    // fails. A folder at the name is never replaced. Throws Failure.
    void commit(bool replace);

private:
    void discard();

    QString m_target;
    QByteArray m_name;     // the target's file name
    QByteArray m_tempName; // the copy's file name, beside it
    int m_folder = -1;
    int m_fd = -1;
};

} // namespace quorbel
