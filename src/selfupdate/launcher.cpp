#include "launcher.h"

#include "updatelogging.h"

#include <QFileInfo>
#include <QProcess>

namespace SelfUpdate {

bool ProcessLauncher::start(const QString &program)
{
    const bool started = QProcess::startDetached(program, {}, QFileInfo(program).absolutePath());
    if (!started)
        qCWarning(lcUpdate).noquote() << "could not start" << program;
    return started;
}

} // namespace SelfUpdate
