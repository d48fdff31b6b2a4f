#include "importjob.h"

#include "itemlist.h"

using namespace Qt::Literals::StringLiterals;

namespace Market {

namespace {

QString progressText(int done, int total)
{
    return u"正在导入网址，共"_s + QString::number(total) + u"个，已导入"_s + QString::number(done) + u"个"_s;
}

} // namespace

QString ImportOutcome::text() const
{
    if (!error.isEmpty())
        return error;
    if (cancelled) {
        return u"导入已停止，已导入"_s + QString::number(imported) + u"/"_s + QString::number(total) +
               u"个网址"_s;
    }
    QString result = u"导入完成，共读取"_s + QString::number(total) + u"个网址，忽略"_s +
                     QString::number(ignoredLines) + u"行"_s;
    if (dropped > 0)
        result += u"；"_s + droppedEntriesWarning(dropped);
    return result;
}

ImportJob::ImportJob(const Core::HttpClient &client, Core::Config config, QString path, QObject *parent)
    : QObject(parent), m_client(client.withCancel(m_cancel)), m_config(std::move(config)),
      m_path(std::move(path))
{
}

ImportOutcome ImportJob::run()
{
    ImportOutcome outcome;
    const ItemListFile list = loadItemListFile(m_path);
    outcome.error = list.error;
    outcome.total = int(list.entries.size());
    outcome.dropped = list.dropped;
    outcome.ignoredLines = list.ignoredLines;
    if (outcome.error.isEmpty()) {
        emit progress(progressText(0, outcome.total));
        lookUpEntryNames(m_client, m_config, list.entries, [this, &outcome](const QString &entry) {
            // A lookup the stop cut short would come back without its name.
            if (m_cancel.isCancelled())
                return;
            ++outcome.imported;
            emit entryFound(entry);
            emit progress(progressText(outcome.imported, outcome.total));
        });
    }
    outcome.cancelled = m_cancel.isCancelled() && outcome.imported < outcome.total;
    emit finished(outcome);
    return outcome;
}

void ImportJob::cancel()
{
    m_cancel.cancel();
}

} // namespace Market
