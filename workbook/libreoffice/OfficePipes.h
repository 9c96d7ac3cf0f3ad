#pragma once

#include <QString>

namespace quorbel::lo {

// The path of the socket on which an office of this user listens for the
// named pipe `pipeName` ("/tmp/OSL_PIPE_<uid>_<name>", in /var/tmp when
// /tmp cannot be written).
QString officePipePath(const QString &pipeName);

// What stands at the path of an office's pipe.
enum class PipeState {
    Missing,  // nothing yet: the office is not listening
    Own,      // a socket owned by this user
    Foreign,  // anything else: another user's socket, a file, a link
};
PipeState officePipeState(const QString &pipeName);

// Removes the pipes an office leaves behind when it is killed: the one it
// accepted connections on (`pipeName`, none when empty), and the one
// through which a second office of the same profile folder (`profilePath`,
// none when empty) would talk to it. Both names are the instance's own;
// what stands there is removed only when it is this user's.
void removeOfficePipes(const QString &pipeName, const QString &profilePath);

} // namespace quorbel::lo
