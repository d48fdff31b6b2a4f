#include "logging.h"

Q_LOGGING_CATEGORY(lcNet, "quorvex.net", QtWarningMsg)
Q_LOGGING_CATEGORY(lcExport, "quorvex.export", QtWarningMsg)
Q_LOGGING_CATEGORY(lcStartup, "quorvex.startup", QtWarningMsg)
Q_LOGGING_CATEGORY(lcUi, "quorvex.ui", QtWarningMsg)
