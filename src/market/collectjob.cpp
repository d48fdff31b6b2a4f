#include "collectjob.h"

namespace Market {

CollectJob::CollectJob(const Core::HttpClient &client, Core::Config config, CollectMode mode, QString address,
                       QObject *parent)
    : QObject(parent), m_client(client.withCancel(m_cancel)), m_config(std::move(config)), m_mode(mode),
      m_address(std::move(address))
{
}

CollectOutcome CollectJob::run()
{
    Collector collector(m_client, m_config, m_cancel);
    collector.onEntry = [this](const QString &entry) { emit entryFound(entry); };
    collector.onProgress = [this](const QString &text) { emit progress(text); };
    const CollectOutcome outcome = collector.run(m_mode, m_address);
    emit finished(outcome, m_cancel.isCancelled());
    return outcome;
}

void CollectJob::cancel()
{
    m_cancel.cancel();
}

} // namespace Market
