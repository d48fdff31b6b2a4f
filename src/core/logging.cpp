#include "logging.h"

using namespace Qt::Literals::StringLiterals;

Q_LOGGING_CATEGORY(lcNet, "quorvex.net", QtWarningMsg)
Q_LOGGING_CATEGORY(lcExport, "quorvex.export", QtWarningMsg)
Q_LOGGING_CATEGORY(lcStartup, "quorvex.startup", QtWarningMsg)
Q_LOGGING_CATEGORY(lcUi, "quorvex.ui", QtWarningMsg)

void Core::quietPictureDecoderWarnings()
{
    QLoggingCategory::setFilterRules(u"qt.gui.imageio*.warning=false"_s);
}
