#include "updatejob.h"

#include "core/text.h"
#include "selfupdate/programfiles.h"
#include "selfupdate/updatelogging.h"
#include "selfupdate/version.h"
#include "selfupdate/versionrecord.h"

using namespace Qt::Literals::StringLiterals;
using namespace SelfUpdate;

namespace Updater {

UpdateJob::UpdateJob(const Core::HttpClient &client, Core::Config config, QString programDir, QObject *parent)
    : QObject(parent), m_client(client.withCancel(m_cancel)), m_config(std::move(config)),
      m_programDir(std::move(programDir))
{
}

UpdateOutcome UpdateJob::run()
{
    const UpdateOutcome outcome = update();
    if (outcome.result == UpdateOutcome::Result::Cancelled)
        qCInfo(lcUpdate) << "update stopped";
    else if (outcome.result != UpdateOutcome::Result::Updated)
        qCWarning(lcUpdate).noquote() << "update not done:" << outcome.reason;
    emit finished(outcome);
    return outcome;
}

void UpdateJob::cancel()
{
    m_cancel.cancel();
}

UpdateOutcome UpdateJob::update()
{
    UpdateOutcome outcome;
    emit progress(u"正在下载新版本"_s);
    const ProgramDownload download = downloadProgram(m_client, mainProgramPackageAddress(m_config));
    if (download.cancelled || m_cancel.isCancelled()) {
        outcome.result = UpdateOutcome::Result::Cancelled;
        return outcome;
    }
    if (!download.succeeded()) {
        outcome.result = UpdateOutcome::Result::DownloadFailed;
        outcome.reason = download.reason;
        return outcome;
    }
    // A folder where the copy can't be stored is a failed download, as the copy is
    // where the download goes.
    const QString copy = Core::programFilePath(m_programDir, programFileName(ProgramFile::DownloadCopy));
    if (!installProgram(download.program, copy, &outcome.reason)) {
        outcome.result = UpdateOutcome::Result::DownloadFailed;
        return outcome;
    }
    if (m_cancel.isCancelled()) {
        outcome.result = UpdateOutcome::Result::Cancelled;
        return outcome;
    }

    emit progress(u"正在替换程序"_s);
    const QString mainProgram = Core::programFilePath(m_programDir, programFileName(ProgramFile::Main));
    if (!installProgram(download.program, mainProgram, &outcome.reason)) {
        outcome.result = UpdateOutcome::Result::ReplaceFailed;
        return outcome;
    }
    outcome.result = UpdateOutcome::Result::Updated;

    // The program is in place whatever happens now: a version file that can't be read
    // records six spaces, and the main program then offers the update again.
    emit progress(u"正在记录版本"_s);
    const QString published = Core::HttpGetText(m_client, publishedVersionAddress(m_config), 1);
    outcome.recordedVersion = normaliseVersion(published).value_or(QString());
    outcome.versionRecorded = writeVersionField(m_programDir, outcome.recordedVersion, &outcome.reason);
    if (!outcome.versionRecorded)
        qCWarning(lcUpdate).noquote() << outcome.reason;
    return outcome;
}

} // namespace Updater
