#pragma once

#include "core/config.h"
#include "core/httpclient.h"

#include <QObject>
#include <QString>

namespace Updater {

struct UpdateOutcome
{
    enum class Result {
        Updated,        // the main program was replaced; the record says recordedVersion
        DownloadFailed, // nothing was stored: "下载失败"
        ReplaceFailed,  // the download copy is stored, the main program could not be replaced
        Cancelled,      // stopped before the main program was replaced
    };

    Result result = Result::DownloadFailed;
    QString reason;          // why it failed, for the log
    QString recordedVersion; // the normalised published version, empty when none (the record keeps six
                             // characters)
    bool versionRecorded = false;
};

// The update behind the button of the update program:
// 1. downloads the new main program (venlo.jpg) and stores it as the download copy;
// 2. replaces the main program with it (temporary file, then rename);
// 3. writes the published version, normalised, or six spaces into the record.
// Only a reply with a success status whose whole body is an executable of this platform
// is stored; on any failure the main program stays as it was. run() blocks on a worker
// thread and emits finished(); cancel() from any thread aborts the download.
class UpdateJob : public QObject
{
    Q_OBJECT

public:
    UpdateJob(const Core::HttpClient &client, Core::Config config, QString programDir,
              QObject *parent = nullptr);

    UpdateOutcome run();
    void cancel();

signals:
    void progress(const QString &step);
    void finished(const Updater::UpdateOutcome &outcome);

private:
    UpdateOutcome update();

    Core::CancelToken m_cancel;
    Core::HttpClient m_client; // carries m_cancel
    const Core::Config m_config;
    const QString m_programDir;
};

} // namespace Updater
