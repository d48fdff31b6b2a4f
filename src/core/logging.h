#pragma once

#include <QLoggingCategory>

// Failures that don't stop a run are logged here; QT_LOGGING_RULES switches them on,
// e.g. QT_LOGGING_RULES="quorvex.*=true".
Q_DECLARE_LOGGING_CATEGORY(lcNet)
Q_DECLARE_LOGGING_CATEGORY(lcExport)
Q_DECLARE_LOGGING_CATEGORY(lcStartup)
Q_DECLARE_LOGGING_CATEGORY(lcUi)

namespace Core {

// The picture decoders' own complaints about a broken download stay quiet: the run reports
// every picture it could not store, with its reason. QT_LOGGING_RULES can still show them.
void quietPictureDecoderWarnings();

} // namespace Core
