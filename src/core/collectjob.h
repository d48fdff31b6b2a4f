#pragma once

#include "collection.h"
#include "config.h"

#include <QObject>

#include <atomic>

namespace Core {

class HttpClient;

// The collection run of "添加网址" as a job: run() blocks on a worker thread, entries and
// progress texts come out as signals, and cancel() (from any thread) ends it early.
class CollectJob : public QObject
{
    Q_OBJECT

public:
    CollectJob(HttpClient &client, Config config, CollectMode mode, QString address, QObject *parent = nullptr);

    CollectOutcome run();
    void cancel();
    bool isCancelled() const { return m_cancelled; }

signals:
    void entryFound(const QString &entry);
    void progress(const QString &text);
    // cancelled: the run was stopped; the entries found until then were reported.
    void finished(const Core::CollectOutcome &outcome, bool cancelled);

private:
    HttpClient &m_client;
    const Config m_config;
    const CollectMode m_mode;
    const QString m_address;
    std::atomic_bool m_cancelled = false;
};

} // namespace Core
