#pragma once

#include "collection.h"
#include "config.h"
#include "httpclient.h"

#include <QObject>

namespace Core {

// The collection run of "添加网址" as a job: run() blocks on a worker thread, entries and
// progress texts come out as signals, and cancel() (from any thread) ends it at once:
// its requests in flight are aborted.
class CollectJob : public QObject
{
    Q_OBJECT

public:
    CollectJob(const HttpClient &client, Config config, CollectMode mode, QString address,
               QObject *parent = nullptr);

    CollectOutcome run();
    void cancel();

signals:
    void entryFound(const QString &entry);
    void progress(const QString &text);
    // cancelled: the run was stopped; the entries found until then were reported.
    void finished(const Core::CollectOutcome &outcome, bool cancelled);

private:
    CancelToken m_cancel;
    HttpClient m_client; // carries m_cancel
    const Config m_config;
    const CollectMode m_mode;
    const QString m_address;
};

} // namespace Core
