#include "updatestart.h"

#include "programfiles.h"
#include "updatelogging.h"
#include "version.h"

#include "core/text.h"

#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace SelfUpdate {

QString updateStartFailedMessage()
{
    return u"升级失败,尝试退出软件重来"_s;
}

UpdateStartJob::UpdateStartJob(const Core::HttpClient &client, Core::Config config, QString programDir,
                               QObject *parent)
    : QObject(parent), m_client(client.withCancel(m_cancel)), m_config(std::move(config)),
      m_programDir(std::move(programDir))
{
}

UpdateStartResult UpdateStartJob::run()
{
    UpdateStartResult result;
    const QString target = Core::programFilePath(m_programDir, programFileName(ProgramFile::Updater));
    if (QFileInfo(target).isFile()) {
        result.program = target;
    } else {
        const ProgramDownload download = downloadProgram(m_client, updaterPackageAddress(m_config));
        if (download.cancelled || m_cancel.isCancelled()) {
            result.cancelled = true;
        } else if (!download.succeeded()) {
            result.reason = download.reason;
        } else if (installProgram(download.program, target, &result.reason)) {
            result.program = target;
            result.downloaded = true;
        }
    }
    if (!result.succeeded() && !result.cancelled) {
        result.message = updateStartFailedMessage();
        qCWarning(lcUpdate).noquote() << "update start failed:" << result.reason;
    }
    emit finished(result);
    return result;
}

void UpdateStartJob::cancel()
{
    m_cancel.cancel();
}

} // namespace SelfUpdate
