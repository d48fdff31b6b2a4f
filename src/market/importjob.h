#pragma once

#include "core/config.h"
#include "core/httpclient.h"

#include <QObject>
#include <QString>

namespace Market {

struct ImportOutcome
{
    QString error;        // the file could not be read: nothing was imported
    int total = 0;        // entries the file gave
    int imported = 0;     // entries handed on
    int dropped = 0;      // entries past the cap, not taken
    int ignoredLines = 0; // lines that gave no entry
    bool cancelled = false;

    // The end text for the progress label: what was read and what was ignored.
    QString text() const;
};

// "导入网址" as a job. It reads the file as the CLI reads its lists (item list entries, or
// else an item address file; see loadItemListFile), asks the item service for the name of
// each entry that has none (an address) and hands the entries on in file order. cancel()
// (from any thread) aborts the lookups in flight and ends it.
class ImportJob : public QObject
{
    Q_OBJECT

public:
    ImportJob(const Core::HttpClient &client, Core::Config config, QString path, QObject *parent = nullptr);

    ImportOutcome run();
    void cancel();

signals:
    void entryFound(const QString &entry);
    void progress(const QString &text);
    void finished(const Market::ImportOutcome &outcome);

private:
    Core::CancelToken m_cancel;
    Core::HttpClient m_client; // carries m_cancel
    const Core::Config m_config;
    const QString m_path;
};

} // namespace Market
