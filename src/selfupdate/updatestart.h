#pragma once

#include "core/config.h"
#include "core/httpclient.h"

#include <QObject>
#include <QString>

namespace SelfUpdate {

// What the update start leaves the window to do.
struct UpdateStartResult
{
    QString program; // the update program to start, then every window closes; empty on failure
    QString message; // "升级失败,尝试退出软件重来" when nothing was stored; empty otherwise
    QString reason;  // why, for the log
    bool downloaded = false; // false: an update program already there was used as it is
    bool cancelled = false;  // neither program nor message: the window is going away

    bool succeeded() const { return !program.isEmpty(); }
};

// The message when the update program could not be stored.
QString updateStartFailedMessage();

// The update start shared by both checks, as a job. The update program in the program
// folder is used as it is when there; otherwise update.jpg is downloaded into it with
// the safety of every program download (success status, the whole body, an executable
// of this platform, a temporary file renamed into place, execute permission). run()
// blocks on a worker thread and emits finished(); cancel() from any thread aborts the
// download and stores nothing.
class UpdateStartJob : public QObject
{
    Q_OBJECT

public:
    UpdateStartJob(const Core::HttpClient &client, Core::Config config, QString programDir,
                   QObject *parent = nullptr);

    UpdateStartResult run();
    void cancel();

signals:
    void finished(const SelfUpdate::UpdateStartResult &result);

private:
    Core::CancelToken m_cancel;
    Core::HttpClient m_client; // carries m_cancel
    const Core::Config m_config;
    const QString m_programDir;
};

} // namespace SelfUpdate
