#include "FilesLog.h"

Q_LOGGING_CATEGORY(lcQuorbelFiles, "quorbel.files", QtWarningMsg)
