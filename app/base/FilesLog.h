#pragma once

#include <QLoggingCategory>

// Which files from the program folder the program took: the office module
// and the hand pointer. Quiet by default; QT_LOGGING_RULES=quorbel.files.info=true
// shows each file on the error stream as it is taken, which tells an
// installation that finds its files from one that does not.
Q_DECLARE_LOGGING_CATEGORY(lcQuorbelFiles)
