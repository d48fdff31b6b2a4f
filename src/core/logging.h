#pragma once

#include <QLoggingCategory>

// The program's logging categories. Every failure that does not stop a run is logged
// here as a warning. They are quiet by default (the window and the CLI report what the
// user needs); QT_LOGGING_RULES="quorvex.*=true" turns them all on, "quorvex.net=true" one.
Q_DECLARE_LOGGING_CATEGORY(lcNet)
Q_DECLARE_LOGGING_CATEGORY(lcExport)
Q_DECLARE_LOGGING_CATEGORY(lcStartup)
Q_DECLARE_LOGGING_CATEGORY(lcUi)
