#include "updatelogging.h"

Q_LOGGING_CATEGORY(lcUpdate, "quorvex.update", QtWarningMsg)
