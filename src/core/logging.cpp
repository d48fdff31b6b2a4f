#include "logging.h"

Q_LOGGING_CATEGORY(lcNet, "quorvex.net", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcExport, "quorvex.export", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcStartup, "quorvex.startup", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcUi, "quorvex.ui", QtCriticalMsg)
