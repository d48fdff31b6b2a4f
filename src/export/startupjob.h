#pragma once

#include "core/config.h"
#include "core/httpclient.h"

#include <QObject>
#include <QStringList>

namespace Export {

// What the start-up steps did. Every step that failed was skipped and is named in failures.
struct StartupResult
{
    bool parametersRead = false;  // copy36.htm was read into parameterSlots
    QStringList parameterSlots;   // the main window's slots: the design texts when not read
    bool applicationRead = false; // copy_app35.htm was read into applicationTable
    QStringList applicationTable;
    QStringList picturesFetched;  // default watermark pictures that were missing and are now there
    bool leftoverRemoved = false; // the updater's leftover copy was deleted
    QStringList failures;         // one line per failed step, for the log
    bool cancelled = false;
};

// The program's leftover update copy: "bak.exe" on Windows, "bak" elsewhere.
QString leftoverUpdateCopyName();

// The start-up of the main window as a job: the main parameter page into the parameter
// slots, the application page (only when the main page was read), the default watermark
// pictures when missing, and the updater's leftover copy removed. run() blocks on a worker
// thread; cancel() (from any thread) aborts its requests in flight and ends it.
class StartupJob : public QObject
{
    Q_OBJECT

public:
    // designSlots: the slots as they stand before any page is read.
    StartupJob(const Core::HttpClient &client, Core::Config config, QString programDir,
               QStringList designSlots, QObject *parent = nullptr);

    StartupResult run();
    void cancel();

signals:
    void finished(const Export::StartupResult &result);

private:
    void readParameterPages(StartupResult &result);
    void fetchDefaultPictures(StartupResult &result);
    void removeLeftoverCopy(StartupResult &result);
    void fail(StartupResult &result, const QString &text);

    Core::CancelToken m_cancel;
    Core::HttpClient m_client; // carries m_cancel
    const Core::Config m_config;
    const QString m_programDir;
    const QStringList m_designSlots;
};

} // namespace Export
