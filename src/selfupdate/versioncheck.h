#pragma once

#include "core/config.h"
#include "core/httpclient.h"

#include <QObject>
#include <QString>

namespace SelfUpdate {

// What the window does after a version check.
struct VersionCheckOutcome
{
    enum class Step {
        Nothing, // no question, no update
        Ask,     // ask question with OK and Cancel; OK runs the update start (never without)
    };

    Step step = Step::Nothing;
    QString question; // for Ask
    // The published version as the check counted it, normalised. When the version file held
    // no number: this program's version for the start-up check, empty for the manual one.
    QString publishedVersion;
    bool cancelled = false;
};

// The start-up check. It runs only when the main parameter page was read; a version file
// that holds no number counts as this program's version, and any difference from it,
// a lower number too, asks "已有最新版本,请下载更新".
VersionCheckOutcome decideStartupCheck(bool mainPageRead, const QString &publishedText);

// The manual check of "软件升级", with the installed version as the record holds it. When
// that is a number, the question says whether the published version differs; otherwise
// (no record yet) the update starts without asking.
VersionCheckOutcome decideManualCheck(const QString &publishedText, const QString &installedField);

// Either check as a job: fetches the version file (long wait) and, for the manual check,
// reads the installed-version record (creating an empty one when missing). run() blocks
// on a worker thread and emits finished(); cancel() from any thread aborts the fetch.
// A start-up check without the main parameter page makes no request.
class VersionCheckJob : public QObject
{
    Q_OBJECT

public:
    enum class Kind { Startup, Manual };

    VersionCheckJob(const Core::HttpClient &client, Core::Config config, QString programDir, Kind kind,
                    bool mainPageRead = true, QObject *parent = nullptr);

    VersionCheckOutcome run();
    void cancel();

signals:
    void finished(const SelfUpdate::VersionCheckOutcome &outcome);

private:
    Core::CancelToken m_cancel;
    Core::HttpClient m_client; // carries m_cancel
    const Core::Config m_config;
    const QString m_programDir;
    const Kind m_kind;
    const bool m_mainPageRead;
};

} // namespace SelfUpdate
