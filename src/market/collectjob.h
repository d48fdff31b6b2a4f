#pragma once

#include "collection.h"
#include "core/config.h"
#include "core/httpclient.h"

#include <QObject>

namespace Market {

// The collection run of "添加网址" as a job: run() blocks on a worker thread, entries and
// progress texts come out as signals, and cancel() (from any thread) ends it at once:
// its requests in flight are aborted.
class CollectJob : public QObject
{
    Q_OBJECT

public:
    CollectJob(const Core::HttpClient &client, Core::Config config, CollectMode mode, QString address,
               QObject *parent = nullptr);

    CollectOutcome run();
    void cancel();

signals:
    void entryFound(const QString &entry);
    void progress(const QString &text);
    // cancelled: the run was stopped; the entries found until then were reported.
    void finished(const Market::CollectOutcome &outcome, bool cancelled);

private:
    Core::CancelToken m_cancel;
    Core::HttpClient m_client; // carries m_cancel
    const Core::Config m_config;
    const CollectMode m_mode;
    const QString m_address;
};

} // namespace Market
