#pragma once

#include "exportoptions.h"
#include "exportsummary.h"

#include "core/config.h"
#include "core/httpclient.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <memory>

namespace Core {
class FileSaver;
}

namespace Export {

class DocumentBudget;
class ItemFiles;
class ItemFolders;
class PictureStore;
class SharedPictures;
struct RunResources;

// The export run: reads every item of the list, stores its pictures and files and
// writes the import file, rows strictly in list order. run() blocks; call it on a
// worker thread. Several items are in flight at once; the output is the same
// whatever the number.
class ExportJob : public QObject
{
    Q_OBJECT

public:
    ExportJob(Core::HttpClient &client, const Core::Config &config, ExportOptions options,
              QStringList entries, QObject *parent = nullptr);
    ~ExportJob() override;

    ExportSummary run();
    // Stops the run from any thread: requests in flight are aborted, the items finished
    // so far are written and the file stays well-formed. Returns at once.
    void cancel();
    // Stops the run because the disk is full: every later write would fail too.
    void stopForFullDisk();

signals:
    void progress(const QString &text);
    void itemStarted(int index);
    void itemDone(int index, const Export::ItemReport &report);
    void finished(const Export::ExportSummary &summary);

private:
    struct Outcome;
    // Reads, fetches and composes one item on a worker thread; the writer takes it in list order.
    Outcome processItem(int index, const QString &entry);
    // The writer's part, in list order: the item's files and counts, and its row for the
    // import file (empty when it gets none).
    QString writeItem(Outcome &outcome, ItemFiles &files, ExportSummary &summary);

    Core::CancelToken m_cancelToken;
    Core::HttpClient m_client; // carries m_cancelToken on every request
    const Core::Config m_config;
    ExportOptions m_options;
    QStringList m_entries;
    std::unique_ptr<DocumentBudget> m_budget;
    std::atomic_bool m_diskFull = false;   // a write found the disk full: the run stops
    std::atomic_int m_writing = 0;         // the item the writer waits for
    std::atomic_int m_writingPosition = 0; // its place among the items exported
    int m_uniqueCount = 0;                 // items exported: the list without its repeats

    // Fixed for the length of a run.
    ExportPaths m_paths;
    const RunResources *m_resources = nullptr;
    std::unique_ptr<ItemFolders> m_folders;
    std::unique_ptr<SharedPictures> m_shared;
    std::unique_ptr<PictureStore> m_pictures;
};

} // namespace Export
