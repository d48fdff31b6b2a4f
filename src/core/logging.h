#pragma once

#include <QLoggingCategory>

// Failures that don't stop a run are logged here; QT_LOGGING_RULES switches them on,
// e.g. QT_LOGGING_RULES="quorvex.*=true".
Q_DECLARE_LOGGING_CATEGORY(lcNet)
Q_DECLARE_LOGGING_CATEGORY(lcExport)
Q_DECLARE_LOGGING_CATEGORY(lcStartup)
Q_DECLARE_LOGGING_CATEGORY(lcUi)
