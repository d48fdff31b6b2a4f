#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace Export {

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
    QString code{};
    QString title{};
    // Duplicate: the code came earlier in the list; that first place is the one exported.
    enum class Status {
        Written,
        RecordFailed,
        PicturesFailed,
        NotReached,
        Duplicate,
        WriteFailed // its row or its files could not be written
    } status = Status::NotReached;
    QString reason{}; // why the record could not be read
    QStringList failedPictures{};
    QStringList failedPictureReasons{}; // why each of failedPictures failed, in the same order
    QStringList unstampedPictures{};    // kept without watermark: too large, not loadable, or the
                                        // watermark did not fit
    QStringList problems{};             // files that could not be written
    int reusedPictures = 0;             // taken from the picture folder instead of fetched
    int sharedPictures = 0;             // copied from another picture's download of this run
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

// The counts of the summary, item by item as the writer takes them in list order.
// An item that got its row (its report says Written or PicturesFailed):
void countWrittenItem(ExportSummary &summary, const ItemReport &report);
// An item that got none: its record could not be read, or its files could not be written.
void countItemWithoutRow(ExportSummary &summary, const ItemReport &report);

} // namespace Export
