#include "versioncheck.h"

#include "updatelogging.h"
#include "version.h"
#include "versionrecord.h"

using namespace Qt::Literals::StringLiterals;

namespace SelfUpdate {

VersionCheckOutcome decideStartupCheck(bool mainPageRead, const QString &publishedText)
{
    VersionCheckOutcome outcome;
    if (!mainPageRead)
        return outcome;
    outcome.publishedVersion = normaliseVersion(publishedText).value_or(programVersion());
    if (outcome.publishedVersion != programVersion()) {
        outcome.step = VersionCheckOutcome::Step::Ask;
        outcome.question = u"已有最新版本,请下载更新"_s;
    }
    return outcome;
}

VersionCheckOutcome decideManualCheck(const QString &publishedText, const QString &installedField)
{
    VersionCheckOutcome outcome;
    outcome.publishedVersion = normaliseVersion(publishedText).value_or(QString());
    // The field is space-padded; the numeric test trims it.
    const std::optional<QString> installed = normaliseVersion(installedField);
    outcome.step = VersionCheckOutcome::Step::Ask;
    // Without a readable record the installed version is unknown: the update would end the
    // program, so the user is asked first, as for a forced update.
    if (!installed) {
        outcome.question =
            u"无法确定现在的版本，最新版本是："_s + outcome.publishedVersion + u"，是否需要强制再升级？"_s;
        return outcome;
    }
    // An unreachable version file leaves the number out and still offers the update.
    if (*installed != outcome.publishedVersion)
        outcome.question = u"最新版本是："_s + outcome.publishedVersion + u"，需要升级，是否现在升级？"_s;
    else
        outcome.question =
            u"现在已是最新版本："_s + outcome.publishedVersion + u"，不用升级，是否需要强制再升级？"_s;
    return outcome;
}

VersionCheckJob::VersionCheckJob(const Core::HttpClient &client, Core::Config config, QString programDir,
                                 Kind kind, bool mainPageRead, QObject *parent)
    : QObject(parent), m_client(client.withCancel(m_cancel)), m_config(std::move(config)),
      m_programDir(std::move(programDir)), m_kind(kind), m_mainPageRead(mainPageRead)
{
}

VersionCheckOutcome VersionCheckJob::run()
{
    VersionCheckOutcome outcome;
    if (m_kind == Kind::Startup && !m_mainPageRead) {
        outcome = decideStartupCheck(false, {});
    } else {
        const QString published = Core::HttpGetText(m_client, publishedVersionAddress(m_config), 1);
        if (m_cancel.isCancelled()) {
            outcome.cancelled = true;
        } else if (m_kind == Kind::Startup) {
            outcome = decideStartupCheck(true, published);
        } else {
            outcome = decideManualCheck(published, readVersionField(m_programDir));
        }
        if (!outcome.cancelled && !normaliseVersion(published))
            qCInfo(lcUpdate) << "the version file holds no number:" << published.left(40);
    }
    emit finished(outcome);
    return outcome;
}

void VersionCheckJob::cancel()
{
    m_cancel.cancel();
}

} // namespace SelfUpdate
