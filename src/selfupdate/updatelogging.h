#pragma once

#include <QLoggingCategory>

// The version check, the update start and the update program: QT_LOGGING_RULES="quorvex.update=true".
Q_DECLARE_LOGGING_CATEGORY(lcUpdate)
