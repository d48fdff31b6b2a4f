#pragma once

#include "config.h"
#include "httpclient.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <atomic>

namespace Core {

// What "导入网址" finds in a file, line by line: item list entries ("网址ID:" code "："
// name, the form the list shows and the CLI reads) are taken as they stand; any other
// line is read with the rules of the item address files (comma-separated fields, quoted
// fields, fields beginning with "http://"). A quote left open ends with its line.
struct ImportFile
{
    QStringList items;      // in file order: entries as they stand, and "http://" addresses
    int entryLines = 0;     // items that were entries
    int ignoredLines = 0;   // lines, not blank, that gave no item
    int dropped = 0;        // items beyond maxImportedAddresses, not taken
};
ImportFile readImportFile(const QByteArray &bytes);

struct ImportOutcome
{
    QString error;          // the file could not be read: nothing was imported
    int total = 0;          // items the file gave
    int imported = 0;       // entries handed on
    int entryLines = 0;
    int ignoredLines = 0;
    int dropped = 0;
    bool cancelled = false;

    // The end text for the progress label: what was read and what was ignored.
    QString text() const;
};

// The import of "导入网址" as a job: reads the file, asks the item service for the name of
// each address (entries keep theirs) and hands the entries on in file order. cancel()
// (from any thread) aborts the lookups in flight and ends it.
class ImportJob : public QObject
{
    Q_OBJECT

public:
    ImportJob(const HttpClient &client, Config config, QString path, QObject *parent = nullptr);

    ImportOutcome run();
    void cancel();

signals:
    void entryFound(const QString &entry);
    void progress(const QString &text);
    void finished(const Core::ImportOutcome &outcome);

private:
    CancelToken m_cancel;
    HttpClient m_client;  // carries m_cancel
    const Config m_config;
    const QString m_path;
    std::atomic_bool m_cancelled = false;
};

} // namespace Core
