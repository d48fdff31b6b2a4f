#pragma once

#include "description.h"
#include "itemvalues.h"
#include "layouts.h"

#include "core/config.h"
#include "core/httpclient.h"
#include "imaging/watermarksettings.h"
#include "market/stocklist.h"

#include <QImage>

#include <optional>

namespace Imaging {
class Watermarker;
}

#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

namespace Export {

// Everything a run reads from the window (or the command line), taken once at its start.
// Items in flight at most, whatever a caller asks for.
constexpr int maxJobs = 64;

struct ExportOptions
{
    QString csvPath;
    QString programDir;
    OutputType type = OutputType::Taobao5;
    bool useRules = false;
    QList<ReplacementRule> rules;
    bool useWatermark = false;
    // The watermark settings window's fields and picture as they stand when it is open;
    // without them the run reads setsy.txt and sy_pic2.jpg from the program folder.
    std::optional<Imaging::WatermarkSettings> watermarkSettings;
    QImage watermarkPicture;
    bool skipDescriptionPictures = false;
    // "跳过已下载的图片" / --resume: a picture whose file an earlier run left whole in the
    // picture folder is taken as it is instead of being fetched (and never stamped again).
    bool reusePictures = false;
    bool stripLinks = false;
    QString sellerName;
    Core::Adjustments adjustments;
    // The main window's parameter slots; the run reads the main parameter page
    // again at its start and keeps these only when that fails.
    QStringList parameterSlots;
    int jobs = 6;                     // items in flight at once
    std::function<QDateTime()> clock; // the date-time columns; the local time when empty
};

// Where the run writes: the import file and the picture folder beside it.
struct ExportPaths
{
    QString csvFile;
    QString csvFolder;
    QString baseName;
    QString pictureFolder;
};
// A path without a folder names the program folder for both the file and the pictures.
ExportPaths deriveExportPaths(const QString &csvPath, const QString &programDir);

// The message for a path the run refuses (not ending in ".csv" or ".CSV"), or empty.
QString checkCsvPath(const QString &csvPath);

struct ItemReport
{
    QString code;
    QString title;
    // Duplicate: the code came earlier in the list; that first place is the one exported.
    enum class Status {
        Written,
        RecordFailed,
        PicturesFailed,
        NotReached,
        Duplicate,
        WriteFailed // its row or its files could not be written
    } status = Status::NotReached;
    QString reason; // why the record could not be read
    QStringList failedPictures;
    QStringList failedPictureReasons; // why each of failedPictures failed, in the same order
    QStringList unstampedPictures;    // kept without watermark: too large, not loadable, or the
                                      // watermark did not fit
    QStringList problems;             // files that could not be written
    int reusedPictures = 0;           // taken from the picture folder instead of fetched
    int sharedPictures = 0;           // copied from another picture's download of this run
};

struct ExportSummary
{
    bool started = false; // false: refused before anything was written
    QString error;        // why the run was refused or could not write its file
    int itemCount = 0;
    int written = 0; // items whose record was read and whose row was written
    int rowsWritten = 0;
    int recordFailures = 0;
    int pictureFailures = 0;
    int unstampedPictures = 0;
    int fileFailures = 0;   // pictures, description or stock files that could not be written
    int duplicates = 0;     // later places of a code the list already had
    int reusedPictures = 0; // pictures an earlier run left whole, not fetched again
    int sharedPictures = 0; // pictures another item (or picture) of the run downloaded
    bool cancelled = false; // stopped by the user
    QString stopReason;     // why a failure stopped the run, such as a full disk
    QStringList notes;      // what went wrong for the whole run, such as an unusable watermark
    QStringList failedItemCodes;
    QList<ItemReport> items;
    ExportPaths paths;

    bool hasFailures() const
    {
        return recordFailures > 0 || pictureFailures > 0 || fileFailures > 0 || cancelled ||
               !stopReason.isEmpty() || !error.isEmpty() || !notes.isEmpty();
    }
    // "下载完成,共成功下载" + S + "个", with the counts of what failed; a stopped run
    // begins "已停止" instead and says how many items it did not reach.
    QString text() const;
    // The summary and the failed item codes, one per line, for showing or saving.
    QString details(bool withSummary = true) const;
};

struct StoredPicture;
struct FetchedPicture;
class SharedPictures;

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
    struct PendingPicture;
    class Arrivals;
    class DocumentBudget;
    class BudgetShare;
    struct StoredOutcome
    {
        QString type; // empty when nothing was stored
        QString path;
        QString reason;  // why nothing was stored
        QString problem; // a file that could not be written
        bool unstamped = false;
        bool reencoded = false; // unstamped, but written as JPEG: not the bytes as they arrived
        bool created = false;   // the file was not there before this run stored it
    };
    Outcome processItem(int index, const QString &entry);
    bool stampsPicture(const PendingPicture &picture) const;
    StoredOutcome writePicture(const StoredPicture &target, QByteArray bytes, bool stamp);
    // Stores a download of the item's own; what it gave goes to fetched, for the other
    // items that show the same picture.
    StoredOutcome storePicture(const PendingPicture &picture, const Core::HttpResult &result,
                               const QString &folder, FetchedPicture *fetched);
    // Stores the item's copy of a picture another item downloaded; nothing when there is no
    // file left to copy from.
    std::optional<StoredOutcome> copyPicture(const PendingPicture &picture, const FetchedPicture &fetched,
                                             const QString &folder);
    StoredOutcome reusablePicture(const PendingPicture &picture, const QString &folder) const;

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
    QStringList m_slots;
    const class CityTable *m_cities = nullptr;
    std::unique_ptr<class ItemFolders> m_folders;
    std::unique_ptr<SharedPictures> m_shared;
    const Imaging::Watermarker *m_watermarker = nullptr;
    const Market::StockParameters *m_stock = nullptr;
};

} // namespace Export
